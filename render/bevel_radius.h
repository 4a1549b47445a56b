// The bevel radius in pixels, from the `radius` setting and the preview scale.
#pragma once

namespace orichalcumite {

// The largest bevel radius in pixels: what the top of the radius slider (100) gives. Larger
// settings from a damaged record are held here, which also bounds the blur windows.
inline constexpr int kMaxBevelRadiusPx = 1000;

// Settings up to 40 are pixels; above that the radius grows with the square of the excess
// so that 100 reaches kMaxBevelRadiusPx: (radius - 38)^2 x 960 / 3844 + 40. The result is
// divided by the preview scale (integer division; 1 for full renders, values below 1 count
// as 1) and is never below 1.
int bevelRadiusPx(int radius, int previewScale);

}  // namespace orichalcumite
