// settings_fixture.h
//
// The models behind the golden settings documents, and the settings tree that a chain of
// them yields: a "Dashboard" main-settings model whose "camera" control opens a
// "CameraSettings" subtree, and a "Blur" data model. The tree is built here by hand, shaped
// as the tree builder makes it, so the document readers and writers can be tested
// without a live chain; the golden files live in golden/ beside this file.
#pragma once

#include <memory>
#include <string>

#include "zelph/model/model_structure.h"
#include "zelph/settings/project_configuration.h"

namespace zelph::testing {

inline constexpr const char* kDashboardUuid = "11111111-1111-4111-8111-111111111111";
inline constexpr const char* kCameraUuid = "22222222-2222-4222-8222-222222222222";
inline constexpr const char* kBlurUuid = "33333333-3333-4333-8333-333333333333";
inline constexpr const char* kDashboardWorkerId = "aaaaaaaa-0000-4000-8000-000000000001";
inline constexpr const char* kCameraWorkerId = "aaaaaaaa-0000-4000-8000-000000000002";
inline constexpr const char* kBlurWorkerId = "aaaaaaaa-0000-4000-8000-000000000003";
inline constexpr const char* kChainId = "cccccccc-0000-4000-8000-000000000001";

BaseModelStructure DashboardStructure(const std::string& context_id = "7");
BaseModelStructure CameraStructure();
BaseModelStructure BlurStructure();

// The configuration a chain of a dashboard, a camera and a blur worker (system names
// "dashboard", "camera", "blur") gets, with every control at its default.
std::shared_ptr<ProjectConfiguration> MakeGoldenConfiguration();

// The text of golden/<name>.
std::string ReadGolden(const std::string& name);

}  // namespace zelph::testing
