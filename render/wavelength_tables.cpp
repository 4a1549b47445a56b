#include "render/wavelength_tables.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orichalcumite {
namespace {

// Chromaticity (x, y) of the locus of pure spectral colours of the CIE 1931 2-degree observer,
// 380..700 nm in 5 nm steps.
constexpr int kLocusEntries = (kSpectrumLocusLastNm - kSpectrumFirstNm) / kSpectrumStepNm + 1;
constexpr Chromaticity kLocus[kLocusEntries] = {
    {0.1741, 0.0050}, {0.1740, 0.0050}, {0.1738, 0.0049}, {0.1736, 0.0049},  // 380..395
    {0.1733, 0.0048}, {0.1730, 0.0048}, {0.1726, 0.0048}, {0.1721, 0.0048},  // 400..415
    {0.1714, 0.0051}, {0.1703, 0.0058}, {0.1689, 0.0069}, {0.1669, 0.0086},  // 420..435
    {0.1644, 0.0109}, {0.1611, 0.0138}, {0.1566, 0.0177}, {0.1510, 0.0227},  // 440..455
    {0.1440, 0.0297}, {0.1355, 0.0399}, {0.1241, 0.0578}, {0.1096, 0.0868},  // 460..475
    {0.0913, 0.1327}, {0.0687, 0.2007}, {0.0454, 0.2950}, {0.0235, 0.4127},  // 480..495
    {0.0082, 0.5384}, {0.0039, 0.6548}, {0.0139, 0.7502}, {0.0389, 0.8120},  // 500..515
    {0.0743, 0.8338}, {0.1142, 0.8262}, {0.1547, 0.8059}, {0.1929, 0.7816},  // 520..535
    {0.2296, 0.7543}, {0.2658, 0.7243}, {0.3016, 0.6923}, {0.3373, 0.6589},  // 540..555
    {0.3731, 0.6245}, {0.4087, 0.5896}, {0.4441, 0.5547}, {0.4788, 0.5202},  // 560..575
    {0.5125, 0.4866}, {0.5448, 0.4544}, {0.5752, 0.4242}, {0.6029, 0.3965},  // 580..595
    {0.6270, 0.3725}, {0.6482, 0.3514}, {0.6658, 0.3340}, {0.6801, 0.3197},  // 600..615
    {0.6915, 0.3083}, {0.7006, 0.2993}, {0.7079, 0.2920}, {0.7140, 0.2859},  // 620..635
    {0.7190, 0.2809}, {0.7230, 0.2770}, {0.7260, 0.2740}, {0.7283, 0.2717},  // 640..655
    {0.7300, 0.2700}, {0.7311, 0.2689}, {0.7320, 0.2680}, {0.7327, 0.2673},  // 660..675
    {0.7334, 0.2666}, {0.7340, 0.2660}, {0.7344, 0.2656}, {0.7346, 0.2654},  // 680..695
    {0.7347, 0.2653},                                                        // 700
};

// The palettes share this gain: a channel of 1 becomes 185.
constexpr double kPaletteGain = 185.78;

double wavelengthNm(int k) { return kSpectrumFirstNm + kSpectrumStepNm * k; }

float wholePart(double v) { return static_cast<float>(std::trunc(v)); }

}  // namespace

Chromaticity spectralLocus(int k) { return kLocus[std::clamp(k, 0, kLocusEntries - 1)]; }

ColourTriple linearRgbOfChromaticity(const Chromaticity& c) {
  const double x = c.x;
  const double y = c.y;
  const double z = 1.0 - x - y;
  const double r =
      (0.79 * (0.6 * x - 0.29 * y) + (0.0174 - 0.09) * z + 0.11 * (0.15 * y - 0.06 * x)) / 0.2268;
  const double g =
      (0.79 * (0.64 * y - 0.33 * x) + (0.0495 - 0.0384) * z + 0.03 * (0.06 * x - 0.15 * y)) /
      0.2268;
  const double b =
      ((0.384 - 0.0957) * z + 0.11 * (0.33 * x - 0.64 * y) + 0.03 * (0.29 * y - 0.6 * x)) / 0.2268;
  return {static_cast<float>(std::max(r, 0.0)), static_cast<float>(std::max(g, 0.0)),
          static_cast<float>(std::max(b, 0.0))};
}

