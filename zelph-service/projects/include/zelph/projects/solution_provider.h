// solution_provider.h
//
// The solution catalogue: the ready-made solutions an installation offers on disk. Apps are
// chain files of whole projects (any "*.json" below the apps folder whose "app" is
// "zelph-project" or "Davodavora"), templates are project configuration files ("*cc" below
// the templates folder) bound to one app by their "chain_id".
//
//   SolutionProvider catalogue;
//   catalogue.Scan(config->GetSolutionAppsDir(), config->GetSolutionTemplateDir());
//   for (const auto& app : catalogue.GetApps()) { ... catalogue.GetTemplatesOfApp(app->id) }
//
// The catalogue is rebuilt by Scan (the service does so whenever a client lists the apps);
// every other call answers from the last rebuild, and finds nothing before the first.
// Rebuilds run one at a time and are built aside, then swapped in whole: a reader sees the
// previous catalogue or the next one, never a mix or a half-built one. A file that cannot be
// read or does not hold what the catalogue needs is logged and left out.
//
// Threading: every member may be called from any thread. Entries are shared and never
// changed: one that a caller holds stays valid after a rebuild drops it.
#pragma once

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>

struct SolutionApp {
  std::string id;           // "zelph_chain" -> "executor" -> "uuid"
  std::string caption;      // "zelph_chain" -> "executor" -> "name", may be empty
  std::string file;         // the app file, as the folder walk found it
  std::string description;  // "zelph_chain" -> "executor" -> "description", may be empty
};

struct SolutionTemplate {
  std::string id;                    // "id"
  std::shared_ptr<SolutionApp> app;  // the app of its "chain_id"; never empty
  std::string caption;               // "{caption} [{file name}]", or "[{file name}]"
  std::string description;           // "description", may be empty
  std::string file;                  // the template file, as the folder walk found it
};

class SolutionProvider {
 public:
  SolutionProvider();
  ~SolutionProvider();
  SolutionProvider(const SolutionProvider&) = delete;
  SolutionProvider& operator=(const SolutionProvider&) = delete;

  // Rebuilds the catalogue from the two folders. An empty folder text, or a folder that
  // does not exist (logged as a warning), keeps the catalogue as it is. A failure of the
  // folder walk leaves as std::filesystem::filesystem_error and keeps the catalogue too.
  // Within one rebuild the first app of an id stays; the last template of an id wins.
  void Scan(const std::string& apps_folder, const std::string& templates_folder);

  // Every app, ordered by pointer (an order without meaning for clients).
  std::set<std::shared_ptr<SolutionApp>> GetApps() const;
  // The templates bound to the app, in template id order.
  std::list<std::shared_ptr<SolutionTemplate>> GetTemplatesOfApp(const std::string& app_id) const;
  // Empty when there is none.
  std::shared_ptr<SolutionTemplate> FindTemplate(const std::string& id) const;
  std::shared_ptr<SolutionApp> FindApp(const std::string& id) const;

  // For tests: `hook` runs on the listing thread after each template GetTemplatesOfApp
  // visits (a test rescans there to show that a listing walks the catalogue it began with).
  // Set it before listings start; an empty function removes it.
  void SetTemplateVisitHook(std::function<void()> hook);

 private:
  struct Catalogue;

  // Read one file into the catalogue being built; a file that fails is logged and adds
  // nothing.
  static void ParseAppFile(Catalogue& catalogue, const std::string& path);
  static void ParseTemplateFile(Catalogue& catalogue, const std::string& path);
  std::shared_ptr<const Catalogue> Snapshot() const;

  std::mutex scan_mutex_;               // one rebuild at a time
  mutable std::mutex catalogue_mutex_;  // guards the pointer below, not the catalogue
  std::shared_ptr<const Catalogue> catalogue_;
  std::function<void()> template_visit_hook_;
};
