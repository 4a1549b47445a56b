// Colours of the visible spectrum for the shader's thin-film iridescence and its rainbow
// catchlights: the locus of pure spectral colours of the 2-degree observer, its conversion to
// linear RGB, the two spectral palettes built from it and the per-render colour tables.
//
// Wavelengths run 380..780 nm in 5 nm steps (81 samples, index k = (nm - 380) / 5).
#pragma once

#include <array>

namespace orichalcumite {

inline constexpr int kSpectrumSamples = 81;
inline constexpr int kSpectrumFirstNm = 380;
inline constexpr int kSpectrumStepNm = 5;
// The locus is tabled to 700 nm; beyond it the chromaticity no longer changes visibly and is
// held at the 700 nm value.
inline constexpr int kSpectrumLocusLastNm = 700;

// One entry per whole viewing angle 0..89 degrees.
inline constexpr int kIridescenceEntries = 90;
// The colours of a catchlight, indexed 0..92 across the band of slopes where catchlights
// appear.
inline constexpr int kCausticColourEntries = 93;

struct Chromaticity {
  double x = 0.0;
  double y = 0.0;
};

// Three channels of a colour table or palette, in the units the table states.
struct ColourTriple {
  float red = 0.0f;
  float green = 0.0f;
  float blue = 0.0f;
  friend bool operator==(const ColourTriple&, const ColourTriple&) = default;
};

// Chromaticity of monochromatic light at sample k (380 + 5k nm), k in 0..80; k outside is
// clamped. Wavelengths above 700 nm give the 700 nm value.
Chromaticity spectralLocus(int k);

// Linear RGB of a chromaticity (z = 1 - x - y) for the primaries red (0.64, 0.33), green
// (0.29, 0.60), blue (0.15, 0.06); negative channels become 0. Pure spectral colours lie
// outside the triangle, so a channel can exceed 1.
ColourTriple linearRgbOfChromaticity(const Chromaticity& c);

// 81 whole-number colours (0..about 210), one per wavelength sample.
using SpectralPalette = std::array<ColourTriple, kSpectrumSamples>;

// The iridescence palette: intensity 1 from 420 to 700 nm, fading linearly to 0.1 at both
// ends of the range, then channel = whole part of 185.78 x (intensity x channel)^0.45.
SpectralPalette iridescencePalette();

// The catchlight palette: intensity ramps up over 380..440 nm and down over 600..780 nm;
// channel = whole part of intensity x 185.78 x channel^exponent, with exponents 0.1 (red,
// raised towards the violet end below 500 nm), 0.1 (green) and 0.3 (blue).
SpectralPalette causticPalette();

// Per render: for each viewing angle the film tint in 256ths (256 = white), from the
// `iridescence` (0..100, how much tint) and `iriColors` (film thickness) settings.
// Iridescence 0 gives 256 everywhere. Entries lie in b..b + 2 (256 - b), b = 256 -
// iridescence x 256 / 100: the interference weight of a wavelength runs 0..2.
using IridescenceTable = std::array<ColourTriple, kIridescenceEntries>;
IridescenceTable iridescenceTable(int iridescence, int iriColors);

// Per render: the catchlight colours in 256ths. White: all channels (92 - c) x c / 18 for
// entry c (a soft hump, 0 at both ends). Rainbow: the catchlight palette stretched from 81
// to 93 entries by linear interpolation, ends kept.
using CausticColourTable = std::array<ColourTriple, kCausticColourEntries>;
CausticColourTable causticColourTable(bool white);

}  // namespace orichalcumite
