// "ADODB.Stream": bytes in memory that pages fill and drain as binary data (Write, Read) or as
// text in a named charset (WriteText, ReadText), load from and save to files through the path
// map. Positions and sizes count bytes; text counts characters. Errors are the data access
// HRESULTs: object closed, object open, invalid argument, operation not allowed in this context,
// file could not be opened, write to file failed. Belongs to the page that created it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/charset_codec.h"
#include "data/live_objects.h"
#include "mirelda/dispatch.h"

namespace mirelda::data {

// Stream constants of the data access library.
inline constexpr int32_t kTypeBinary = 1;
inline constexpr int32_t kTypeText = 2;
inline constexpr int32_t kReadAll = -1;
inline constexpr int32_t kReadLine = -2;
inline constexpr int32_t kWriteChar = 0;
inline constexpr int32_t kWriteLine = 1;
inline constexpr int32_t kSaveCreateNotExist = 1;
inline constexpr int32_t kSaveCreateOverWrite = 2;
inline constexpr int32_t kSeparatorCrLf = -1;
inline constexpr int32_t kSeparatorLf = 10;
inline constexpr int32_t kSeparatorCr = 13;
inline constexpr int32_t kModeUnknown = 0;
inline constexpr int32_t kModeRead = 1;
inline constexpr int32_t kModeWrite = 2;
inline constexpr int32_t kModeReadWrite = 3;

// The stream errors pages see.
inline constexpr int32_t kIllegalOperation = -2146825069;  // 0x800A0C93
inline constexpr int32_t kFileOpenFailed = -2146825286;    // 0x800A0BBA
inline constexpr int32_t kFileWriteFailed = -2146825284;   // 0x800A0BBC

class DataStream final : public Dispatch {
 public:
  DataStream();
  ~DataStream() override;

  // Source must be Missing or empty: streams over URLs are not served. Raises object open when
  // open already.
  void Open(const Variant& source, int32_t mode, int32_t options, const std::string& user,
            const std::string& password);
  void Close();
  int32_t State() { return open_ ? 1 : 0; }

  // Type and Charset change only at position 0 (or while closed); Mode only while closed.
  int32_t Type() { return type_; }
  void SetType(int32_t type);
  std::string Charset() { return charset_; }
  void SetCharset(const std::string& charset);
  int32_t Mode() { return mode_; }
  void SetMode(int32_t mode);
  int32_t LineSeparator() { return separator_; }
  void SetLineSeparator(int32_t separator);

  Variant Position();
  // Past the end the stream grows with zero bytes.
  void SetPosition(const Variant& position);
  Variant Size();
  bool EOS();
  // Cuts the stream at the position.
  void SetEOS();

  // Binary streams: count bytes from the position (kReadAll: all), Null at the end.
  Variant Read(int32_t count);
  // Bytes (or an array of numbers) written over the position onward.
  void Write(const Variant& buffer);
  // Text streams: count characters, kReadAll, or kReadLine (the separator is consumed, not
  // returned); "" at the end.
  std::string ReadText(int32_t count);
  // kWriteLine adds the separator. A new Unicode or UTF-8 stream starts with its byte-order mark.
  void WriteText(const std::string& text, int32_t options);
  // Skips past the next separator.
  void SkipLine();

  // Replaces the content with a file's; the position goes to 0.
  void LoadFromFile(const std::string& path);
  // The whole content as a file, written under a temporary name and renamed; kSaveCreateNotExist
  // fails (write to file failed) when the file exists.
  void SaveToFile(const std::string& path, int32_t options);
  // count characters (text) or bytes (binary, kReadAll: all) from the position to another open
  // stream's position.
  void CopyTo(const std::shared_ptr<Dispatch>& destination, int32_t count);
  void Flush();
  void Cancel() {}

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Stream"; }
  std::optional<Guid> ClassId() const override;

 private:
  void RequireOpen() const;
  void RequireType(int32_t type) const;
  void RequireWritable() const;
  CharsetCodec& Codec();
  // The bytes of one separator in the charset.
  std::string SeparatorBytes();
  // Writes bytes at the position, growing the stream as needed.
  void PutBytes(std::string_view bytes);
  // Skips the charset's byte-order mark when the position is at it, at the start.
  void SkipMark();
  // Reads characters up to (and past) the next separator; the line without it.
  std::string ReadLineText();

  bool open_ = false;
  int32_t type_ = kTypeText;
  std::string charset_ = "Unicode";
  std::string iconv_name_ = "UTF-16LE";
  int32_t mode_ = kModeUnknown;
  int32_t separator_ = kSeparatorCrLf;
  std::string bytes_;
  size_t position_ = 0;
  std::unique_ptr<CharsetCodec> codec_;
  LiveObject live_;
};

}  // namespace mirelda::data
