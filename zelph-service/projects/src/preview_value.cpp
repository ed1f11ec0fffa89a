// preview_value.cpp
//
// The preview entry's value by the class of the port data.
#include "zelph/projects/preview_value.h"

#include <string>

#include "zelph/logger/client_text.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/preview_image.h"

namespace zelph {
namespace {

// PortDataScalar::Preview cuts at a byte count, which may split a character; clients read
// the preview as a UTF-8 string and a strict reader refuses half a character.
std::string ScalarPreviewText(const std::string& text) {
  if (text.size() <= kScalarPreviewBytes) return text;
  std::string cut(CharacterPrefix(text, kScalarPreviewBytes));
  cut += "...";
  return cut;
}

}  // namespace

std::optional<std::shared_ptr<IPortData>> MakePreviewValue(const std::shared_ptr<IPortData>& data,
                                                           bool auto_contrast) {
  if (data == nullptr || !data->IsInitialized()) return std::shared_ptr<IPortData>();
  if (const auto* mat = dynamic_cast<const PortDataMat*>(data.get())) {
    return PreparePreviewImage(*mat, auto_contrast);
  }
  if (const auto* numbers = dynamic_cast<const PortDataNumbers*>(data.get())) {
    return std::make_shared<PortDataScalar>(numbers->Preview(kNumbersPreviewElements));
  }
  if (const auto* scalar = dynamic_cast<const PortDataScalar*>(data.get())) {
    return std::make_shared<PortDataScalar>(ScalarPreviewText(scalar->GetStr()));
  }
  return std::nullopt;
}

}  // namespace zelph
