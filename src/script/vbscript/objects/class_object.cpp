#include "script/vbscript/objects/class_object.h"

#include "mirelda/error.h"
#include "script/vbscript/machine.h"

namespace mirelda::script::vbscript {

std::vector<ClassInstance*> TerminateQueue::Take() {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<ClassInstance*> taken;
  taken.swap(pending);
  waiting.store(false, std::memory_order_relaxed);
  return taken;
}

void TerminateQueue::Close() {
  std::lock_guard<std::mutex> lock(mutex);
  open = false;
}

ClassInstance::ClassInstance(const ClassDef& def, std::shared_ptr<const void> code,
                             std::weak_ptr<Machine> machine)
    : def_(def), code_(std::move(code)), machine_(std::move(machine)) {
  fields_.reserve(def.fields.size());
  for (const Field& field : def.fields) {
    if (!field.upper_bounds.empty()) {
      std::vector<ArrayBound> bounds;
      for (int32_t upper : field.upper_bounds) bounds.push_back(ArrayBound{0, upper});
      fields_.emplace_back(VariantArray::WithBounds(std::move(bounds), true));
    } else if (field.dynamic_array) {
      fields_.emplace_back(VariantArray::WithBounds({}, false));
    } else {
      fields_.emplace_back();
    }
  }
}

std::shared_ptr<ClassInstance> ClassInstance::Make(const ClassDef& def,
                                                   std::shared_ptr<const void> code,
                                                   std::weak_ptr<Machine> machine,
                                                   const std::shared_ptr<TerminateQueue>& queue) {
  auto* instance = new ClassInstance(def, std::move(code), std::move(machine));
  if (!def.terminate) return std::shared_ptr<ClassInstance>(instance);
  return std::shared_ptr<ClassInstance>(instance, [queue](ClassInstance* gone) {
    {
      std::lock_guard<std::mutex> lock(queue->mutex);
      if (queue->open && !gone->terminated) {
        queue->pending.push_back(gone);
        queue->waiting.store(true, std::memory_order_relaxed);
        return;
      }
    }
    delete gone;
  });
}

namespace {

MemberKind KindOf(ProcedureKind kind) {
  switch (kind) {
    case ProcedureKind::kPropertyGet:
      return MemberKind::kGet;
    case ProcedureKind::kPropertyLet:
      return MemberKind::kLet;
    case ProcedureKind::kPropertySet:
      return MemberKind::kSet;
    default:
      return MemberKind::kMethod;
  }
}

Member FieldMember(const Field& field, uint32_t index, MemberKind kind) {
  Member member;
  member.name = field.name;
  member.kind = kind;
  if (kind == MemberKind::kGet) {
    member.result = ParamType::kVariant;
    member.invoke = [index](Dispatch& self, std::vector<Variant>&) {
      return static_cast<ClassInstance&>(self).fields()[index];
    };
  } else {
    member.params.push_back(Param{"value", ParamType::kVariant, false, false, Variant::Missing()});
    bool set = kind == MemberKind::kSet;
    member.invoke = [index, set](Dispatch& self, std::vector<Variant>& args) {
      if (set && !args[0].is_object()) throw Error(errc::kObjectRequired);
      static_cast<ClassInstance&>(self).fields()[index] = args[0];
      return Variant();
    };
  }
  return member;
}

}  // namespace

std::unique_ptr<MemberTable> ClassInstance::BuildMembers(const ClassDef& def) {
  std::vector<Member> members;
  for (uint32_t i = 0; i < def.fields.size(); ++i) {
    const Field& field = def.fields[i];
    if (!field.is_public) continue;
    for (MemberKind kind : {MemberKind::kGet, MemberKind::kLet, MemberKind::kSet}) {
      members.push_back(FieldMember(field, i, kind));
    }
  }
  for (const auto& method : def.methods) {
    if (!method->is_public || method.get() == def.initialize || method.get() == def.terminate) {
      continue;
    }
    Member member;
    member.name = method->name;
    member.kind = KindOf(method->kind);
    member.is_default = method->is_default;
    member.result = method->kind == ProcedureKind::kSub ? ParamType::kNone : ParamType::kVariant;
    for (const Parameter& p : method->params) {
      member.params.push_back(Param{p.name, ParamType::kVariant, false, p.by_ref, Variant::Missing()});
    }
    const Procedure* procedure = method.get();
    member.invoke = [procedure](Dispatch& self, std::vector<Variant>& args) {
      auto& instance = static_cast<ClassInstance&>(self);
      std::shared_ptr<Machine> machine = instance.machine().lock();
      if (!machine) {
        throw Error(errc::kUnspecified, "The page that made this " + instance.def().name +
                                            " object has ended");
      }
      return machine->CallMethod(*procedure,
                                 std::static_pointer_cast<ClassInstance>(self.shared_from_this()),
                                 args);
    };
    members.push_back(std::move(member));
  }
  return std::make_unique<MemberTable>(def.name, std::nullopt, std::move(members));
}

}  // namespace mirelda::script::vbscript
