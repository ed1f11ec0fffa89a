// frames.h
//
// Images as a client sends them: 8-bit matrices of two dimensions (width, then height) with
// the channel values of a pixel adjacent and rows one after another, which is the layout
// the service's image workers take. They come from an image file or are generated, so that
// a client without a camera or a picture at hand still has a frame to send.
#pragma once

#include <cstdint>
#include <string>

#include "message/datatype/datatype.pb.h"

namespace zelph::client {

// A generated frame whose every byte is known: channel c of pixel (x, y) holds
// TestFrameValue(x, y, c). Throws std::invalid_argument for a side below 1 or a channel
// count outside 1..4.
GMat TestFrame(int width, int height, int channels = 3);
std::uint8_t TestFrameValue(int x, int y, int channel);

// The image file at `path` (any format OpenCV reads), as 8-bit grey or blue-green-red.
// Throws std::runtime_error when the file cannot be read as an image.
GMat ReadImage(const std::string& path);

}  // namespace zelph::client
