#include "script/vbscript/objects/procedure_ref.h"

#include "mirelda/error.h"
#include "script/vbscript/machine.h"

namespace mirelda::script::vbscript {
namespace {

MemberTable TableOf(const Procedure& procedure, std::weak_ptr<Machine> machine) {
  Member member;
  member.name = procedure.name;
  member.kind = MemberKind::kMethod;
  member.is_default = true;
  member.result = procedure.kind == ProcedureKind::kSub ? ParamType::kNone : ParamType::kVariant;
  for (const Parameter& p : procedure.params) {
    member.params.push_back(
        Param{p.name, ParamType::kVariant, false, p.by_ref, Variant::Missing()});
  }
  const Procedure* target = &procedure;
  member.invoke = [target, machine](Dispatch&, std::vector<Variant>& args) {
    std::shared_ptr<Machine> running = machine.lock();
    if (!running) {
      throw Error(errc::kUnspecified,
                  "The page that took a reference to " + target->name + " has ended");
    }
    return running->CallMethod(*target, nullptr, args);
  };
  std::vector<Member> members;
  members.push_back(std::move(member));
  return MemberTable(procedure.name, std::nullopt, std::move(members));
}

}  // namespace

ProcedureRef::ProcedureRef(const Procedure& procedure, std::shared_ptr<const void> code,
                           std::weak_ptr<Machine> machine)
    : code_(std::move(code)), members_(TableOf(procedure, std::move(machine))) {}

}  // namespace mirelda::script::vbscript
