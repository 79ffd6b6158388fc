// The TextStream of the file system object: a text file opened for reading, writing or
// appending. ASCII files hold the host's ANSI code page text, Unicode files UTF-16LE after a
// byte-order mark. Lines end in CRLF when written; CRLF and LF both end a line when read.
// Positions (Line, Column, Read counts) are in characters. Belongs to the page that opened it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "data/charset_codec.h"
#include "data/live_objects.h"
#include "mirelda/dispatch.h"

namespace mirelda::data {

// The io modes and formats of OpenTextFile.
inline constexpr int32_t kForReading = 1;
inline constexpr int32_t kForWriting = 2;
inline constexpr int32_t kForAppending = 8;
inline constexpr int32_t kTristateUseDefault = -2;
inline constexpr int32_t kTristateTrue = -1;  // Unicode
inline constexpr int32_t kTristateFalse = 0;  // ASCII

// Error numbers of text files.
inline constexpr int32_t kBadFileNameOrNumber = 52;
inline constexpr int32_t kBadFileMode = 54;
inline constexpr int32_t kInputPastEndOfFile = 62;

// How a missing or existing file is met on opening.
enum class OpenRule {
  kExisting,   // 53 when the file is missing
  kCreate,     // made empty when missing
  kCreateNew,  // 58 when the file exists
  kReplace,    // made or emptied
};

class TextStream final : public Dispatch {
 public:
  // Opens host_path (page_path names it in errors) in iomode (kForReading, kForWriting,
  // kForAppending; 5 otherwise). format is a Tristate: Unicode for kTristateTrue, else ANSI text
  // of code_page. Raises 53, 58, 70, 76 as the file system answers.
  static std::shared_ptr<TextStream> Open(const std::filesystem::path& host_path,
                                          const std::string& page_path, int32_t iomode,
                                          OpenRule rule, int32_t format, int32_t code_page);
  ~TextStream() override;

  // Reading. Each raises 62 at the end of the file and 54 on a file opened for writing.
  std::string Read(int32_t characters);
  std::string ReadLine();
  std::string ReadAll();
  void Skip(int32_t characters);
  void SkipLine();
  bool AtEndOfStream();
  bool AtEndOfLine();
  // Writing; 54 on a file opened for reading. Text the code page cannot hold raises 5.
  void Write(const std::string& text);
  void WriteLine(const std::string& text);
  void WriteBlankLines(int32_t lines);
  int32_t Line() { return line_; }
  int32_t Column() { return column_; }
  // Writes what is pending and lets go of the file; later calls raise 52.
  void Close();

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "TextStream"; }

 private:
  TextStream(int fd, std::string page_path, int32_t iomode);
  void RequireReading();
  void RequireWriting();
  // Moves past the characters [pos_, end) of text_, counting lines and columns.
  void Advance(size_t end);
  void Append(std::string_view utf8);
  void FlushPending();

  int fd_ = -1;
  std::string page_path_;
  int32_t iomode_;
  std::string text_;     // a read file's whole text, UTF-8
  size_t pos_ = 0;       // byte offset of the next character in text_
  std::string pending_;  // encoded bytes not yet written
  std::unique_ptr<CharsetCodec> codec_;
  int32_t line_ = 1;
  int32_t column_ = 1;
  LiveObject live_;
};

}  // namespace mirelda::data
