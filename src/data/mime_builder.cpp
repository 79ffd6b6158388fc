#include "data/mime_builder.h"

#include <cstdint>
#include <cstdio>
#include <random>

#include "data/charset_conversion.h"
#include "data/transfer_errors.h"
#include "mirelda/error.h"
#include "mirelda/text.h"
#include "platform/percent_encoding.h"
#include "platform/utf8.h"

namespace mirelda::data {
namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHex[] = "0123456789ABCDEF";
// Bytes per encoded word: 39 bytes make 52 base64 characters, so that a word with its
// "=?utf-8?B?" and "?=" stays well inside a 78-character line.
constexpr size_t kWordBytes = 39;
// The longest line that 7bit content may have.
constexpr size_t kLongestLine = 998;

struct Part {
  std::string headers;  // each field ends in CRLF
  std::string body;
};

// What an RFC 2231 parameter value keeps as it is.
bool KeepsInParameter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

bool IsPrintableAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

std::string Base64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 2]);
    out += kBase64[(n >> 18) & 63];
    out += kBase64[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kBase64[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kBase64[n & 63] : '=';
  }
  return out;
}

// Each line break of any form becomes CRLF.
std::string WithCrlf(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 32);
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (s[i] == '\n') {
      out += "\r\n";
    } else {
      out += s[i];
    }
  }
  return out;
}

// True when CRLF text can go as 7bit: ASCII without NUL and no line longer than SMTP allows.
bool FitsSevenBit(std::string_view crlf_text) {
  size_t column = 0;
  for (unsigned char c : crlf_text) {
    if (c == 0 || c >= 0x80) return false;
    if (c == '\n') {
      column = 0;
    } else if (++column > kLongestLine) {
      return false;
    }
  }
  return true;
}

std::string QuotedString(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string RandomHex(size_t bytes) {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  std::string out;
  for (size_t i = 0; i < bytes; ++i) {
    auto b = static_cast<uint8_t>(generator());
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

// RFC 5322 date in local time with its offset; the names are English whatever the locale.
std::string MailDate(std::time_t when) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  ::localtime_r(&when, &tm);
  long offset = tm.tm_gmtoff / 60;
  char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                kDays[tm.tm_wday], tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour,
                tm.tm_min, tm.tm_sec, sign, offset / 60, offset % 60);
  return buffer;
}

std::string FormatAddresses(std::string_view list, std::string_view field) {
  std::string out;
  for (const MailAddress& a : ParseAddressList(list, field)) {
    if (!out.empty()) out += ",\r\n ";
    if (a.display.empty()) {
      out += a.address;
    } else {
      out += IsPrintableAscii(a.display) ? QuotedString(a.display) : EncodeHeaderText(a.display);
      out += " <" + a.address + ">";
    }
  }
  return out;
}

void AddField(std::string& headers, std::string_view name, const std::string& value) {
  if (!value.empty()) headers += std::string(name) + ": " + value + "\r\n";
}

Part TextPart(std::string_view text, std::string_view subtype, const std::string& charset) {
  std::string bytes =
      WithCrlf(IsUtf8Charset(charset) ? std::string(text) : EncodeCharset(text, charset));
  Part part;
  part.headers = "Content-Type: text/" + std::string(subtype) + "; charset=" + charset + "\r\n";
  if (FitsSevenBit(bytes)) {
    part.headers += "Content-Transfer-Encoding: 7bit\r\n";
    part.body = std::move(bytes);
  } else {
    part.headers += "Content-Transfer-Encoding: quoted-printable\r\n";
    part.body = QuotedPrintable(bytes);
  }
  return part;
}

Part AttachmentPart(const MimeAttachment& file) {
  RefuseLineBreaks("ContentMediaType", file.media_type);
  Part part;
  if (IsPrintableAscii(file.file_name)) {
    std::string quoted = QuotedString(file.file_name);
    part.headers = "Content-Type: " + file.media_type + "; name=" + quoted + "\r\n" +
                   "Content-Disposition: attachment; filename=" + quoted + "\r\n";
  } else {
    // The encoded word for readers that know only RFC 2047, the RFC 2231 form for the rest.
    std::string percent = platform::PercentEncode(file.file_name, KeepsInParameter);
    part.headers = "Content-Type: " + file.media_type + ";\r\n name=\"=?utf-8?B?" +
                   Base64(file.file_name) + "?=\"\r\n" +
                   "Content-Disposition: attachment;\r\n filename*=utf-8''" + percent + "\r\n";
  }
  part.headers += "Content-Transfer-Encoding: base64\r\n";
  part.body = Base64Lines(file.content);
  return part;
}

Part Multipart(std::string_view subtype, const std::vector<Part>& parts) {
  std::string boundary = "----=_Part_" + RandomHex(12);
  Part whole;
  whole.headers =
      "Content-Type: multipart/" + std::string(subtype) + ";\r\n boundary=\"" + boundary + "\"\r\n";
  whole.body = "This is a multi-part message in MIME format.\r\n";
  for (const Part& p : parts)
    whole.body += "\r\n--" + boundary + "\r\n" + p.headers + "\r\n" + p.body;
  whole.body += "\r\n--" + boundary + "--\r\n";
  return whole;
}

Part Content(const MimeMessage& m) {
  Part body;
  if (!m.text_body.empty() && !m.html_body.empty()) {
    body = Multipart("alternative", {TextPart(m.text_body, "plain", m.charset),
                                     TextPart(m.html_body, "html", m.charset)});
  } else if (!m.html_body.empty()) {
    body = TextPart(m.html_body, "html", m.charset);
  } else {
    body = TextPart(m.text_body, "plain", m.charset);
  }
  if (m.attachments.empty()) return body;
  std::vector<Part> parts = {std::move(body)};
  for (const MimeAttachment& file : m.attachments) parts.push_back(AttachmentPart(file));
  return Multipart("mixed", parts);
}

}  // namespace

