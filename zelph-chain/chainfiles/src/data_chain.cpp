// data_chain.cpp
//
// Setters and text forms of the chain file structures.
#include "zelph/chainfiles/data_chain.h"
#include "zelph/logger/client_text.h"

#include <fmt/format.h>

namespace zelph {

void DataPort::SetId(const std::string& value) { id = value; }

void DataPort::SetDataTypeId(const std::string& value) { data_type_id = value; }

void DataPort::SetKind(int value) {
  kind = (value >= 1 && value <= 4) ? value : static_cast<int>(PortType::unknown);
}

void DataWorker::SetId(const std::string& value) { id = value; }

void DataWorker::SetExecutorId(const std::string& value) { executor_id = value; }

void DataWorker::SetExecutionStage(const std::string& text) {
  execution_stage = StringToExecutionStage(text);
}

std::string DataWorker::ToString() const {
  return fmt::format("name: {}, id: {}, executor id: {}", QuoteClientText(name),
                     QuoteClientText(id), QuoteClientText(executor_id));
}

void DataLink::SetId(const std::string& value) { id = value; }

void DataLink::SetSrcPortId(const std::string& value) { src_port_id = value; }

void DataLink::SetDstPortId(const std::string& value) { dst_port_id = value; }

void DataLink::SetSrcWorkerId(const std::string& value) { src_worker_id = value; }

void DataLink::SetDstWorkerId(const std::string& value) { dst_worker_id = value; }

std::string DataLink::ToString() const {
  return fmt::format("link id: {}, src: {}, dst: {}", QuoteClientText(id),
                     QuoteClientText(src_port_id), QuoteClientText(dst_port_id));
}

void DataChain::SetId(const std::string& value) { id = value; }

void DataChain::ChangePortId(const std::string& old_id, const std::string& new_id) {
  for (DataLink& link : links) {
    if (link.src_port_id == old_id) link.src_port_id = new_id;
    if (link.dst_port_id == old_id) link.dst_port_id = new_id;
  }
}

}  // namespace zelph
