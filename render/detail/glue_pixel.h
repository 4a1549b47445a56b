// The 74 glue modes, one record per mode: Glue<Mode>::pixel(material, source) combines one
// pixel; Glue<Mode>::overwritesMaterial says whether the mode also hands its colour back to
// the caller's material. Mode 0 stands for every number outside 1..74 and returns the
// material. Only render/glue_modes.cpp instantiates these.
//
// Unless a mode says otherwise, each channel is taken to 15-bit fixed point (material up to
// kMaxMaterial, source 0..1), combined in integers and taken back; the result's alpha is the
// material's. Results are not limited to 0..1 here: the finish clamps what it writes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "pictures/rgba.h"
#include "render/detail/glue_fixed.h"
#include "render/detail/glue_hsl.h"
#include "render/detail/lab_space.h"

namespace orichalcumite::detail {

template <int Mode> struct Glue;

struct PassThrough {
  static constexpr bool overwritesMaterial = false;
  static Rgba pixel(const Rgba& m, const Rgba&) { return m; }
};

// Modes that combine each channel alone, in fixed point: Mode::channel(m, s).
template <class Mode> struct PerChannel {
  static constexpr bool overwritesMaterial = false;
  static Rgba pixel(const Rgba& m, const Rgba& s) {
    return {floatOf(Mode::channel(materialFixed(m.red), sourceFixed(s.red))),
            floatOf(Mode::channel(materialFixed(m.green), sourceFixed(s.green))),
            floatOf(Mode::channel(materialFixed(m.blue), sourceFixed(s.blue))), m.alpha};
  }
};

// Modes that combine each channel alone, in floating point on the channels as they come.
template <class Mode> struct PerChannelFloat {
  static constexpr bool overwritesMaterial = false;
  static Rgba pixel(const Rgba& m, const Rgba& s) {
    return {Mode::channel(m.red, s.red), Mode::channel(m.green, s.green),
            Mode::channel(m.blue, s.blue), m.alpha};
  }
};

// Modes that look at whole colours, in fixed point: Mode::colour(m, s).
template <class Mode> struct WholeColour {
  static constexpr bool overwritesMaterial = false;
  static Rgba pixel(const Rgba& m, const Rgba& s) {
    return rgbaOf(Mode::colour(materialFixed(m), sourceFixed(s)), m.alpha);
  }
};

template <> struct Glue<0> : PassThrough {};  // any number outside 1..74
template <> struct Glue<1> : PassThrough {};  // normal

template <> struct Glue<2> : PerChannel<Glue<2>> {  // procedural +
  static int64_t channel(int64_t m, int64_t s) {
    // The material's share rises from nothing at black to one half at mid grey and falls
    // back to nothing at white.
    const int64_t w = s < kHalf ? s / 2 : kHalf - s / 2;
    return (m * w + (kHalf - w) * s) >> 14;
  }
};

template <> struct Glue<3> : PerChannel<Glue<3>> {  // procedural -
  static int64_t channel(int64_t m, int64_t s) { return std::min(kOne, m + ((m * s) >> 15)); }
};

template <> struct Glue<4> : PerChannel<Glue<4>> {  // difference
  static int64_t channel(int64_t m, int64_t s) { return ((kOne - s) * m + (kOne - m) * s) >> 15; }
};

template <> struct Glue<5> : PerChannel<Glue<5>> {  // lighten
  static int64_t channel(int64_t m, int64_t s) { return std::max(m, s); }
};

template <> struct Glue<6> : PerChannel<Glue<6>> {  // darken
  static int64_t channel(int64_t m, int64_t s) { return std::min(m, s); }
};

template <> struct Glue<7> : PerChannel<Glue<7>> {  // add
  static int64_t channel(int64_t m, int64_t s) { return std::min(kOne, m + s); }
};

template <> struct Glue<8> : PerChannel<Glue<8>> {  // subtract
  static int64_t channel(int64_t m, int64_t s) { return std::max<int64_t>(0, m - s); }
};

template <> struct Glue<9> : PerChannel<Glue<9>> {  // multiply
  static int64_t channel(int64_t m, int64_t s) { return (m * s) >> 15; }
};

template <> struct Glue<10> : PerChannel<Glue<10>> {  // screen
  static int64_t channel(int64_t m, int64_t s) { return m + (((kOne - m) * s) >> 15); }
};

// Tarnish, caustic, abrasion, height and unlit differ in the material the shader makes.
template <> struct Glue<11> : PassThrough {};
template <> struct Glue<12> : PassThrough {};
template <> struct Glue<13> : PassThrough {};
template <> struct Glue<14> : PassThrough {};
template <> struct Glue<15> : PassThrough {};

template <> struct Glue<16> : PerChannel<Glue<16>> {  // hard light
  static int64_t channel(int64_t m, int64_t s) { return hardLight(s, m); }
};

template <> struct Glue<17> : PerChannel<Glue<17>> {  // overlay
  static int64_t channel(int64_t m, int64_t s) { return overlay(s, m); }
};

template <> struct Glue<18> : PerChannel<Glue<18>> {  // superlay
  static int64_t channel(int64_t m, int64_t s) {
    const int64_t x = kOne - ((m * s) >> 15);
    const int64_t xx = x * x;  // 30 bits for inputs in 0..1
    const int64_t y = kOne - (((kOne - m) * s) >> 15) - m;
    const int64_t yy = (y * y) >> 15;
    if (xx < (int64_t{1} << 29) + (int64_t{1} << 15)) return kOne - (((xx >> 15) * yy) >> 14);
    return ((kOne - yy) * (kOne - (xx >> 15))) >> 14;
  }
};

template <> struct Glue<19> : Glue<4> {};  // exclusion: the same formula as difference

template <> struct Glue<20> : WholeColour<Glue<20>> {  // color
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    const Hsl hm = hslOf(colourOf(m));
    return fixedOf(makeColour(hm.hue, hm.saturation, luma(s)));
  }
};

