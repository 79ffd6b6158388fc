// An object whose default member is a value read without arguments, as a recordset field is.
#pragma once

#include "mirelda/dispatch.h"

namespace mirelda::testing {

class Cell final : public Dispatch {
 public:
  explicit Cell(Variant value = {}) : value_(std::move(value)) {}
  Variant Value() { return value_; }
  const MemberTable& Members() const override {
    static const MemberTable table =
        MemberTableBuilder<Cell>("Cell").Get<&Cell::Value>("Value").Default().Build();
    return table;
  }

 private:
  Variant value_;
};

}  // namespace mirelda::testing
