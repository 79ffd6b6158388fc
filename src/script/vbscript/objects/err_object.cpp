#include "script/vbscript/objects/err_object.h"

#include "mirelda/error.h"

namespace mirelda::script::vbscript {

int32_t ErrObject::Number() { return PendingError().number; }

void ErrObject::SetNumber(int32_t number) {
  ErrorInfo& pending = PendingError();
  pending.number = number;
  if (pending.description.empty()) pending.description = StandardDescription(number);
}

std::string ErrObject::Description() { return PendingError().description; }
void ErrObject::SetDescription(std::string description) {
  PendingError().description = std::move(description);
}
std::string ErrObject::Source() { return PendingError().source; }
void ErrObject::SetSource(std::string source) { PendingError().source = std::move(source); }

void ErrObject::Raise(int32_t number, Variant source, Variant description, Variant help_file,
                      Variant help_context) {
  if (number == 0) throw Error(errc::kInvalidProcedureCall, {}, kRuntimeErrorSource);
  std::string text = description.is_missing() ? StandardDescription(number) : description.ToText();
  if (description.is_missing() && text.empty()) text = "Unknown runtime error";
  if (!help_file.is_missing()) help_file_ = help_file.ToText();
  if (!help_context.is_missing()) help_context_ = help_context.ToLong();
  throw Error(number, text, source.is_missing() ? std::string(kRuntimeErrorSource) : source.ToText());
}

void ErrObject::Clear() {
  ClearPendingError();
  help_file_.clear();
  help_context_ = 0;
}

const MemberTable& ErrObject::Members() const {
  static const MemberTable table =
      MemberTableBuilder<ErrObject>("ErrObject")
          .Get<&ErrObject::Number>("Number")
          .Default()
          .Let<&ErrObject::SetNumber>("Number", {Arg("number")})
          .Get<&ErrObject::Description>("Description")
          .Let<&ErrObject::SetDescription>("Description", {Arg("description")})
          .Get<&ErrObject::Source>("Source")
          .Let<&ErrObject::SetSource>("Source", {Arg("source")})
          .Get<&ErrObject::HelpFile>("HelpFile")
          .Let<&ErrObject::SetHelpFile>("HelpFile", {Arg("file")})
          .Get<&ErrObject::HelpContext>("HelpContext")
          .Let<&ErrObject::SetHelpContext>("HelpContext", {Arg("context")})
          .Method<&ErrObject::Raise>("Raise", {Arg("number"), Arg("source").Optional(),
                                               Arg("description").Optional(),
                                               Arg("helpfile").Optional(),
                                               Arg("helpcontext").Optional()})
          .Method<&ErrObject::Clear>("Clear")
          .Build();
  return table;
}

}  // namespace mirelda::script::vbscript
