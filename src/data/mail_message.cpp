#include "data/mail_message.h"

#include <fstream>
#include <iterator>

#include "data/charset_conversion.h"
#include "data/data_classes.h"
#include "data/mail_configuration.h"
#include "data/smtp_transfer.h"
#include "data/transfer_errors.h"
#include "mirelda/error.h"
#include "mirelda/path_map.h"
#include "mirelda/settings.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

constexpr long kSendUsingPort = 2;

const char* MediaTypeOf(std::string_view file_name) {
  static const std::pair<std::string_view, const char*> kTypes[] = {
      {"txt", "text/plain"},         {"htm", "text/html"},
      {"html", "text/html"},         {"csv", "text/csv"},
      {"xml", "text/xml"},           {"jpg", "image/jpeg"},
      {"jpeg", "image/jpeg"},        {"png", "image/png"},
      {"gif", "image/gif"},          {"bmp", "image/bmp"},
      {"pdf", "application/pdf"},    {"zip", "application/zip"},
      {"doc", "application/msword"}, {"xls", "application/vnd.ms-excel"}};
  size_t dot = file_name.rfind('.');
  if (dot != std::string_view::npos) {
    std::string ext = text::ToLowerAscii(file_name.substr(dot + 1));
    for (const auto& [e, type] : kTypes) {
      if (ext == e) return type;
    }
  }
  return "application/octet-stream";
}

// A configuration value as text; Empty and Null give "".
std::string TextOf(const Variant& v) { return v.is_empty() || v.is_null() ? "" : v.ToString(); }

bool IsYes(std::string_view value) {
  std::string v = text::ToLowerAscii(text::Trim(value));
  return v == "1" || v == "true" || v == "yes" || v == "on";
}

// "host", "host:port", "[v6]" or "[v6]:port"; the port stays as it was when none is given.
void SplitServer(const std::string& text, SmtpServer& server) {
  std::string s = text::Trim(text);
  size_t colon = s.rfind(':');
  bool bracketed = !s.empty() && s[0] == '[';
  if (colon != std::string::npos && (bracketed ? s[colon - 1] == ']' : s.find(':') == colon)) {
    std::string port = s.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != port.npos) {
      throw Error(kInvalidArgument, "The SMTP server \"" + s + "\" has no valid port");
    }
    server.port = std::stol(port);
    s.resize(colon);
  }
  if (bracketed && s.size() >= 2 && s.back() == ']') s = s.substr(1, s.size() - 2);
  server.host = s;
}

long NumberSetting(const Variant& value, const std::optional<std::string>& fallback, long dflt) {
  if (!value.is_empty() && !value.is_null()) return value.ToLong();
  if (fallback && !fallback->empty()) return Variant(*fallback).ToLong();
  return dflt;
}

}  // namespace

MailBodyPart::MailBodyPart(std::shared_ptr<MailPartState> state) : state_(std::move(state)) {}

std::string MailBodyPart::GetCharset() { return state_->charset; }
void MailBodyPart::SetCharset(const std::string& charset) {
  RefuseLineBreaks("Charset", charset);
  EncodeCharset("", charset);  // refuses a charset iconv does not know, now rather than at Send
  state_->charset = text::ToLowerAscii(charset);
}
std::string MailBodyPart::GetContentMediaType() { return state_->media_type; }
void MailBodyPart::SetContentMediaType(const std::string& type) {
  RefuseLineBreaks("ContentMediaType", type);
  state_->media_type = type;
}
std::string MailBodyPart::FileName() { return state_->file_name; }

const MemberTable& MailBodyPart::Members() const {
  using P = MailBodyPart;
  static const MemberTable table =
      MemberTableBuilder<P>("IBodyPart")
          .Get<&P::GetCharset>("Charset")
          .Let<&P::SetCharset>("Charset", {Arg("Charset")})
          .Get<&P::GetContentMediaType>("ContentMediaType")
          .Let<&P::SetContentMediaType>("ContentMediaType", {Arg("ContentMediaType")})
          .Get<&P::FileName>("FileName")
          .Build();
  return table;
}

