// The registration store under concurrent writers, and creation by ProgID across processes.
#include "mirelda/registry.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <set>

#include "support/error_matchers.h"
#include "support/temp_dir.h"

namespace mirelda {
namespace {

using mirelda::testing::BuildDir;
using mirelda::testing::TempDir;

ClassRegistration Entry(int writer, int i) {
  char guid[40];
  std::snprintf(guid, sizeof guid, "{%08X-0000-0000-0000-%012d}", writer, i);
  Guid id = *ParseGuid(guid);
  std::string prog_id = "Test.Writer" + std::to_string(writer) + "." + std::to_string(i);
  return {prog_id, id, "/lib/x.so", "Apartment", id, "1.0"};
}

// Waits for a child process and says whether it exited with status 0.
bool ExitedCleanly(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
  *status = ::pclose(pipe);
  return out;
}

TEST(RegistrationStore, ConcurrentWritersLoseNothingAndReadersSeeWholeFiles) {
  TempDir dir;
  RegistrationStore store(dir / "state" / "registry");
  constexpr int kWriters = 4, kEntries = 40;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int i = 0; i < kEntries; ++i) {
        store.Update([&](Registrations& r) { r.classes.push_back(Entry(w, i)); });
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  // A reader meanwhile: every file it sees is complete (each line whole, count only growing).
  pid_t reader = ::fork();
  ASSERT_GE(reader, 0);
  if (reader == 0) {
    size_t last = 0;
    for (int i = 0; i < 2000; ++i) {
      std::ifstream in(store.path());
      if (!in) continue;
      std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!content.empty() && content.back() != '\n') ::_exit(1);
      size_t count = RegistrationStore(store.path()).Load().classes.size();
      if (count < last) ::_exit(2);
      last = count;
    }
    ::_exit(0);
  }
  for (pid_t pid : children) EXPECT_TRUE(ExitedCleanly(pid));
  EXPECT_TRUE(ExitedCleanly(reader)) << "reader saw a partial store";

  Registrations r = store.Load();
  ASSERT_EQ(r.classes.size(), static_cast<size_t>(kWriters * kEntries));
  std::set<std::string> ids;
  for (const auto& c : r.classes) ids.insert(c.prog_id);
  EXPECT_EQ(ids.size(), static_cast<size_t>(kWriters * kEntries));
  EXPECT_NE(r.FindProgId("TEST.WRITER2.7"), nullptr);
  for (const auto& e : std::filesystem::directory_iterator(dir / "state")) {
    EXPECT_EQ(e.path().string().find(".tmp-"), std::string::npos) << "left behind " << e.path();
  }
}

TEST(RegistrationStore, AFailedWriteLeavesTheStoreAsItWas) {
  TempDir dir;
  RegistrationStore store(dir / "registry");
  store.Update([](Registrations& r) { r.classes.push_back(Entry(1, 1)); });
  EXPECT_ERROR(store.Update([](Registrations& r) {
    ClassRegistration bad = Entry(1, 2);
    bad.library = "/lib/with\ttab.so";
    r.classes.push_back(bad);
  }),
               errc::kInvalidProcedureCall);
  EXPECT_EQ(store.Load().classes.size(), 1u);
  EXPECT_TRUE(RegistrationStore(dir / "absent").Load().classes.empty());
}

class ComponentLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("MIRELDA_REGISTRY", (dir_ / "registry").c_str(), 1);
    library_ = (BuildDir() / "libmirelda.so").string();
    regsvr_ = (BuildDir() / "mirelda-regsvr").string();
  }
  void TearDown() override { ::unsetenv("MIRELDA_REGISTRY"); }

  TempDir dir_;
  std::string library_, regsvr_;
};

