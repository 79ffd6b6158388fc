// The connection that a page hands to Database and WebPage. The component never opens it; the
// reference outlives the page context and is replaced by the next setConnection.
#pragma once

#include <memory>

#include "frame/page_context.h"
#include "mirelda/data.h"

namespace mirelda::frame {

class ConnectedPage : public PageContext {
 public:
  // Stores the connection (open or not; Nothing clears it) and releases the previous one without
  // closing it.
  void setConnection(std::shared_ptr<Connection> sConn) { objConn = std::move(sConn); }

  const std::shared_ptr<Connection>& connection() const { return objConn; }

 protected:
  // The connection, or Object variable not set (91) when none is set.
  Connection& RequireConnection() const;

  std::shared_ptr<Connection> objConn;
};

}  // namespace mirelda::frame
