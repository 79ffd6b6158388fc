/* A preloaded library for tests: logs every fsync, rename, renameat2 and link of the process to
   the file named by MIRELDA_SHIM_LOG, one line each ("fsync file <path>", "fsync folder <path>",
   "rename <from> <to>", "link <from> <to>"), and fails the Nth fsync with EIO when
   MIRELDA_SHIM_FAIL_FSYNC=N. Only single-threaded probes run under it. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define SHIM_EXPORT __attribute__((visibility("default")))

static int fsync_count;

static void Log(const char* what, const char* a, const char* b) {
  const char* log = getenv("MIRELDA_SHIM_LOG");
  if (!log) return;
  char line[8192];
  int n = snprintf(line, sizeof line, "%s %s%s%s\n", what, a, b ? " " : "", b ? b : "");
  if (n < 0 || (size_t)n >= sizeof line) return;
  int saved = errno;
  int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ssize_t written = write(fd, line, (size_t)n);
    (void)written;
    close(fd);
  }
  errno = saved;
}

SHIM_EXPORT int fsync(int fd) {
  static int (*real)(int);
  if (!real) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  char link[64], path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, path, sizeof path - 1);
  path[n < 0 ? 0 : n] = '\0';
  struct stat st;
  int folder = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  Log(folder ? "fsync folder" : "fsync file", path, NULL);
  const char* fail = getenv("MIRELDA_SHIM_FAIL_FSYNC");
  if (fail && atoi(fail) == ++fsync_count) {
    errno = EIO;
    return -1;
  }
  return real(fd);
}

SHIM_EXPORT int rename(const char* from, const char* to) {
  static int (*real)(const char*, const char*);
  if (!real) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
  Log("rename", from, to);
  return real(from, to);
}

SHIM_EXPORT int renameat2(int from_dir, const char* from, int to_dir, const char* to,
                          unsigned flags) {
  static int (*real)(int, const char*, int, const char*, unsigned);
  if (!real)
    real = (int (*)(int, const char*, int, const char*, unsigned))dlsym(RTLD_NEXT, "renameat2");
  Log("rename", from, to);
  return real(from_dir, from, to_dir, to, flags);
}

SHIM_EXPORT int link(const char* from, const char* to) {
  static int (*real)(const char*, const char*);
  if (!real) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "link");
  Log("link", from, to);
  return real(from, to);
}
