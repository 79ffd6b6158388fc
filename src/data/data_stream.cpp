#include "data/data_stream.h"

#include <cmath>
#include <limits>

#include "data/data_classes.h"
#include "data/file_operations.h"
#include "mirelda/error.h"
#include "mirelda/path_map.h"

namespace mirelda::data {
namespace {

constexpr size_t kAll = std::numeric_limits<size_t>::max();

[[noreturn]] void NotAllowed(const std::string& why) {
  throw Error(kIllegalOperation, "Operation is not allowed in this context: " + why,
              "ADODB.Stream");
}

[[noreturn]] void BadArgument(const std::string& why) {
  throw Error(errc::kWrongArguments,
              "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
              "with one another: " +
                  why,
              "ADODB.Stream");
}

size_t CodePoints(std::string_view utf8) {
  size_t n = 0;
  for (size_t i = 0; i < utf8.size(); i += Utf8Length(static_cast<unsigned char>(utf8[i]))) ++n;
  return n;
}

// The bytes of a buffer argument: a byte array, or an array of numbers 0 to 255.
std::string BufferBytes(const Variant& buffer) {
  if (buffer.is_bytes()) return std::string(buffer.AsBytes().view());
  if (buffer.is_array()) {
    std::string out;
    for (const Variant& item : buffer.AsArray().items()) {
      if (!item.is_numeric()) BadArgument("the buffer holds something other than bytes");
      double v = item.ToDouble();
      if (!(v >= 0 && v <= 255)) BadArgument("the buffer holds something other than bytes");
      out += static_cast<char>(static_cast<uint8_t>(v));
    }
    return out;
  }
  BadArgument("Write takes bytes; text goes through WriteText");
}

}  // namespace

DataStream::DataStream() = default;
DataStream::~DataStream() = default;

void DataStream::RequireOpen() const {
  if (!open_) {
    throw Error(errc::kObjectClosed, "Operation is not allowed when the object is closed",
                "ADODB.Stream");
  }
}

void DataStream::RequireType(int32_t type) const {
  RequireOpen();
  if (type_ != type) {
    NotAllowed(type == kTypeText ? "the stream is binary (Type 1); text needs Type 2"
                                 : "the stream is text (Type 2); bytes need Type 1");
  }
}

void DataStream::RequireWritable() const {
  if (mode_ == kModeRead) NotAllowed("the stream was opened for reading only");
}

CharsetCodec& DataStream::Codec() {
  if (!codec_) codec_ = std::make_unique<CharsetCodec>(iconv_name_);
  return *codec_;
}

void DataStream::Open(const Variant& source, int32_t mode, int32_t /*options*/,
                      const std::string& /*user*/, const std::string& /*password*/) {
  if (open_) {
    throw Error(errc::kObjectOpen, "Operation is not allowed when the object is open",
                "ADODB.Stream");
  }
  if (!source.is_missing() && !source.is_empty() && !source.ToText().empty()) {
    BadArgument("a stream opens empty; LoadFromFile fills it from a file");
  }
  if (mode < kModeUnknown || mode > kModeReadWrite) BadArgument("Mode " + std::to_string(mode));
  if (mode != kModeUnknown) mode_ = mode;
  bytes_.clear();
  position_ = 0;
  open_ = true;
}

void DataStream::Close() {
  RequireOpen();
  open_ = false;
  bytes_.clear();
  bytes_.shrink_to_fit();
  position_ = 0;
}

void DataStream::SetType(int32_t type) {
  if (type != kTypeBinary && type != kTypeText) BadArgument("Type " + std::to_string(type));
  if (open_ && position_ != 0) NotAllowed("Type changes only at Position 0");
  type_ = type;
}

void DataStream::SetCharset(const std::string& charset) {
  std::optional<std::string> name = CharsetIconvName(charset);
  if (!name) BadArgument("the charset '" + charset + "' is not known");
  if (open_ && position_ != 0) NotAllowed("Charset changes only at Position 0");
  // Made now, so that a charset this system cannot convert is refused where it is named.
  auto codec = std::make_unique<CharsetCodec>(*name);
  charset_ = charset;
  iconv_name_ = *name;
  codec_ = std::move(codec);
}

void DataStream::SetMode(int32_t mode) {
  if (open_) {
    throw Error(errc::kObjectOpen, "Operation is not allowed when the object is open",
                "ADODB.Stream");
  }
  if (mode < kModeUnknown || mode > kModeReadWrite) BadArgument("Mode " + std::to_string(mode));
  mode_ = mode;
}

void DataStream::SetLineSeparator(int32_t separator) {
  if (separator != kSeparatorCrLf && separator != kSeparatorLf && separator != kSeparatorCr) {
    BadArgument("LineSeparator " + std::to_string(separator));
  }
  separator_ = separator;
}

Variant DataStream::Position() {
  RequireOpen();
  return Variant::FromInt64(static_cast<int64_t>(position_));
}

void DataStream::SetPosition(const Variant& position) {
  RequireOpen();
  double p = position.ToDouble();
  if (!(p >= 0) || p != std::floor(p) ||
      p > static_cast<double>(std::numeric_limits<int32_t>::max())) {
    BadArgument("Position " + position.ToText());
  }
  position_ = static_cast<size_t>(p);
  if (position_ > bytes_.size()) {
    RequireWritable();
    bytes_.resize(position_, '\0');
  }
}

Variant DataStream::Size() {
  RequireOpen();
  return Variant::FromInt64(static_cast<int64_t>(bytes_.size()));
}

bool DataStream::EOS() {
  RequireOpen();
  return position_ >= bytes_.size();
}

void DataStream::SetEOS() {
  RequireOpen();
  RequireWritable();
  bytes_.resize(position_);
}

Variant DataStream::Read(int32_t count) {
  RequireType(kTypeBinary);
  if (count < kReadAll) BadArgument("Read(" + std::to_string(count) + ")");
  if (position_ >= bytes_.size()) return Variant::Null();
  size_t n = count == kReadAll
                 ? bytes_.size() - position_
                 : std::min<size_t>(static_cast<size_t>(count), bytes_.size() - position_);
  ByteArray out(std::string_view(bytes_).substr(position_, n));
  position_ += n;
  return Variant(std::move(out));
}

void DataStream::PutBytes(std::string_view bytes) {
  RequireWritable();
  if (position_ + bytes.size() > bytes_.size()) bytes_.resize(position_ + bytes.size());
  bytes_.replace(position_, bytes.size(), bytes);
  position_ += bytes.size();
}

void DataStream::Write(const Variant& buffer) {
  RequireType(kTypeBinary);
  PutBytes(BufferBytes(buffer));
}

void DataStream::SkipMark() {
  if (position_ != 0) return;
  std::string_view view = bytes_;
  if (iconv_name_ == "UTF-16LE" && view.substr(0, 2) == "\xFF\xFE") position_ = 2;
  if (iconv_name_ == "UTF-8" && view.substr(0, 3) == "\xEF\xBB\xBF") position_ = 3;
}

std::string DataStream::SeparatorBytes() {
  std::string_view text = separator_ == kSeparatorLf   ? "\n"
                          : separator_ == kSeparatorCr ? "\r"
                                                       : "\r\n";
  return Codec().Encode(text, Unmappable::kQuestionMark);
}

std::string DataStream::ReadLineText() {
  std::string_view separator = separator_ == kSeparatorLf   ? "\n"
                               : separator_ == kSeparatorCr ? "\r"
                                                            : "\r\n";
  std::string_view rest = std::string_view(bytes_).substr(position_);
  std::string text;
  size_t scanned = 0;  // bytes of rest decoded into text
  while (scanned < rest.size()) {
    size_t searched_from = text.size() >= separator.size() ? text.size() - separator.size() + 1 : 0;
    scanned += Codec().Decode(rest.substr(scanned), 4096, text);
    size_t at = text.find(separator, searched_from);
    if (at == std::string::npos) continue;
    // Decoding again up to the separator gives the bytes the line and its separator took.
    std::string line;
    size_t used = Codec().Decode(
        rest, CodePoints(std::string_view(text).substr(0, at)) + separator.size(), line);
    position_ += used;
    line.resize(at);
    return line;
  }
  position_ = bytes_.size();
  return text;
}

std::string DataStream::ReadText(int32_t count) {
  RequireType(kTypeText);
  if (count < kReadLine) BadArgument("ReadText(" + std::to_string(count) + ")");
  SkipMark();
  if (position_ >= bytes_.size()) return "";
  if (count == kReadLine) return ReadLineText();
  std::string text;
  position_ += Codec().Decode(std::string_view(bytes_).substr(position_),
                              count == kReadAll ? kAll : static_cast<size_t>(count), text);
  return text;
}

void DataStream::SkipLine() {
  RequireType(kTypeText);
  SkipMark();
  if (position_ < bytes_.size()) ReadLineText();
}

void DataStream::WriteText(const std::string& text, int32_t options) {
  RequireType(kTypeText);
  if (options != kWriteChar && options != kWriteLine) {
    BadArgument("WriteText option " + std::to_string(options));
  }
  std::string bytes;
  if (position_ == 0 && bytes_.empty()) {
    if (iconv_name_ == "UTF-16LE") bytes = "\xFF\xFE";
    if (iconv_name_ == "UTF-8") bytes = "\xEF\xBB\xBF";
  }
  bytes += Codec().Encode(text, Unmappable::kQuestionMark);
  if (options == kWriteLine) bytes += SeparatorBytes();
  PutBytes(bytes);
}

void DataStream::LoadFromFile(const std::string& path) {
  RequireOpen();
  RequireWritable();
  std::string loaded;
  try {
    loaded = ReadWholeFile(paths::Resolve(path), path);
  } catch (const Error& e) {
    throw Error(kFileOpenFailed, "File could not be opened: " + e.description(), "ADODB.Stream");
  }
  bytes_ = std::move(loaded);
  position_ = 0;
}

void DataStream::SaveToFile(const std::string& path, int32_t options) {
  RequireOpen();
  if (options != kSaveCreateNotExist && options != kSaveCreateOverWrite) {
    BadArgument("SaveToFile option " + std::to_string(options));
  }
  try {
    if (path.empty() || IsSeparator(path.back())) {
      throw Error(errc::kInvalidProcedureCall, path + " names no file");
    }
    std::filesystem::path target = paths::Resolve(path);
    std::error_code ec;
    if (!std::filesystem::is_directory(target.parent_path(), ec)) {
      throw Error(errc::kPathNotFound, "Path not found: " + path);
    }
    WriteWholeFile(target, bytes_, options == kSaveCreateOverWrite, path);
  } catch (const Error& e) {
    throw Error(kFileWriteFailed, "Write to file failed: " + e.description(), "ADODB.Stream");
  }
}

void DataStream::CopyTo(const std::shared_ptr<Dispatch>& destination, int32_t count) {
  RequireOpen();
  auto target = std::dynamic_pointer_cast<DataStream>(destination);
  if (!target) BadArgument("CopyTo takes another Stream");
  target->RequireOpen();
  if (target.get() == this) BadArgument("a stream cannot copy into itself");
  if (count < kReadAll) BadArgument("CopyTo count " + std::to_string(count));
  if (type_ == kTypeBinary) {
    size_t left = bytes_.size() - std::min(position_, bytes_.size());
    size_t n = count == kReadAll ? left : std::min<size_t>(static_cast<size_t>(count), left);
    std::string piece = bytes_.substr(position_, n);
    target->PutBytes(piece);
    position_ += n;
    return;
  }
  std::string text = ReadText(count);
  if (target->type_ == kTypeText) {
    target->WriteText(text, kWriteChar);
  } else {
    target->PutBytes(Codec().Encode(text, Unmappable::kQuestionMark));
  }
}

void DataStream::Flush() { RequireOpen(); }

std::optional<Guid> DataStream::ClassId() const { return StreamClassId(); }

const MemberTable& DataStream::Members() const {
  static const MemberTable table =
      MemberTableBuilder<DataStream>("_Stream")
          .Method<&DataStream::Open>(
              "Open",
              {Arg("Source").Optional(), Arg("Mode").Optional(kModeUnknown),
               Arg("Options").Optional(-1), Arg("UserName").Optional(), Arg("Password").Optional()})
          .Method<&DataStream::Close>("Close")
          .Get<&DataStream::State>("State")
          .Get<&DataStream::Type>("Type")
          .Let<&DataStream::SetType>("Type", {Arg("ptype")})
          .Get<&DataStream::Charset>("Charset")
          .Let<&DataStream::SetCharset>("Charset", {Arg("pbstrCharset")})
          .Get<&DataStream::Mode>("Mode")
          .Let<&DataStream::SetMode>("Mode", {Arg("pMode")})
          .Get<&DataStream::LineSeparator>("LineSeparator")
          .Let<&DataStream::SetLineSeparator>("LineSeparator", {Arg("pLS")})
          .Get<&DataStream::Position>("Position")
          .Let<&DataStream::SetPosition>("Position", {Arg("pPos")})
          .Get<&DataStream::Size>("Size")
          .Get<&DataStream::EOS>("EOS")
          .Method<&DataStream::SetEOS>("SetEOS")
          .Method<&DataStream::Read>("Read", {Arg("NumBytes").Optional(kReadAll)})
          .Method<&DataStream::Write>("Write", {Arg("Buffer")})
          .Method<&DataStream::ReadText>("ReadText", {Arg("NumChars").Optional(kReadAll)})
          .Method<&DataStream::WriteText>("WriteText",
                                          {Arg("Data"), Arg("Options").Optional(kWriteChar)})
          .Method<&DataStream::SkipLine>("SkipLine")
          .Method<&DataStream::LoadFromFile>("LoadFromFile", {Arg("FileName")})
          .Method<&DataStream::SaveToFile>(
              "SaveToFile", {Arg("FileName"), Arg("Options").Optional(kSaveCreateNotExist)})
          .Method<&DataStream::CopyTo>("CopyTo",
                                       {Arg("DestStream"), Arg("CharNumber").Optional(kReadAll)})
          .Method<&DataStream::Flush>("Flush")
          .Method<&DataStream::Cancel>("Cancel")
          .Build();
  return table;
}

}  // namespace mirelda::data
