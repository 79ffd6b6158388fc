// "CDO.Message": a mail message that a page fills in and sends over SMTP. The header fields
// (From, Sender, To, CC, BCC, ReplyTo, Subject) are text; To, CC and BCC take addresses separated
// by "," or ";", and BCC reaches only the envelope. TextBody, HTMLBody or both make the body;
// BodyPart.Charset names the charset the bodies are written in (utf-8 unless set). AddAttachment
// takes a file on this server by page path (through the drive map) or a "file://" URL; other URLs
// are refused, so a page cannot make the server fetch for it. Send builds the MIME message and
// hands it to the server of the message's Configuration, or, when that names none, to the server
// of the host's "[mail]" settings. Only sending through a port (sendusing 2) is offered.
//
// A header field that holds a CR or LF is refused with Invalid argument (-2147024809) when it is
// set, so that no page input can add header fields. Send failures carry the mail library's
// numbers and the server's reply text.
//
// Threading: belongs to the page that made it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/live_objects.h"
#include "data/mime_builder.h"
#include "mirelda/dispatch.h"

namespace mirelda::data {

class MailConfiguration;

// What a body part object shows: the charset of the message's bodies, or an attachment's media
// type and file name.
struct MailPartState {
  std::string charset = "utf-8";
  std::string media_type;
  std::string file_name;
  std::string content;
};

// A body part: Charset, ContentMediaType, FileName.
class MailBodyPart final : public Dispatch {
 public:
  explicit MailBodyPart(std::shared_ptr<MailPartState> state);

  std::string GetCharset();
  // Invalid argument for a charset iconv does not know or that holds a line break.
  void SetCharset(const std::string& charset);
  std::string GetContentMediaType();
  void SetContentMediaType(const std::string& type);
  std::string FileName();

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "IBodyPart"; }

 private:
  std::shared_ptr<MailPartState> state_;
};

class MailMessage final : public Dispatch {
 public:
  MailMessage();

  // One property per header field; the setters refuse CR and LF.
  std::string GetFrom() { return from_; }
  void SetFrom(const std::string& v) { Store(from_, "From", v); }
  std::string GetSender() { return sender_; }
  void SetSender(const std::string& v) { Store(sender_, "Sender", v); }
  std::string GetTo() { return to_; }
  void SetTo(const std::string& v) { Store(to_, "To", v); }
  std::string GetCc() { return cc_; }
  void SetCc(const std::string& v) { Store(cc_, "CC", v); }
  std::string GetBcc() { return bcc_; }
  void SetBcc(const std::string& v) { Store(bcc_, "BCC", v); }
  std::string GetReplyTo() { return reply_to_; }
  void SetReplyTo(const std::string& v) { Store(reply_to_, "ReplyTo", v); }
  std::string GetSubject() { return subject_; }
  void SetSubject(const std::string& v) { Store(subject_, "Subject", v); }
  std::string GetTextBody() { return text_body_; }
  void SetTextBody(const std::string& v) { text_body_ = v; }
  std::string GetHtmlBody() { return html_body_; }
  void SetHtmlBody(const std::string& v) { html_body_ = v; }

  std::shared_ptr<Dispatch> GetConfiguration();
  // Type mismatch (13) for an object that is no CDO.Configuration.
  void SetConfiguration(std::shared_ptr<Dispatch> configuration);
  std::shared_ptr<Dispatch> BodyPart();

  // Reads the file now and returns its body part. The user name and password of the platform's
  // signature are accepted and unused: no URL is fetched.
  std::shared_ptr<Dispatch> AddAttachment(const std::string& url, const std::string& user,
                                          const std::string& password);
  void Send();

  // The message as Send would hand it over, for the server and for tests.
  std::string Mime() const;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "IMessage"; }
  std::optional<Guid> ClassId() const override;

 private:
  static void Store(std::string& field, std::string_view name, const std::string& value);

  std::string from_, sender_, to_, cc_, bcc_, reply_to_, subject_, text_body_, html_body_;
  std::shared_ptr<MailConfiguration> configuration_;
  std::shared_ptr<MailPartState> body_part_;
  std::vector<std::shared_ptr<MailPartState>> attachments_;
  LiveObject live_;
};

}  // namespace mirelda::data