TEST_F(ComponentLibrary, RegisteredInOneProcessCreatedByProgIdInAnotherUnknownOnesRefused) {
  int status = 0;
  RunCommand(regsvr_ + " " + library_, &status);
  ASSERT_EQ(status, 0);
  // This test process holds no component classes of its own: creation goes through the store.
  EXPECT_FALSE(ClassTable::Find("Mirelda.Database").has_value());
  std::shared_ptr<Dispatch> db = CreateObject("mIRELDA.dATABASE");
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(db->ClassName(), "Database");
  EXPECT_EQ(ToString(*db->ClassId()), "{2B6CE337-DA05-4155-8C82-E344399D0FF3}");
  EXPECT_EQ(db->Members().interface_name(), "_Database");

  std::string shown = RunCommand(regsvr_ + " --show Mirelda.WebPage", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(shown.find("{D7E8DED5-D4A2-4566-A20A-1EB0397D3CF0}"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Apartment"), std::string::npos);
  EXPECT_NE(shown.find("version 181.0"), std::string::npos);

  std::string info = RunCommand(regsvr_ + " --info " + library_, &status);
  EXPECT_NE(info.find("FileVersion=1.0.0.0"), std::string::npos);
  EXPECT_NE(info.find("OLESelfRegister"), std::string::npos);
  EXPECT_ERROR(CreateObject("Mirelda.Nothing"), errc::kInvalidClassString);
}

TEST_F(ComponentLibrary, EntryPointsServeExactlyTheirClasses) {
  RegistrationStore store(dir_ / "registry");
  store.Update([](Registrations& r) { r.classes.push_back(Entry(9, 9)); });

  void* lib = ::dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << ::dlerror();
  auto reg = reinterpret_cast<DllRegisterServerFn>(::dlsym(lib, "DllRegisterServer"));
  auto unreg = reinterpret_cast<DllUnregisterServerFn>(::dlsym(lib, "DllUnregisterServer"));
  auto get = reinterpret_cast<DllGetClassObjectFn>(::dlsym(lib, "DllGetClassObject"));
  auto can_unload = reinterpret_cast<DllCanUnloadNowFn>(::dlsym(lib, "DllCanUnloadNow"));
  ASSERT_TRUE(reg && unreg && get && can_unload);
  // Internals stay hidden.
  EXPECT_EQ(::dlsym(lib, "_ZN7mirelda5frame13TypeLibraryIdEv"), nullptr);

  ASSERT_EQ(reg(), kS_OK);
  Registrations r = store.Load();
  ASSERT_EQ(r.classes.size(), 4u);
  const ClassRegistration* fs = r.FindProgId("Mirelda.FileSystem");
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(fs->threading_model, "Apartment");
  EXPECT_EQ(fs->type_library_version, "181.0");
  EXPECT_EQ(std::filesystem::path(fs->library).filename(), "libmirelda.so");
  ASSERT_EQ(r.type_libraries.size(), 1u);
  EXPECT_EQ(r.type_libraries[0].name, "Mirelda");

  Guid wrong = *ParseGuid("{00000000-0000-0000-0000-000000000001}");
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(get(&wrong, &ClassFactoryInterfaceId(), &out), errc::kClassNotAvailable);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(get(&fs->class_id, &ClassFactoryInterfaceId(), nullptr), -2147467261);

  EXPECT_EQ(can_unload(), kS_OK);
  ASSERT_EQ(get(&fs->class_id, &ClassFactoryInterfaceId(), &out), kS_OK);
  auto* factory = static_cast<ClassFactory*>(out);
  EXPECT_EQ(can_unload(), kS_FALSE);  // a factory is out
  {
    std::shared_ptr<Dispatch> a = factory->CreateInstance();
    std::shared_ptr<Dispatch> b = factory->CreateInstance();
    EXPECT_NE(a, b);
    EXPECT_EQ(a->ClassName(), "FileSystem");
    factory->Release();
    EXPECT_EQ(can_unload(), kS_FALSE);  // instances are alive
  }
  EXPECT_EQ(can_unload(), kS_OK);
  ASSERT_EQ(get(&fs->class_id, &ClassFactoryInterfaceId(), &out), kS_OK);
  factory = static_cast<ClassFactory*>(out);
  factory->LockServer(true);
  factory->Release();
  EXPECT_EQ(can_unload(), kS_FALSE);  // locked
  ASSERT_EQ(get(&fs->class_id, &ClassFactoryInterfaceId(), &out), kS_OK);
  factory = static_cast<ClassFactory*>(out);
  factory->LockServer(false);
  factory->Release();
  EXPECT_EQ(can_unload(), kS_OK);

  ASSERT_EQ(unreg(), kS_OK);
  r = store.Load();
  ASSERT_EQ(r.classes.size(), 1u);  // only the foreign entry stays
  EXPECT_EQ(r.classes[0].prog_id, "Test.Writer9.9");
  EXPECT_TRUE(r.type_libraries.empty());
}

}  // namespace
}  // namespace mirelda
