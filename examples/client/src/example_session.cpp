// example_session.cpp
//
// The example client's session, step by step.
#include "zelph/client/example_session.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "zelph/client/frames.h"

namespace zelph::client {
namespace {

// Clients choose the ids of their sessions; a random suffix keeps two clients apart.
std::string NewSessionId() {
  std::random_device random;
  std::ostringstream id;
  id << "example-client-" << std::hex << random() << random();
  return id.str();
}

std::string Shape(const GMat& mat) {
  std::string shape;
  for (const std::int64_t dim : mat.dims()) {
    shape += (shape.empty() ? "" : "x") + std::to_string(dim);
  }
  return shape.empty() ? "no dims" : shape;
}

// The elements of a block of numbers, in the type the service wrote them.
template <typename Element>
std::string Elements(const std::string& buffer) {
  std::ostringstream text;
  for (size_t at = 0; at + sizeof(Element) <= buffer.size(); at += sizeof(Element)) {
    Element element;
    std::memcpy(&element, buffer.data() + at, sizeof(Element));
    text << (at == 0 ? "" : " ") << +element;
  }
  return text.str();
}

std::string DescribeNumbers(const GNumbers& numbers) {
  std::string text = "numbers of type " + GElementType_Name(numbers.element_type()) +
                     ", block length " + std::to_string(numbers.block_length()) + ", " +
                     std::to_string(numbers.buffer().size()) + " bytes";
  std::string elements;
  switch (numbers.element_type()) {
    case kByte:
      elements = Elements<std::int8_t>(numbers.buffer());
      break;
    case kShort:
      elements = Elements<std::int16_t>(numbers.buffer());
      break;
    case kInt32:
      elements = Elements<std::int32_t>(numbers.buffer());
      break;
    case kInt64:
      elements = Elements<std::int64_t>(numbers.buffer());
      break;
    case kFloat:
      elements = Elements<float>(numbers.buffer());
      break;
    case kDouble:
      elements = Elements<double>(numbers.buffer());
      break;
    default:
      break;
  }
  return elements.empty() ? text : text + ": " + elements;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw std::runtime_error("Cannot write " + path);
}

}  // namespace

std::string DescribeValue(const GAnyData& value) {
  switch (value.value_case()) {
    case GAnyData::kMat: {
      const GMat& mat = value.mat();
      std::string text = "matrix " + Shape(mat) + ", " + std::to_string(mat.channels()) +
                         " channel(s), depth " + GImageDataDepth_Name(mat.depth()) + ", " +
                         std::to_string(mat.buffer().size()) + " bytes";
      if (mat.depth() == kDepth8U && !mat.buffer().empty()) {
        double sum = 0;
        for (const char byte : mat.buffer()) sum += static_cast<unsigned char>(byte);
        std::ostringstream mean;
        mean << ", mean value " << sum / static_cast<double>(mat.buffer().size());
        text += mean.str();
      }
      return text;
    }
    case GAnyData::kNumbers:
      return DescribeNumbers(value.numbers());
    case GAnyData::kScalar:
      return "scalar \"" + value.scalar().value() + "\"";
    case GAnyData::kStringVal:
      return value.string_val();
    case GAnyData::VALUE_NOT_SET:
      return "empty";
    default:
      return "a value of kind " + std::to_string(value.value_case());
  }
}

ExampleResult RunExampleSession(const ExampleOptions& options, std::ostream& log) {
  ExampleResult result;
  result.inputs.image = options.image_path.empty()
                            ? TestFrame(options.frame_width, options.frame_height)
                            : ReadImage(options.image_path);
  result.inputs.numbers = NumberBlock(options.numbers);
  result.inputs.text = options.value;

  ClientSession session(MakeChannel(options.address),
                        options.session_id.empty() ? NewSessionId() : options.session_id);
  log << "Created " << session.project_url() << " on " << options.address << "\n";

  result.apps = session.ListApps();
  for (const GSolutionApp& app : result.apps) log << "App: " << AppName(app) << "\n";
  result.app = ChooseApp(result.apps, options.app);
  result.chain_id = session.LoadApp(result.app.id());
  log << "Loaded " << AppName(result.app) << ", chain " << result.chain_id << "\n";

  session.EnablePreviews();
  session.SetInputs(result.inputs);
  for (const ChainPort& input : session.inputs()) {
    log << "Sent " << input.worker_name << "/" << input.port_name << " (" << input.data_type
        << "): ";
    if (input.IsMatrix()) {
      log << (options.image_path.empty() ? "a test frame" : options.image_path) << ", "
          << Shape(result.inputs.image) << ", " << result.inputs.image.channels()
          << " channel(s)\n";
    } else if (input.IsNumbers()) {
      GAnyData numbers;
      *numbers.mutable_numbers() = result.inputs.numbers;
      log << DescribeValue(numbers) << "\n";
    } else {
      log << "\"" << result.inputs.text << "\"\n";
    }
  }
  if (session.Evaluate() == kCancelled) {
    throw std::runtime_error("The project was busy and did not run");
  }
  log << "Evaluated\n";

  for (const GAnyData& error : session.ReadErrors()) {
    throw std::runtime_error("The run failed at " + error.url() + ": " +
                             error.error_info().error_message());
  }
  result.outputs = session.outputs();
  result.output_data = session.ReadOutputs();
  for (size_t i = 0; i < result.outputs.size() && i < result.output_data.size(); ++i) {
    log << "Output " << result.outputs[i].worker_name << "/" << result.outputs[i].port_name << ": "
        << DescribeValue(result.output_data[i]) << "\n";
  }
  result.statistics = session.ReadStatistics();
  for (const GAnyData& statistic : result.statistics) {
    log << "Statistic " << statistic.url() << ": " << statistic.string_val() << "\n";
  }

  // The first image among the outputs is previewed; chains of numbers and text have none.
  const auto image_output = std::find_if(result.outputs.begin(), result.outputs.end(),
                                         [](const ChainPort& output) { return output.IsMatrix(); });
  if (image_output == result.outputs.end()) {
    log << "No image output to preview\n";
  } else {
    const GMat preview = session.WaitForPreview(image_output->worker_id, options.preview_timeout);
    WriteFile(options.preview_path, preview.buffer());
    result.preview_bytes = preview.buffer().size();
    log << "Preview of " << image_output->worker_name << ": " << Shape(preview) << " JPEG, "
        << result.preview_bytes << " bytes, written to " << options.preview_path << "\n";
  }

  session.Close();
  log << "Removed " << session.project_url() << " and " << session.session_url() << "\n";
  return result;
}

}  // namespace zelph::client
