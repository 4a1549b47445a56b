// The surface shader of the final pass: band kernels that turn each pixel's source colour and
// the height field around it into the material colour. One kernel is picked per render, when
// the plan is made, for the plan's material, lights, reflection, glass and weathering, so that
// no choice is made per pixel. The per-pixel mathematics is in render/shading_maths.h, the
// chunk layout and scratch in render/shading_bands.h, the plan in render/shading_plan.h.
#pragma once

#include <cstdint>
#include <memory>

#include "base/rect.h"
#include "render/final_pass.h"
#include "render/shading_bands.h"
#include "render/shading_maths.h"
#include "render/shading_plan.h"

namespace orichalcumite {

// The kernel for the plan's material, light count, reflection and glass.
BandKernel selectBandKernel(const ShadingPlan& plan);

// Builds the plan (deriveShadingPlan) and picks its band kernel. Returns none when memory runs
// out. With no environment picture the reflection counts as 0 (its weight goes to the diffuse
// light), so that a surface without an environment is lit rather than black.
std::unique_ptr<ShadingPlan> makeShadingPlan(const ShadingInputs& inputs);

// Shades the band with the plan's kernel. `scratch` must have been prepared for the region.
inline void shadeBand(const ShadingPlan& plan, BandBuffer& band, const Rect32& region,
                      ShadingScratch& scratch) {
  plan.kernel(plan, band, region, scratch);
}

}  // namespace orichalcumite
