// The registration store: a text file of tab-separated lines,
//   class    <ProgID> <class id> <library> <threading model> <type library id> <version>
//   typelib  <type library id> <version> <name> <library>
// replaced atomically under an exclusive lock.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "mirelda/error.h"
#include "mirelda/registry.h"
#include "mirelda/text.h"

namespace mirelda {
namespace {

// Closes a descriptor on every path out.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

[[noreturn]] void FailWith(const std::string& what, const std::filesystem::path& path, int err) {
  int32_t number = err == EACCES || err == EPERM || err == EROFS ? errc::kPermissionDenied
                   : err == ENOENT || err == ENOTDIR             ? errc::kPathNotFound
                                                                 : errc::kUnspecified;
  throw Error(number, what + " " + path.string() + ": " + std::strerror(err));
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, '\t')) fields.push_back(field);
  return fields;
}

void CheckField(const std::string& value) {
  if (value.find_first_of("\t\r\n") != std::string::npos) {
    throw Error(errc::kInvalidProcedureCall,
                "A registration entry may not contain tabs or line breaks: " + value);
  }
}

std::string Serialise(const Registrations& r) {
  std::string out = "# Mirelda registration store: one entry per line, fields separated by tabs.\n";
  for (const ClassRegistration& c : r.classes) {
    for (const std::string* f :
         {&c.prog_id, &c.library, &c.threading_model, &c.type_library_version}) {
      CheckField(*f);
    }
    out += "class\t" + c.prog_id + "\t" + ToString(c.class_id) + "\t" + c.library + "\t" +
           c.threading_model + "\t" + ToString(c.type_library) + "\t" + c.type_library_version +
           "\n";
  }
  for (const TypeLibraryRegistration& t : r.type_libraries) {
    for (const std::string* f : {&t.version, &t.name, &t.library}) CheckField(*f);
    out +=
        "typelib\t" + ToString(t.id) + "\t" + t.version + "\t" + t.name + "\t" + t.library + "\n";
  }
  return out;
}

Registrations Parse(std::istream& in) {
  Registrations r;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = Fields(line);
    if (f.size() == 7 && f[0] == "class") {
      auto clsid = ParseGuid(f[2]);
      auto tlb = ParseGuid(f[5]);
      if (!clsid || !tlb) continue;
      r.classes.push_back({f[1], *clsid, f[3], f[4], *tlb, f[6]});
    } else if (f.size() == 5 && f[0] == "typelib") {
      auto id = ParseGuid(f[1]);
      if (!id) continue;
      r.type_libraries.push_back({*id, f[2], f[3], f[4]});
    }
  }
  return r;
}

}  // namespace

const ClassRegistration* Registrations::FindProgId(std::string_view prog_id) const {
  for (const ClassRegistration& c : classes) {
    if (text::EqualsIgnoreCase(c.prog_id, prog_id)) return &c;
  }
  return nullptr;
}

RegistrationStore::RegistrationStore(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path RegistrationStore::DefaultPath() {
  if (const char* explicit_path = std::getenv("MIRELDA_REGISTRY");
      explicit_path && *explicit_path) {
    return explicit_path;
  }
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) {
    return std::filesystem::path(state) / "mirelda" / "registry";
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "state" / "mirelda" /
         "registry";
}

Registrations RegistrationStore::Load() const {
  std::ifstream in(file_);
  if (!in) return {};
  return Parse(in);
}

void RegistrationStore::Update(const std::function<void(Registrations&)>& change) const {
  std::error_code ec;
  std::filesystem::path folder = file_.parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);

  std::filesystem::path lock_path = file_;
  lock_path += ".lock";
  Fd lock(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (lock.get() < 0) FailWith("Cannot open the lock of the registration store", lock_path, errno);
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) FailWith("Cannot lock the registration store", lock_path, errno);
  }

  Registrations current = Load();
  change(current);
  std::string content = Serialise(current);

  std::random_device rd;
  std::filesystem::path temp = file_;
  temp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(rd());
  {
    Fd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (out.get() < 0) FailWith("Cannot write the registration store", temp, errno);
    size_t written = 0;
    while (written < content.size()) {
      ssize_t n = ::write(out.get(), content.data() + written, content.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        int err = errno;
        ::unlink(temp.c_str());
        FailWith("Cannot write the registration store", temp, err);
      }
      written += static_cast<size_t>(n);
    }
    if (::fsync(out.get()) != 0) {
      int err = errno;
      ::unlink(temp.c_str());
      FailWith("Cannot flush the registration store", temp, err);
    }
  }
  if (::rename(temp.c_str(), file_.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    FailWith("Cannot replace the registration store", file_, err);
  }
  // The rename itself is made durable by flushing the folder.
  Fd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}

}  // namespace mirelda
