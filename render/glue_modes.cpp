#include "render/glue_modes.h"

#include <array>
#include <utility>

#include "render/detail/glue_pixel.h"
#include "settings/enumerations.h"

namespace orichalcumite {
namespace {

// Entry 0 serves every number outside 1..74.
constexpr int kTableSize = kGlueModeCount + 1;

template <int Mode> Rgba gluePixel(const Rgba& material, const Rgba& source) {
  return detail::Glue<Mode>::pixel(material, source);
}

template <int Mode> void glueRow(Rgba* material, const Rgba* source, Rgba* out, int32_t count) {
  using G = detail::Glue<Mode>;
  for (int32_t i = 0; i < count; ++i) {
    const Rgba r = G::pixel(material[i], source[i]);
    if constexpr (G::overwritesMaterial) {
      material[i].red = r.red;
      material[i].green = r.green;
      material[i].blue = r.blue;
    }
    out[i] = r;
  }
}

using GluePixel = Rgba (*)(const Rgba&, const Rgba&);

template <int... Modes>
constexpr std::array<GluePixel, kTableSize> pixelTable(std::integer_sequence<int, Modes...>) {
  return {&gluePixel<Modes>...};
}

template <int... Modes>
constexpr std::array<GlueRowKernel, kTableSize> rowTable(std::integer_sequence<int, Modes...>) {
  return {&glueRow<Modes>...};
}

constexpr auto kPixelTable = pixelTable(std::make_integer_sequence<int, kTableSize>{});
constexpr auto kRowTable = rowTable(std::make_integer_sequence<int, kTableSize>{});

size_t tableIndex(int mode) {
  return mode >= 1 && mode <= kGlueModeCount ? static_cast<size_t>(mode) : 0;
}

}  // namespace

Rgba glue(const Rgba& material, const Rgba& source, int mode) {
  return kPixelTable[tableIndex(mode)](material, source);
}

std::string_view modeName(int mode) { return enumName(Enumeration::glueMode, mode); }

GlueRowKernel glueRowKernel(int mode) { return kRowTable[tableIndex(mode)]; }

}  // namespace orichalcumite
