// chain_file_run.cpp
#include "zelph/host/chain_file_run.h"

#include <exception>
#include <filesystem>

#include "zelph/chainfiles/chain_builder.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/config/zelph_config.h"
#include "zelph/host/chain_parameters.h"
#include "zelph/host/command_line.h"
#include "zelph/host/server.h"
#include "zelph/logger/log.h"

namespace zelph::host {
namespace {

// The document reader throws for a file it cannot open where the streaming reader answers
// false: either way the file is not loaded, and the run reports it in one way.
bool LoadChainFile(const std::string& path, const std::shared_ptr<IDataProcessChain>& chain) {
  try {
    return ParseChainFile(path, ZelphConfig::GetInstance()->GetChainReaderType(), chain);
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed read chain file '{}': {}", path, e.what());
    return false;
  }
}

bool Fail() {
  ShutdownServer();
  return true;
}

}  // namespace

std::shared_ptr<IDataProcessChain> CreateChain() {
  if (ZelphConfig::GetInstance()->GetChainImplType() == ChainImplType::kLinkedChain) {
    return LinkedChain::Create();
  }
  ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported chain impl type");
  return nullptr;
}

bool RunChainFile() {
  std::shared_ptr<IDataProcessChain> chain = CreateChain();
  if (!chain) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Internal error, chain not created");
    return Fail();
  }
  const std::string& chain_file = GetCliArguments().chain;
  chain->SetCurrentDir(std::filesystem::path(chain_file).parent_path().string());
  if (!LoadChainFile(chain_file, chain)) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Chain can't be executed, load chain file failed");
    return Fail();
  }
  ApplyChainParameters(chain, ParseChainParameters());
  const Status status =
      chain->Execute(ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
  if (status != Status::kSuccess) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Chain executed with error: {}",
              static_cast<int>(status));
    return Fail();
  }
  ShutdownServer();
  return false;
}

void ApplyChainParameters(std::shared_ptr<IDataProcessChain> chain,
                          const std::map<std::string, std::string>& parameters) {
  for (const auto& [name, value] : parameters) {
    const std::shared_ptr<IDataProcess> worker =
        chain->FindFirstDataProcessBySystemName(kDataModel, name.c_str());
    if (!worker) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Data worker with system name: {} not found", name);
      continue;
    }
    Property* properties = worker->GetProperties();
    if (properties == nullptr) continue;
    if (!properties->HasValue("value")) {
      ZELPH_LOG(ZelphSeverityLevel::kError,
                "Cli argument allowed only for data worker with 'value' property like 'Scalar "
                "value'");
      continue;
    }
    properties->SetValue("value", value);
    ZELPH_LOG(ZelphSeverityLevel::kInfo, "Parameter written {}: {}, uuid: {}", name, value,
              worker->GetId());
  }
}

}  // namespace zelph::host
