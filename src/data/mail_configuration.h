// "CDO.Configuration": the settings a message is sent with, in a Fields collection keyed by the
// names of the "http://schemas.microsoft.com/cdo/configuration/" namespace (sendusing,
// smtpserver, smtpserverport, smtpauthenticate, sendusername, sendpassword, smtpusessl,
// smtpconnectiontimeout). A value written into a field is what reads of the field see at once,
// but it takes effect for sending only after Fields.Update, as with the platform's objects;
// Fields.Resync drops the changes not yet updated. Field names are matched without regard to
// case, and a name never written reads as Empty.
//
// Threading: belongs to the page that made it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/live_objects.h"
#include "mirelda/dispatch.h"

namespace mirelda::data {

inline constexpr std::string_view kCdoConfigurationNamespace =
    "http://schemas.microsoft.com/cdo/configuration/";

// The values behind one configuration, shared by its Fields collection and the Field objects
// handed out, so that a Field read from the collection stays live.
struct MailFieldStore {
  struct Entry {
    std::string name;  // as first written
    Variant current;   // what reads see
    Variant updated;   // what sending uses
  };
  std::vector<Entry> entries;

  Entry& Find(std::string_view name);  // adds an Empty entry when the name is new
};

// One field: Name, and Value (the default member).
class MailField final : public Dispatch {
 public:
  MailField(std::shared_ptr<MailFieldStore> store, std::string name);

  std::string Name();
  Variant GetValue();
  void SetValue(const Variant& value);

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Field"; }

 private:
  std::shared_ptr<MailFieldStore> store_;
  std::string name_;
};

// The Fields collection: Item (the default member) by name or by 0-based position, Count,
// Update, Resync; For Each gives the Field objects.
class MailFields final : public Dispatch {
 public:
  explicit MailFields(std::shared_ptr<MailFieldStore> store);

  // A Field by name, or the field at a 0-based position (Subscript out of range, 9, past the
  // end).
  std::shared_ptr<Dispatch> Item(const Variant& index);
  void PutItem(const Variant& index, const Variant& value);
  int32_t Count();
  void Update();
  void Resync();

  std::vector<Variant> Enumerate() override;
  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Fields"; }

 private:
  std::string NameOf(const Variant& index);

  std::shared_ptr<MailFieldStore> store_;
};

class MailConfiguration final : public Dispatch {
 public:
  MailConfiguration();

  std::shared_ptr<Dispatch> Fields();
  // The updated value of a field of the configuration namespace by its short name
  // ("smtpserver"); Empty when it has none.
  Variant Setting(std::string_view short_name) const;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "IConfiguration"; }
  std::optional<Guid> ClassId() const override;

 private:
  std::shared_ptr<MailFieldStore> store_;
  LiveObject live_;
};

}  // namespace mirelda::data
