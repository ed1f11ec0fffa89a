// project_listeners.h
//
// The two flag listeners through which a project takes part in the runs of its chain. The
// chain notifies ProjectOnChangeChainFlag when its busy flag rises and drops; every worker
// notifies ProjectOnChangeWorkerFlag around its own work. Both run on the thread that runs
// the chain and hand over to the project, which does the work (project_listeners.cpp).
//
// Ownership: the project owns one of each; the chain and the workers keep plain pointers to
// them, which the project takes back before it destroys them.
#pragma once

#include <memory>

#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"

namespace zelph {

class Project;

class ProjectOnChangeChainFlag : public chain::FlagListener {
 public:
  explicit ProjectOnChangeChainFlag(Project& project) : project_(project) {}
  // Looks only at the busy flag as it is now, not at the two words.
  void OnChangeFlag(std::shared_ptr<IDataProcessChain> chain, int old_flags,
                    int new_flags) override;

 private:
  Project& project_;
};

class ProjectOnChangeWorkerFlag : public worker::ChangeFlagListener {
 public:
  explicit ProjectOnChangeWorkerFlag(Project& project) : project_(project) {}
  // Looks only at the busy flag as it is now, not at the two words.
  void OnChangeFlag(std::shared_ptr<IDataProcess> worker, int old_flags, int new_flags) override;

 private:
  Project& project_;
};

}  // namespace zelph
