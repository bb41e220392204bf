#pragma once
// The frame brumel writes, made from the node's output for one plate: the composite or
// the cloud element, in the output colour space, with the plate's windows and metadata
// (the writer adds its own).
#include <string>

#include <OpenImageIO/imagebuf.h>

#include "app/colour/colour_spaces.h"
#include "app/images/host_image.h"
#include "app/colour/plate.h"

namespace brumel {

// Whether the node must draw the cloud alone for this plate: for an element, and for a
// colour-managed plate, whose composite the application makes.
inline bool node_draws_element(const Plate& plate, bool element) {
  return element || plate.managed();
}

// `node_output` is the node's frame over the plate's display window (the element when
// node_draws_element). Returns:
// - element: the cloud over transparent black, colour premultiplied, alpha the
//   coverage; its data window is the plate's display window; in another space than the
//   node's, float, colour converted unpremultiplied and premultiplied again (none where
//   alpha is 0);
// - a plate the node read directly: the node's composite as it stands (UINT16 when
//   `output_space` is the node's; converted to float otherwise);
// - a colour-managed plate: float over the plate's data window; where the cloud covers
//   the plate, the element "over" the plate in scene-linear (E + P * (1 - a), alpha
//   a + Pa * (1 - a)), converted to `output_space`; elsewhere the plate converted to
//   `output_space`, exactly (outside the display window too).
OIIO::ImageBuf output_frame(const HostImage& node_output, const Plate& plate, bool element,
                            const std::string& output_space, const ColourSpaces& colours);

}  // namespace brumel
