// plugin_test_support.h
//
// What the tests of the loaded plug-in share: data to feed Java workers and read back,
// workers of the registered Java models, and a listener that keeps each worker's outputs when
// its run ends (a chain drops them right after).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "zelph/model/data_process.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"

namespace zelph::testing {

std::shared_ptr<PortDataScalar> Scalar(const std::string& text);
std::shared_ptr<PortDataNumbers> Doubles(const std::vector<double>& values, int block_length = 1);
// A width x height 8-bit image of `channels` channels with these bytes.
std::shared_ptr<PortDataMat> Image(size_t width, size_t height, int channels,
                                   const std::vector<unsigned char>& bytes);

// The text of a scalar; "<none>" for no data or no value.
std::string TextOf(const std::shared_ptr<IPortData>& data);
std::vector<double> DoublesOf(const std::shared_ptr<IPortData>& data);
std::vector<unsigned char> BytesOf(const std::shared_ptr<IPortData>& data);

// The worker's port of that kind and name (the test fails when it has none).
zelph::Port* PortOf(IDataProcess& worker, zelph::PortType type, const std::string& name);

// A worker of the Java model named `name` among the models registered under `session`; empty
// (and the test failed) when there is none.
std::shared_ptr<IDataProcess> NewJavaWorker(const std::string& session, const std::string& name);

// Keeps the data of every output of a worker when its run ends, by worker id and port name.
class OutputRecorder : public zelph::worker::ChangeFlagListener {
 public:
  void OnChangeFlag(std::shared_ptr<IDataProcess> worker, int old_flags, int new_flags) override;
  // The data the worker's output `port` held at the end of its last run.
  std::shared_ptr<IPortData> Output(const std::string& worker_id, const std::string& port) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<IPortData>> outputs_;
};

}  // namespace zelph::testing