SpectralPalette iridescencePalette() {
  SpectralPalette palette{};
  for (int k = 0; k < kSpectrumSamples; ++k) {
    const double w = wavelengthNm(k);
    double intensity = 1.0;
    if (w > 700.0) intensity = 1.0 - 0.9 * (w - 700.0) / 80.0;
    if (w < 420.0) intensity = 0.1 + 0.9 * (w - 380.0) / 40.0;
    const ColourTriple rgb = linearRgbOfChromaticity(spectralLocus(k));
    auto channel = [&](float v) {
      return wholePart(kPaletteGain * std::pow(intensity * static_cast<double>(v), 0.45));
    };
    palette[static_cast<size_t>(k)] = {channel(rgb.red), channel(rgb.green), channel(rgb.blue)};
  }
  return palette;
}

SpectralPalette causticPalette() {
  SpectralPalette palette{};
  for (int k = 0; k < kSpectrumSamples; ++k) {
    const double w = wavelengthNm(k);
    double intensity = 1.0;
    if (w > 600.0) intensity = (780.0 - w) / 180.0;
    if (w < 440.0) intensity = (w - 380.0) / 60.0;
    // A larger red exponent below 500 nm thins the red that the conversion leaves in the
    // violet end.
    const double redExponent = w < 500.0 ? 0.1 + 0.2 * (500.0 - w) / 120.0 : 0.1;
    const ColourTriple rgb = linearRgbOfChromaticity(spectralLocus(k));
    auto channel = [&](float v, double exponent) {
      return wholePart(intensity * kPaletteGain * std::pow(static_cast<double>(v), exponent));
    };
    palette[static_cast<size_t>(k)] = {channel(rgb.red, redExponent), channel(rgb.green, 0.1),
                                       channel(rgb.blue, 0.3)};
  }
  return palette;
}

IridescenceTable iridescenceTable(int iridescence, int iriColors) {
  const SpectralPalette palette = iridescencePalette();
  double total[3] = {0.0, 0.0, 0.0};
  for (const ColourTriple& p : palette) {
    total[0] += static_cast<double>(p.red);
    total[1] += static_cast<double>(p.green);
    total[2] += static_cast<double>(p.blue);
  }
  // A channel the palette never lights (a zero total) keeps the plain base.
  for (double& t : total) t = t > 0.0 ? t : 1.0;

  const double base = 256.0 - iridescence * 256.0 / 100.0;
  const double film = iriColors * 20.0;
  IridescenceTable table{};
  for (int angle = 0; angle < kIridescenceEntries; ++angle) {
    const double t = angle * std::numbers::pi / 180.0;
    // The light's path through the film grows with the viewing angle.
    const double path = std::sqrt(film * film + film * film * std::sin(t) / std::cos(t));
    double sum[3] = {0.0, 0.0, 0.0};
    for (int k = 0; k < kSpectrumSamples; ++k) {
      const double v = std::cos(2.0 * std::numbers::pi * path / wavelengthNm(k)) + 1.0;
      const ColourTriple& p = palette[static_cast<size_t>(k)];
      sum[0] += v * static_cast<double>(p.red);
      sum[1] += v * static_cast<double>(p.green);
      sum[2] += v * static_cast<double>(p.blue);
    }
    auto entry = [&](int c) {
      return static_cast<float>(base + (256.0 - base) * sum[c] / total[c]);
    };
    table[static_cast<size_t>(angle)] = {entry(0), entry(1), entry(2)};
  }
  return table;
}

CausticColourTable causticColourTable(bool white) {
  CausticColourTable table{};
  constexpr int kLast = kCausticColourEntries - 1;
  if (white) {
    for (int c = 0; c <= kLast; ++c) {
      const float v = static_cast<float>((kLast - c) * c) / 18.0f;
      table[static_cast<size_t>(c)] = {v, v, v};
    }
    return table;
  }
  const SpectralPalette palette = causticPalette();
  constexpr int kPaletteLast = kSpectrumSamples - 1;
  for (int c = 0; c <= kLast; ++c) {
    const double position = static_cast<double>(c) * kPaletteLast / kLast;
    const int i = std::min(static_cast<int>(position), kPaletteLast - 1);
    const auto f = static_cast<float>(position - i);
    const ColourTriple& a = palette[static_cast<size_t>(i)];
    const ColourTriple& b = palette[static_cast<size_t>(i + 1)];
    table[static_cast<size_t>(c)] = {a.red + (b.red - a.red) * f, a.green + (b.green - a.green) * f,
                                     a.blue + (b.blue - a.blue) * f};
  }
  return table;
}

}  // namespace orichalcumite
