// description_entry_point_test.cpp
//
// The four exported entry points: back-end choice, what the model is given in every case,
// text lengths, files that are no regular files, and the parent reader.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "description_test_support.h"

namespace zelph::testing {
namespace {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder()
      : path_(fs::temp_directory_path() / ("description_test_" + std::to_string(::getpid()))) {
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
    return (path_ / name).string();
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

TEST(DescriptionEntryPoints, RapidJsonReadsNothingButTheModelGetsAStructure) {
  const std::string text = R"({"name": "x"})";
  const ReadResult from_text = ReadText(text, JsonParser::kRapidJson);
  const ReadResult from_file = ReadFile(FixturePath("full.json"), JsonParser::kRapidJson);
  for (const ReadResult* result : {&from_text, &from_file}) {
    EXPECT_FALSE(result->read);
    EXPECT_EQ(FirstError(result->log), "RapidJson model structure parser not implemented");
    EXPECT_EQ(result->structure.GetName(), "");
    EXPECT_EQ(result->structure.GetStructureAsJson(), "");
  }

  CapturingLogger logger;
  BaseModelStructure structure;
  structure.SetName("kept");
  EXPECT_FALSE(DeserializeModelStructureFromJsonFile(FixturePath("full.json").c_str(),
                                                     JsonParser::kRapidJson, &structure));
  EXPECT_FALSE(DeserializeParentModelStructureFromJsonFile(FixturePath("parent.json").c_str(),
                                                           JsonParser::kRapidJson, &structure));
  EXPECT_EQ(structure.GetName(), "kept");
  EXPECT_TRUE(structure.IsTagsEmpty());
  EXPECT_NE(logger.Text().find("[error] RapidJson parent model structure parser not implemented"),
            std::string::npos);
}

TEST(DescriptionEntryPoints, BrokenTextKeepsWhatWasReadBefore) {
  const std::string text =
      R"({"name": "half", "controls": [{"name": "c", "value_type": "int32", "type": "value"}],)"
      R"( "in_ports": [{"data_type_name": "mat", "name": "p"}], "caption": "x" "oops"})";
  const ReadResult result = ReadText(text);
  EXPECT_FALSE(result.read);
  EXPECT_EQ(result.structure.GetName(), "half");
  EXPECT_EQ(result.structure.GetCaption(), "x");  // stored before the error point
  EXPECT_FALSE(result.structure.HasControls());
  EXPECT_TRUE(result.structure.GetPorts().empty());
  EXPECT_EQ(result.structure.GetStructureAsJson(), text);
  EXPECT_NE(result.log.find("[error] " + text), std::string::npos);
}

TEST(DescriptionEntryPoints, TextEndsAtTheFirstNulWithinTheLength) {
  const char text[] = "{\"name\": \"n\"}\0{ not read";
  const ReadResult counted = ReadText(std::string(text, sizeof(text)));
  EXPECT_TRUE(counted.read) << counted.log;
  EXPECT_EQ(counted.structure.GetStructureAsJson(), "{\"name\": \"n\"}");

  // The length is honoured: a text cut inside its object fails instead of reading on.
  auto model = MakeModel();
  CapturingLogger logger;
  EXPECT_FALSE(DeserializeModelFromJson(text, 8, JsonParser::kMiniJson, model));
  EXPECT_EQ(model->GetStructure().GetStructureAsJson(), "{\"name\":");
  logger.Clear();
  EXPECT_FALSE(DeserializeModelFromJson(nullptr, 5, JsonParser::kMiniJson, model));
  EXPECT_EQ(FirstError(logger.Text()), "Empty text");
  EXPECT_FALSE(DeserializeModelFromJson(text, sizeof(text), JsonParser::kMiniJson, nullptr));
}

TEST(DescriptionEntryPoints, PathsThatAreNoReadableFileGiveFalseSilently) {
  TempFolder folder;
  const std::string fifo = folder.Path("fifo.json");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path :
       {FixturePath("missing.json"), folder.Path(""), fifo, std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    const ReadResult result = ReadFile(path);
    EXPECT_FALSE(result.read);
    EXPECT_EQ(result.log, "");
    EXPECT_EQ(result.structure.GetStructureAsJson(), "");

    BaseModelStructure structure;
    EXPECT_FALSE(
        DeserializeModelStructureFromJsonFile(path.c_str(), JsonParser::kMiniJson, &structure));
    EXPECT_FALSE(DeserializeParentModelStructureFromJsonFile(path.c_str(), JsonParser::kMiniJson,
                                                             &structure));
  }
  auto model = MakeModel();
  EXPECT_FALSE(DeserializeModelFromJsonFile(nullptr, JsonParser::kMiniJson, model));
  EXPECT_FALSE(DeserializeModelStructureFromJsonFile(FixturePath("full.json").c_str(),
                                                     JsonParser::kMiniJson, nullptr));
}

TEST(DescriptionEntryPoints, StructureReadAddsToWhatIsThere) {
  BaseModelStructure structure;
  structure.SetAuthors("me");
  structure.SetName("old");
  structure.AddTag("own");
  structure.SetJsonStructure("old text");
  CapturingLogger logger;
  ASSERT_TRUE(DeserializeModelStructureFromJsonFile(FixturePath("full.json").c_str(),
                                                    JsonParser::kMiniJson, &structure));
  ASSERT_TRUE(DeserializeModelStructureFromJsonFile(FixturePath("ports_out_of_order.json").c_str(),
                                                    JsonParser::kMiniJson, &structure));
  EXPECT_EQ(structure.GetAuthors(), "me");
  EXPECT_EQ(structure.GetName(), "Threshold");
  EXPECT_EQ(structure.GetTags(), (std::set<std::string>{"binary", "image", "own"}));
  EXPECT_EQ(structure.GetControls().size(), 3u);
  EXPECT_EQ(structure.GetPorts().size(), 5u);
  EXPECT_EQ(structure.GetStructureAsJson().substr(0, 15), "{\n  \"out_ports\"");
}

TEST(DescriptionEntryPoints, ParentGivesOnlyItsTags) {
  BaseModelStructure structure;
  structure.SetName("child");
  structure.AddTag("own");
  CapturingLogger logger;
  ASSERT_TRUE(DeserializeParentModelStructureFromJsonFile(FixturePath("parent.json").c_str(),
                                                          JsonParser::kMiniJson, &structure));
  EXPECT_EQ(structure.GetTags(), (std::set<std::string>{"family", "own"}));
  EXPECT_EQ(structure.GetName(), "child");
  EXPECT_EQ(structure.GetOptionalFlags(), 0u);
  EXPECT_FALSE(structure.HasControls());
  EXPECT_EQ(structure.GetStructureAsJson(), "");
  EXPECT_EQ(logger.Text(), "");

  // A broken parent logs its reason only, once, and keeps the tags added before.
  TempFolder folder;
  const std::string broken =
      folder.Write("broken.json", R"({"tags": ["early"], "tags": [{"no": 1}], "tags": ["late"]})");
  EXPECT_FALSE(DeserializeParentModelStructureFromJsonFile(broken.c_str(), JsonParser::kMiniJson,
                                                           &structure));
  EXPECT_EQ(logger.Text(), "[error] Nested object or array not parsed\n");
  EXPECT_TRUE(structure.GetTags().count("early"));
  EXPECT_FALSE(structure.GetTags().count("late"));
}

}  // namespace
}  // namespace zelph::testing
