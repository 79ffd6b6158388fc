// The Errors collection of a connection: the provider errors of its last failed operation, each
// an "ADODB.Error" with Number, Description, Source, SQLState and NativeError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/live_objects.h"
#include "mirelda/dispatch.h"
#include "mirelda/error.h"

namespace mirelda::data {

class DataErrorItem final : public Dispatch {
 public:
  // Takes SQLState and NativeError from a ProviderError; others get "HY000" and 0.
  explicit DataErrorItem(const Error& error);

  int32_t Number() { return number_; }
  std::string Description() { return description_; }
  std::string Source() { return source_; }
  std::string SqlState() { return sql_state_; }
  int32_t NativeError() { return native_error_; }
  std::string HelpFile() { return {}; }
  int32_t HelpContext() { return 0; }

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Error"; }

 private:
  int32_t number_;
  std::string description_;
  std::string source_;
  std::string sql_state_;
  int32_t native_error_ = 0;
  LiveObject live_;
};

class DataErrors final : public Dispatch {
 public:
  int32_t Count() { return static_cast<int32_t>(items_.size()); }
  // By zero-based index; kItemNotFound otherwise.
  std::shared_ptr<DataErrorItem> Item(const Variant& index);
  void Clear() { items_.clear(); }
  std::vector<Variant> Enumerate() override;

  // A failed operation's errors replace those of the one before.
  void Replace(const Error& error);

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Errors"; }

 private:
  std::vector<std::shared_ptr<DataErrorItem>> items_;
  LiveObject live_;
};

}  // namespace mirelda::data
