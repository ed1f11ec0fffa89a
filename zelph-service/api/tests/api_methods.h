// api_methods.h
//
// The methods of zelph.ZelphServiceApiV2 in declaration order, which is also the order of
// the server's virtual slots and of their registration.
#pragma once

#include <array>
#include <string_view>

namespace zelph::testing {

inline constexpr std::array<std::string_view, 18> kApiMethods = {
    "CreateSession",
    "CreateProject",
    "GetList",
    "GetListEx",
    "Exists",
    "ExecuteCommand",
    "Remove",
    "CreateWorker",
    "SetData",
    "GetData",
    "UploadProject",
    "LoadSolution",
    "LoadSolutionTemplate",
    "GetProjectConfiguration",
    "GetProjectConfigurationSettings",
    "UploadProjectConfiguration",
    "CreateLink",
    "UpdateLink",
};

}  // namespace zelph::testing
