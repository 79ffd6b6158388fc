#include "host/page/script_engine.h"

#include "mirelda/text.h"

namespace mirelda::host {

void EngineRegistry::Add(std::shared_ptr<const ScriptEngine> engine,
                         std::vector<std::string> names) {
  const ScriptEngine* e = engine.get();
  names_.emplace_back(std::string(e->name()), e);
  for (std::string& name : names) names_.emplace_back(std::move(name), e);
  engines_.push_back(std::move(engine));
}

std::vector<PageFinding> ScriptEngine::Check(const PageSource& source,
                                            const std::vector<std::string>&) const {
  Compile(source);
  return {};
}

const ScriptEngine* EngineRegistry::Find(std::string_view language) const {
  for (const auto& [name, engine] : names_) {
    if (text::EqualsIgnoreCase(name, language)) return engine;
  }
  return nullptr;
}

std::string EngineRegistry::Canonical(std::string_view language) const {
  const ScriptEngine* engine = Find(language);
  return engine ? std::string(engine->name()) : std::string();
}

}  // namespace mirelda::host
