// solution_provider_test.cpp
//
// The solution catalogue read from the fixture folders, the failures of single files, and
// rebuilds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "capturing_logger.h"
#include "zelph/projects/solution_provider.h"
#include "zelph/testing/service_fixtures.h"

namespace {

namespace fs = std::filesystem;
namespace fixture = zelph::testing;

std::set<std::string> AppIds(const SolutionProvider& catalogue) {
  std::set<std::string> ids;
  for (const auto& app : catalogue.GetApps()) ids.insert(app->id);
  return ids;
}

// A folder of its own below the temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() : path_(fs::temp_directory_path() / ("solutions-" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_ / "apps");
    fs::create_directories(path_ / "templates");
  }
  ~TempFolder() { fs::remove_all(path_); }

  std::string Apps() const { return (path_ / "apps").string(); }
  std::string Templates() const { return (path_ / "templates").string(); }
  std::string Write(const std::string& relative, const std::string& text) const {
    const fs::path file = path_ / relative;
    std::ofstream(file, std::ios::binary) << text;
    return file.string();
  }

 private:
  fs::path path_;
};

std::string App(const std::string& id, const std::string& name) {
  return R"({"app": "zelph-project", "zelph_chain": {"executor": {"uuid": ")" + id +
         R"(", "name": ")" + name + R"("}}})";
}

TEST(SolutionProviderTest, TheFixtureFoldersGiveTheirAppsAndTemplates) {
  zelph::testing::CapturingLogger log;
  SolutionProvider catalogue;
  EXPECT_TRUE(catalogue.GetApps().empty());  // nothing before the first rebuild
  catalogue.Scan(fixture::SolutionAppsFolder(), fixture::SolutionTemplatesFolder());

  EXPECT_EQ(AppIds(catalogue),
            (std::set<std::string>{fixture::kDemoAppId, fixture::kNestedAppId, fixture::kTwinAppId,
                                   fixture::kSettingsAppId}));
  auto demo = catalogue.FindApp(fixture::kDemoAppId);
  ASSERT_NE(demo, nullptr);
  EXPECT_EQ(demo->caption, "Demo");
  EXPECT_EQ(demo->description, "the demo app");
  EXPECT_EQ(demo->file, fixture::SolutionAppsFolder() + "/demo.json");
  auto nested = catalogue.FindApp(fixture::kNestedAppId);
  ASSERT_NE(nested, nullptr);
  EXPECT_EQ(nested->caption, "");
  EXPECT_EQ(nested->file, fixture::SolutionAppsFolder() + "/sub/nested.json");
  const std::string twin = catalogue.FindApp(fixture::kTwinAppId)->caption;
  EXPECT_TRUE(twin == "Twin A" || twin == "Twin B") << twin;
  EXPECT_EQ(catalogue.FindApp("nope"), nullptr);

  auto fast = catalogue.FindTemplate(fixture::kFastTemplateId);
  ASSERT_NE(fast, nullptr);
  EXPECT_EQ(fast->caption, "Fast [fast.cc]");
  EXPECT_EQ(fast->description, "the demo, tuned for speed");
  EXPECT_EQ(fast->app, demo);
  EXPECT_EQ(fast->file, fixture::SolutionTemplatesFolder() + "/fast.cc");
  auto plain = catalogue.FindTemplate(fixture::kPlainTemplateId);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->caption, "[plain.cc]");
  EXPECT_EQ(plain->app, nested);  // bound to an app of a subfolder
  EXPECT_EQ(catalogue.FindTemplate(fixture::kOrphanTemplateId), nullptr);
  EXPECT_EQ(catalogue.GetTemplatesOfApp(fixture::kDemoAppId),
            (std::list<std::shared_ptr<SolutionTemplate>>{fast}));
  EXPECT_TRUE(catalogue.GetTemplatesOfApp(fixture::kTwinAppId).empty());

  const std::string text = log.Text();
  const std::string apps = fixture::SolutionAppsFolder();
  const std::string templates = fixture::SolutionTemplatesFolder();
  for (const std::string& line : {
           "[debug] Solution app parsed: 'Demo " + std::string(fixture::kDemoAppId) + "'",
           "[debug] Solution app parsed: ' " + std::string(fixture::kNestedAppId) + "'",
           "[debug] Solution app parsed: 'Twin A " + std::string(fixture::kTwinAppId) + "'",
           "[debug] Solution app parsed: 'Twin B " + std::string(fixture::kTwinAppId) + "'",
           "[debug] Solution template parsed 'Fast [fast.cc] " +
               std::string(fixture::kFastTemplateId) + "'",
           "[error] Failed parse solution app file: '" + apps +
               "/array_chain.json', error: 'Required 'zelph_chain' value'",
           "[error] Failed parse solution configuration file: '" + templates +
               "/orphan.cc', error: 'Solution app not found: "
               "'5a110000-0000-4000-8000-0000000000ff', template '" +
               fixture::kOrphanTemplateId + "' linked with unknown solution'",
       }) {
    EXPECT_NE(text.find(line + "\n"), std::string::npos) << line;
  }
  // Files that are not apps pass quietly.
  for (const char* quiet : {"UPPER.JSON", "notes.txt", "chain_app.json"}) {
    EXPECT_EQ(text.find(quiet), std::string::npos) << quiet;
  }
}

