// CDO.Message through its member table, sent to a real SMTP sink on loopback that decodes what
// arrives with Python's email package: the structure, the headers and the bodies must come back
// as the page gave them, and every failure must be an Error with nothing delivered.
#include "data/mail_message.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "data/mail_configuration.h"
#include "data/transfer_errors.h"
#include "mirelda/path_map.h"
#include "mirelda/settings.h"
#include "support/python_server.h"
#include "support/temp_dir.h"

namespace mirelda::data {
namespace {

using testing::PythonServer;
using testing::TempDir;

const std::string kField = std::string(kCdoConfigurationNamespace);

std::string Hex(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    out += "0123456789abcdef"[c >> 4];
    out += "0123456789abcdef"[c & 15];
  }
  return out;
}

std::string AllBytes(int times) {
  std::string s;
  for (int t = 0; t < times; ++t) {
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
  }
  return s;
}

// Sets one field of the message's configuration, and by default updates the fields.
void SetField(Dispatch& m, const std::string& name, Variant value, bool update = true) {
  auto fields = m.Get("Configuration").ToObject()->Get("Fields").ToObject();
  fields->Invoke("Item", MemberKind::kLet, {kField + name, std::move(value)});
  if (update) fields->Call("Update");
}

class MailTest : public ::testing::Test {
 public:
  int port() const { return sink_->port(); }
  // Writes a file into the folder that drive M: stands for.
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_.path() / "files" / name, std::ios::binary) << bytes;
  }

 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "mail");
    std::filesystem::create_directories(dir_.path() / "files");
    sink_ = std::make_unique<PythonServer>("smtp_sink.py",
                                           std::vector<std::string>{(dir_.path() / "mail")});
    paths::MapDrive('M', dir_.path() / "files");
    settings::ClearAll();
  }
  void TearDown() override {
    paths::UnmapDrive('M');
    settings::ClearAll();
  }

  // A message that reaches the sink through its own configuration.
  std::shared_ptr<MailMessage> Message() {
    auto m = std::make_shared<MailMessage>();
    SetField(*m, "sendusing", int32_t{2}, false);
    SetField(*m, "smtpserver", "127.0.0.1", false);
    SetField(*m, "smtpserverport", sink_->port());
    m->Let("From", "site@example.com");
    m->Let("To", "someone@example.com");
    m->Let("Subject", "hello");
    return m;
  }

  // The n-th message the sink took, "<none>" when there is none.
  std::string Received(int n) {
    std::ifstream in(dir_.path() / "mail" / (std::to_string(n) + ".txt"));
    if (!in) return "<none>";
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  TempDir dir_;
  std::unique_ptr<PythonServer> sink_;
};

std::string Value(const std::string& report, const std::string& key) {
  std::string text = "\n" + report;
  size_t at = text.find("\n" + key + "=");
  if (at == std::string::npos) return "<absent>";
  size_t start = at + key.size() + 2;
  return text.substr(start, text.find('\n', start) - start);
}

struct SentCase {
  const char* name;
  std::function<void(MailTest&, Dispatch&)> fill;
  std::vector<std::pair<std::string, std::string>> expect;  // sink key, decoded value
};

const std::string kLongSubject =
    "月度报告：第二季度的销售数字与分析摘要，请在周五之前查阅并回复意见";

