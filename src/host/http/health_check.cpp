#include "host/http/health_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <string>

#include "mirelda/error.h"
#include "mirelda/registry.h"

namespace mirelda::host {
namespace {

Reply Answer(int status, const std::string& line) {
  Reply reply;
  reply.status = status;
  reply.body = line + "\n";
  reply.AddHeader("Content-Type", "text/plain; charset=utf-8");
  reply.AddHeader("Cache-Control", "no-store");
  return reply;
}

// "" when the store is there and loads, else why not.
std::string RegistryFault(const std::filesystem::path& registry) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(registry, error)) {
    return "the registration store " + registry.string() + " does not exist";
  }
  if (::access(registry.c_str(), R_OK) != 0) {
    return "the registration store " + registry.string() + " cannot be read: " +
           std::strerror(errno);
  }
  try {
    RegistrationStore(registry).Load();
  } catch (const Error& e) {
    return "the registration store " + registry.string() + " does not load: " + e.description();
  } catch (const std::exception& e) {
    return "the registration store " + registry.string() + " does not load: " + e.what();
  }
  return "";
}

// "" when a file can be made in the folder, else why not. The file is unnamed (O_TMPFILE), so a
// probe leaves nothing behind even when the host dies during it.
std::string DataFault(const std::filesystem::path& data) {
  int fd = ::open(data.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) {
    return "the data folder " + data.string() + " is not writable: " + std::strerror(errno);
  }
  bool written = ::write(fd, "ok", 2) == 2;
  int saved = errno;
  ::close(fd);
  if (!written) {
    return "the data folder " + data.string() + " is not writable: " + std::strerror(saved);
  }
  return "";
}

}  // namespace

Reply HealthReply(const std::filesystem::path& registry, const std::filesystem::path& data) {
  std::string fault = RegistryFault(registry);
  if (fault.empty()) fault = DataFault(data);
  return fault.empty() ? Answer(200, "ok") : Answer(503, fault);
}

}  // namespace mirelda::host
