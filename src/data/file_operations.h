// The file steps that the file system object, its File and Folder objects, text files and
// streams share. Host paths here are already resolved through the path map; page paths only
// name the file in messages.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mirelda/variant.h"

namespace mirelda::data {

// Raises the page language's error for an errno: 70 for refusals, 58 for a name that exists,
// 76 for a missing folder.
[[noreturn]] void FailWithErrno(int err, const std::string& page_path);

// Copies one file so that the destination appears complete or not at all: the bytes go to a
// temporary file beside it, which then takes its name (only a free name unless overwrite).
void CopyOneFile(const std::filesystem::path& from, const std::filesystem::path& to, bool overwrite,
                 const std::string& page_path);

// Writes bytes as a whole new file in the same way: 58 when the name is taken and overwrite is
// false.
void WriteWholeFile(const std::filesystem::path& to, std::string_view bytes, bool overwrite,
                    const std::string& page_path);

// The whole content of a file; 53 when there is no such file.
std::string ReadWholeFile(const std::filesystem::path& from, const std::string& page_path);
// What is left to read of an open file descriptor.
std::string ReadDescriptor(int fd, const std::string& page_path);

// Deletes a folder with everything in it. Without force, nothing is deleted and 70 is raised
// when a file in it is read-only.
void RemoveFolderTree(const std::filesystem::path& folder, bool force,
                      const std::string& page_path);

// Copies a folder with everything in it; 58 for a file that exists and overwrite is false.
void CopyFolderTree(const std::filesystem::path& from, const std::filesystem::path& to,
                    bool overwrite, const std::string& page_path);

// Moves a file or folder to a free name (58 when taken), copying across file systems.
void MoveEntry(const std::filesystem::path& from, const std::filesystem::path& to,
               const std::string& page_path);

// True when nobody may write the file.
bool IsReadOnly(const std::filesystem::path& path);

// The page path split into its folder part (with its separator) and last component.
struct SplitPath {
  std::string folder;
  std::string name;
};
SplitPath Split(std::string_view page_path);
bool IsSeparator(char c);
bool HasWildcard(std::string_view s);

// The entries of the folder part of a page path whose names match the last component
// ("*" and "?" allowed there only, else 76); folders or regular files as asked. Raises 76 for a
// missing folder; an empty result is the caller's to report.
std::vector<std::filesystem::path> MatchingEntries(const std::string& spec, bool folders);

// True when name matches pattern: "*" any run of characters, "?" exactly one, all else itself.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace mirelda::data
