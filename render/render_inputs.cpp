#include "render/render_inputs.h"

#include <new>

#include "pictures/effect_pictures.h"
#include "settings/parameter_table.h"

namespace orichalcumite {

std::unique_ptr<RenderInputs> makeRenderInputs(const EffectSettings& settings,
                                               const EffectPictures& pictures,
                                               RandomGenerator& random) {
  std::unique_ptr<RenderInputs> inputs(new (std::nothrow) RenderInputs);
  if (!inputs) return nullptr;
  inputs->settings = settings;
  clampToParameterRanges(inputs->settings);
  inputs->environment = pictures.environment();
  inputs->textureTile = pictures.textureTile();
  inputs->random = &random;
  return inputs;
}

}  // namespace orichalcumite
