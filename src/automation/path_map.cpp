#include "mirelda/path_map.h"

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string_view>

#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::paths {
namespace {

struct State {
  std::mutex mutex;
  std::map<char, std::filesystem::path> drives;
  bool loaded_environment = false;
};

State& TheState() {
  static State* state = new State;
  return *state;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// True for an absolute path already in normal form: no empty, "." or ".." names on the way.
bool IsNormalAbsolute(std::string_view p) {
  if (p.empty() || p[0] != '/') return false;
  for (size_t start = 1; start < p.size();) {
    size_t end = p.find('/', start);
    if (end == std::string_view::npos) end = p.size();
    std::string_view name = p.substr(start, end - start);
    // A single trailing separator is part of the normal form of a folder.
    if ((name.empty() && end != p.size()) || name == "." || name == "..") return false;
    start = end + 1;
  }
  return true;
}

std::filesystem::path Normalise(const std::filesystem::path& folder) {
  // Every page hands in its own path and the site's, normal already: only others are taken
  // apart and put together again.
  if (IsNormalAbsolute(folder.native())) return folder;
  return std::filesystem::absolute(folder).lexically_normal();
}

void ParseInto(std::string_view spec, std::map<char, std::filesystem::path>& drives) {
  for (const std::string& raw : text::Split(spec, ";")) {
    std::string entry = text::Trim(raw);
    if (entry.empty()) continue;
    size_t eq = entry.find('=');
    std::string letter = eq == std::string::npos ? entry : entry.substr(0, eq);
    if (eq == std::string::npos || eq + 1 >= entry.size() || letter.empty() ||
        !IsLetter(letter[0]) || (letter.size() == 2 && letter[1] != ':') || letter.size() > 2) {
      throw Error(errc::kInvalidProcedureCall,
                  "A drive mapping must read X:=FOLDER, not '" + entry + "'");
    }
    drives[Upper(letter[0])] = Normalise(entry.substr(eq + 1));
  }
}

// Callers hold the mutex. The environment is read once, before the first use, so that explicit
// mappings made later take precedence.
std::map<char, std::filesystem::path>& DrivesLocked(State& s) {
  if (!s.loaded_environment) {
    s.loaded_environment = true;
    if (const char* env = std::getenv("MIRELDA_DRIVES"); env && *env) ParseInto(env, s.drives);
  }
  return s.drives;
}

// Appends the components of rest to base; ".." never climbs above base.
std::filesystem::path Below(const std::filesystem::path& base, std::string_view rest) {
  std::vector<std::string> kept;
  for (const std::string& part : text::Split(rest, "/")) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  std::filesystem::path out = base;
  for (const std::string& part : kept) out /= part;
  return out;
}

// What follows folder in target when target is folder or lies inside it ("" for the folder
// itself), both absolute and in normal form; nothing when target lies elsewhere.
std::optional<std::string_view> Inside(std::string_view target, std::string_view folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  if (folder == "/")
    return target.empty() || target[0] != '/' ? std::nullopt : std::optional(target.substr(1));
  if (target.substr(0, folder.size()) != folder) return std::nullopt;
  if (target.size() == folder.size()) return std::string_view();
  if (target[folder.size()] != '/') return std::nullopt;
  return target.substr(folder.size() + 1);
}

}  // namespace

void MapDrive(char letter, const std::filesystem::path& folder) {
  if (!IsLetter(letter)) throw Error(errc::kInvalidProcedureCall, "A drive is a letter");
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  DrivesLocked(s)[Upper(letter)] = Normalise(folder);
}

void UnmapDrive(char letter) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  DrivesLocked(s).erase(Upper(letter));
}

void ClearDrives() {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  DrivesLocked(s).clear();
}

std::map<char, std::filesystem::path> Drives() {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return DrivesLocked(s);
}

void MapDrives(std::string_view spec) {
  std::map<char, std::filesystem::path> parsed;
  ParseInto(spec, parsed);
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  auto& drives = DrivesLocked(s);
  for (auto& [letter, folder] : parsed) drives[letter] = folder;
}

bool IsAbsolute(std::string_view p) {
  return (p.size() >= 2 && IsLetter(p[0]) && p[1] == ':') || (!p.empty() && IsSeparator(p[0]));
}

std::filesystem::path Resolve(std::string_view page_path) {
  std::string p(page_path);
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  if (p.size() >= 2 && p[0] == '/' && p[1] == '/') {
    throw Error(errc::kPathNotFound,
                "Path not found: network paths are not served: " + std::string(page_path));
  }
  if (p.size() >= 2 && IsLetter(p[0]) && p[1] == ':') {
    std::filesystem::path folder;
    {
      State& s = TheState();
      std::lock_guard lock(s.mutex);
      auto& drives = DrivesLocked(s);
      auto it = drives.find(Upper(p[0]));
      if (it == drives.end()) {
        throw Error(errc::kPathNotFound, std::string("Path not found: drive ") + Upper(p[0]) +
                                             ": is not mapped (" + std::string(page_path) + ")");
      }
      folder = it->second;
    }
    return Below(folder, std::string_view(p).substr(2));
  }
  if (!p.empty() && p[0] == '/') return std::filesystem::path(p).lexically_normal();
  return (std::filesystem::current_path() / p).lexically_normal();
}

std::string ToPagePath(const std::filesystem::path& host_path) {
  // Runs for every page (its own path and the site's), so the drives are compared as text where
  // they are kept instead of copied and split into components.
  const std::string target = Normalise(host_path).string();
  char best_letter = 0;
  std::string best_rest;
  size_t best_length = 0;
  {
    State& s = TheState();
    std::lock_guard lock(s.mutex);
    for (const auto& [letter, folder] : DrivesLocked(s)) {
      std::optional<std::string_view> rest = Inside(target, folder.native());
      if (!rest) continue;
      size_t length = folder.native().size();
      if (best_letter == 0 || length > best_length) {
        best_letter = letter;
        best_rest = *rest;
        best_length = length;
      }
    }
  }
  if (best_letter == 0) return target;
  std::string out = std::string(1, best_letter) + ":\\";
  for (char c : best_rest) out += c == '/' ? '\\' : c;
  // A folder keeps its trailing separator, as page paths of folders do.
  std::string native = host_path.string();
  if (!native.empty() && native.back() == '/' && out.back() != '\\') out += '\\';
  return out;
}

}  // namespace mirelda::paths
