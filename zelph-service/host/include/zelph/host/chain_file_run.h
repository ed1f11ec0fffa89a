// chain_file_run.h
//
// The program's one-shot mode ("server" 0): one chain is built, the "chain" file is read into
// it, the "params" values are written into its data workers and it runs once at the run-time
// stage, on the calling thread, without a server.
#pragma once

#include <map>
#include <memory>
#include <string>

class IDataProcessChain;

namespace zelph::host {

// A new chain of the configured implementation, or empty (logged) when the configuration
// names one the program does not build.
std::shared_ptr<IDataProcessChain> CreateChain();

// Builds, reads, fills and runs the chain of the command line. Answers true when the run
// failed: no chain, a chain file that could not be read (missing, unreadable, not a chain),
// or an execution status other than success; each is logged. Shuts the server down (there is
// none in this mode) on every way out. Passes on exceptions of the chain library other than
// those of reading the file.
bool RunChainFile();

// Writes each value, in name order, as the string "value" property (marked as changed) of the
// first data worker of the chain whose system name is exactly the parameter's name. A name
// without such a worker, or a worker without a "value" property, is logged and skipped.
void ApplyChainParameters(std::shared_ptr<IDataProcessChain> chain,
                          const std::map<std::string, std::string>& parameters);

}  // namespace zelph::host
