// An instance of a script class: a Dispatch object whose member table the compiler made, so
// components and the other page language reach it like any component. Its methods and
// properties run on the machine of the page that made it; its Class_Terminate runs when its last
// reference goes, at the next statement boundary of that page (TerminateQueue), or when the page
// ends.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "mirelda/dispatch.h"
#include "script/vbscript/program.h"

namespace mirelda::script::vbscript {

class Machine;
class ClassInstance;

// Instances whose last reference went while their page still runs, waiting for their
// Class_Terminate. Once the page has ended (closed) an instance is simply deleted.
struct TerminateQueue {
  std::mutex mutex;
  bool open = true;
  std::vector<ClassInstance*> pending;
  std::atomic<bool> waiting{false};  // pending is not empty: a cheap test between statements

  // Takes the waiting instances, in the order their references went.
  std::vector<ClassInstance*> Take();
  void Close();
};

class ClassInstance final : public Dispatch {
 public:
  ClassInstance(const ClassDef& def, std::shared_ptr<const void> code, std::weak_ptr<Machine> machine);

  // A new instance with its fields in place (array fields dimensioned); Class_Initialize is the
  // caller's to run. Instances of a class with Class_Terminate go to queue when released.
  static std::shared_ptr<ClassInstance> Make(const ClassDef& def, std::shared_ptr<const void> code,
                                             std::weak_ptr<Machine> machine,
                                             const std::shared_ptr<TerminateQueue>& queue);

  const ClassDef& def() const { return def_; }
  std::vector<Variant>& fields() { return fields_; }
  const std::weak_ptr<Machine>& machine() const { return machine_; }

  const MemberTable& Members() const override { return *def_.members; }
  std::string ClassName() const override { return def_.name; }

  // The member table of a class: public fields as Get/Let/Set, methods, properties.
  static std::unique_ptr<MemberTable> BuildMembers(const ClassDef& def);

  bool terminated = false;  // Class_Terminate has run (or is running)

 private:
  const ClassDef& def_;
  std::shared_ptr<const void> code_;  // keeps the compiled class alive as long as the instance
  std::weak_ptr<Machine> machine_;
  std::vector<Variant> fields_;
};

}  // namespace mirelda::script::vbscript
