// MSXML2.ServerXMLHTTP through its member table against a real HTTP server on loopback: methods,
// headers, bodies of text and bytes, charsets, status lines, redirects, timeouts, and the URLs
// and hosts it must refuse before connecting.
#include "data/server_http_request.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "data/transfer_errors.h"
#include "mirelda/settings.h"
#include "support/python_server.h"

namespace mirelda::data {
namespace {

using testing::PythonServer;

std::string Field(const std::string& body, const std::string& key) {
  std::string text = "\n" + body;
  size_t at = text.find("\n" + key + "=");
  if (at == std::string::npos) return "<absent>";
  size_t start = at + key.size() + 2;
  return text.substr(start, text.find('\n', start) - start);
}

class HttpTest : public ::testing::Test {
 public:
  static void SetUpTestSuite() { server_ = new PythonServer("http_sink.py"); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override { settings::ClearAll(); }
  void TearDown() override { settings::ClearAll(); }

  static std::string Url(const std::string& path) { return server_->Url(path); }
  static std::string Authority() { return "127.0.0.1:" + std::to_string(server_->port()); }

  std::shared_ptr<ServerHttpRequest> request_ = std::make_shared<ServerHttpRequest>();
  static inline PythonServer* server_ = nullptr;
};

struct Exchange {
  const char* name;
  std::function<void(Dispatch&)> run;                            // opens and sends
  std::vector<std::pair<std::string, std::string>> text_fields;  // of an /echo reply
  const char* text = nullptr;  // the whole responseText when not an echo; nullptr to skip
  int32_t status = 200;
  const char* status_text = "OK";
};

Variant Bytes(std::string_view s) { return Variant(ByteArray(s)); }

// Opens a GET of the path on the test server and sends it.
std::function<void(Dispatch&)> Fetch(std::string path) {
  return [path](Dispatch& r) {
    r.Call("open", "GET", HttpTest::Url(path));
    r.Call("send");
  };
}

// Opens the path synchronously with the method, sets a header when one is named, and sends the
// body, or nothing when there is none.
std::function<void(Dispatch&)> Send(std::string method, std::string path,
                                    std::optional<Variant> body = {}, std::string header = "",
                                    std::string value = "") {
  return [=](Dispatch& r) {
    r.Call("open", method, HttpTest::Url(path), false);
    if (!header.empty()) r.Call("setRequestHeader", header, value);
    if (body) {
      r.Call("send", *body);
    } else {
      r.Call("send");
    }
  };
}

const Exchange kExchanges[] = {
    {"GetWithHeader",
     Send("get", "/echo", {}, "X-Test", "abc"),
     {{"method", "GET"}, {"x-test", "abc"}, {"body", ""}, {"content-type", "None"}}},
    {"PostTextAsUtf8",
     Send("POST", "/echo", "中文", "Content-Type", "text/plain; charset=utf-8"),
     {{"method", "POST"}, {"content-type", "text/plain; charset=utf-8"}, {"body", "e4b8ade69687"}}},
    {"PutBytesAsTheyAre",
     Send("PUT", "/echo", Bytes(std::string_view("\x00\xff\x80", 3))),
     {{"method", "PUT"}, {"body", "00ff80"}, {"content-type", "None"}}},
    {"AsyncRunsToTheEnd",
     [](Dispatch& r) {
       r.Call("open", "GET", HttpTest::Url("/echo"), true);
       r.Call("send");
       r.Call("waitForResponse", 5);
     },
     {{"method", "GET"}}},
    {"PostAfter302IsGet",
     Send("POST", "/redirect?code=302&to=/echo", "x=1"),
     {{"method", "GET"}, {"body", ""}}},
    {"PostAfter307IsRepeated",
     [](Dispatch& r) {
       r.Call("open", "POST", HttpTest::Url("/redirect?code=307&to=") + HttpTest::Url("/echo"));
       r.Call("send", "x=1");
     },
     {{"method", "POST"}, {"body", "783d31"}}},
    {"OwnReasonPhrase", Fetch("/status"), {}, "gone", 404, "Nothing Here"},
    {"GbkText", Fetch("/text?charset=gbk"), {}, "中文ā"},
    {"Latin1Text", Fetch("/text?charset=iso-8859-1"), {}, "café"},
    {"NoCharsetIsUtf8AndTheMarkGoes", Fetch("/text?charset=none&bom=1"), {}, "中文ā"},
    {"BasicLogon",
     [](Dispatch& r) {
       r.Call("open", "GET", HttpTest::Url("/auth"), false, "user", "pa:ss");
       r.Call("send");
     },
     {},
     "user:pa:ss"},
    {"AllowedByHostAndPort",
     [](Dispatch& r) {
       settings::SetSection("http", {{"allow", "example.com " + HttpTest::Authority()}});
       Fetch("/echo")(r);
     },
     {{"method", "GET"}}},
};

class ExchangeTest : public HttpTest, public ::testing::WithParamInterface<Exchange> {};

TEST_P(ExchangeTest, AnswersAsTheServerDid) {
  const Exchange& x = GetParam();
  x.run(*request_);
  EXPECT_EQ(request_->Get("readyState").ToLong(), 4);
  EXPECT_EQ(request_->Get("status").ToLong(), x.status);
  EXPECT_EQ(request_->Get("statusText").ToString(), x.status_text);
  std::string text = request_->Get("responseText").ToString();
  for (const auto& [key, value] : x.text_fields) EXPECT_EQ(Field(text, key), value) << key;
  if (x.text) {
    EXPECT_EQ(text, x.text);
  }
}

INSTANTIATE_TEST_SUITE_P(Http, ExchangeTest, ::testing::ValuesIn(kExchanges),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpTest, BodyAndHeadersOfTheResponse) {
  request_->Call("open", "GET", Url("/bytes"));
  request_->Call("send");
  Variant body = request_->Get("responseBody");
  ASSERT_TRUE(body.is_bytes());
  ASSERT_EQ(body.AsBytes().size(), 256u);
  for (size_t i = 0; i < 256; ++i) EXPECT_EQ(body.AsBytes().data()[i], i);
  EXPECT_EQ(request_->Call("getResponseHeader", "content-TYPE").ToString(),
            "application/octet-stream");
  std::string all = request_->Call("getAllResponseHeaders").ToString();
  EXPECT_NE(all.find("Content-Length: 256\r\n"), std::string::npos) << all;
  EXPECT_EQ(all.find("HTTP/1.1"), std::string::npos) << all;
  request_->Call("abort");
  EXPECT_EQ(request_->Get("readyState").ToLong(), 0);
}

struct Refusal {
  const char* name;
  std::function<void(Dispatch&)> run;
  int32_t number;
  const char* fragment;
};

const Refusal kRefusals[] = {
    {"HostNotAllowed",
     [](Dispatch& r) {
       settings::SetSection("http", {{"allow", "example.com 127.0.0.1:1"}});
       r.Call("open", "GET", HttpTest::Url("/echo"));
     },
     kAccessDenied, "not in the allow-list"},
    {"RedirectToAHostNotAllowed",
     [](Dispatch& r) {
       settings::SetSection("http", {{"allow", "127.0.0.1"}});
       Fetch("/redirect?code=302&to=http://localhost:1/")(r);
     },
     kAccessDenied, "localhost"},
    {"RedirectToAnotherScheme", Fetch("/redirect?code=301&to=ftp://127.0.0.1/x"),
     kHttpRedirectFailed, "ftp://"},
    {"EndlessRedirects",
     Fetch("/redirect?code=302&to=/redirect%3Fcode%3D302%26to%3D"
           "/redirect%253Fcode%253D303%2526to%253D/status"),
     0, ""},
    {"FileScheme", [](Dispatch& r) { r.Call("open", "GET", "file:///etc/passwd"); },
     kHttpBadProtocol, "recognized protocol"},
    {"NulInUrl",
     [](Dispatch& r) { r.Call("open", "GET", std::string("http://127.0.0.1/a\0.evil", 24)); },
     kHttpBadUrl, "invalid"},
    {"RelativeUrl", [](Dispatch& r) { r.Call("open", "GET", "/echo"); }, kHttpBadUrl, "invalid"},
    {"ReceiveTimeout",
     [](Dispatch& r) {
       r.Call("setTimeouts", 0, 5000, 5000, 300);
       Fetch("/slow?seconds=5")(r);
     },
     kHttpTimeout, "timed out"},
    {"NothingListens",
     [](Dispatch& r) {
       r.Call("open", "GET", "http://127.0.0.1:1/");
       r.Call("send");
     },
     kHttpCannotConnect, "could not be established"},
    {"LineBreakInHeader", Send("GET", "/echo", {}, "X-Test", "a\r\nHost: evil"), kInvalidArgument,
     "line break"},
    {"MethodWithSpace",
     [](Dispatch& r) { r.Call("open", "GET /x HTTP/1.0\r\n", HttpTest::Url("/echo")); },
     kInvalidArgument, "not an HTTP method"},
    {"SendBeforeOpen", [](Dispatch& r) { r.Call("send"); }, kUnexpected, "open"},
    {"StatusBeforeSend",
     [](Dispatch& r) {
       r.Call("open", "GET", HttpTest::Url("/echo"));
       r.Get("status");
     },
     kPending, "not yet available"},
    {"HeaderNotThere",
     [](Dispatch& r) {
       Fetch("/echo")(r);
       r.Call("getResponseHeader", "X-Nope");
     },
     kHttpHeaderNotFound, "X-Nope"},
    {"BodyOfAnArray", Send("POST", "/echo", Variant(VariantArray({Variant(int32_t{1})}))),
     errc::kTypeMismatch, "text or a byte array"},
};

class RefusalTest : public HttpTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, RaisesTheHttpStacksError) {
  const Refusal& x = GetParam();
  try {
    x.run(*request_);
    // Three redirects stay within the limit; the chain must end at its last target.
    EXPECT_EQ(x.number, 0);
    EXPECT_EQ(request_->Get("status").ToLong(), 404);
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), x.number) << e.description();
    EXPECT_NE(e.description().find(x.fragment), std::string::npos) << e.description();
    // Only a missing response header comes after a complete exchange.
    if (x.number != kHttpHeaderNotFound) {
      EXPECT_NE(request_->Get("readyState").ToLong(), 4);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Http, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirelda::data