template <> struct Glue<21> : WholeColour<Glue<21>> {  // luminance
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    const Hsl hs = hslOf(colourOf(s));
    return fixedOf(makeColour(hs.hue, hs.saturation, luma(m)));
  }
};

template <> struct Glue<22> : PerChannel<Glue<22>> {  // linear light
  static int64_t channel(int64_t m, int64_t s) { return clampOne(2 * m + s - kOne); }
};

template <> struct Glue<23> : PerChannel<Glue<23>> {  // pin light
  static int64_t channel(int64_t m, int64_t s) { return pin(s, m); }
};

template <> struct Glue<24> : PerChannel<Glue<24>> {  // spin light
  static int64_t channel(int64_t m, int64_t s) { return pin(m, s); }
};

template <> struct Glue<25> : PerChannel<Glue<25>> {  // vivid a: vivid light in 8-bit steps
  // The 8-bit step of a channel. Values from ONE − 1 up count as 255; a material above 1
  // counts as 1, where masking its bits would wrap it round to black.
  static int64_t byteOf(int64_t q) {
    q = std::min(q, kOne);
    return ((q + 1) & kOne) != 0 ? 255 : ((q + 1) >> 7) & 511;
  }
  static int64_t channel(int64_t m, int64_t s) {
    const int64_t lightByte = byteOf(m), baseByte = byteOf(s);
    // Above the middle the light dodges the base, below it burns it; 511 − 2 × 255 and
    // 2 × 0 + 1 keep both divisors at least 1.
    const int64_t v = lightByte > 127 ? baseByte * 256 / (511 - 2 * lightByte)
                                      : (baseByte * 256 - 65280) / (2 * lightByte + 1) + 255;
    if (v < 0) return 0;
    if (v > 254) return kOne;
    return (v >> 1) | (v << 7);
  }
};

template <> struct Glue<26> : PerChannel<Glue<26>> {  // vivid b
  static int64_t channel(int64_t m, int64_t s) { return clampOne(2 * m - s); }
};

template <> struct Glue<27> : WholeColour<Glue<27>> {  // saturation
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    const Hsl hm = hslOf(colourOf(m)), hs = hslOf(colourOf(s));
    return fixedOf(makeColour(hs.hue, hm.saturation, perceived(hs)));
  }
};

template <> struct Glue<28> : WholeColour<Glue<28>> {  // hue
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    const Hsl hm = hslOf(colourOf(m)), hs = hslOf(colourOf(s));
    return fixedOf(makeColour(hm.hue, hs.saturation, perceived(hs)));
  }
};

template <> struct Glue<29> : PerChannel<Glue<29>> {  // similarity
  static int64_t channel(int64_t m, int64_t s) { return kOne - std::abs(m + s - kOne); }
};

template <> struct Glue<30> : PerChannel<Glue<30>> {  // cross
  // Squared distance from mid grey, ONE at black and white.
  static int64_t fromMiddle(int64_t x) { return ((x - kHalf) * (x - kHalf)) / 8192; }
  static int64_t channel(int64_t m, int64_t s) {
    return clampOne(kOne - std::abs(fromMiddle(m) - fromMiddle(s)));
  }
};

