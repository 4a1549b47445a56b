// Writes a contact sheet of every glue mode for looking at: a photograph-like source (sky,
// meadow and earth in smooth gradients, with ripples and fine grain) finished with a fixed
// bevel-like material (a gold plate, highlights above white on the lit edges, shadow on the others)
// through each of the 74 modes (or the modes listed), in index order, ten to a row, each tile
// numbered. The last two tiles show the source and the material alone.
//
//   orichalcumite_make_glue_sheet OUT.png [TILE [MODE ...]]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/image.h"
#include "app/image_files.h"
#include "render/finish_pixel.h"
#include "settings/enumerations.h"

namespace {

using orichalcumite::Rgba;

constexpr int kMaxColumns = 10;
constexpr int kGap = 4;

// A small landscape: sky from deep blue to a pale horizon, a green band with a warm sunlit
// patch, brown earth below; ripples and grain on top.
Rgba sourceAt(int x, int y, int tile) {
  const float u = float(x) / float(tile), v = float(y) / float(tile);
  auto mix = [](float a, float b, float t) { return a + (b - a) * std::clamp(t, 0.0f, 1.0f); };
  float r, g, b;
  if (v < 0.45f) {  // sky
    const float t = v / 0.45f;
    r = mix(0.10f, 0.85f, t);
    g = mix(0.25f, 0.80f, t);
    b = mix(0.65f, 0.75f, t);
  } else if (v < 0.7f) {  // meadow, warmer to the right
    const float t = (v - 0.45f) / 0.25f;
    r = mix(0.20f, 0.75f, u * (1.0f - t));
    g = mix(0.55f, 0.35f, t);
    b = mix(0.15f, 0.05f, u);
  } else {  // earth, darker towards the bottom left
    const float t = (v - 0.7f) / 0.3f;
    const float dark = 1.0f - 0.6f * t * (1.0f - u);
    r = 0.55f * dark;
    g = 0.33f * dark;
    b = 0.18f * dark;
  }
  const float ripple = 0.05f * std::sin(float(x) * 0.35f + 3.0f * v) * std::cos(float(y) * 0.21f);
  // Fine grain from an integer hash, ±0.025.
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  const float grain = (float((h >> 8) & 0xFFFF) / 65535.0f - 0.5f) * 0.05f;
  auto c = [](float value) { return std::clamp(value, 0.0f, 1.0f); };
  return {c(r + ripple + grain), c(g - ripple + grain), c(b + 0.5f * ripple + grain), 1.0f};
}

// A rounded plate with a 20% bevel lit from the top left: the face is a gold tone, the lit
// bevel rises above white, the far bevel falls into shadow.
Rgba materialAt(int x, int y, int tile) {
  const float half = float(tile) / 2.0f;
  const float px = (float(x) + 0.5f - half) / half, py = (float(y) + 0.5f - half) / half;
  const float edge = std::max(std::abs(px), std::abs(py));
  const float bevel = 0.35f;
  float shade = 0.75f;
  if (edge > 1.0f - bevel) {
    const float t = (edge - (1.0f - bevel)) / bevel;  // 0 at the face, 1 at the rim
    const float lit = (std::abs(px) > std::abs(py) ? -px : -py) > 0 ? 1.0f : -1.0f;
    shade = 0.75f + lit * 0.9f * std::sqrt(t);
  }
  shade = std::max(shade, 0.0f);
  return {shade * 1.2f, shade * 0.95f, shade * 0.5f, 1.0f};
}

// Digits 0..9 in a 3 × 5 font, one row of three bits per entry, top row first.
constexpr uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};

// Draws `number` at (x, y) with 2 × 2 pixels per font pixel, white on a black box.
void drawNumber(orichalcumite::Image& image, int x, int y, int number) {
  const std::string text = std::to_string(std::abs(number));
  const int w = int(text.size()) * 8 + 2, h = 14;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      for (int c = 0; c < 3; ++c) image.setSample(x + i, y + j, c, 0);
  for (size_t k = 0; k < text.size(); ++k) {
    const auto& glyph = kDigits[text[k] - '0'];
    for (int row = 0; row < 5; ++row)
      for (int col = 0; col < 3; ++col)
        if (glyph[row] & (4 >> col))
          for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
              for (int c = 0; c < 3; ++c)
                image.setSample(x + 2 + int(k) * 8 + col * 2 + dx, y + 2 + row * 2 + dy, c, 255);
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orichalcumite;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png [TILE [MODE ...]]\n", argv[0]);
    return 2;
  }
  const int tile = argc >= 3 ? std::max(32, std::atoi(argv[2])) : 128;
  // The modes to show, then the two reference tiles (numbers past the last mode).
  std::vector<int> modes;
  for (int i = 3; i < argc; ++i) modes.push_back(std::atoi(argv[i]));
  if (modes.empty())
    for (int mode = 1; mode <= kGlueModeCount; ++mode) modes.push_back(mode);
  const int shown = int(modes.size());
  modes.push_back(kGlueModeCount + 1);
  modes.push_back(kGlueModeCount + 2);
  const int cells = int(modes.size());
  const int columns = std::min(cells, kMaxColumns);
  const int rows = (cells + columns - 1) / columns;
  std::string error;
  auto sheet = Image::make(columns * (tile + kGap) + kGap, rows * (tile + kGap) + kGap, 3, false,
                           SampleType::uint8, &error);
  if (!sheet) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  for (int y = 0; y < sheet->height(); ++y)
    for (int x = 0; x < sheet->width(); ++x)
      for (int c = 0; c < 3; ++c) sheet->setSample(x, y, c, 40);

  const auto width = static_cast<size_t>(tile);
  std::vector<Rgba> material(width), source(width), out(width);
  const std::vector<uint8_t> mask(width, 255);
  for (int cell = 0; cell < cells; ++cell) {
    const int mode = modes[size_t(cell)];
    const bool reference = cell >= shown;
    const int left = kGap + (cell % columns) * (tile + kGap);
    const int top = kGap + (cell / columns) * (tile + kGap);
    const FinishPlan plan = makeFinishPlan({RenderTarget::hostImage, false, false, false, mode});
    for (int y = 0; y < tile; ++y) {
      for (int x = 0; x < tile; ++x) {
        material[size_t(x)] = materialAt(x, y, tile);
        source[size_t(x)] = sourceAt(x, y, tile);
      }
      if (!reference) {
        finishRow(plan, material.data(), source.data(), mask.data(), out.data(), 0, y, tile);
      } else {
        // The reference tiles: the source, then the material as a plain glue would show it.
        for (int x = 0; x < tile; ++x) {
          const Rgba& c = mode == kGlueModeCount + 1 ? source[size_t(x)] : material[size_t(x)];
          out[size_t(x)] = {std::min(c.red, 1.0f), std::min(c.green, 1.0f), std::min(c.blue, 1.0f),
                            1};
        }
      }
      for (int x = 0; x < tile; ++x) {
        const Rgba& c = out[size_t(x)];
        sheet->setSample(left + x, top + y, 0, double(c.red) * 255.0);
        sheet->setSample(left + x, top + y, 1, double(c.green) * 255.0);
        sheet->setSample(left + x, top + y, 2, double(c.blue) * 255.0);
      }
    }
    if (!reference) drawNumber(*sheet, left, top, mode);
  }
  if (!writeImageFile(argv[1], *sheet, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %d modes, tiles of %d pixels\n", argv[1], shown, tile);
  return 0;
}
