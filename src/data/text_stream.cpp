#include "data/text_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "data/charset_codec.h"
#include "data/file_operations.h"
#include "mirelda/error.h"

namespace mirelda::data {
namespace fs = std::filesystem;

namespace {

constexpr size_t kFlushAt = 1 << 16;

[[noreturn]] void PastEnd() { throw Error(kInputPastEndOfFile, "Input past end of file"); }

// The offset after n characters from pos, or the end.
size_t AfterCharacters(const std::string& text, size_t pos, size_t n) {
  while (n > 0 && pos < text.size()) {
    pos += std::min(Utf8Length(static_cast<unsigned char>(text[pos])), text.size() - pos);
    --n;
  }
  return pos;
}

int OpenFlags(int32_t iomode, OpenRule rule) {
  int flags = O_CLOEXEC | (iomode == kForReading ? O_RDONLY : O_WRONLY);
  if (iomode == kForWriting) flags |= O_TRUNC;
  if (iomode == kForAppending) flags |= O_APPEND;
  if (rule == OpenRule::kCreate) flags |= O_CREAT;
  if (rule == OpenRule::kCreateNew) flags |= O_CREAT | O_EXCL;
  if (rule == OpenRule::kReplace) flags |= O_CREAT | O_TRUNC;
  return flags;
}

}  // namespace

std::shared_ptr<TextStream> TextStream::Open(const fs::path& host_path,
                                             const std::string& page_path, int32_t iomode,
                                             OpenRule rule, int32_t format, int32_t code_page) {
  if (iomode != kForReading && iomode != kForWriting && iomode != kForAppending) {
    throw Error(errc::kInvalidProcedureCall,
                "Invalid procedure call or argument: io mode " + std::to_string(iomode));
  }
  if (format != kTristateTrue && format != kTristateFalse && format != kTristateUseDefault) {
    throw Error(errc::kInvalidProcedureCall,
                "Invalid procedure call or argument: format " + std::to_string(format));
  }
  std::error_code ec;
  if (!fs::is_directory(host_path.parent_path(), ec)) {
    throw Error(errc::kPathNotFound, "Path not found: " + page_path);
  }
  if (fs::is_directory(host_path, ec)) {
    throw Error(errc::kPermissionDenied, "Permission denied: " + page_path + " is a folder");
  }
  int fd = ::open(host_path.c_str(), OpenFlags(iomode, rule), 0666);
  if (fd < 0) {
    if (errno == ENOENT) throw Error(errc::kFileNotFound, "File not found: " + page_path);
    FailWithErrno(errno, page_path);
  }
  bool unicode = format == kTristateTrue;
  std::shared_ptr<TextStream> stream(new TextStream(fd, page_path, iomode));
  // Made before the file is touched further, so that an unknown code page is refused here.
  stream->codec_ =
      std::make_unique<CharsetCodec>(unicode ? "UTF-16LE" : CodePageIconvName(code_page));
  if (iomode == kForReading) {
    stream->text_ = [&] {
      std::string bytes = ReadDescriptor(fd, page_path);
      std::string_view view = bytes;
      if (unicode && view.substr(0, 2) == "\xFF\xFE") view.remove_prefix(2);
      if (!unicode && code_page == 65001 && view.substr(0, 3) == "\xEF\xBB\xBF") {
        view.remove_prefix(3);
      }
      std::string text;
      stream->codec_->Decode(view, std::numeric_limits<size_t>::max(), text);
      return text;
    }();
  } else if (unicode) {
    struct stat st;
    // Only a file that starts here gets the byte-order mark; appending goes on after the text.
    if (::fstat(fd, &st) == 0 && st.st_size == 0) stream->pending_ = "\xFF\xFE";
  }
  return stream;
}

TextStream::TextStream(int fd, std::string page_path, int32_t iomode)
    : fd_(fd), page_path_(std::move(page_path)), iomode_(iomode) {}

TextStream::~TextStream() {
  if (fd_ < 0) return;
  try {
    FlushPending();
  } catch (const Error&) {
    // Nobody is left to tell: the page let go of the stream without closing it.
  }
  ::close(fd_);
}

void TextStream::RequireReading() {
  if (fd_ < 0) throw Error(kBadFileNameOrNumber, "Bad file name or number: the file is closed");
  if (iomode_ != kForReading) throw Error(kBadFileMode, "Bad file mode: opened for writing");
}

void TextStream::RequireWriting() {
  if (fd_ < 0) throw Error(kBadFileNameOrNumber, "Bad file name or number: the file is closed");
  if (iomode_ == kForReading) throw Error(kBadFileMode, "Bad file mode: opened for reading");
}

void TextStream::Advance(size_t end) {
  while (pos_ < end) {
    unsigned char c = static_cast<unsigned char>(text_[pos_]);
    pos_ += std::min(Utf8Length(c), text_.size() - pos_);
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
  }
}

std::string TextStream::Read(int32_t characters) {
  RequireReading();
  if (characters < 0) {
    throw Error(errc::kInvalidProcedureCall,
                "Invalid procedure call or argument: Read(" + std::to_string(characters) + ")");
  }
  if (pos_ >= text_.size()) PastEnd();
  size_t start = pos_;
  Advance(AfterCharacters(text_, pos_, static_cast<size_t>(characters)));
  return text_.substr(start, pos_ - start);
}

std::string TextStream::ReadLine() {
  RequireReading();
  if (pos_ >= text_.size()) PastEnd();
  size_t start = pos_;
  size_t lf = text_.find('\n', pos_);
  size_t end = lf == std::string::npos ? text_.size() : lf;
  size_t content_end =
      end > start && text_[end - 1] == '\r' && lf != std::string::npos ? end - 1 : end;
  Advance(lf == std::string::npos ? end : lf + 1);
  return text_.substr(start, content_end - start);
}

std::string TextStream::ReadAll() {
  RequireReading();
  if (pos_ >= text_.size()) PastEnd();
  size_t start = pos_;
  Advance(text_.size());
  return text_.substr(start);
}

void TextStream::Skip(int32_t characters) {
  RequireReading();
  if (characters < 0) {
    throw Error(errc::kInvalidProcedureCall,
                "Invalid procedure call or argument: Skip(" + std::to_string(characters) + ")");
  }
  if (characters == 0) return;
  if (pos_ >= text_.size()) PastEnd();
  Advance(AfterCharacters(text_, pos_, static_cast<size_t>(characters)));
}

void TextStream::SkipLine() { ReadLine(); }

bool TextStream::AtEndOfStream() {
  RequireReading();
  return pos_ >= text_.size();
}

bool TextStream::AtEndOfLine() {
  RequireReading();
  if (pos_ >= text_.size() || text_[pos_] == '\n') return true;
  return text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n';
}

void TextStream::Append(std::string_view utf8) {
  RequireWriting();
  // The whole text is converted before any of it is kept, so a refused character writes nothing.
  pending_ += codec_->Encode(utf8, Unmappable::kRefuse);
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    i += Utf8Length(c);
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
  }
  if (pending_.size() >= kFlushAt) FlushPending();
}

