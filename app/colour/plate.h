#pragma once
// A plate as the application reads it for one frame: what the node is given, and what a
// colour-managed output frame is made from.
#include <string>

#include <OpenImageIO/imagebuf.h>

#include "app/colour/colour_spaces.h"
#include "app/images/host_image.h"

namespace brumel {

struct Plate {
  OIIO::ImageSpec spec;      // the file's header (windows, metadata); the frame's alone for the background
  std::string colour_space;  // resolved in the shot's configuration; empty: the node's
  bool premultiplied = false;  // colour stored multiplied by alpha (EXR)
  HostImage node_input;      // the display window, 16-bit, in the node's colour space
  // Colour-managed plates only, empty otherwise: the data window as stored, float RGBA in
  // colour_space, nothing clipped.
  OIIO::ImageBuf pixels;

  bool managed() const { return pixels.initialized(); }
};

// Whether a plate of this header and colour space is read directly (see read_plate).
bool read_directly(const OIIO::ImageSpec& spec, const std::string& space,
                   const ColourSpaces& colours);

// Reads frame file `path`. A plate of integer samples in the node's colour space whose
// data window is its display window goes to the node as its 16-bit samples, as read
// (read_host_image); any other is read as float and managed: converted to the node's
// space, clipped to 0..1 and rounded to 16 bits for the node, over its display window
// (transparent black where the data window does not reach). Throws AppError.
Plate read_plate(const std::string& path, const ColourSpaces& colours,
                 const std::string& given_space);

// A display-referred frame that no file holds (the default background), as a plate.
Plate frame_plate(HostImage image);

}  // namespace brumel
