// solution_provider.cpp
//
// Scanning the solution folders and reading app and template files.
#include "zelph/projects/solution_provider.h"

#include <filesystem>
#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

#include "zelph/chain/exception.h"
#include "zelph/config/rapidjson.h"
#include "zelph/logger/log.h"
#include "zelph/projects/sharded_map.h"

namespace fs = std::filesystem;

struct SolutionProvider::Catalogue {
  ShardedMap<std::shared_ptr<SolutionApp>> apps;
  std::map<std::string, std::shared_ptr<SolutionTemplate>> templates;
};

namespace {

constexpr char kAppsSuffix[] = ".json";
constexpr char kTemplatesSuffix[] = "cc";

// Whether a rebuild may use the folder: not when the setting is empty (quietly) or the
// folder does not exist (with a warning).
bool IsUsableFolder(const std::string& folder) {
  if (folder.empty()) return false;
  if (!fs::exists(folder)) {
    ZELPH_LOG(ZelphSeverityLevel::kWarning,
              "Folder does not exist: '{}'. Solution provider will be not available", folder);
    return false;
  }
  return true;
}

// The regular files below `folder`, links followed, in walk order.
std::vector<std::string> RegularFilesBelow(const std::string& folder) {
  std::vector<fs::directory_entry> entries(fs::recursive_directory_iterator(folder), {});
  std::vector<std::string> files;
  for (const fs::directory_entry& entry : entries) {
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  }
  return files;
}

void ReadDocument(const std::string& path, rapidjson::Document& document) {
  const rapidjson::ParseResult parsed = zelph::json::ParseJsonFile(path, document);
  if (parsed.IsError()) {
    throw std::runtime_error(fmt::format("Parse error offset: {}, code: {}, error: {}",
                                         parsed.Offset(), static_cast<int>(parsed.Code()),
                                         rapidjson::GetParseError_En(parsed.Code())));
  }
  if (!document.IsObject()) throw zelph::Exception(zelph::json::kJsonFileError);
}

const rapidjson::Value* Member(const rapidjson::Value& object, const char* name) {
  auto member = object.FindMember(name);
  return member == object.MemberEnd() ? nullptr : &member->value;
}

std::string Text(const rapidjson::Value& value) {
  return std::string(value.GetString(), value.GetStringLength());
}

// The member's text, or empty when it is missing or not a string.
std::string OptionalText(const rapidjson::Value& object, const char* name) {
  const rapidjson::Value* value = Member(object, name);
  return value != nullptr && value->IsString() ? Text(*value) : std::string();
}

const rapidjson::Value& RequiredObject(const rapidjson::Value& object, const char* name,
                                       const char* failure) {
  const rapidjson::Value* value = Member(object, name);
  if (value == nullptr || !value->IsObject()) throw std::runtime_error(failure);
  return *value;
}

std::string RequiredText(const rapidjson::Value& object, const char* name, const char* failure) {
  const rapidjson::Value* value = Member(object, name);
  if (value == nullptr || !value->IsString()) throw std::runtime_error(failure);
  return Text(*value);
}

bool IsAppFile(const rapidjson::Value& document) {
  const rapidjson::Value* app = Member(document, "app");
  if (app == nullptr || !app->IsString()) return false;
  const std::string kind = Text(*app);
  return kind == "zelph-project" || kind == "Davodavora";
}

}  // namespace

SolutionProvider::SolutionProvider() : catalogue_(std::make_shared<const Catalogue>()) {}

SolutionProvider::~SolutionProvider() = default;

void SolutionProvider::Scan(const std::string& apps_folder, const std::string& templates_folder) {
  if (!IsUsableFolder(apps_folder) || !IsUsableFolder(templates_folder)) return;
  std::lock_guard scan(scan_mutex_);
  const std::vector<std::string> template_files = RegularFilesBelow(templates_folder);
  const std::vector<std::string> app_files = RegularFilesBelow(apps_folder);
  auto catalogue = std::make_shared<Catalogue>();
  // Apps first: a template finds only the apps of its own rebuild.
  for (const std::string& file : app_files) ParseAppFile(*catalogue, file);
  for (const std::string& file : template_files) ParseTemplateFile(*catalogue, file);
  std::shared_ptr<const Catalogue> previous = std::move(catalogue);
  {
    std::lock_guard lock(catalogue_mutex_);
    catalogue_.swap(previous);
  }
}