const SentCase kSent[] = {
    {"TextAndHtmlWithChineseHeaders",
     [](MailTest&, Dispatch& m) {
       m.Let("From", "张三 <zhang@example.com>");
       m.Let("To", "a@example.com; \"Bee, B\" <b@example.com>");
       m.Let("CC", "c@example.com");
       m.Let("BCC", "d@example.com");
       m.Let("Subject", kLongSubject);
       m.Let("TextBody", "第一行\n第二行");
       m.Let("HTMLBody", "<p>你好</p>");
     },
     {{"mail_from", "zhang@example.com"},
      {"rcpt", "a@example.com b@example.com c@example.com d@example.com"},
      {"from", "张三 <zhang@example.com>"},
      {"to", "a@example.com, \"Bee, B\" <b@example.com>"},
      {"cc", "c@example.com"},
      {"bcc", "<absent>"},
      {"subject", kLongSubject},
      {"mime-version", "1.0"},
      {"date_parsed", "True"},
      {"message_id", "True"},
      {"part0", "multipart/alternative"},
      {"part1", "text/plain"},
      {"part1.charset", "utf-8"},
      {"part1.encoding", "quoted-printable"},
      {"part1.text", "第一行\\n第二行"},
      {"part2", "text/html"},
      {"part2.text", "<p>你好</p>"}}},
    {"AsciiTextKeepsLinesOfDots",
     [](MailTest&, Dispatch& m) { m.Let("TextBody", ".\r\n..twice\rplain =line"); },
     {{"part0", "text/plain"},
      {"part0.encoding", "7bit"},
      // SMTP ends every message with a line break, so a body of one part gains it.
      {"part0.text", ".\\n..twice\\nplain =line\\n"},
      {"part1", "<absent>"}}},
    {"AttachmentsByDrivePathAndFileUrl",
     [](MailTest& t, Dispatch& m) {
       t.Write("报告 2024.bin", AllBytes(3));
       t.Write("notes.txt", "a,b\n");
       m.Let("TextBody", "see the files");
       m.Call("AddAttachment", "M:\\报告 2024.bin");
       auto part = m.Call("AddAttachment", "file:///M:/notes.txt").ToObject();
       part->Let("ContentMediaType", "text/csv");
     },
     {{"part0", "multipart/mixed"},
      {"part1", "text/plain"},
      {"part1.text", "see the files"},
      {"part2", "application/octet-stream"},
      {"part2.encoding", "base64"},
      {"part2.filename", "报告 2024.bin"},
      {"part2.hex", Hex(AllBytes(3))},
      {"part3", "text/csv"},
      {"part3.filename", "notes.txt"},
      {"part3.hex", Hex("a,b\n")}}},
    {"BodyInTheCharsetOfTheBodyPart",
     [](MailTest&, Dispatch& m) {
       m.Get("BodyPart").ToObject()->Let("Charset", "GB2312");
       m.Let("TextBody", "中文正文");
     },
     {{"part0.charset", "gb2312"}, {"part0.text", "中文正文\\n"}}},
    {"SenderAndReplyTo",
     [](MailTest&, Dispatch& m) {
       m.Let("Sender", "bounce@example.com");
       m.Let("ReplyTo", "回复 <r@example.com>");
     },
     {{"mail_from", "bounce@example.com"},
      {"sender", "bounce@example.com"},
      {"reply-to", "回复 <r@example.com>"}}},
    {"ServerAndFromOfTheHostSettings",
     [](MailTest& t, Dispatch& m) {
       m.Set("Configuration", std::make_shared<MailConfiguration>());
       m.Let("From", "");
       settings::SetSection("mail", {{"smtp-server", "127.0.0.1:" + std::to_string(t.port())},
                                     {"from", "站点 <site@example.com>"}});
     },
     {{"mail_from", "site@example.com"}, {"from", "站点 <site@example.com>"}}},
};

class SentTest : public MailTest, public ::testing::WithParamInterface<SentCase> {};

TEST_P(SentTest, ArrivesAsGiven) {
  auto m = Message();
  GetParam().fill(*this, *m);
  m->Call("Send");
  std::string report = Received(1);
  for (const auto& [key, value] : GetParam().expect) EXPECT_EQ(Value(report, key), value) << key;
  EXPECT_LE(std::stoi(Value(report, "longest_line")), 78) << report;
}

