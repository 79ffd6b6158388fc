#include "frame/connected_page.h"

namespace mirelda::frame {

Connection& ConnectedPage::RequireConnection() const {
  if (!objConn) {
    throw Error(errc::kObjectVariableNotSet,
                "Object variable not set: no connection was handed over with setConnection");
  }
  return *objConn;
}

}  // namespace mirelda::frame
