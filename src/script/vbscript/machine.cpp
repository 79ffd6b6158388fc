#include "script/vbscript/machine.h"

#include <pthread.h>

#include <algorithm>
#include <new>

#include "mirelda/host.h"
#include "script/vbscript/builtins/text_units.h"
#include "script/vbscript/objects/procedure_ref.h"

namespace mirelda::script::vbscript {
namespace {

// Deep recursion must end as Out of stack space long before the thread's stack does: calls stop
// once the frame is within this much of the stack's end (a quarter of the stack, at least 256 KiB,
// which leaves room for sanitizer builds' larger frames), or at this depth.
constexpr size_t kStackReserveMin = size_t{256} << 10;
constexpr uint32_t kMaxDepth = 3000;
constexpr uint32_t kTicksPerClockCheck = 256;

const char* StackLimit() {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return nullptr;
  void* base = nullptr;
  size_t size = 0;
  int rc = pthread_attr_getstack(&attr, &base, &size);
  pthread_attr_destroy(&attr);
  if (rc != 0 || !base) return nullptr;
  size_t reserve = std::max(size / 4, kStackReserveMin);
  if (reserve >= size) reserve = size / 2;
  return static_cast<const char*>(base) + reserve;
}

}  // namespace

Machine::Machine(std::shared_ptr<const Program> program, const host::PageRunInput& input)
    : program_(std::move(program)),
      input_(input),
      err_(std::make_shared<ErrObject>()),
      terminates_(std::make_shared<TerminateQueue>()) {
  globals_.resize(program_->globals.variable_names.size());
  caches_.resize(program_->main.cache_count);
  if (ScriptingContext* context = input_.context) {
    response_ = context->Response();
    intrinsics_[static_cast<uint32_t>(Intrinsic::kRequest)] = Variant(context->Request());
    intrinsics_[static_cast<uint32_t>(Intrinsic::kResponse)] = Variant(response_);
    intrinsics_[static_cast<uint32_t>(Intrinsic::kServer)] = Variant(context->Server());
    intrinsics_[static_cast<uint32_t>(Intrinsic::kSession)] = Variant(context->Session());
    intrinsics_[static_cast<uint32_t>(Intrinsic::kApplication)] = Variant(context->Application());
  }
  intrinsics_[static_cast<uint32_t>(Intrinsic::kErr)] = Variant(err_);
  for (const host::NamedObject& object : input_.objects) {
    std::string folded = FoldCase(object.name);
    named_.emplace(folded, &object);
    auto it = program_->globals.names.find(folded);
    if (it != program_->globals.names.end() && it->second.kind == GlobalEntry::Kind::kVariable &&
        !it->second.declared) {
      lazy_globals_.emplace(it->second.slot, folded);
    }
  }
}

Machine::~Machine() { terminates_->Close(); }

host::PageRun Machine::Run(std::string_view procedure) {
  // A page run inside another (Server.Execute) must leave the caller's Err as it was.
  ErrorInfo saved = PendingError();
  ClearPendingError();
  if (!input_.sessions.empty()) ExposeGlobals(true);
  host::PageRun run = RunGuarded(procedure);
  EndInstances();
  if (!input_.sessions.empty()) ExposeGlobals(false);
  PendingError() = saved;
  return run;
}

host::PageRun Machine::Begin() {
  ClearPendingError();
  return RunGuarded("");
}

void Machine::End() {
  fail_where_.reset();
  EndInstances();
  ClearPendingError();
}

host::PageRun Machine::RunGuarded(std::string_view procedure) {
  host::PageRun run;
  // A thread's stack stays where it is for the thread's life; asking costs a system call.
  thread_local const char* const limit = StackLimit();
  stack_limit_ = limit;
  auto fail = [&](int32_t number, std::string description, std::string source) {
    run.outcome = host::PageRun::Outcome::kFailed;
    run.number = number;
    run.description = std::move(description);
    run.source = source.empty() ? std::string(kRuntimeErrorSource) : std::move(source);
    if (fail_where_ && fail_where_->file < program_->files.size()) {
      run.where.file = program_->files[fail_where_->file];
      run.where.line = static_cast<int>(fail_where_->line);
      run.where.column = static_cast<int>(fail_where_->column);
    } else if (!program_->files.empty()) {
      run.where.file = program_->files[0];
    }
  };
  try {
    if (!input_.peers.empty()) BindPeerGlobals();
    Frame top;
    RunBlock(program_->main.body, top);
    RunTerminates();
    if (!procedure.empty()) {
      auto it = program_->globals.names.find(FoldCase(procedure));
      if (it != program_->globals.names.end() && it->second.kind == GlobalEntry::Kind::kProcedure) {
        Call(*it->second.procedure, nullptr, {});
        RunTerminates();
      }
    }
  } catch (const EndOfPage&) {
    run.outcome = host::PageRun::Outcome::kEnded;
  } catch (const TimeLimitReached&) {
    fail(errc::kUnspecified,
         "The page ran longer than its time limit of " +
             std::to_string(input_.time_limit.count() / 1000) + " seconds",
         kRuntimeErrorSource);
  } catch (const Error& e) {
    fail(e.number(), e.description(), e.source());
  } catch (const std::bad_alloc&) {
    fail(7, StandardDescription(7), kRuntimeErrorSource);
  } catch (const std::exception& e) {
    fail(51, StandardDescription(51) + ": " + e.what(), kRuntimeErrorSource);
  }
  return run;
}

void Machine::Fail(const Where& where) {
  if (!fail_where_) fail_where_ = where;
}

Variant Machine::CallMethod(const Procedure& procedure, std::shared_ptr<ClassInstance> me,
                            std::vector<Variant>& args) {
  std::vector<Variant*> refs(args.size());
  for (size_t i = 0; i < args.size(); ++i) refs[i] = &args[i];
  // A property's assigned value comes last in args, where the Let or Set procedure takes it.
  return Call(procedure, std::move(me), refs);
}

void Machine::CheckDeadline() {
  if (++ticks_ % kTicksPerClockCheck != 0) return;
  if (input_.deadline != std::chrono::steady_clock::time_point{} &&
      std::chrono::steady_clock::now() >= input_.deadline) {
    throw TimeLimitReached{};
  }
}

void Machine::EnterCall() {
  const char* frame = static_cast<const char*>(__builtin_frame_address(0));
  if (depth_ >= kMaxDepth ||
      (stack_limit_ && reinterpret_cast<uintptr_t>(frame) < reinterpret_cast<uintptr_t>(stack_limit_))) {
    throw Error(28, {}, kRuntimeErrorSource);
  }
  CheckDeadline();
}

Variant Machine::Call(const Procedure& procedure, std::shared_ptr<ClassInstance> me,
                      std::span<Variant* const> args) {
  if (args.size() != procedure.params.size()) {
    throw Error(errc::kWrongArgumentCount, {}, kRuntimeErrorSource);
  }
  EnterCall();
  struct Depth {
    uint32_t& depth;
    explicit Depth(uint32_t& d) : depth(d) { ++depth; }
    ~Depth() { --depth; }
  } depth(depth_);
  Frame frame;
  frame.procedure = &procedure;
  frame.me = std::move(me);
  frame.values.resize(procedure.local_count);
  frame.refs.resize(procedure.local_count);
  for (uint32_t i = 0; i < procedure.local_count; ++i) frame.refs[i] = &frame.values[i];
  for (size_t i = 0; i < args.size(); ++i) {
    if (procedure.params[i].by_ref) {
      frame.refs[i] = args[i];
    } else {
      frame.values[i] = args[i]->is_missing() ? Variant() : *args[i];
    }
  }
  RunBlock(procedure.body, frame);
  return std::move(frame.result);
}

std::shared_ptr<const void> Machine::OwnerOf(const ClassDef& def) const {
  for (const auto& chunk : chunks_) {
    for (const auto& c : chunk->classes) {
      if (c.get() == &def) return chunk;
    }
  }
  return program_;
}

std::shared_ptr<const void> Machine::OwnerOf(const Procedure& procedure) const {
  for (const auto& chunk : chunks_) {
    for (const auto& p : chunk->procedures) {
      if (p.get() == &procedure) return chunk;
    }
  }
  return program_;
}

// GetRef takes the page's Subs and Functions, not methods of classes nor built-ins.
Variant Machine::ReferenceTo(const Variant& name) {
  const GlobalEntry* entry = FindDynamic(FoldCase(name.ToText()));
  if (!entry || entry->kind != GlobalEntry::Kind::kProcedure) {
    throw Error(errc::kInvalidProcedureCall);
  }
  return Variant(std::shared_ptr<Dispatch>(std::make_shared<ProcedureRef>(
      *entry->procedure, OwnerOf(*entry->procedure), weak_from_this())));
}

std::shared_ptr<ClassInstance> Machine::NewInstance(const ClassDef& def) {
  auto instance = ClassInstance::Make(def, OwnerOf(def), weak_from_this(), terminates_);
  instances_.push_back(instance);
  if (instances_.size() > 64 && instances_.size() % 64 == 0) {
    std::erase_if(instances_, [](const std::weak_ptr<ClassInstance>& w) { return w.expired(); });
  }
  if (def.initialize) Call(*def.initialize, instance, {});
  return instance;
}

void Machine::RunTerminates() {
  for (;;) {
    std::vector<ClassInstance*> pending = terminates_->Take();
    if (pending.empty()) return;
    for (ClassInstance* raw : pending) {
      // The last reference went; this one lives for the call and deletes the instance after it.
      std::shared_ptr<ClassInstance> instance(raw);
      if (instance->terminated) continue;
      instance->terminated = true;
      try {
        Call(*instance->def().terminate, instance, {});
      } catch (const Error&) {
        // An error inside Class_Terminate ends that procedure only, and is no page failure.
        fail_where_.reset();
      }
    }
  }
}

void Machine::EndInstances() {
  try {
    // What remains ends in a defined order: the page's variables in the order they were declared,
    // then instances that only reference each other, in the order they were made.
    for (Variant& global : globals_) {
      Variant gone = std::move(global);
      global = Variant();
      gone = Variant();
      RunTerminates();
    }
    named_made_.clear();
    for (const auto& weak : instances_) {
      std::shared_ptr<ClassInstance> instance = weak.lock();
      if (!instance) continue;
      if (instance->def().terminate && !instance->terminated) {
        instance->terminated = true;
        try {
          Call(*instance->def().terminate, instance, {});
        } catch (const Error&) {
          // As above: the error ends Class_Terminate only.
          fail_where_.reset();
        }
      }
      std::vector<Variant> fields = std::move(instance->fields());
      instance->fields().assign(fields.size(), Variant());
      fields.clear();
      RunTerminates();
    }
  } catch (...) {
    // Response.End or the time limit inside a Class_Terminate at the end of the page: the page is
    // over either way; the remaining instances end without their Class_Terminate.
  }
  terminates_->Close();
  for (ClassInstance* raw : terminates_->Take()) delete raw;
}

// A global that the other language of the page holds, or a named object made on first use.
Variant& Machine::GlobalOfPeerOrObject(uint32_t slot) {
  Variant& value = globals_[slot];
  if (!peer_globals_.empty()) {
    auto peer = peer_globals_.find(slot);
    if (peer != peer_globals_.end()) {
      std::vector<Variant> none;
      value = PeerValue(*peer->second.peer, peer->second.kind, peer->second.folded, none);
    }
  }
  if (!lazy_globals_.empty() && value.is_empty()) {
    auto it = lazy_globals_.find(slot);
    if (it != lazy_globals_.end()) {
      std::string name = it->second;
      lazy_globals_.erase(it);
      value = NamedObject(name);
    }
  }
  return value;
}

Variant Machine::Intrinsic(uint32_t slot) { return intrinsics_[slot]; }

const GlobalEntry* Machine::FindDynamic(const std::string& folded) {
  const GlobalTable& table = runtime_globals_ ? *runtime_globals_ : program_->globals;
  auto it = table.names.find(folded);
  return it == table.names.end() ? nullptr : &it->second;
}

Variant Machine::NamedObject(const std::string& folded) {
  auto made = named_made_.find(folded);
  if (made != named_made_.end()) return made->second;
  auto it = named_.find(folded);
  if (it == named_.end()) return Variant();
  Variant object(it->second->get ? it->second->get() : std::shared_ptr<Dispatch>());
  named_made_.emplace(folded, object);
  return object;
}

}  // namespace mirelda::script::vbscript