template <> struct Glue<31> : PerChannel<Glue<31>> {  // hard diff
  static int64_t channel(int64_t m, int64_t s) { return std::abs(m - s); }
};

template <> struct Glue<32> : PerChannel<Glue<32>> {  // soft light
  static int64_t channel(int64_t m, int64_t s) {
    if (m < kHalf) return (m * s + ((s * s) / kOne) * (kOne - m - kHalf)) >> 14;
    // The bright half in 8-bit steps.
    const int64_t light = m / 128, c = 255 - s / 128;
    const int64_t r = 255 - (((light - 130) * (c * c / 256) + (258 - light) * c) >> 7);
    return r * 128;
  }
};

template <> struct Glue<33> : WholeColour<Glue<33>> {  // bright
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) { return luma8(m) < luma8(s) ? s : m; }
};

template <> struct Glue<34> : WholeColour<Glue<34>> {  // dim
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) { return luma8(s) < luma8(m) ? s : m; }
};

template <> struct Glue<35> : PerChannel<Glue<35>> {  // dodge
  static int64_t channel(int64_t m, int64_t s) {
    // White material dodges everything to white; so does a material brighter than white,
    // whose divisor would turn negative.
    if (m >= kOne) return kOne;
    return std::min(kOne, s * kOne / (kOne - m));
  }
};

template <> struct Glue<36> : PerChannel<Glue<36>> {  // burn
  static int64_t channel(int64_t m, int64_t s) {
    return clampOne(((s - kOne) * kOne) / (m + 1) + kOne);
  }
};

template <> struct Glue<37> : PerChannel<Glue<37>> {  // ace
  static int64_t channel(int64_t m, int64_t s) { return ((kOne - m) * s + m * m) >> 15; }
};

template <> struct Glue<38> : PerChannel<Glue<38>> {  // king
  static int64_t channel(int64_t m, int64_t s) { return (s * (m - s + kOne)) >> 15; }
};

template <> struct Glue<39> : PerChannel<Glue<39>> {  // queen
  static int64_t channel(int64_t m, int64_t s) { return ((s - m + kOne) * m) >> 15; }
};

template <> struct Glue<40> : PerChannel<Glue<40>> {  // jack
  static int64_t channel(int64_t m, int64_t s) { return ((kOne - s) * m + s * s) >> 15; }
};

template <> struct Glue<41> : PerChannel<Glue<41>> {  // and, on the fixed-point codes
  static int64_t channel(int64_t m, int64_t s) { return m & s; }
};

template <> struct Glue<42> : PerChannel<Glue<42>> {  // or
  static int64_t channel(int64_t m, int64_t s) { return m | s; }
};

template <> struct Glue<43> : PerChannel<Glue<43>> {  // xor
  static int64_t channel(int64_t m, int64_t s) { return m ^ s; }
};

template <> struct Glue<44> : PerChannel<Glue<44>> {  // multibright
  static int64_t channel(int64_t m, int64_t s) {
    const float x = float(m * s) / 1073741824.0f;  // the product as a value, 1 = white
    return int64_t((2.0f - x) * x * 32768.0f);
  }
};

template <> struct Glue<45> : PerChannel<Glue<45>> {  // hot
  static int64_t channel(int64_t m, int64_t s) { return pin(pin(kOne - m, s), pin(m, s)); }
};

template <> struct Glue<46> : PerChannel<Glue<46>> {  // cold
  static int64_t channel(int64_t m, int64_t s) { return pin(pin(kOne - s, m), pin(s, m)); }
};

template <> struct Glue<47> : PerChannel<Glue<47>> {  // wet
  static int64_t channel(int64_t m, int64_t s) {
    return pin(kOne - hardLight(kOne - s, m), overlay(s, m));
  }
};

template <> struct Glue<48> : PerChannel<Glue<48>> {  // dry
  static int64_t channel(int64_t m, int64_t s) {
    // Hard light that takes the multiply half at mid grey too.
    const int64_t base = m <= kHalf ? mul2(m, s) : scr2(m, s);
    return pin(base, hardLight(kOne - m, s));
  }
};

template <> struct Glue<49> : PerChannel<Glue<49>> {  // up
  static int64_t channel(int64_t m, int64_t s) { return pin(overlay(s, m), hardLight(s, m)); }
};

template <> struct Glue<50> : PerChannel<Glue<50>> {  // down
  static int64_t channel(int64_t m, int64_t s) { return pin(hardLight(s, m), overlay(s, m)); }
};

