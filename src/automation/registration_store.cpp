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
#include <sstream>

#include "mirelda/error.h"
#include "mirelda/registry.h"
#include "mirelda/text.h"
#include "platform/atomic_file.h"
#include "platform/errno_error.h"

namespace mirelda {
namespace {

// The store's own numbers: a folder it cannot reach or write, else unspecified.
constexpr platform::ErrnoNumbers kStoreNumbers{platform::kNotFoundRow | platform::kDeniedRow,
                                               errc::kUnspecified};

[[noreturn]] void FailWith(const std::string& what, const std::filesystem::path& path, int err) {
  throw Error(platform::LookUpErrno(err, kStoreNumbers).number,
              what + " " + path.string() + ": " + std::strerror(err));
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
  platform::FileDescriptor lock(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!lock) FailWith("Cannot open the lock of the registration store", lock_path, errno);
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) FailWith("Cannot lock the registration store", lock_path, errno);
  }

  Registrations current = Load();
  change(current);
  std::string content = Serialise(current);

  platform::AtomicFile out(file_);
  if (int err = out.Create(0644 & ~platform::CreationMask())) {
    FailWith("Cannot write the registration store", file_, err);
  }
  if (int err = out.Write(content)) {
    FailWith("Cannot write the registration store", out.temporary(), err);
  }
  if (int err = out.Flush()) FailWith("Cannot flush the registration store", out.temporary(), err);
  if (int err = out.Rename(true)) FailWith("Cannot replace the registration store", file_, err);
  // The rename itself is made durable by flushing the folder.
  if (int err = out.SyncFolder()) FailWith("Cannot flush the folder of", file_, err);
}

}  // namespace mirelda
