// The text of a mail message as it goes over SMTP: the header fields (non-ASCII words encoded
// as RFC 2047 encoded words), a text body, an HTML body or both (multipart/alternative), and
// attachments (multipart/mixed, base64). Bodies are written in the message's charset, 7bit when
// they are short-lined ASCII and quoted-printable otherwise. Lines end in CRLF; dot-stuffing is
// the transport's business.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace mirelda::data {

struct MimeAttachment {
  std::string file_name;   // UTF-8, the name without folders
  std::string media_type;  // "application/pdf"
  std::string content;     // the bytes of the file
};

struct MimeMessage {
  std::string from, sender, to, cc, reply_to, subject;
  std::string text_body, html_body;
  std::string charset = "utf-8";
  std::vector<MimeAttachment> attachments;
};

// One address of an address list: "Name <a@b>", "\"Name\" <a@b>" or "a@b".
struct MailAddress {
  std::string display;  // may be empty
  std::string address;  // what the envelope carries
};

// The addresses of a list separated by "," or ";" (outside quotes and angle brackets). Raises
// Error Invalid argument (-2147024809) naming the field for an entry without an address.
std::vector<MailAddress> ParseAddressList(std::string_view list, std::string_view field);

// Raises Error Invalid argument (-2147024809) naming the field when value holds a CR, an LF or
// a NUL, which would let it start header fields of its own or cut it short.
void RefuseLineBreaks(std::string_view field, std::string_view value);

// Text as one or more RFC 2047 encoded words (UTF-8, base64) joined by folding white space, or
// as it is when it is all printable ASCII.
std::string EncodeHeaderText(std::string_view text);

// Bytes as quoted-printable with CRLF line ends and lines of at most 76 characters; any line
// break in the input (CRLF, LF or CR) is a line break of the text.
std::string QuotedPrintable(std::string_view bytes);
// Bytes as base64 in lines of 76 characters, each ending in CRLF.
std::string Base64Lines(std::string_view bytes);

// The whole message. date is the moment it is sent; the Message-ID and boundaries are random.
// Raises Error Invalid argument (-2147024809) for CR, LF or NUL in a header field and for text the
// charset cannot hold.
std::string BuildMime(const MimeMessage& message, std::time_t date);

}  // namespace mirelda::data
