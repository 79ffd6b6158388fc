#include "data/mail_configuration.h"

#include "data/data_classes.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {

MailFieldStore::Entry& MailFieldStore::Find(std::string_view name) {
  for (Entry& e : entries) {
    if (text::EqualsIgnoreCase(e.name, name)) return e;
  }
  return entries.emplace_back(Entry{std::string(name), Variant(), Variant()});
}

MailField::MailField(std::shared_ptr<MailFieldStore> store, std::string name)
    : store_(std::move(store)), name_(std::move(name)) {}

std::string MailField::Name() { return store_->Find(name_).name; }
Variant MailField::GetValue() { return store_->Find(name_).current; }
void MailField::SetValue(const Variant& value) { store_->Find(name_).current = value; }

const MemberTable& MailField::Members() const {
  using F = MailField;
  static const MemberTable table = MemberTableBuilder<F>("Field")
                                       .Get<&F::GetValue>("Value")
                                       .Default()
                                       .Let<&F::SetValue>("Value", {Arg("Value")})
                                       .Default()
                                       .Get<&F::Name>("Name")
                                       .Build();
  return table;
}

MailFields::MailFields(std::shared_ptr<MailFieldStore> store) : store_(std::move(store)) {}

std::string MailFields::NameOf(const Variant& index) {
  if (index.is_string()) return index.ToString();
  int32_t at = index.ToLong();
  if (at < 0 || static_cast<size_t>(at) >= store_->entries.size()) {
    throw Error(errc::kSubscriptOutOfRange);
  }
  return store_->entries[static_cast<size_t>(at)].name;
}

std::shared_ptr<Dispatch> MailFields::Item(const Variant& index) {
  std::string name = NameOf(index);
  store_->Find(name);
  return std::make_shared<MailField>(store_, std::move(name));
}

void MailFields::PutItem(const Variant& index, const Variant& value) {
  store_->Find(NameOf(index)).current = value;
}

int32_t MailFields::Count() { return static_cast<int32_t>(store_->entries.size()); }

void MailFields::Update() {
  for (MailFieldStore::Entry& e : store_->entries) e.updated = e.current;
}

void MailFields::Resync() {
  for (MailFieldStore::Entry& e : store_->entries) e.current = e.updated;
}

std::vector<Variant> MailFields::Enumerate() {
  std::vector<Variant> fields;
  for (const MailFieldStore::Entry& e : store_->entries) {
    fields.emplace_back(std::make_shared<MailField>(store_, e.name));
  }
  return fields;
}

const MemberTable& MailFields::Members() const {
  using F = MailFields;
  static const MemberTable table = MemberTableBuilder<F>("Fields")
                                       .Get<&F::Item>("Item", {Arg("Index")})
                                       .Default()
                                       .Let<&F::PutItem>("Item", {Arg("Index"), Arg("Value")})
                                       .Default()
                                       .Get<&F::Count>("Count")
                                       .Method<&F::Update>("Update")
                                       .Method<&F::Resync>("Resync")
                                       .Build();
  return table;
}

MailConfiguration::MailConfiguration() : store_(std::make_shared<MailFieldStore>()) {}

std::shared_ptr<Dispatch> MailConfiguration::Fields() {
  return std::make_shared<MailFields>(store_);
}

Variant MailConfiguration::Setting(std::string_view short_name) const {
  std::string name = std::string(kCdoConfigurationNamespace) + std::string(short_name);
  for (const MailFieldStore::Entry& e : store_->entries) {
    if (text::EqualsIgnoreCase(e.name, name)) return e.updated;
  }
  return Variant();
}

std::optional<Guid> MailConfiguration::ClassId() const { return MailConfigurationClassId(); }

const MemberTable& MailConfiguration::Members() const {
  using C = MailConfiguration;
  static const MemberTable table =
      MemberTableBuilder<C>("IConfiguration").Get<&C::Fields>("Fields").Build();
  return table;
}

}  // namespace mirelda::data