void SolutionProvider::ParseAppFile(Catalogue& catalogue, const std::string& path) {
  if (!path.ends_with(kAppsSuffix)) return;
  try {
    rapidjson::Document document;
    ReadDocument(path, document);
    // The apps folder may hold other JSON files: they are passed over quietly.
    if (!IsAppFile(document)) return;
    const rapidjson::Value& chain =
        RequiredObject(document, "zelph_chain", "Required 'zelph_chain' value");
    const rapidjson::Value& executor =
        RequiredObject(chain, "executor", "Required 'zelph_chain'.'executor' object");
    auto app = std::make_shared<SolutionApp>();
    app->id = RequiredText(executor, "uuid", "Required 'zelph_chain'.'executor'.'uuid' string");
    app->caption = OptionalText(executor, "name");
    app->file = path;
    app->description = OptionalText(executor, "description");
    catalogue.apps.Insert(app->id, app);
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Solution app parsed: '{} {}'", app->caption, app->id);
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed parse solution app file: '{}', error: '{}'", path,
              e.what());
  }
}

void SolutionProvider::ParseTemplateFile(Catalogue& catalogue, const std::string& path) {
  if (!path.ends_with(kTemplatesSuffix)) return;
  try {
    rapidjson::Document document;
    ReadDocument(path, document);
    const rapidjson::Value* kind = Member(document, "app");
    if (kind == nullptr || !kind->IsString() || Text(*kind) != "zelph-project-configuration") {
      throw std::runtime_error("Unexpected 'app' value, expected 'zelph-project-configuration'");
    }
    auto entry = std::make_shared<SolutionTemplate>();
    entry->id = RequiredText(document, "id", "Unexpected 'id' value");
    const std::string caption = OptionalText(document, "caption");
    entry->description = OptionalText(document, "description");
    const std::string file_name = fs::path(path).filename().string();
    entry->caption = caption.empty() ? fmt::format("[{}]", file_name)
                                     : fmt::format("{} [{}]", caption, file_name);
    const std::string chain_id = RequiredText(document, "chain_id", "Unexpected 'chain_id' value");
    entry->app = catalogue.apps.Find(chain_id).value_or(nullptr);
    if (!entry->app) {
      throw std::runtime_error(
          fmt::format("Solution app not found: '{}', template '{}' linked with unknown solution",
                      chain_id, entry->id));
    }
    entry->file = path;
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Solution template parsed '{} {}'", entry->caption,
              entry->id);
    catalogue.templates[entry->id] = std::move(entry);
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Failed parse solution configuration file: '{}', error: '{}'", path, e.what());
  }
}

std::shared_ptr<const SolutionProvider::Catalogue> SolutionProvider::Snapshot() const {
  std::lock_guard lock(catalogue_mutex_);
  return catalogue_;
}

std::set<std::shared_ptr<SolutionApp>> SolutionProvider::GetApps() const {
  std::set<std::shared_ptr<SolutionApp>> apps;
  Snapshot()->apps.ForEach(
      [&](const std::string&, const std::shared_ptr<SolutionApp>& app) { apps.insert(app); });
  return apps;
}

std::list<std::shared_ptr<SolutionTemplate>> SolutionProvider::GetTemplatesOfApp(
    const std::string& app_id) const {
  std::list<std::shared_ptr<SolutionTemplate>> templates;
  // Named: a rebuild may swap the catalogue while the loop runs, and only this reference
  // keeps the map it walks alive.
  const std::shared_ptr<const Catalogue> catalogue = Snapshot();
  for (const auto& [id, entry] : catalogue->templates) {
    if (entry->app && entry->app->id == app_id) templates.push_back(entry);
    if (template_visit_hook_) template_visit_hook_();
  }
  return templates;
}

void SolutionProvider::SetTemplateVisitHook(std::function<void()> hook) {
  template_visit_hook_ = std::move(hook);
}

std::shared_ptr<SolutionTemplate> SolutionProvider::FindTemplate(const std::string& id) const {
  std::shared_ptr<const Catalogue> catalogue = Snapshot();
  auto found = catalogue->templates.find(id);
  return found == catalogue->templates.end() ? nullptr : found->second;
}

std::shared_ptr<SolutionApp> SolutionProvider::FindApp(const std::string& id) const {
  return Snapshot()->apps.Find(id).value_or(nullptr);
}