std::vector<MailAddress> ParseAddressList(std::string_view list, std::string_view field) {
  std::vector<std::string> pieces(1);
  bool quoted = false;
  bool angled = false;
  for (size_t i = 0; i < list.size(); ++i) {
    char c = list[i];
    if (quoted && c == '\\' && i + 1 < list.size()) {
      pieces.back() += c;
      c = list[++i];
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '<') {
      angled = true;
    } else if (!quoted && c == '>') {
      angled = false;
    } else if (!quoted && !angled && (c == ',' || c == ';')) {
      pieces.emplace_back();
      continue;
    }
    pieces.back() += c;
  }
  std::vector<MailAddress> addresses;
  for (const std::string& piece : pieces) {
    std::string entry = text::Trim(piece);
    if (entry.empty()) continue;
    MailAddress a;
    size_t open = entry.rfind('<');
    if (open != std::string::npos && entry.back() == '>') {
      a.address = text::Trim(entry.substr(open + 1, entry.size() - open - 2));
      std::string display = text::Trim(entry.substr(0, open));
      if (display.size() >= 2 && display.front() == '"' && display.back() == '"') {
        for (size_t i = 1; i + 1 < display.size(); ++i) {
          if (display[i] == '\\' && i + 2 < display.size()) ++i;
          a.display += display[i];
        }
      } else {
        a.display = display;
      }
    } else {
      a.address = entry;
    }
    bool bad = a.address.empty() || a.address.find_first_of(" \t<>\"") != std::string::npos;
    if (bad) {
      throw Error(kInvalidArgument, "The " + std::string(field) + " field holds \"" + entry +
                                        "\", which is not a mail address");
    }
    addresses.push_back(std::move(a));
  }
  return addresses;
}

void RefuseLineBreaks(std::string_view field, std::string_view value) {
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    throw Error(kInvalidArgument, "The " + std::string(field) +
                                      " field must not hold a line break (CR or LF) or a NUL: "
                                      "it would start header fields of its own");
  }
}

std::string EncodeHeaderText(std::string_view text) {
  if (IsPrintableAscii(text) && text.find("=?") == std::string_view::npos &&
      text.size() <= kLongestLine - 100) {
    return std::string(text);
  }
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    // Whole characters only, so that every word decodes on its own.
    while (end < text.size()) {
      // A malformed sequence is cut as short as it is well-formed, so the walk always moves on.
      namespace utf8 = platform::utf8;
      size_t next = end + utf8::DecodeNext(text, end, utf8::Malformed::kMaximalPrefix).size;
      if (next > text.size() || (next - start > kWordBytes && end > start)) break;
      end = next;
    }
    if (end == start) end = text.size();
    if (!out.empty()) out += "\r\n ";
    out += "=?utf-8?B?" + Base64(text.substr(start, end - start)) + "?=";
    start = end;
  }
  return out;
}

std::string QuotedPrintable(std::string_view bytes) {
  std::string out;
  size_t column = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      out += "\r\n";
      column = 0;
      continue;
    }
    bool line_end = i + 1 == bytes.size() || bytes[i + 1] == '\r' || bytes[i + 1] == '\n';
    bool blank = c == ' ' || c == '\t';
    bool literal = (c >= 33 && c <= 126 && c != '=') || (blank && !line_end);
    std::string token = literal ? std::string(1, static_cast<char>(c))
                                : std::string{'=', kHex[c >> 4], kHex[c & 15]};
    // 75 characters and the "=" of a soft line break make the longest line.
    if (column + token.size() > 75) {
      out += "=\r\n";
      column = 0;
    }
    out += token;
    column += token.size();
  }
  return out;
}

std::string Base64Lines(std::string_view bytes) {
  std::string encoded = Base64(bytes);
  std::string out;
  out.reserve(encoded.size() + encoded.size() / 76 * 2 + 2);
  for (size_t i = 0; i < encoded.size(); i += 76) out += encoded.substr(i, 76) + "\r\n";
  return out;
}

std::string BuildMime(const MimeMessage& m, std::time_t date) {
  const std::pair<std::string_view, const std::string*> fields[] = {
      {"From", &m.from},         {"Sender", &m.sender},   {"To", &m.to},          {"Cc", &m.cc},
      {"Reply-To", &m.reply_to}, {"Subject", &m.subject}, {"charset", &m.charset}};
  for (const auto& [name, value] : fields) RefuseLineBreaks(name, *value);

  std::vector<MailAddress> from = ParseAddressList(m.from, "From");
  std::string domain = "localhost";
  if (!from.empty() && from[0].address.find('@') != std::string::npos) {
    domain = from[0].address.substr(from[0].address.find('@') + 1);
  }
  std::string headers;
  AddField(headers, "Date", MailDate(date));
  AddField(headers, "From", FormatAddresses(m.from, "From"));
  AddField(headers, "Sender", FormatAddresses(m.sender, "Sender"));
  AddField(headers, "Reply-To", FormatAddresses(m.reply_to, "ReplyTo"));
  AddField(headers, "To", FormatAddresses(m.to, "To"));
  AddField(headers, "Cc", FormatAddresses(m.cc, "Cc"));
  AddField(headers, "Subject", EncodeHeaderText(m.subject));
  AddField(headers, "Message-ID", "<" + RandomHex(16) + "@" + domain + ">");
  headers += "MIME-Version: 1.0\r\n";
  Part content = Content(m);
  return headers + content.headers + "\r\n" + content.body;
}

}  // namespace mirelda::data
