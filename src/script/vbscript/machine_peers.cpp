// A page whose code is in more than one language: a name this run does not define is looked up
// in the globals of the page's other languages, and this run's own globals are theirs to reach.
#include "script/vbscript/builtins/text_units.h"
#include "script/vbscript/machine.h"

namespace mirelda::script::vbscript {
namespace {

using Kind = host::PageGlobals::Kind;

// A name the page only used, never declared, is the page's own only when no peer defines it.
bool DefinedHere(const GlobalEntry* entry) {
  return entry && (entry->kind != GlobalEntry::Kind::kVariable || entry->declared);
}

}  // namespace

namespace {

// The run's globals as the page's other languages reach them.
class Exposed final : public host::PageGlobals {
 public:
  explicit Exposed(Machine& machine) : machine_(machine) {}
  Kind Find(std::string_view name) override { return machine_.FindOwn(name); }
  std::vector<std::pair<std::string, Kind>> Names() override { return machine_.OwnNames(); }
  Variant Get(std::string_view name) override { return machine_.GetOwn(name); }
  void Put(std::string_view name, const Variant& value) override { machine_.PutOwn(name, value); }
  Variant Call(std::string_view name, std::vector<Variant>& args) override {
    return machine_.CallOwn(name, args);
  }

 private:
  Machine& machine_;
};

}  // namespace

void Machine::ExposeGlobals(bool exposed) {
  if (exposed && !exposed_) exposed_ = std::make_unique<Exposed>(*this);
  for (host::ScriptSession* session : input_.sessions) {
    session->Reach(exposed ? exposed_.get() : nullptr);
  }
}

host::PageGlobals* Machine::PeerOf(const std::string& folded, Kind* kind) {
  for (host::PageGlobals* peer : input_.peers) {
    *kind = peer->Find(folded);
    if (*kind != Kind::kNone) return peer;
  }
  if (primary_) {
    *kind = primary_->Find(folded);
    if (*kind != Kind::kNone) return primary_;
  }
  return nullptr;
}

void Machine::BindPeerGlobals() {
  // The top level's undeclared names were compiled to global slots of their own.
  for (const auto& [folded, entry] : program_->globals.names) {
    if (DefinedHere(&entry)) continue;
    Kind kind = Kind::kNone;
    if (host::PageGlobals* peer = PeerOf(folded, &kind)) {
      peer_globals_.emplace(entry.slot, PeerGlobal{peer, kind, folded});
    }
  }
}

Variant Machine::PeerValue(host::PageGlobals& peer, Kind kind, const std::string& folded,
                           std::vector<Variant>& args) {
  if (kind == Kind::kFunction) return peer.Call(folded, args);
  Variant value = peer.Get(folded);
  if (args.empty()) return value;
  return LateIndex(value, args);
}

std::optional<Variant> Machine::EvalPeer(const Expr& expr, Frame& frame) {
  if (DefinedHere(FindDynamic(expr.name))) return std::nullopt;
  Kind kind = Kind::kNone;
  host::PageGlobals* peer = PeerOf(expr.name, &kind);
  if (!peer) return std::nullopt;
  std::vector<Variant> args;
  EvalArgs(expr, 0, frame, args);
  for (Variant& arg : args) {
    if (arg.is_missing()) arg = Variant();
  }
  return PeerValue(*peer, kind, expr.name, args);
}

bool Machine::AssignPeer(const Expr& target, Variant value, bool set) {
  host::PageGlobals* peer = nullptr;
  if (target.kind == ExprKind::kGlobal) {
    auto it = peer_globals_.find(target.slot);
    if (it == peer_globals_.end() || it->second.kind != Kind::kVariable) return false;
    peer = it->second.peer;
  } else if (target.kind == ExprKind::kDynamic) {
    if (DefinedHere(FindDynamic(target.name))) return false;
    Kind kind = Kind::kNone;
    peer = PeerOf(target.name, &kind);
    if (!peer || kind != Kind::kVariable) return false;
  } else {
    return false;
  }
  if (!set && value.is_object()) value = ValueOf(value);
  peer->Put(target.kind == ExprKind::kGlobal ? peer_globals_[target.slot].folded : target.name,
            value);
  return true;
}

Kind Machine::FindOwn(std::string_view name) {
  const GlobalEntry* entry = FindDynamic(FoldCase(name));
  if (!entry) return Kind::kNone;
  switch (entry->kind) {
    case GlobalEntry::Kind::kVariable:
      // A name the code only used is there once the code has given it a value, unless it is
      // the other language's.
      if (peer_globals_.count(entry->slot)) return Kind::kNone;
      return entry->declared || !globals_[entry->slot].is_empty() ? Kind::kVariable : Kind::kNone;
    case GlobalEntry::Kind::kConstant:
      return Kind::kVariable;
    case GlobalEntry::Kind::kProcedure:
      return Kind::kFunction;
    case GlobalEntry::Kind::kClass:
    case GlobalEntry::Kind::kIntrinsic:
      break;
  }
  return Kind::kNone;
}

std::vector<std::pair<std::string, Kind>> Machine::OwnNames() {
  const GlobalTable& table = runtime_globals_ ? *runtime_globals_ : program_->globals;
  std::vector<std::pair<std::string, Kind>> names;
  for (const auto& [folded, entry] : table.names) {
    Kind kind = FindOwn(folded);
    if (kind == Kind::kNone) continue;
    switch (entry.kind) {
      case GlobalEntry::Kind::kVariable:
        names.emplace_back(table.variable_names[entry.slot], kind);
        break;
      case GlobalEntry::Kind::kProcedure:
        names.emplace_back(entry.procedure->name, kind);
        break;
      default:
        names.emplace_back(entry.spelling.empty() ? folded : entry.spelling, kind);
        break;
    }
  }
  return names;
}

Variant Machine::GetOwn(std::string_view name) {
  const GlobalEntry* entry = FindDynamic(FoldCase(name));
  if (!entry || FindOwn(name) == Kind::kNone) {
    throw Error(errc::kVariableUndefined, {}, kRuntimeErrorSource);
  }
  if (entry->kind == GlobalEntry::Kind::kConstant) return entry->value;
  if (entry->kind == GlobalEntry::Kind::kVariable) return Global(entry->slot);
  // A Function named without arguments is called, as the language does.
  std::vector<Variant> none;
  return CallOwn(name, none);
}

void Machine::PutOwn(std::string_view name, const Variant& value) {
  const GlobalEntry* entry = FindDynamic(FoldCase(name));
  if (!entry || entry->kind != GlobalEntry::Kind::kVariable) {
    throw Error(entry ? errc::kIllegalAssignment : errc::kVariableUndefined, {},
                kRuntimeErrorSource);
  }
  Global(entry->slot) = value;
}

Variant Machine::CallOwn(std::string_view name, std::vector<Variant>& args) {
  const GlobalEntry* entry = FindDynamic(FoldCase(name));
  if (!entry || FindOwn(name) == Kind::kNone) {
    throw Error(errc::kTypeMismatch, {}, kRuntimeErrorSource);
  }
  if (entry->kind != GlobalEntry::Kind::kProcedure) {
    Variant value = GetOwn(name);
    if (args.empty()) return value;
    return LateIndex(value, args);
  }
  std::vector<Variant*> refs(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].is_missing()) args[i] = Variant();
    refs[i] = &args[i];
  }
  try {
    Variant result = Call(*entry->procedure, nullptr, refs);
    RunTerminates();
    return result;
  } catch (const Error&) {
    // The error goes on in the calling language, which reports its own place.
    fail_where_.reset();
    throw;
  }
}

}  // namespace mirelda::script::vbscript
