#include "frame/class_factory.h"

#include "database/database.h"
#include "upload/file_system.h"
#include "webpage/web_page.h"

namespace mirelda::frame {
namespace {

std::atomic<long> g_factories{0};
std::atomic<long> g_locks{0};

}  // namespace

std::shared_ptr<Dispatch> CreateComponent(const ClassIdentity& identity) {
  if (&identity == &DatabaseIdentity()) return std::make_shared<database::Database>();
  if (&identity == &FileSystemIdentity()) return std::make_shared<upload::FileSystem>();
  if (&identity == &WebPageIdentity()) return std::make_shared<webpage::WebPage>();
  throw Error(errc::kClassNotAvailable);
}

ComponentFactory::ComponentFactory(const ClassIdentity& identity) : identity_(identity) {
  ++g_factories;
}

ComponentFactory::~ComponentFactory() { --g_factories; }

std::shared_ptr<Dispatch> ComponentFactory::CreateInstance() { return CreateComponent(identity_); }

void ComponentFactory::LockServer(bool lock) {
  if (lock) {
    ++g_locks;
  } else if (g_locks.load() > 0) {
    --g_locks;
  }
}

void ComponentFactory::AddRef() { ++references_; }

void ComponentFactory::Release() {
  if (--references_ == 0) delete this;
}

long ComponentFactory::OutstandingFactories() { return g_factories.load(); }
long ComponentFactory::ServerLocks() { return g_locks.load(); }

}  // namespace mirelda::frame
