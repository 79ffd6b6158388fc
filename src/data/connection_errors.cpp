#include "data/connection_errors.h"

#include "data/provider_error.h"

namespace mirelda::data {

DataErrorItem::DataErrorItem(const Error& error)
    : number_(error.number()),
      description_(error.description()),
      source_(error.source()),
      sql_state_("HY000") {
  if (const auto* provider = dynamic_cast<const ProviderError*>(&error)) {
    sql_state_ = provider->sql_state();
    native_error_ = provider->native_error();
  }
}

std::shared_ptr<DataErrorItem> DataErrors::Item(const Variant& index) {
  int32_t ordinal = index.is_numeric() || index.is_string() ? index.ToLong() : -1;
  if (ordinal < 0 || static_cast<size_t>(ordinal) >= items_.size()) {
    throw Error(errc::kItemNotFound,
                "Item cannot be found in the collection corresponding to the requested name or "
                "ordinal (" +
                    index.ToText() + ").");
  }
  return items_[static_cast<size_t>(ordinal)];
}

std::vector<Variant> DataErrors::Enumerate() {
  return std::vector<Variant>(items_.begin(), items_.end());
}

void DataErrors::Replace(const Error& error) {
  items_.clear();
  items_.push_back(std::make_shared<DataErrorItem>(error));
}

const MemberTable& DataErrorItem::Members() const {
  using E = DataErrorItem;
  static const MemberTable table = MemberTableBuilder<E>("Error")
                                       .Get<&E::Description>("Description")
                                       .Default()
                                       .Get<&E::Number>("Number")
                                       .Get<&E::Source>("Source")
                                       .Get<&E::SqlState>("SQLState")
                                       .Get<&E::NativeError>("NativeError")
                                       .Get<&E::HelpFile>("HelpFile")
                                       .Get<&E::HelpContext>("HelpContext")
                                       .Build();
  return table;
}

const MemberTable& DataErrors::Members() const {
  using E = DataErrors;
  static const MemberTable table = MemberTableBuilder<E>("Errors")
                                       .Get<&E::Item>("Item", {Arg("Index")})
                                       .Default()
                                       .Get<&E::Count>("Count")
                                       .Method<&E::Clear>("Clear")
                                       .Build();
  return table;
}

}  // namespace mirelda::data
