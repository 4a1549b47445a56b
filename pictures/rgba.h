#pragma once

namespace orichalcumite {

// One pixel as four floats. Pictures report samples in this form: in storage units from
// samplePoint (0..255 for 8-bit layouts, 0..65535 for 16-bit ones), in 0..1 (above 1
// allowed for high dynamic range) from sample and readPicturePixel.
struct Rgba {
  float red = 0.0f;
  float green = 0.0f;
  float blue = 0.0f;
  float alpha = 0.0f;
};

}  // namespace orichalcumite
