// What every component class shares: the page context that the host hands over at page start, and
// the live-instance count that decides whether the library may be unloaded.
#pragma once

#include <memory>

#include "mirelda/dispatch.h"
#include "mirelda/host.h"

namespace mirelda::frame {

class PageContext : public Dispatch {
 public:
  PageContext();
  ~PageContext() override;
  PageContext(const PageContext&) = delete;
  PageContext& operator=(const PageContext&) = delete;

  // Stores the context, then reads its Application, Request, Response, Server and Session
  // objects, in this order. When a read fails the error reaches the caller; the members stored
  // before it keep their new values and the later ones are left as they were.
  void OnStartPage(std::shared_ptr<ScriptingContext> vScriptingContext);
  // Drops the six references, in the order they were stored. The connection and the class's own
  // state stay.
  void OnEndPage();

  const std::shared_ptr<ScriptingContext>& context() const { return objContext; }
  const std::shared_ptr<ApplicationObject>& application() const { return objApplication; }
  const std::shared_ptr<RequestObject>& request() const { return objRequest; }
  const std::shared_ptr<ResponseObject>& response() const { return objResponse; }
  const std::shared_ptr<ServerObject>& server() const { return objServer; }
  const std::shared_ptr<SessionObject>& session() const { return objSession; }

  // Number of component instances alive in this process.
  static long LiveInstances();

 protected:
  // The page objects a method needs; Object variable not set (91) outside a page.
  RequestObject& RequireRequest() const;
  ResponseObject& RequireResponse() const;
  ServerObject& RequireServer() const;
  SessionObject& RequireSession() const;

  std::shared_ptr<ScriptingContext> objContext;
  std::shared_ptr<ApplicationObject> objApplication;
  std::shared_ptr<RequestObject> objRequest;
  std::shared_ptr<ResponseObject> objResponse;
  std::shared_ptr<ServerObject> objServer;
  std::shared_ptr<SessionObject> objSession;
};

}  // namespace mirelda::frame