TEST(SolutionProviderTest, FilesThatDoNotHoldWhatTheCatalogueNeedsAreLoggedAndLeftOut) {
  struct Case {
    const char* file;
    const char* content;
    const char* error;
  };
  const Case cases[] = {
      {"apps/broken.json", "{",
       "Parse error offset: 1, code: 4, error: Missing a name for object member."},
      {"apps/array.json", "[1]", "Something wrong in JSON file!"},
      {"apps/no_chain.json", R"({"app": "zelph-project"})", "Required 'zelph_chain' value"},
      {"apps/no_executor.json", R"({"app": "Davodavora", "zelph_chain": {"executor": 1}})",
       "Required 'zelph_chain'.'executor' object"},
      {"apps/no_uuid.json", R"({"app": "zelph-project", "zelph_chain": {"executor": {"uuid": 7}}})",
       "Required 'zelph_chain'.'executor'.'uuid' string"},
      {"templates/wrong_app.cc", R"({"app": "zelph-project", "id": "t"})",
       "Unexpected 'app' value, expected 'zelph-project-configuration'"},
      {"templates/no_id.cc", R"({"app": "zelph-project-configuration"})", "Unexpected 'id' value"},
      {"templates/no_chain.cc", R"({"app": "zelph-project-configuration", "id": "t"})",
       "Unexpected 'chain_id' value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TempFolder folder;
    folder.Write("apps/good.json", App("good", "Good"));
    const std::string path = folder.Write(c.file, c.content);
    zelph::testing::CapturingLogger log;
    SolutionProvider catalogue;
    catalogue.Scan(folder.Apps(), folder.Templates());
    const char* kind = std::string(c.file).starts_with("apps/") ? "app" : "configuration";
    EXPECT_NE(
        log.Text().find(fmt::format("[error] Failed parse solution {} file: '{}', error: '{}'\n",
                                    kind, path, c.error)),
        std::string::npos)
        << log.Text();
    EXPECT_EQ(AppIds(catalogue), (std::set<std::string>{"good"}));
  }
}

TEST(SolutionProviderTest, AFileThatCannotBeReadIsLoggedAndSkipped) {
  TempFolder folder;
  folder.Write("apps/good.json", App("good", "Good"));
  const std::string locked = folder.Write("apps/locked.json", App("locked", "Locked"));
  fs::permissions(locked, fs::perms::none);
  if (std::ifstream(locked).good()) {
    // Permissions do not hold the superuser back; a write-only attribute of the kernel does.
    fs::remove(locked);
    std::error_code error;
    fs::create_symlink("/sys/bus/pci/rescan", locked, error);
    if (error || std::ifstream(locked).good()) GTEST_SKIP() << "no file this process cannot read";
  }
  zelph::testing::CapturingLogger log;
  SolutionProvider catalogue;
  catalogue.Scan(folder.Apps(), folder.Templates());
  EXPECT_EQ(AppIds(catalogue), (std::set<std::string>{"good"}));
  EXPECT_NE(log.Text().find("[error] Failed parse solution app file: '" + locked +
                            "', error: 'Something wrong in JSON file!'\n"),
            std::string::npos)
      << log.Text();
}

TEST(SolutionProviderTest, ARescanFindsWhatChangedAndAFailedOneKeepsTheCatalogue) {
  TempFolder folder;
  folder.Write("apps/first.json", App("first", "First"));
  SolutionProvider catalogue;
  catalogue.Scan(folder.Apps(), folder.Templates());
  catalogue.Scan(folder.Apps(), folder.Templates());
  EXPECT_EQ(AppIds(catalogue), (std::set<std::string>{"first"}));
  folder.Write("apps/second.json", App("second", "Second"));
  catalogue.Scan(folder.Apps(), folder.Templates());
  EXPECT_EQ(AppIds(catalogue), (std::set<std::string>{"first", "second"}));

  zelph::testing::CapturingLogger log;
  // Folders that are not set, or not there, leave the catalogue as it is.
  catalogue.Scan("", folder.Templates());
  catalogue.Scan(folder.Apps(), "");
  catalogue.Scan(folder.Apps(), folder.Templates() + "/missing");
  EXPECT_NE(log.Text().find("[warning] Folder does not exist: '" + folder.Templates() +
                            "/missing'. Solution provider will be not available\n"),
            std::string::npos);
  // A walk that fails reaches the caller; the catalogue stays.
  const std::string not_a_folder = folder.Write("apps/plain.txt", "");
  EXPECT_THROW(catalogue.Scan(not_a_folder, folder.Templates()), fs::filesystem_error);
  EXPECT_EQ(AppIds(catalogue), (std::set<std::string>{"first", "second"}));
}

TEST(SolutionProviderTest, AListingOfTemplatesWalksTheCatalogueItBeganWithThroughRescans) {
  TempFolder folder;
  folder.Write("apps/app.json", App("app", "App"));
  std::vector<std::string> ids;
  for (char name = 'a'; name <= 'f'; ++name) {
    ids.emplace_back(1, name);
    folder.Write(std::string("templates/") + name + ".cc",
                 R"({"app": "zelph-project-configuration", "chain_id": "app", "id": ")" +
                     ids.back() + R"("})");
  }
  SolutionProvider catalogue;
  catalogue.Scan(folder.Apps(), folder.Templates());
  // Each rescan swaps in a catalogue without the app, dropping the one the listing walks.
  catalogue.SetTemplateVisitHook(
      [&] { catalogue.Scan(fixture::SolutionAppsFolder(), fixture::SolutionTemplatesFolder()); });
  std::vector<std::string> listed;
  for (const auto& entry : catalogue.GetTemplatesOfApp("app")) listed.push_back(entry->id);
  EXPECT_EQ(listed, ids);
  catalogue.SetTemplateVisitHook({});
  EXPECT_TRUE(catalogue.GetTemplatesOfApp("app").empty());
}