MailMessage::MailMessage()
    : configuration_(std::make_shared<MailConfiguration>()),
      body_part_(std::make_shared<MailPartState>()) {}

void MailMessage::Store(std::string& field, std::string_view name, const std::string& value) {
  RefuseLineBreaks(name, value);
  field = value;
}

std::shared_ptr<Dispatch> MailMessage::GetConfiguration() { return configuration_; }

void MailMessage::SetConfiguration(std::shared_ptr<Dispatch> configuration) {
  auto typed = std::dynamic_pointer_cast<MailConfiguration>(configuration);
  if (!typed) {
    throw Error(errc::kTypeMismatch, "Configuration takes a CDO.Configuration object");
  }
  configuration_ = std::move(typed);
}

std::shared_ptr<Dispatch> MailMessage::BodyPart() {
  return std::make_shared<MailBodyPart>(body_part_);
}

std::shared_ptr<Dispatch> MailMessage::AddAttachment(const std::string& url, const std::string&,
                                                     const std::string&) {
  if (url.find('\0') != std::string::npos) {
    throw Error(kInvalidArgument, "An attachment's path must not hold a NUL");
  }
  std::string path = url;
  if (text::ToLowerAscii(path.substr(0, 7)) == "file://") {
    path = path.substr(7);
    // "file:///C:/x" names the drive path "C:/x".
    if (path.size() > 3 && path[0] == '/' && path[2] == ':') path = path.substr(1);
  } else if (path.find("://") != std::string::npos) {
    throw Error(kInvalidArgument,
                "AddAttachment takes a file on this server, not the URL \"" + url + "\"");
  }
  std::filesystem::path file = paths::Resolve(path);
  std::ifstream in(file, std::ios::binary);
  std::error_code ec;
  if (!in || std::filesystem::is_directory(file, ec)) {
    throw Error(kFileNotFoundHr, "The system cannot find the file specified: " + url);
  }
  auto part = std::make_shared<MailPartState>();
  part->content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) throw Error(errc::kPermissionDenied, "The file " + url + " cannot be read");
  size_t slash = path.find_last_of("/\\");
  part->file_name = slash == std::string::npos ? path : path.substr(slash + 1);
  part->media_type = MediaTypeOf(part->file_name);
  attachments_.push_back(part);
  return std::make_shared<MailBodyPart>(part);
}

std::string MailMessage::Mime() const {
  MimeMessage m;
  m.from = from_.empty() ? settings::Get("mail", "from").value_or("") : from_;
  m.sender = sender_;
  m.to = to_;
  m.cc = cc_;
  m.reply_to = reply_to_;
  m.subject = subject_;
  m.text_body = text_body_;
  m.html_body = html_body_;
  m.charset = body_part_->charset;
  for (const auto& a : attachments_)
    m.attachments.push_back({a->file_name, a->media_type, a->content});
  return BuildMime(m, std::time(nullptr));
}

