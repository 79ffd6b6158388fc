// The class frame of Mirelda.FileSystem: its interface, in interface order.
#include "upload/file_system.h"

#include "frame/identity.h"

namespace mirelda::upload {

std::optional<Guid> FileSystem::ClassId() const { return frame::FileSystemIdentity().class_id; }

const MemberTable& FileSystem::Members() const {
  static const MemberTable table =
      MemberTableBuilder<FileSystem>("_FileSystem", frame::FileSystemIdentity().interface_id)
          .Method<&FileSystem::OnStartPage>("OnStartPage", {Arg("vScriptingContext").ByRef()})
          .Method<&FileSystem::OnEndPage>("OnEndPage")
          .Build();
  return table;
}

}  // namespace mirelda::upload
