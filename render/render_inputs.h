// Everything one render reads, gathered once before it starts: a render is a function of
// these inputs and of its target's pixels.
#pragma once

#include <memory>

#include "settings/effect_settings.h"

namespace orichalcumite {

class EffectPictures;
class Picture;
class RandomGenerator;

struct RenderInputs {
  // The render's own copy of the effect, every numeric parameter inside its table range, so
  // that no stage meets a value the dialog could not have set and a change of the live
  // settings cannot reach a worker. The glue mode, the shape and every slider are read from
  // here and nowhere else.
  EffectSettings settings{};
  const Picture* environment = nullptr;  // the reflected picture; null reflects nothing
  const Picture* textureTile = nullptr;  // null leaves the texture pass off
  // The run's generator: grit draws from it, and weathering seeds its own generator from it.
  RandomGenerator* random = nullptr;
};

// The inputs of a render of `settings` with `pictures`, drawing from `random` (which must
// outlive the render). Null only when memory runs out.
std::unique_ptr<RenderInputs> makeRenderInputs(const EffectSettings& settings,
                                               const EffectPictures& pictures,
                                               RandomGenerator& random);

}  // namespace orichalcumite