void MailMessage::Send() {
  const MailConfiguration& cfg = *configuration_;
  Variant send_using = cfg.Setting("sendusing");
  if (!send_using.is_empty() && send_using.ToLong() != kSendUsingPort) {
    throw Error(kInvalidSendOption,
                "The \"SendUsing\" configuration value is invalid: this server sends through an "
                "SMTP port only (cdoSendUsingPort, 2)");
  }
  SmtpServer server;
  std::string named = TextOf(cfg.Setting("smtpserver"));
  // A message that names no server goes to the host's, with the host's logon and options.
  bool from_host = named.empty();
  auto host = [&](const char* key) {
    return from_host ? settings::Get("mail", key) : std::nullopt;
  };
  if (from_host) named = host("smtp-server").value_or("");
  if (named.empty()) {
    throw Error(kSmtpServerRequired,
                "The SMTP server name is required, and was not found in the configuration "
                "source (smtpserver, or \"smtp-server\" in the host's [mail] settings)");
  }
  SplitServer(named, server);
  if (server.host.empty()) {
    throw Error(kSmtpServerRequired, "The SMTP server \"" + named + "\" names no host");
  }
  server.port = NumberSetting(cfg.Setting("smtpserverport"), std::nullopt, server.port);
  Variant ssl = cfg.Setting("smtpusessl");
  server.ssl = !ssl.is_empty() ? ssl.ToBool() : IsYes(host("smtp-ssl").value_or(""));
  server.connect_timeout_seconds =
      NumberSetting(cfg.Setting("smtpconnectiontimeout"), host("smtp-timeout"), 30);
  long authenticate = NumberSetting(cfg.Setting("smtpauthenticate"), std::nullopt, 0);
  if (authenticate == 1) {
    server.user = TextOf(cfg.Setting("sendusername"));
    server.password = TextOf(cfg.Setting("sendpassword"));
  } else if (authenticate != 0) {
    throw Error(kInvalidArgument,
                "smtpauthenticate " + std::to_string(authenticate) +
                    " is not offered: use 0 (anonymous) or 1 (basic, user name and password)");
  } else if (from_host) {
    server.user = host("smtp-user").value_or("");
    server.password = host("smtp-password").value_or("");
  }

  std::string from = from_.empty() ? settings::Get("mail", "from").value_or("") : from_;
  std::vector<MailAddress> origin = ParseAddressList(sender_.empty() ? from : sender_, "From");
  if (origin.empty()) {
    throw Error(kFromMissing,
                "At least one of the From or Sender fields is required, and neither was found");
  }
  std::vector<std::string> recipients;
  for (const auto& [list, field] : {std::pair{&to_, "To"}, {&cc_, "CC"}, {&bcc_, "BCC"}}) {
    for (const MailAddress& a : ParseAddressList(*list, field)) recipients.push_back(a.address);
  }
  if (recipients.empty()) {
    throw Error(kRecipientMissing, "At least one recipient is required, but none were found");
  }
  SendBySmtp(server, origin[0].address, recipients, Mime());
}

std::optional<Guid> MailMessage::ClassId() const { return MailMessageClassId(); }

const MemberTable& MailMessage::Members() const {
  using M = MailMessage;
  static const MemberTable table =
      MemberTableBuilder<M>("IMessage")
          .Get<&M::GetFrom>("From")
          .Let<&M::SetFrom>("From", {Arg("From")})
          .Get<&M::GetSender>("Sender")
          .Let<&M::SetSender>("Sender", {Arg("Sender")})
          .Get<&M::GetTo>("To")
          .Let<&M::SetTo>("To", {Arg("To")})
          .Get<&M::GetCc>("CC")
          .Let<&M::SetCc>("CC", {Arg("CC")})
          .Get<&M::GetBcc>("BCC")
          .Let<&M::SetBcc>("BCC", {Arg("BCC")})
          .Get<&M::GetReplyTo>("ReplyTo")
          .Let<&M::SetReplyTo>("ReplyTo", {Arg("ReplyTo")})
          .Get<&M::GetSubject>("Subject")
          .Let<&M::SetSubject>("Subject", {Arg("Subject")})
          .Get<&M::GetTextBody>("TextBody")
          .Let<&M::SetTextBody>("TextBody", {Arg("TextBody")})
          .Get<&M::GetHtmlBody>("HTMLBody")
          .Let<&M::SetHtmlBody>("HTMLBody", {Arg("HTMLBody")})
          .Get<&M::GetConfiguration>("Configuration")
          .Set<&M::SetConfiguration>("Configuration", {Arg("Configuration")})
          .Get<&M::BodyPart>("BodyPart")
          .Method<&M::AddAttachment>(
              "AddAttachment", {Arg("URL"), Arg("UserName").Optional(), Arg("Password").Optional()})
          .Method<&M::Send>("Send")
          .Build();
  return table;
}

}  // namespace mirelda::data
