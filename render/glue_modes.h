// Glue modes: how the rendered material colour is combined with the source pixel under it.
// Modes are numbered 1..74 (GlueMode); most work per channel in 15-bit fixed point, some in
// floating point, some on whole colours in hue/saturation/lightness or LabSpace.
//
// Inputs: material and source colours with channels in 0..1; the material may exceed 1 (it is
// taken as at most 256 by the fixed-point modes) and is never negative. Results may leave
// 0..1; the finish clamps them. The result's alpha is the material's in every mode but 68
// (starbright), where it is the material's brightest channel.
//
// A number outside 1..74 combines as "normal": the material comes back unchanged.
#pragma once

#include <cstdint>
#include <string_view>

#include "pictures/rgba.h"

namespace orichalcumite {

// Combines one pixel. Pure; any thread.
Rgba glue(const Rgba& material, const Rgba& source, int mode);

// The mode's display name; empty for a number outside 1..74.
std::string_view modeName(int mode);

// Combines `count` pixels: out[i] = glue(material[i], source[i], mode). Modes 69 to 72 (glow,
// reflect, shimmer, lustre) also write their result's colour channels back into material[i]
// (its alpha stays); other modes leave the material alone. `out` may be `material`; `source`
// must not overlap `out`. No allocation, any thread.
using GlueRowKernel = void (*)(Rgba* material, const Rgba* source, Rgba* out, int32_t count);

// The row kernel of a mode, chosen once per pass. Never null: a number outside 1..74 gets
// the "normal" kernel.
GlueRowKernel glueRowKernel(int mode);

}  // namespace orichalcumite
