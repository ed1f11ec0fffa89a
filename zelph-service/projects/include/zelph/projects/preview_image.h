// preview_image.h
//
// The JPEG preview of a two-dimensional image matrix: what a client sees of a worker's
// picture, at most 256 x 256 pixels, its values brought into 0..255 by a scale that depends
// on the depth (or, with auto contrast, by the image's own value range), alpha dropped.
//
// A free function without project state: it reads the source matrix in place (never
// writes or copies it whole) and makes a new matrix for the result, so any thread may call
// it on published port data, several at once.
#pragma once

#include <memory>

#include "zelph/model/port_data.h"
#include "zelph/model/port_data_mat.h"

namespace zelph {

// A new matrix that carries the JPEG file (quality 95): dims width and height of the reduced
// image, channel count 0, the depth of `data`, encoded text "jpeg". Empty, without a log
// line, for a matrix that is not initialised, not two-dimensional, without bytes, with a
// side of 0, or with other than 1, 3 or 4 channels.
//
// Empty with a log line for a depth other than 0..6 and 1-bit (warning), for a buffer
// shorter than the dims call for (error, nothing is read), and when OpenCV fails (error).
//
// Sides are halved together while either is above 256, never below 1. Without auto
// contrast the values are scaled by depth: 8-bit as they are, 16-bit by 255/32767, 32-bit
// integers by 255/2147483647, floating point by 255; with it, the range of the colour
// channels is stretched onto 0..255 (an image of one value cannot be stretched and is shown
// as without auto contrast). 1-bit images show set bits white, bits taken from the least
// significant of each byte up. Three channels are encoded as blue, green, red.
std::shared_ptr<IPortData> PreparePreviewImage(const PortDataMat& data, bool auto_contrast);

}  // namespace zelph