void TextStream::FlushPending() {
  size_t done = 0;
  while (done < pending_.size()) {
    ssize_t w = ::write(fd_, pending_.data() + done, pending_.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      int err = w < 0 ? errno : EIO;
      pending_.erase(0, done);
      FailWithErrno(err, page_path_);
    }
    done += static_cast<size_t>(w);
  }
  pending_.clear();
}

void TextStream::Write(const std::string& text) { Append(text); }

void TextStream::WriteLine(const std::string& text) { Append(text + "\r\n"); }

void TextStream::WriteBlankLines(int32_t lines) {
  if (lines < 0) {
    throw Error(errc::kInvalidProcedureCall,
                "Invalid procedure call or argument: " + std::to_string(lines) + " blank lines");
  }
  std::string text;
  for (int32_t i = 0; i < lines; ++i) text += "\r\n";
  Append(text);
}

void TextStream::Close() {
  if (fd_ < 0) return;
  int fd = fd_;
  try {
    FlushPending();
  } catch (const Error&) {
    fd_ = -1;
    ::close(fd);
    throw;
  }
  fd_ = -1;
  if (::close(fd) != 0) FailWithErrno(errno, page_path_);
}

const MemberTable& TextStream::Members() const {
  static const MemberTable table =
      MemberTableBuilder<TextStream>("ITextStream")
          .Method<&TextStream::Read>("Read", {Arg("Characters")})
          .Method<&TextStream::ReadLine>("ReadLine")
          .Method<&TextStream::ReadAll>("ReadAll")
          .Method<&TextStream::Skip>("Skip", {Arg("Characters")})
          .Method<&TextStream::SkipLine>("SkipLine")
          .Get<&TextStream::AtEndOfStream>("AtEndOfStream")
          .Get<&TextStream::AtEndOfLine>("AtEndOfLine")
          .Get<&TextStream::Line>("Line")
          .Get<&TextStream::Column>("Column")
          .Method<&TextStream::Write>("Write", {Arg("Text")})
          .Method<&TextStream::WriteLine>("WriteLine", {Arg("Text").Optional()})
          .Method<&TextStream::WriteBlankLines>("WriteBlankLines", {Arg("Lines")})
          .Method<&TextStream::Close>("Close")
          .Build();
  return table;
}

}  // namespace mirelda::data
