// preview_value.h
//
// What a worker's preview entry in the project cache holds for a piece of port data: the
// JPEG of a matrix (preview_image.h), or, as a scalar, the text of the first numbers of a
// number block or the beginning of a scalar's text. Clients read the entry back as it is.
//
// A free function without project state; any thread may call it on published port data,
// which it only reads.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>

#include "zelph/model/port_data.h"

namespace zelph {

// A number block's preview shows at most this many elements.
inline constexpr std::size_t kNumbersPreviewElements = 1000;
// A scalar's preview keeps at most this many bytes of its text, cut at a character
// boundary, followed by "..." when the text was longer.
inline constexpr std::size_t kScalarPreviewBytes = 500;

// The value the preview entry of `data` takes, by the class of the data:
// - a matrix: PreparePreviewImage (empty when no image could be made);
// - a number block: a scalar holding PortDataNumbers::Preview of kNumbersPreviewElements;
// - a scalar: a scalar holding its text cut to kScalarPreviewBytes;
// - none, or data that is not initialised: an empty pointer (the entry is emptied).
// Nothing for data of any other class: the entry is left as it is.
std::optional<std::shared_ptr<IPortData>> MakePreviewValue(const std::shared_ptr<IPortData>& data,
                                                           bool auto_contrast);

}  // namespace zelph