// Wax and wane: the material shows through where it is saturated (wax) or grey (wane), and
// fades towards its black and white ends either way.
template <bool Wax> struct WaxWane : WholeColour<WaxWane<Wax>> {
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    const Hsl h = hslOf(colourOf(m));
    const double e = std::abs(2.0 * h.lightness - 1.0);
    const double ends = 1.0 - e * e * e * e;
    const double f = (Wax ? h.saturation : 1.0 - h.saturation) * ends;
    auto mix = [f](int64_t mc, int64_t sc) {
      return int64_t(double(sc) * (1.0 - f) + double(mc) * f);
    };
    return {mix(m.red, s.red), mix(m.green, s.green), mix(m.blue, s.blue)};
  }
};
template <> struct Glue<51> : WaxWane<true> {};
template <> struct Glue<52> : WaxWane<false> {};

// North, south, east, west: each channel moves from the material towards the source by a
// weight taken from a neighbouring channel of the material (north, south) or the source (east,
// west). All weights come from the unchanged inputs.
template <> struct Glue<53> : WholeColour<Glue<53>> {  // north
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    return {lerpFixed(m.red, s.red, m.green), lerpFixed(m.green, s.green, m.blue),
            lerpFixed(m.blue, s.blue, m.red)};
  }
};

template <> struct Glue<54> : WholeColour<Glue<54>> {  // south
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    return {lerpFixed(m.red, s.red, m.blue), lerpFixed(m.green, s.green, m.red),
            lerpFixed(m.blue, s.blue, m.green)};
  }
};

template <> struct Glue<55> : WholeColour<Glue<55>> {  // east
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    return {lerpFixed(m.red, s.red, s.green), lerpFixed(m.green, s.green, s.blue),
            lerpFixed(m.blue, s.blue, s.red)};
  }
};

template <> struct Glue<56> : WholeColour<Glue<56>> {  // west
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    return {lerpFixed(m.red, s.red, s.blue), lerpFixed(m.green, s.green, s.red),
            lerpFixed(m.blue, s.blue, s.green)};
  }
};

template <> struct Glue<57> : PerChannel<Glue<57>> {  // hard mix
  static int64_t channel(int64_t m, int64_t s) { return m + s <= kOne ? 0 : kOne; }
};

template <> struct Glue<58> : WholeColour<Glue<58>> {  // frontal
  // The material's hue and saturation, as a point on the colour wheel, move towards the
  // source's, the more so the further both are from black and white; the darker lightness
  // wins.
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    constexpr double turn = 2.0 * std::numbers::pi;
    const Hsl hm = hslOf(colourOf(m)), hs = hslOf(colourOf(s));
    const double em = std::abs(2.0 * hm.lightness - 1.0), es = std::abs(2.0 * hs.lightness - 1.0);
    const double w = (1.0 - es * es * es * es) * (1.0 - em * em * em * em);
    const double mx = hm.saturation * std::cos(turn * hm.hue),
                 my = hm.saturation * std::sin(turn * hm.hue);
    const double sx = hs.saturation * std::cos(turn * hs.hue),
                 sy = hs.saturation * std::sin(turn * hs.hue);
    const double x = mx + (sx - mx) * w, y = my + (sy - my) * w;
    double hue = std::atan2(y, x) / turn;
    if (hue < 0.0) hue += 1.0;
    const double saturation = std::min(std::hypot(x, y), 1.0);
    return fixedOf(colourOf(Hsl{hue, saturation, std::min(hm.lightness, hs.lightness)}));
  }
};

template <> struct Glue<59> : WholeColour<Glue<59>> {  // parietal: multiply lightness
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    const Fixed3 lm = labOf(m), ls = labOf(s);
    return rgbOfLab(
        {(ls.red * lm.red) >> 15, overlay(ls.green, lm.green), overlay(ls.blue, lm.blue)});
  }
};

template <> struct Glue<60> : WholeColour<Glue<60>> {  // temporal: screen lightness
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    const Fixed3 lm = labOf(m), ls = labOf(s);
    return rgbOfLab({kOne - (((kOne - ls.red) * (kOne - lm.red)) >> 15),
                     overlay(ls.green, lm.green), overlay(ls.blue, lm.blue)});
  }
};

template <> struct Glue<61> : WholeColour<Glue<61>> {  // occipital: material pins the source
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    const Fixed3 lm = labOf(m), ls = labOf(s);
    return rgbOfLab({pin(ls.red, lm.red), pin(ls.green, lm.green), pin(ls.blue, lm.blue)});
  }
};

