// chain_parameters.cpp
#include "zelph/host/chain_parameters.h"

#include "zelph/config/split_string.h"
#include "zelph/host/command_line.h"

namespace zelph::host {

std::map<std::string, std::string> ParseChainParameters() {
  CliArguments& arguments = GetCliArguments();
  std::string& params = arguments.params;
  if (!params.empty() && params.front() == '"') {
    params = params.size() > 2 ? params.substr(1, params.size() - 2) : std::string();
  }
  std::map<std::string, std::string> pairs;
  for (const std::string& piece : SplitString(params, arguments.p_delimiter)) {
    const std::vector<std::string> parts = SplitString(piece, arguments.v_delimiter);
    if (parts.size() == 2) pairs[parts[0]] = parts[1];
  }
  return pairs;
}

}  // namespace zelph::host
