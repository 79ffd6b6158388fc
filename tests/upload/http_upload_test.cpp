// A page served by mirelda-host over loopback receives a posted form through Mirelda.FileSystem.
#include <gtest/gtest.h>

#include "host/running_host.h"
#include "multipart_form.h"

namespace mirelda::testing {
namespace {

// Each case runs with the body in memory and with the body spooled to a file from its first byte.
class HttpUpload : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(HttpUpload, APageReadsThePostedFieldsAndFiles) {
  RunningHost host(
      std::map<std::string, std::string>{
          {"up.asp",
           "<% var up = Server.CreateObject(\"Mirelda.FileSystem\");\n"
           "   up.UpToFile = 2;\n"
           "   var r = up.Upload();\n"
           "   Response.Write([r, up.count, up.Form(\"title\"), up.FileName(\"f\"),\n"
           "                   up.Size(\"f\"), up.Size(\"none\")].join(\"|\") + \"|\");\n"
           "   Response.BinaryWrite(up.Form(\"f\")); %>"}},
      GetParam());
  std::string body = upload::testing::MultipartForm()
                         .Field("title", "\xD5\xC5\xC8\xFD")
                         .File("f", "C:\\tmp\\x.bin", std::string("\x00\xFF\r\n", 4))
                         .Body();
  HttpReply r =
      host.Post("/up.asp", body, "multipart/form-data; boundary=----MireldaFormBoundaryq8nT3YxWk2");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "OK|2|\xD5\xC5\xC8\xFD|x.bin|4|0|" + std::string("\x00\xFF\r\n", 4));
}

INSTANTIATE_TEST_SUITE_P(BodyKept, HttpUpload,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"--body-buffer", "0"}));

}  // namespace
}  // namespace mirelda::testing
