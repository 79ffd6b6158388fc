#include "frame/identity.h"

namespace mirelda::frame {
namespace {

Guid Fixed(std::string_view text) { return *ParseGuid(text); }

}  // namespace

const Guid& TypeLibraryId() {
  static const Guid id = Fixed("{636E18B8-3777-4CFA-9932-90B13815F5C4}");
  return id;
}

const ClassIdentity& DatabaseIdentity() {
  static const ClassIdentity id{"Database", "Mirelda.Database", "_Database",
                                Fixed("{2B6CE337-DA05-4155-8C82-E344399D0FF3}"),
                                Fixed("{240DBCB5-737A-41F8-976C-92D6A420BAD4}")};
  return id;
}

const ClassIdentity& FileSystemIdentity() {
  static const ClassIdentity id{"FileSystem", "Mirelda.FileSystem", "_FileSystem",
                                Fixed("{B8285879-660B-4449-B6F4-E3800767B0DB}"),
                                Fixed("{732BFEA4-6ED7-445D-B3C8-3C4E830716E0}")};
  return id;
}

const ClassIdentity& WebPageIdentity() {
  static const ClassIdentity id{"WebPage", "Mirelda.WebPage", "_WebPage",
                                Fixed("{D7E8DED5-D4A2-4566-A20A-1EB0397D3CF0}"),
                                Fixed("{A2EA479B-A38D-41C9-8F9B-A181711C4946}")};
  return id;
}

const std::array<const ClassIdentity*, 3>& AllClasses() {
  static const std::array<const ClassIdentity*, 3> all = {
      &DatabaseIdentity(), &FileSystemIdentity(), &WebPageIdentity()};
  return all;
}

}  // namespace mirelda::frame
