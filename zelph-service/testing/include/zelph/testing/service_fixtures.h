// service_fixtures.h
//
// Where the service tests find their shared fixtures: the test plug-in, the chain files and
// the solution folders (all kept in zelph-service/testing), and the one call that loads the
// test plug-in into the process-wide plug-in manager.
//
//   zelph::testing::LoadServiceTestPlugin();   // once per process; later calls do nothing
//   project->LoadProjectFile(zelph::testing::ChainFile("line.json"));
//
// Chain files (chains/):
//   line.json           Source "source" -> Scale "scale" -> Sink "sink", chain id kLineChainId
//   line_bom.json       the same after a UTF-8 byte-order mark and blank lines
//   no_id.json          a chain whose executor has no uuid
//   array.json          a JSON array
//   bom_only.json       the two bytes EF BB
//   main_settings.json  a Loader, a Main worker "dashboard" and a Value worker "value"
//   slow.json           one Slow worker "slow", chain id kSlowChainId
//   slow_line.json      Source "source" -> Slow "slow" -> Sink "sink", chain id kSlowLineChainId
// Solution folders:
//   apps/demo.json        app kDemoAppId "Demo" (the line chain, loadable)
//   apps/sub/nested.json  app kNestedAppId without a name, "app" "Davodavora"
//   apps/twin_a.json, twin_b.json  two apps of id kTwinAppId, "Twin A" and "Twin B"
//   apps/settings.json    app kSettingsAppId "Settings": a Loader and a Main worker
//                         "dashboard" (kSettingsMainWorkerId)
//   apps/array_chain.json "zelph_chain" is an array: logged, no app
//   apps/UPPER.JSON, notes.txt, chain_app.json ("app" "chain"): no app, no log line
//   templates/fast.cc     template kFastTemplateId "Fast" of the demo app
//   templates/plain.cc    template kPlainTemplateId without caption, of the nested app
//   templates/tuned.cc    template kTunedTemplateId "Tuned" of the settings app: threshold 12,
//                         label "tuned"
//   templates/orphan.cc   bound to an app that does not exist: logged, no template
#pragma once

#include <string>

#include "zelph/testing/export.h"

namespace zelph::testing {

inline constexpr char kLineChainId[] = "1a2b0000-0000-4000-8000-000000000001";
inline constexpr char kLineSourceId[] = "1a2b0000-0000-4000-8000-0000000000a1";
inline constexpr char kLineScaleId[] = "1a2b0000-0000-4000-8000-0000000000a2";
inline constexpr char kLineSinkId[] = "1a2b0000-0000-4000-8000-0000000000a3";
// Port ids of the line: source output, scale input and output, sink input and output.
inline constexpr char kLineSourceOutput[] = "1a2b0000-0000-4000-8000-0000000000b2";
inline constexpr char kLineScaleInput[] = "1a2b0000-0000-4000-8000-0000000000c1";
inline constexpr char kLineScaleOutput[] = "1a2b0000-0000-4000-8000-0000000000c2";
inline constexpr char kLineSinkInput[] = "1a2b0000-0000-4000-8000-0000000000d1";
inline constexpr char kLineSinkOutput[] = "1a2b0000-0000-4000-8000-0000000000d2";
// Link ids of the line: source -> scale, scale -> sink.
inline constexpr char kLineFirstLink[] = "1a2b0000-0000-4000-8000-0000000000e1";
inline constexpr char kLineSecondLink[] = "1a2b0000-0000-4000-8000-0000000000e2";

inline constexpr char kSlowLineChainId[] = "1a2b0000-0000-4000-8000-000000000003";
inline constexpr char kSlowLineSourceId[] = "1a2b0000-0000-4000-8000-0000000001a1";
inline constexpr char kSlowLineSlowId[] = "1a2b0000-0000-4000-8000-0000000001a2";
inline constexpr char kSlowLineSinkId[] = "1a2b0000-0000-4000-8000-0000000001a3";
// Port ids of the slow line: source output, slow input and output, sink input.
inline constexpr char kSlowLineSourceOutput[] = "1a2b0000-0000-4000-8000-0000000001b2";
inline constexpr char kSlowLineSlowInput[] = "1a2b0000-0000-4000-8000-0000000001c1";
inline constexpr char kSlowLineSlowOutput[] = "1a2b0000-0000-4000-8000-0000000001c2";
inline constexpr char kSlowLineSinkInput[] = "1a2b0000-0000-4000-8000-0000000001d1";

inline constexpr char kMainChainId[] = "1a2b0000-0000-4000-8000-000000000002";
inline constexpr char kMainWorkerId[] = "1a2b0000-0000-4000-8000-0000000000f2";

inline constexpr char kSlowChainId[] = "1a2b0000-0000-4000-8000-000000000004";
inline constexpr char kSlowWorkerId[] = "1a2b0000-0000-4000-8000-000000000101";

inline constexpr char kDemoAppId[] = "5a110000-0000-4000-8000-000000000001";
inline constexpr char kNestedAppId[] = "5a110000-0000-4000-8000-000000000002";
inline constexpr char kTwinAppId[] = "5a110000-0000-4000-8000-000000000006";
inline constexpr char kSettingsAppId[] = "5a110000-0000-4000-8000-000000000007";
inline constexpr char kSettingsMainWorkerId[] = "5a110000-0000-4000-8000-0000000007f2";
inline constexpr char kFastTemplateId[] = "7e3a0000-0000-4000-8000-000000000001";
inline constexpr char kPlainTemplateId[] = "7e3a0000-0000-4000-8000-000000000002";
inline constexpr char kOrphanTemplateId[] = "7e3a0000-0000-4000-8000-000000000003";
inline constexpr char kTunedTemplateId[] = "7e3a0000-0000-4000-8000-000000000004";

// Sets the bin home to the folder of the test plug-ins and loads "service_test_plugin"
// once per process. Throws std::runtime_error when the plug-in does not load.
ZELPH_TESTING_API void LoadServiceTestPlugin();

// The text of a chain of `workers` Scale workers "w0", "w1", ..., each linked to the next,
// for benchmarks and tests of long chains.
ZELPH_TESTING_API std::string ScaleLineChainText(int workers);

// The path of a file of chains/.
ZELPH_TESTING_API std::string ChainFile(const std::string& name);
// The whole content of a file of chains/.
ZELPH_TESTING_API std::string ChainText(const std::string& name);

// The solution folders of the fixtures.
ZELPH_TESTING_API std::string SolutionAppsFolder();
ZELPH_TESTING_API std::string SolutionTemplatesFolder();

}  // namespace zelph::testing
