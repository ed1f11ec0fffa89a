// model_registry_test.cpp
//
// The registry's answers by session and id, by id alone, per session and in whole stay those
// of one list of registrations, newest first, across a table of adds and clears: every answer
// is compared after every step with that list, kept here by hand. The program starts with an
// empty registry (no plug-in loaded).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "fixture_models.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace {

using Model = std::shared_ptr<IDataProcessModel>;

constexpr char kFirst[] = "6f1e0000-0000-4000-8000-0000000000f1";
constexpr char kSecond[] = "6f1e0000-0000-4000-8000-0000000000f2";

struct Registration {
  std::string key;  // lower case
  std::string id;
  Model model;
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The registrations, newest first.
class Reference {
 public:
  bool Add(const std::string& session, const std::string& id, const Model& model) {
    if (Find(session, id)) return false;
    list_.insert(list_.begin(), {Lower(session), id, model});
    return true;
  }
  void Clear(const std::string& session) {
    std::erase_if(list_, [&](const Registration& r) { return r.key == Lower(session); });
  }
  Model Find(const std::string& session, const std::string& id) const {
    for (const Registration& r : list_) {
      if (r.key == Lower(session) && r.id == id) return r.model;
    }
    return nullptr;
  }
  Model Find(const std::string& id) const {
    for (const Registration& r : list_) {
      if (r.id == id) return r.model;
    }
    return nullptr;
  }
  std::vector<Model> Models(const std::string* session) const {
    std::vector<Model> models;
    for (const Registration& r : list_) {
      if (session == nullptr || r.key == Lower(*session)) models.push_back(r.model);
    }
    return models;
  }

 private:
  std::vector<Registration> list_;
};

struct Step {
  enum { kAdd, kClear } action;
  std::string session;
  std::string id;  // kAdd only
};

const Step kSteps[] = {
    {Step::kAdd, "Alpha", kFirst},
    {Step::kAdd, "alpha", kFirst},  // the same key in another case: refused
    {Step::kAdd, "Beta", kFirst},   // now the newest of its id
    {Step::kAdd, "ALPHA", kSecond},
    {Step::kAdd, "", kSecond},
    {Step::kClear, "BETA", ""},  // the older model of the id is the newest again
    {Step::kAdd, "beta", kFirst},
    {Step::kClear, "alpha", ""},
    {Step::kClear, "nobody", ""},
    {Step::kAdd, "Alpha", kFirst},
    {Step::kAdd, "Alpha", kSecond},
    {Step::kClear, "", ""},
    {Step::kClear, "Alpha", ""},
    {Step::kClear, "beta", ""},
};

TEST(ModelRegistryTest, AnswersStayThoseOfTheRegistrationsNewestFirst) {
  SimplePluginsManager* manager = SimplePluginsManager::GetInstance();
  ASSERT_EQ(manager->GetModelCount(), 0u);
  const std::vector<std::string> sessions = {"Alpha", "ALPHA", "beta", "", "nobody"};
  Reference reference;
  int index = 0;
  for (const Step& step : kSteps) {
    const std::string label = "step " + std::to_string(index++);
    if (step.action == Step::kAdd) {
      Model model = fixture::MakeModel(step.id, label);
      const bool expected = reference.Add(step.session, step.id, model);
      EXPECT_EQ(manager->AddModel(model, step.session), expected) << label;
    } else {
      reference.Clear(step.session);
      manager->ClearRegisteredModels(step.session);
    }
    for (const char* id : {kFirst, kSecond}) {
      EXPECT_EQ(manager->FindModel(id), reference.Find(id)) << label << " " << id;
      for (const std::string& session : sessions) {
        EXPECT_EQ(manager->FindModel(id, session), reference.Find(session, id))
            << label << " " << id << " in '" << session << "'";
      }
    }
    for (const std::string& session : sessions) {
      EXPECT_EQ(manager->GetModels(session), reference.Models(&session))
          << label << " '" << session << "'";
    }
    EXPECT_EQ(manager->GetModels(), reference.Models(nullptr)) << label;
    EXPECT_EQ(manager->GetModelCount(), reference.Models(nullptr).size()) << label;
  }
}

}  // namespace
