// A component that page tests create by ProgID ("MireldaTest.Probe") to see what crosses the
// late-bound boundary in each direction: it reports the types it receives, hands back arrays,
// byte arrays, dates and objects, raises errors and ends the page through its page context.
#include <atomic>
#include <memory>
#include <string>

#include "mirelda/dispatch.h"
#include "mirelda/error.h"
#include "mirelda/export.h"
#include "mirelda/host.h"
#include "mirelda/registry.h"

namespace {

using namespace mirelda;

const Guid kProbeClass = *ParseGuid("{6D1E2F30-8A4B-4C5D-9E6F-7A8B9C0D1E2F}");

std::string Describe(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty:
      return "Empty";
    case VarType::kNull:
      return "Null";
    case VarType::kMissing:
      return "Missing";
    case VarType::kBoolean:
      return "Boolean";
    case VarType::kByte:
      return "Byte";
    case VarType::kSingle:
      return "Single";
    case VarType::kCurrency:
      return "Currency";
    case VarType::kError:
      return "Error";
    case VarType::kInteger:
      return "Integer";
    case VarType::kLong:
      return "Long";
    case VarType::kDouble:
      return "Double";
    case VarType::kDate:
      return "Date";
    case VarType::kString:
      return "String";
    case VarType::kArray:
      return "Array";
    case VarType::kBytes:
      return "Bytes";
    case VarType::kObject:
      return v.ToObject() ? "Object" : "Nothing";
  }
  return "?";
}

class Probe final : public Dispatch {
 public:
  Probe() { ++live_; }
  ~Probe() override { --live_; }
  void OnStartPage(std::shared_ptr<Dispatch> context) {
    context_ = std::dynamic_pointer_cast<ScriptingContext>(context);
  }
  void OnEndPage() { context_ = nullptr; }

  Variant Echo(Variant v) { return v; }
  // "Long", "Array(0..2:Long,String,Double)", "Bytes(3)"...
  std::string TypeOf(Variant v) {
    std::string name = Describe(v);
    if (v.is_array()) {
      const VariantArray& a = v.AsArray();
      name += "(" + std::to_string(a.lower_bound()) + ".." + std::to_string(a.upper_bound()) + ":";
      for (size_t i = 0; i < a.size(); ++i) name += (i ? "," : "") + Describe(a.items()[i]);
      name += ")";
    } else if (v.is_bytes()) {
      name += "(" + std::to_string(v.AsBytes().size()) + ")";
    }
    return name;
  }
  std::string Optional(std::string first, Variant second, int32_t third) {
    return first + "|" + Describe(second) + "|" + std::to_string(third);
  }
  Variant Numbers(int32_t count) {
    std::vector<Variant> items;
    for (int32_t i = 0; i < count; ++i) items.emplace_back(Variant(i * 10));
    return Variant(VariantArray(std::move(items), 0));
  }
  Variant Bytes(int32_t count) {
    std::vector<uint8_t> bytes;
    for (int32_t i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(250 + i));
    return Variant(ByteArray(std::move(bytes)));
  }
  Date MakeDate(int32_t year, int32_t month, int32_t day) {
    return Date::FromParts(year, month, day, 13, 14, 15);
  }
  void Fail(int32_t number, std::string description) { throw Error(number, description, "Probe"); }
  // Ends the page the way the logon components do: through the page's Response.
  void EndPage() {
    if (!context_) throw Error(errc::kObjectVariableNotSet);
    context_->Response()->Write("ended by probe;");
    context_->Response()->End();
  }
  bool Started() { return context_ != nullptr; }

  std::string Name() { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  // How many probes exist, and a new one that no page has started: what a page lets go of
  // shows in the count at once.
  int32_t Live() { return live_; }
  std::shared_ptr<Dispatch> Fresh() { return std::make_shared<Probe>(); }
  std::shared_ptr<Dispatch> Child() { return child_; }
  void SetChild(std::shared_ptr<Dispatch> child) { child_ = std::move(child); }
  // The default member: Item(key) reads "key=<key>".
  std::string Item(std::string key) { return "item " + key; }
  void SetItem(std::string key, std::string value) { name_ = key + "=" + value; }

  const MemberTable& Members() const override {
    static const MemberTable table =
        MemberTableBuilder<Probe>("_Probe")
            .Method<&Probe::OnStartPage>("OnStartPage", {Arg("context")})
            .Method<&Probe::OnEndPage>("OnEndPage")
            .Method<&Probe::Echo>("Echo", {Arg("value")})
            .Method<&Probe::TypeOf>("TypeOf", {Arg("value").Optional()})
            .Method<&Probe::Optional>("Optional", {Arg("first"), Arg("second").Optional(),
                                                   Arg("third").Optional(Variant(int32_t{7}))})
            .Method<&Probe::Numbers>("Numbers", {Arg("count")})
            .Method<&Probe::Bytes>("Bytes", {Arg("count")})
            .Method<&Probe::MakeDate>("MakeDate", {Arg("year"), Arg("month"), Arg("day")})
            .Method<&Probe::Fail>("Fail", {Arg("number"), Arg("description")})
            .Method<&Probe::EndPage>("EndPage")
            .Get<&Probe::Started>("Started")
            .Get<&Probe::Name>("Name")
            .Let<&Probe::SetName>("Name", {Arg("value")})
            .Get<&Probe::Live>("Live")
            .Method<&Probe::Fresh>("Fresh")
            .Get<&Probe::Child>("Child")
            .Set<&Probe::SetChild>("Child", {Arg("value")})
            .Get<&Probe::Item>("Item", {Arg("key")})
            .Default()
            .Let<&Probe::SetItem>("Item", {Arg("key"), Arg("value")})
            .Default()
            .Build();
    return table;
  }
  std::string ClassName() const override { return "Probe"; }

 private:
  std::shared_ptr<ScriptingContext> context_;
  std::string name_;
  std::shared_ptr<Dispatch> child_;
  static inline std::atomic<int32_t> live_{0};
};

class ProbeFactory final : public ClassFactory {
 public:
  std::shared_ptr<Dispatch> CreateInstance() override { return std::make_shared<Probe>(); }
  void LockServer(bool) override {}
  void AddRef() override { ++references_; }
  void Release() override {
    if (--references_ == 0) delete this;
  }

 private:
  int references_ = 1;
};

}  // namespace

extern "C" MIRELDA_API int32_t DllGetClassObject(const Guid* class_id, const Guid* interface_id,
                                                 void** factory) {
  if (!factory || !class_id || !interface_id) return errc::kUnspecified;
  *factory = nullptr;
  if (*class_id != kProbeClass || *interface_id != ClassFactoryInterfaceId()) {
    return errc::kClassNotAvailable;
  }
  *factory = static_cast<ClassFactory*>(new ProbeFactory());
  return kS_OK;
}
