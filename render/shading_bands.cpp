#include "render/shading_bands.h"

#include <algorithm>
#include <new>

namespace orichalcumite {

bool ShadingScratch::prepare(int32_t regionWidth) {
  try {
    const auto width = static_cast<size_t>(std::max(regionWidth, 0));
    columns = std::make_unique<ShadingColumns>();
    for (std::vector<float>* v : {&acrossThisRow, &acrossNextRow, &downAboveRow, &downThisRow})
      v->assign(width + 2, 0.0f);
    columnSums.assign(width + 6, 0.0f);
    curvature.assign(width, 0.0f);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return weathering.prepare(regionWidth);
}

}  // namespace orichalcumite