INSTANTIATE_TEST_SUITE_P(Mail, SentTest, ::testing::ValuesIn(kSent),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailCase {
  const char* name;
  std::function<void(MailTest&, Dispatch&)> act;  // the last step raises
  int32_t number;
  const char* fragment;  // in the description
};

// Sets one field of the message and sends it.
std::function<void(MailTest&, Dispatch&)> SendWith(const char* field, std::string value) {
  return [field, value](MailTest&, Dispatch& m) {
    m.Let(field, value);
    m.Call("Send");
  };
}

const FailCase kFailures[] = {
    {"RefusedRecipient", SendWith("To", "ok@example.com, refused@example.com"), kRecipientsRejected,
     "550 5.1.1 <refused@example.com>"},
    {"LineBreakInSubject",
     [](MailTest&, Dispatch& m) { m.Let("Subject", "Hi\r\nBcc: x@evil.example"); },
     kInvalidArgument, "Subject field must not hold a line break"},
    {"NulInSubject", [](MailTest&, Dispatch& m) { m.Let("Subject", std::string("a\0b", 3)); },
     kInvalidArgument, "NUL"},
    {"LineBreakInTo",
     [](MailTest&, Dispatch& m) { m.Let("To", "a@example.com\nBcc: x@evil.example"); },
     kInvalidArgument, "To field"},
    {"LineBreakInMediaType",
     [](MailTest& t, Dispatch& m) {
       t.Write("a.bin", "x");
       m.Call("AddAttachment", "M:/a.bin").ToObject()->Let("ContentMediaType", "a/b\r\nX: y");
     },
     kInvalidArgument, "line break"},
    {"NoServerAnywhere",
     [](MailTest&, Dispatch& m) {
       m.Set("Configuration", std::make_shared<MailConfiguration>());
       m.Call("Send");
     },
     kSmtpServerRequired, "SMTP server name is required"},
    {"FieldsNotUpdated",
     [](MailTest&, Dispatch& m) {
       auto c = std::make_shared<MailConfiguration>();
       m.Set("Configuration", c);
       SetField(m, "smtpserver", "127.0.0.1", false);
       m.Call("Send");
     },
     kSmtpServerRequired, "smtpserver"},
    {"NothingListens",
     [](MailTest&, Dispatch& m) {
       SetField(m, "smtpserverport", 1);  // nothing listens on port 1 of loopback
       m.Call("Send");
     },
     kFailedToConnect, "failed to connect"},
    {"PickupFolder",
     [](MailTest&, Dispatch& m) {
       SetField(m, "sendusing", 1);
       m.Call("Send");
     },
     kInvalidSendOption, "SendUsing"},
    {"NoFrom", SendWith("From", ""), kFromMissing, "From or Sender"},
    {"NoRecipient", SendWith("To", " ; "), kRecipientMissing, "recipient"},
    {"NotAnAddress", SendWith("To", "not an address"), kInvalidArgument, "not a mail address"},
    {"MissingAttachment", [](MailTest&, Dispatch& m) { m.Call("AddAttachment", "M:\\nope.bin"); },
     kFileNotFoundHr, "M:\\nope.bin"},
    {"AttachmentFromTheWeb",
     [](MailTest&, Dispatch& m) { m.Call("AddAttachment", "http://example.com/a.pdf"); },
     kInvalidArgument, "not the URL"},
    {"UnknownCharset",
     [](MailTest&, Dispatch& m) { m.Get("BodyPart").ToObject()->Let("Charset", "no-such-set"); },
     kInvalidArgument, "no-such-set"},
    {"TextTheCharsetCannotHold",
     [](MailTest&, Dispatch& m) {
       m.Get("BodyPart").ToObject()->Let("Charset", "iso-8859-1");
       m.Let("TextBody", "中文");
       m.Call("Send");
     },
     kInvalidArgument, "iso-8859-1"},
};

class FailTest : public MailTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(FailTest, RaisesAndDeliversNothing) {
  auto m = Message();
  try {
    GetParam().act(*this, *m);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), GetParam().number) << e.description();
    EXPECT_NE(e.description().find(GetParam().fragment), std::string::npos) << e.description();
  }
  EXPECT_EQ(Received(1), "<none>");
}

INSTANTIATE_TEST_SUITE_P(Mail, FailTest, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MailConfigurationTest, FieldsReadWhatWasWrittenAndResyncDropsIt) {
  MailConfiguration c;
  auto fields = c.Get("Fields").ToObject();
  auto port = fields->Get("Item", kField + "SMTPServerPort").ToObject();
  fields->Invoke("Item", MemberKind::kLet, {kField + "smtpserverport", int32_t{2525}});
  EXPECT_EQ(port->Get("Value").ToLong(), 2525);
  EXPECT_TRUE(c.Setting("smtpserverport").is_empty());
  fields->Call("Update");
  port->Let("Value", int32_t{25});
  fields->Call("Resync");
  EXPECT_EQ(c.Setting("smtpserverport").ToLong(), 2525);
  EXPECT_EQ(fields->Get("Item", int32_t{0}).ToObject()->Get("Value").ToLong(), 2525);
  EXPECT_EQ(fields->Get("Count").ToLong(), 1);
  EXPECT_THROW(fields->Get("Item", int32_t{1}), Error);
}

}  // namespace
}  // namespace mirelda::data
