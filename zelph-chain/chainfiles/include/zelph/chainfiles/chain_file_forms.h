// chain_file_forms.h
//
// The two forms of a chain file, selected by the root member "app" (compared exactly):
// the root form, where the root object is the chain, and the project form, where the chain
// is the object under "zelph_chain" or "chain".
#pragma once

#include <string_view>

namespace zelph {

enum class ChainFileForm { kNone, kRoot, kProject };

inline ChainFileForm ClassifyChainApp(std::string_view app) {
  if (app == "zelph-chain" || app == "chain") return ChainFileForm::kRoot;
  if (app == "zelph-project" || app == "Davodavora") return ChainFileForm::kProject;
  return ChainFileForm::kNone;
}

}  // namespace zelph
