// What GetRef gives: a Sub or Function of the page as an object whose default member calls it, so
// a page can hand a procedure to another (a comparer to a sort) and call it as ref(a, b). It
// calls on the machine of the page that made it.
#pragma once

#include <memory>

#include "mirelda/dispatch.h"
#include "script/vbscript/program.h"

namespace mirelda::script::vbscript {

class Machine;

class ProcedureRef final : public Dispatch {
 public:
  ProcedureRef(const Procedure& procedure, std::shared_ptr<const void> code,
               std::weak_ptr<Machine> machine);

  const MemberTable& Members() const override { return members_; }
  std::string ClassName() const override { return "Object"; }

 private:
  std::shared_ptr<const void> code_;  // keeps the compiled procedure alive
  MemberTable members_;
};

}  // namespace mirelda::script::vbscript