template <> struct Glue<62> : WholeColour<Glue<62>> {  // limbic: source pins the material
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    const Fixed3 lm = labOf(m), ls = labOf(s);
    return rgbOfLab({pin(lm.red, ls.red), pin(lm.green, ls.green), pin(lm.blue, ls.blue)});
  }
};

template <> struct Glue<63> : PerChannelFloat<Glue<63>> {  // dextrous
  static float channel(float m, float s) { return float(dextrous(double(s), double(m))); }
};

template <> struct Glue<64> : WholeColour<Glue<64>> {  // sinister
  // The material's hue and saturation at the dextrous mix of the source's brightness and
  // the material's perceived brightness.
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    const Hsl h = hslOf(colourOf(m));
    const double d = dextrous(luma(s), perceived(h));
    return fixedOf(makeColour(h.hue, h.saturation, d));
  }
};

// Anterior and posterior: brightness by a soft multiply of both perceived brightnesses,
// pulled back towards one side's own brightness near black and white; hue and saturation
// from the material (anterior) or the source (posterior).
template <bool Anterior> struct FrontBack : WholeColour<FrontBack<Anterior>> {
  static Fixed3 colour(const Fixed3& m, const Fixed3& s) {
    const Hsl hm = hslOf(colourOf(m)), hs = hslOf(colourOf(s));
    const double pm = perceived(hm), ps = perceived(hs);
    const double a = pm * ps;
    double k = (2.0 - a) * a;
    const double u = Anterior ? pm : ps;
    if (u > 0.8) k = (u - 0.8) * 5.0 * (u - k) + k;
    if (u < 0.2) k = (0.2 - u) * 5.0 * (u - k) + k;
    k = std::clamp(k, 0.0, 1.0);
    const Hsl& keep = Anterior ? hm : hs;
    return fixedOf(makeColour(keep.hue, keep.saturation, k));
  }
};
template <> struct Glue<65> : FrontBack<true> {};
template <> struct Glue<66> : FrontBack<false> {};

template <> struct Glue<67> : PerChannel<Glue<67>> {  // screendim: the screen, squared
  static int64_t channel(int64_t m, int64_t s) {
    const float x = 1.0f - float((kOne - s) * (kOne - m)) / 1073741824.0f;
    return int64_t(x * x * 32768.0f);
  }
};

template <> struct Glue<68> {  // starbright: the material's brightest channel becomes its alpha
  static constexpr bool overwritesMaterial = false;
  static Rgba pixel(const Rgba& m, const Rgba&) {
    const float a = std::min(std::max({m.red, m.green, m.blue}), 1.0f);
    if (!(a > 0.0f)) return {};
    return {m.red / a, m.green / a, m.blue / a, a};
  }
};

// Glow, reflect, shimmer and lustre work on floats and hand their colour back to the
// caller's material.
template <class Mode> struct Luminous : PerChannelFloat<Mode> {
  static constexpr bool overwritesMaterial = true;
};

template <> struct Glue<69> : Luminous<Glue<69>> {  // glow
  static float channel(float m, float s) {
    return 1.0f - s > 0.0f ? std::min(1.0f, m * m / (1.0f - s)) : 1.0f;
  }
};

template <> struct Glue<70> : Luminous<Glue<70>> {  // reflect
  static float channel(float m, float s) {
    return 1.0f - m > 0.0f ? std::min(1.0f, s * s / (1.0f - m)) : 1.0f;
  }
};

// x below one half as it is, above it bent so that it approaches 1 smoothly.
inline float softCeiling(float x) { return x > 0.5f ? 1.0f - 0.25f / x : x; }

template <> struct Glue<71> : Luminous<Glue<71>> {  // shimmer
  static float channel(float m, float s) {
    return 1.0f - s > 0.0f ? softCeiling(m * m / 2.0f / (1.0f - s)) : 1.0f;
  }
};

template <> struct Glue<72> : Luminous<Glue<72>> {  // lustre
  static float channel(float m, float s) {
    return 1.0f - m > 0.0f ? softCeiling(s * s / 2.0f / (1.0f - m)) : 1.0f;
  }
};

template <> struct Glue<73> : PerChannel<Glue<73>> {  // negation
  static int64_t channel(int64_t m, int64_t s) { return m + s <= kOne ? m + s : 2 * kOne - m - s; }
};

template <> struct Glue<74> : PerChannel<Glue<74>> {  // contrast negate
  static int64_t channel(int64_t m, int64_t s) {
    const int64_t t = m > kHalf ? kOne - m : m;
    return s > kHalf ? t : kOne - t;
  }
};

}  // namespace orichalcumite::detail
