// run_support.h
//
// What the tests of project runs, their data and their previews share: a project loaded
// from a chain fixture with chain flags set, images made from plain values, and the wait
// for the background work the runs started.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "zelph/model/port_data_mat.h"
#include "zelph/model/property.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/testing/service_fixtures.h"

namespace zelph::testing {

// A project of the chain file `file` whose chain properties hold `flags` (set before the
// load, so the workers get them as they are made).
inline std::shared_ptr<Project> LoadedProject(const std::string& file,
                                              std::initializer_list<const char*> flags = {}) {
  auto project = Project::Create("p1");
  for (const char* flag : flags) project->GetChainProperties()->SetValue(flag, true);
  project->LoadProjectFile(ChainFile(file));
  return project;
}

// Waits until the previews and asynchronous runs of every project have ended.
inline bool WaitForBackgroundWork() {
  return ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(20));
}

// A width x height image of `depth` with every byte `fill` (bits packed eight to a byte).
inline std::shared_ptr<PortDataMat> FilledImage(std::size_t width, std::size_t height, int channels,
                                                MatDepth depth, std::uint8_t fill = 0x40) {
  static const std::size_t kDepthBytes[] = {1, 1, 2, 2, 4, 4, 8};
  const std::size_t values = width * height * static_cast<std::size_t>(channels);
  const std::size_t bytes =
      depth == kDepth1Bit ? (values + 7) / 8 : values * kDepthBytes[static_cast<int>(depth)];
  std::vector<char> buffer(bytes, static_cast<char>(fill));
  auto mat = std::make_shared<PortDataMat>();
  mat->SetDataAndCopy(width, height, channels, depth, buffer.data(), buffer.size());
  return mat;
}

}  // namespace zelph::testing
