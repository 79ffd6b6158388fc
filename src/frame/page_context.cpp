#include "frame/page_context.h"

#include <atomic>

namespace mirelda::frame {
namespace {

std::atomic<long> g_live_instances{0};

template <class T>
T& Require(const std::shared_ptr<T>& object, const char* what) {
  if (!object) {
    throw Error(errc::kObjectVariableNotSet, std::string("Object variable not set: the page's ") +
                                                 what + " object is not available outside a page");
  }
  return *object;
}

}  // namespace

PageContext::PageContext() { ++g_live_instances; }

PageContext::~PageContext() { --g_live_instances; }

long PageContext::LiveInstances() { return g_live_instances.load(); }

void PageContext::OnStartPage(std::shared_ptr<ScriptingContext> vScriptingContext) {
  if (!vScriptingContext) throw Error(errc::kObjectRequired);
  objContext = std::move(vScriptingContext);
  objApplication = objContext->Application();
  objRequest = objContext->Request();
  objResponse = objContext->Response();
  objServer = objContext->Server();
  objSession = objContext->Session();
}

void PageContext::OnEndPage() {
  objContext = nullptr;
  objApplication = nullptr;
  objRequest = nullptr;
  objResponse = nullptr;
  objServer = nullptr;
  objSession = nullptr;
}

RequestObject& PageContext::RequireRequest() const { return Require(objRequest, "Request"); }
ResponseObject& PageContext::RequireResponse() const { return Require(objResponse, "Response"); }
ServerObject& PageContext::RequireServer() const { return Require(objServer, "Server"); }
SessionObject& PageContext::RequireSession() const { return Require(objSession, "Session"); }

}  // namespace mirelda::frame
