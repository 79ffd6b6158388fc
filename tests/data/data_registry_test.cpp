// libmirelda-data.so as an in-process server: its entry points and creation through the
// registration store. This test links no data classes of its own.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <sstream>

#include "mirelda/data.h"
#include "mirelda/registry.h"
#include "support/error_matchers.h"
#include "support/temp_dir.h"

namespace mirelda {
namespace {

using mirelda::testing::BuildDir;
using mirelda::testing::TempDir;

struct EntryPoints {
  DllRegisterServerFn reg;
  DllUnregisterServerFn unreg;
  DllGetClassObjectFn get;
  DllCanUnloadNowFn can_unload;
};

EntryPoints Load(const std::string& library) {
  void* lib = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(lib, nullptr) << ::dlerror();
  if (!lib) return {};
  return {reinterpret_cast<DllRegisterServerFn>(::dlsym(lib, "DllRegisterServer")),
          reinterpret_cast<DllUnregisterServerFn>(::dlsym(lib, "DllUnregisterServer")),
          reinterpret_cast<DllGetClassObjectFn>(::dlsym(lib, "DllGetClassObject")),
          reinterpret_cast<DllCanUnloadNowFn>(::dlsym(lib, "DllCanUnloadNow"))};
}

class DataLibrary : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("MIRELDA_REGISTRY", (dir_ / "registry").c_str(), 1); }
  void TearDown() override { ::unsetenv("MIRELDA_REGISTRY"); }

  TempDir dir_;
};

TEST_F(DataLibrary, RegistersItsClassesBesideTheComponentLibrary) {
  const std::string regsvr = (BuildDir() / "mirelda-regsvr").string() + " ";
  const std::string data = (BuildDir() / "libmirelda-data.so").string();
  ASSERT_EQ(std::system((regsvr + (BuildDir() / "libmirelda.so").string()).c_str()), 0);
  ASSERT_EQ(std::system((regsvr + data).c_str()), 0);
  ASSERT_EQ(std::system((regsvr + data).c_str()), 0);  // again: replaces, never duplicates

  Registrations r = RegistrationStore(dir_ / "registry").Load();
  EXPECT_NE(r.FindProgId("Mirelda.Database"), nullptr);
  std::vector<std::string> ours;
  std::istringstream names(
      "ADODB.Connection ADODB.RecordSet ADOX.Catalog JRO.JetEngine Scripting.FileSystemObject "
      "Scripting.Dictionary CDO.Message CDO.Configuration MSXML2.ServerXMLHTTP "
      "MSXML2.ServerXMLHTTP.3.0 MSXML2.ServerXMLHTTP.6.0 Microsoft.XMLHTTP MSXML2.XMLHTTP "
      "Msxml2.XMLHTTP.6.0 ADODB.Stream ADODB.Command ADODB.Parameter");
  for (std::string name; names >> name;) ours.push_back(name);
  ASSERT_EQ(ours.size(), 17u);
  for (const std::string& prog_id : ours) {
    const ClassRegistration* entry = r.FindProgId(prog_id);
    ASSERT_NE(entry, nullptr) << prog_id;
    EXPECT_EQ(std::filesystem::path(entry->library).filename(), "libmirelda-data.so");
    EXPECT_EQ(entry->threading_model, "Apartment");
  }
  EXPECT_EQ(r.classes.size(), 3 + ours.size());
  EXPECT_EQ(r.type_libraries.size(), 2u);

  // This process has not loaded the library: creation by ProgID, in any letter case, loads it
  // through the store, and loading it adds its classes to the in-process table.
  EXPECT_FALSE(ClassTable::Find("ADODB.Connection").has_value());
  EXPECT_EQ(CreateObject("adodb.connection")->ClassName(), "Connection");
  EXPECT_TRUE(ClassTable::Find("ADODB.RECORDSET").has_value());
  EXPECT_EQ(CreateObject("adodb.recordSet")->ClassName(), "Recordset");
  EXPECT_EQ(CreateObject("scripting.FileSystemObject")->ClassName(), "FileSystemObject");
  EXPECT_EQ(CreateObject("adox.catalog")->ClassName(), "Catalog");
  EXPECT_EQ(CreateObject("JRO.JETENGINE")->ClassName(), "JetEngine");
  EXPECT_EQ(CreateObject("scripting.dictionary")->ClassName(), "Dictionary");
  EXPECT_EQ(CreateObject("cdo.message")->ClassName(), "IMessage");
  EXPECT_EQ(CreateObject("microsoft.xmlhttp")->ClassName(), "IServerXMLHTTPRequest2");
  EXPECT_EQ(CreateObject("adodb.stream")->ClassName(), "Stream");

  ASSERT_EQ(std::system((regsvr + "-u " + data).c_str()), 0);
  r = RegistrationStore(dir_ / "registry").Load();
  EXPECT_EQ(r.classes.size(), 3u);
  EXPECT_EQ(r.FindProgId("ADODB.Connection"), nullptr);
  EXPECT_NE(r.FindProgId("Mirelda.WebPage"), nullptr);
}

TEST_F(DataLibrary, CanUnloadOnlyWhenNothingOfItIsAlive) {
  EntryPoints data = Load((BuildDir() / "libmirelda-data.so").string());
  ASSERT_TRUE(data.reg && data.unreg && data.get && data.can_unload);
  Guid connection = *ParseGuid("{5E23E160-4E44-4607-97F5-BC0C0A2A3249}");
  Guid unknown = *ParseGuid("{00000000-0000-0000-0000-000000000009}");
  void* out = nullptr;
  EXPECT_EQ(data.get(&unknown, &ClassFactoryInterfaceId(), &out), errc::kClassNotAvailable);
  EXPECT_EQ(data.get(&connection, &unknown, &out), -2147467262);
  EXPECT_EQ(data.can_unload(), kS_OK);
  ASSERT_EQ(data.get(&connection, &ClassFactoryInterfaceId(), &out), kS_OK);
  auto* factory = static_cast<ClassFactory*>(out);
  EXPECT_EQ(data.can_unload(), kS_FALSE);
  {
    std::shared_ptr<Dispatch> c = factory->CreateInstance();
    factory->Release();
    EXPECT_EQ(c->ClassName(), "Connection");
    EXPECT_EQ(ToString(*c->ClassId()), "{5E23E160-4E44-4607-97F5-BC0C0A2A3249}");
    EXPECT_EQ(data.can_unload(), kS_FALSE);
  }
  EXPECT_EQ(data.can_unload(), kS_OK);
}

}  // namespace
}  // namespace mirelda