TEST(SolutionProviderTest, TheFirstAppOfAnIdStaysTheLastTemplateOfAnIdWins) {
  TempFolder folder;
  folder.Write("apps/a.json", App("app", "One"));
  folder.Write("apps/b.json", App("app", "Two"));
  const std::string tpl =
      R"({"app": "zelph-project-configuration", "id": "t", "chain_id": "app", "caption": ")";
  folder.Write("templates/a.cc", tpl + R"(A"})");
  folder.Write("templates/b.cc", tpl + R"(B"})");
  SolutionProvider catalogue;
  catalogue.Scan(folder.Apps(), folder.Templates());
  // Which file comes first is the file system's walk order.
  std::vector<std::string> apps, templates;
  for (const auto& entry : fs::recursive_directory_iterator(folder.Apps())) {
    apps.push_back(entry.path().filename().string());
  }
  for (const auto& entry : fs::recursive_directory_iterator(folder.Templates())) {
    templates.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(catalogue.FindApp("app")->caption, apps.front() == "a.json" ? "One" : "Two");
  EXPECT_EQ(catalogue.FindTemplate("t")->caption,
            templates.back() == "a.cc" ? "A [a.cc]" : "B [b.cc]");
  EXPECT_EQ(catalogue.GetTemplatesOfApp("app").size(), 1u);
}

}  // namespace
