#pragma once

// Per-layout helpers for the picture kernels. Each format says how one stored texel turns
// into channel numbers and back, so a kernel is written once as a template and the layout
// switch happens once per call, outside every pixel loop.

#include <cstdint>

#include "pictures/picture.h"
#include "pictures/rgba.h"
#include "pictures/sampler_weights.h"

namespace orichalcumite::detail {

struct Rgba16Texel {
  std::uint16_t red, green, blue, alpha;
};

struct RgbaFloatTexel {
  float red, green, blue, alpha;
};

// Integer layouts sum 8-bit channels with the 2048 weights in 32 bits: the largest sum of
// absolute weights in a row is 2428, and 2428^2 x 255 < 2^31 (a test keeps that true).
// 16-bit channels with the 32768 weights need 64 bits.
struct Grey8Format {
  using Texel = std::uint8_t;
  using Value = std::int32_t;
  using RowSum = std::int32_t;
  using TotalSum = std::int32_t;
  static constexpr int kChannels = 1;
  static constexpr bool kIsFloat = false;
  static constexpr int kWeightBits = 8;
  static constexpr float kSampleScale = 0x1p-22f;  // 2048 x 2048
  static constexpr float kOpaque = 255.0f;
  static constexpr std::int32_t kMax = 255;
  static void unpack(Texel t, Value* v) { v[0] = t; }
  static Texel pack(const Value* v) { return static_cast<Texel>(v[0] & 0xff); }
};

struct Grey16Format {
  using Texel = std::uint16_t;
  using Value = std::int32_t;
  using RowSum = std::int64_t;
  using TotalSum = std::int64_t;
  static constexpr int kChannels = 1;
  static constexpr bool kIsFloat = false;
  static constexpr int kWeightBits = 16;
  static constexpr float kSampleScale = 0x1p-30f;  // 32768 x 32768
  static constexpr float kOpaque = 32768.0f;
  static constexpr std::int32_t kMax = 65535;
  static void unpack(Texel t, Value* v) { v[0] = t; }
  static Texel pack(const Value* v) { return static_cast<Texel>(v[0] & 0xffff); }
};

struct Rgba8Format {
  using Texel = std::uint32_t;  // red in the top byte, alpha in the bottom one
  using Value = std::int32_t;
  using RowSum = std::int32_t;
  using TotalSum = std::int32_t;
  static constexpr int kChannels = 4;
  static constexpr bool kIsFloat = false;
  static constexpr int kWeightBits = 8;
  static constexpr float kSampleScale = 0x1p-22f;
  static constexpr float kOpaque = 255.0f;
  static constexpr std::int32_t kMax = 255;
  static void unpack(Texel t, Value* v) {
    v[0] = static_cast<Value>(t >> 24);
    v[1] = static_cast<Value>((t >> 16) & 0xff);
    v[2] = static_cast<Value>((t >> 8) & 0xff);
    v[3] = static_cast<Value>(t & 0xff);
  }
  static Texel pack(const Value* v) {
    return (static_cast<std::uint32_t>(v[0]) & 0xff) << 24 |
           (static_cast<std::uint32_t>(v[1]) & 0xff) << 16 |
           (static_cast<std::uint32_t>(v[2]) & 0xff) << 8 |
           (static_cast<std::uint32_t>(v[3]) & 0xff);
  }
};

struct Rgba16Format {
  using Texel = Rgba16Texel;
  using Value = std::int32_t;
  using RowSum = std::int64_t;
  using TotalSum = std::int64_t;
  static constexpr int kChannels = 4;
  static constexpr bool kIsFloat = false;
  static constexpr int kWeightBits = 16;
  static constexpr float kSampleScale = 0x1p-30f;
  static constexpr float kOpaque = 32768.0f;
  static constexpr std::int32_t kMax = 65535;
  static void unpack(const Texel& t, Value* v) {
    v[0] = t.red;
    v[1] = t.green;
    v[2] = t.blue;
    v[3] = t.alpha;
  }
  static Texel pack(const Value* v) {
    return {static_cast<std::uint16_t>(v[0] & 0xffff), static_cast<std::uint16_t>(v[1] & 0xffff),
            static_cast<std::uint16_t>(v[2] & 0xffff), static_cast<std::uint16_t>(v[3] & 0xffff)};
  }
};

struct GreyFloatFormat {
  using Texel = float;
  using Value = float;
  using RowSum = float;
  using TotalSum = float;
  static constexpr int kChannels = 1;
  static constexpr bool kIsFloat = true;
  static constexpr int kWeightBits = 0;
  static constexpr float kSampleScale = 1.0f;
  static constexpr float kOpaque = 1.0f;
  static void unpack(Texel t, Value* v) { v[0] = t; }
  static Texel pack(const Value* v) { return v[0]; }
};

struct RgbaFloatFormat {
  using Texel = RgbaFloatTexel;
  using Value = float;
  using RowSum = float;
  using TotalSum = float;
  static constexpr int kChannels = 4;
  static constexpr bool kIsFloat = true;
  static constexpr int kWeightBits = 0;
  static constexpr float kSampleScale = 1.0f;
  static constexpr float kOpaque = 1.0f;
  static void unpack(const Texel& t, Value* v) {
    v[0] = t.red;
    v[1] = t.green;
    v[2] = t.blue;
    v[3] = t.alpha;
  }
  static Texel pack(const Value* v) { return {v[0], v[1], v[2], v[3]}; }
};

// Channel values (storage units) as a pixel; grey goes to red, green and blue with an
// opaque alpha in the layout's own units.
template <class Format> Rgba channelsToRgba(const float* v) {
  if constexpr (Format::kChannels == 1) {
    return {v[0], v[0], v[0], Format::kOpaque};
  } else {
    return {v[0], v[1], v[2], v[3]};
  }
}

// Calls `body(Format{})` with the format of `kind`; the one place the layout is switched on.
template <class Body> decltype(auto) withTexelFormat(PictureKind kind, Body&& body) {
  switch (kind) {
    case PictureKind::grey8: return body(Grey8Format{});
    case PictureKind::grey16: return body(Grey16Format{});
    case PictureKind::rgba8: return body(Rgba8Format{});
    case PictureKind::rgba16: return body(Rgba16Format{});
    case PictureKind::greyFloat: return body(GreyFloatFormat{});
    case PictureKind::rgbaFloat: break;
  }
  return body(RgbaFloatFormat{});
}

}  // namespace orichalcumite::detail
