// The page's Err object: the runtime's pending error of the thread (mirelda::PendingError()) seen
// from the page, so an error a component leaves pending, or one the page traps under On Error
// Resume Next, reads back with its number, description and source.
#pragma once

#include <cstdint>
#include <string>

#include "mirelda/dispatch.h"

namespace mirelda::script::vbscript {

// The source the language's own errors carry.
inline constexpr const char kRuntimeErrorSource[] = "Microsoft VBScript runtime error";

class ErrObject final : public Dispatch {
 public:
  int32_t Number();
  void SetNumber(int32_t number);
  std::string Description();
  void SetDescription(std::string description);
  std::string Source();
  void SetSource(std::string source);
  std::string HelpFile() { return help_file_; }
  void SetHelpFile(std::string file) { help_file_ = std::move(file); }
  int32_t HelpContext() { return help_context_; }
  void SetHelpContext(int32_t context) { help_context_ = context; }
  // Raises the error: throws mirelda::Error. A language error number without a description takes
  // its standard description.
  void Raise(int32_t number, Variant source, Variant description, Variant help_file,
             Variant help_context);
  void Clear();

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "ErrObject"; }

 private:
  std::string help_file_;
  int32_t help_context_ = 0;
};

}  // namespace mirelda::script::vbscript
