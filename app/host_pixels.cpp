#include "app/host_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orichalcumite {
namespace {

template <typename T> T load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}

template <typename T> void store(uint8_t* p, T v) { std::memcpy(p, &v, sizeof(T)); }

uint8_t byteFromSample(double v, SampleType type) {
  switch (type) {
    case SampleType::uint8: return static_cast<uint8_t>(v);
    case SampleType::uint16: return static_cast<uint8_t>((uint32_t(v) * 255u + 32767u) / 65535u);
    case SampleType::float32: {
      if (!(v > 0.0)) return 0;  // also NaN
      if (v >= 1.0) return 255;
      return static_cast<uint8_t>(std::lround(v * 255.0));
    }
  }
  return 0;
}

// Host sample `index` of a pixel as double.
double hostSample(const uint8_t* pixel, int index, SampleType type) {
  switch (type) {
    case SampleType::uint8: return pixel[index];
    case SampleType::uint16: return load<uint16_t>(pixel + 2 * index);
    case SampleType::float32: return static_cast<double>(load<float>(pixel + 4 * index));
  }
  return 0;
}

void setHostSample(uint8_t* pixel, int index, SampleType type, double value) {
  switch (type) {
    case SampleType::uint8:
      pixel[index] = static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
      break;
    case SampleType::uint16:
      store(pixel + 2 * index, static_cast<uint16_t>(std::clamp(std::lround(value), 0L, 65535L)));
      break;
    case SampleType::float32: store(pixel + 4 * index, static_cast<float>(value)); break;
  }
}

// Integer blend src + (dst - src) × m / 255, rounded half away from zero.
int64_t blendInteger(int64_t src, int64_t dst, int m) {
  const int64_t d = (dst - src) * m;
  return src + (d >= 0 ? (d + 127) / 255 : -((-d + 127) / 255));
}

template <typename T>
void applyTyped(Image& image, const HostPlanes& result, std::span<const uint8_t> mask,
                ResultRule rule, int firstRow, int endRow) {
  const int colours = image.colourChannels();
  const int channels = image.channels();
  const size_t pixelBytes = size_t(channels) * sizeof(T);
  for (int y = firstRow; y < endRow; ++y) {
    uint8_t* fileRow = image.data() + size_t(y) * image.rowBytes();
    for (int x = 0; x < image.width(); ++x) {
      const size_t p = size_t(y) * size_t(image.width()) + size_t(x);
      const int m = mask.empty() ? 255 : mask[p];
      if (m == 0 && !rule.writesOutsideSelection) continue;
      uint8_t* file = fileRow + size_t(x) * pixelBytes;
      const uint8_t* out = result.pixel(x, y);
      for (int c = 0; c < colours; ++c) {
        const T fileValue = load<T>(file + c * sizeof(T));
        const T dst = load<T>(out + c * sizeof(T));
        if constexpr (std::is_same_v<T, float>) {
          const float src = fileValue;  // float samples are the same in both units
          const float value =
              rule.autoMask && m < 255 ? src + (dst - src) * (static_cast<float>(m) / 255.0f) : dst;
          if (std::memcmp(&value, &src, sizeof value) != 0) store(file + c * sizeof(T), value);
        } else {
          const int64_t src = std::is_same_v<T, uint16_t> ? hostFromFile16(fileValue) : fileValue;
          const int64_t value = rule.autoMask ? blendInteger(src, dst, m) : dst;
          if (value == src) continue;  // unchanged: the file value stays exactly as it was
          if constexpr (std::is_same_v<T, uint16_t>)
            store(file + c * sizeof(T), fileFromHost16(static_cast<uint16_t>(value)));
          else
            store(file + c * sizeof(T), static_cast<T>(value));
        }
      }
    }
  }
}

// Sample `channel` of every pixel of `image`, mapped to a byte by `toByte`, into `out` (one
// byte per pixel).
template <typename T, typename ToByte>
void forEachSample(const Image& image, int channel, uint8_t* out, ToByte toByte) {
  const size_t stride = size_t(image.channels());
  const size_t count = image.pixelCount();
  const uint8_t* in = image.data() + size_t(channel) * sizeof(T);
  for (size_t i = 0; i < count; ++i) out[i] = uint8_t(toByte(load<T>(in + i * stride * sizeof(T))));
}

// One channel of every pixel as 0..255 bytes (see maskBytesFromImage).
HostBytes channelBytes(const Image& image, int channel) {
  HostBytes bytes(image.pixelCount());
  switch (image.type()) {
    case SampleType::uint8:
      if (image.channels() == 1) {
        std::memcpy(bytes.data(), image.data(), bytes.size());
        break;
      }
      forEachSample<uint8_t>(image, channel, bytes.data(), [](uint8_t v) { return v; });
      break;
    case SampleType::uint16:
      forEachSample<uint16_t>(image, channel, bytes.data(), [](uint16_t v) {
        return byteFromSample(v, SampleType::uint16);
      });
      break;
    case SampleType::float32:
      forEachSample<float>(image, channel, bytes.data(), [](float v) {
        return byteFromSample(static_cast<double>(v), SampleType::float32);
      });
      break;
  }
  return bytes;
}

}  // namespace

uint16_t hostFromFile16(uint16_t fileValue) {
  return static_cast<uint16_t>((uint64_t(fileValue) * 2u * 32768u + 65535u) / (2u * 65535u));
}

uint16_t fileFromHost16(uint16_t hostValue) {
  const uint64_t f = (uint64_t(hostValue) * 2u * 65535u + 32768u) / (2u * 32768u);
  return static_cast<uint16_t>(std::min<uint64_t>(f, 65535u));
}

HostPlanes hostColourPlanes(const Image& image) {
  HostPlanes planes;
  planes.width = image.width();
  planes.height = image.height();
  planes.planes = image.colourChannels();
  planes.type = image.type();
  const size_t bps = sampleSize(image.type());
  const size_t fileStride = size_t(image.channels()) * bps;
  const size_t colourBytes = size_t(planes.planes) * bps;
  // Without alpha, 8-bit and float samples are the file's bytes as they stand: one copy.
  if (fileStride == colourBytes && image.type() != SampleType::uint16) {
    planes.bytes.assign(image.data(), image.data() + planes.rowBytes() * size_t(planes.height));
    return planes;
  }
  planes.bytes.resize(planes.rowBytes() * size_t(planes.height));
  for (int y = 0; y < image.height(); ++y) {
    const uint8_t* src = image.data() + size_t(y) * image.rowBytes();
    uint8_t* dst = planes.pixel(0, y);
    for (int x = 0; x < image.width(); ++x, src += fileStride, dst += colourBytes) {
      if (image.type() == SampleType::uint16) {
        for (int c = 0; c < planes.planes; ++c)
          store(dst + 2 * c, hostFromFile16(load<uint16_t>(src + 2 * c)));
      } else {
        std::memcpy(dst, src, colourBytes);
      }
    }
  }
  return planes;
}

HostPlanes lentColourPlanes(const Image& image) {
  const bool same = image.colourChannels() == image.channels() &&
                    image.type() != SampleType::uint16;
  if (!same) return hostColourPlanes(image);
  HostPlanes planes;
  planes.width = image.width();
  planes.height = image.height();
  planes.planes = image.colourChannels();
  planes.type = image.type();
  planes.lent = image.data();
  return planes;
}

HostPlanes ownedCopy(const HostPlanes& planes) {
  HostPlanes copy;
  copy.width = planes.width;
  copy.height = planes.height;
  copy.planes = planes.planes;
  copy.type = planes.type;
  const uint8_t* data = planes.data();
  copy.bytes.assign(data, data + planes.rowBytes() * size_t(planes.height));
  return copy;
}

HostBytes maskBytesFromImage(const Image& image) { return channelBytes(image, 0); }

HostBytes alphaBytes(const Image& image) {
  if (!image.hasAlpha()) return {};
  return channelBytes(image, image.channels() - 1);
}

HostBytes transparentPixels(const Image& image) {
  if (!image.hasAlpha()) return {};
  HostBytes flags(image.pixelCount());
  const int a = image.channels() - 1;
  switch (image.type()) {
    case SampleType::uint8:
      forEachSample<uint8_t>(image, a, flags.data(), [](uint8_t v) { return v == 0 ? 1 : 0; });
      break;
    case SampleType::uint16:
      forEachSample<uint16_t>(image, a, flags.data(), [](uint16_t v) { return v == 0 ? 1 : 0; });
      break;
    case SampleType::float32:
      forEachSample<float>(image, a, flags.data(), [](float v) { return v == 0.0f ? 1 : 0; });
      break;
  }
  return flags;
}

HostBytes multiplyMasks(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  HostBytes product(std::min(a.size(), b.size()));
  for (size_t i = 0; i < product.size(); ++i)
    product[i] = static_cast<uint8_t>((unsigned(a[i]) * unsigned(b[i]) + 127u) / 255u);
  return product;
}

void defringe(HostPlanes& planes, std::span<const uint8_t> transparent) {
  const int w = planes.width;
  const int h = planes.height;
  const size_t count = size_t(w) * size_t(h);
  if (transparent.size() != count) return;
  // 0 unfilled, 1 filled before the current ring, 2 queued in the current ring.
  std::vector<uint8_t> state(count);
  for (size_t i = 0; i < count; ++i) state[i] = transparent[i] ? 0 : 1;
  if (std::find(state.begin(), state.end(), uint8_t(1)) == state.end()) return;

  auto forNeighbours = [&](size_t i, auto&& visit) {
    const int x = int(i % size_t(w));
    const int y = int(i / size_t(w));
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        if (dx == 0 && dy == 0) continue;
        const int nx = x + dx;
        const int ny = y + dy;
        if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
        visit(size_t(ny) * size_t(w) + size_t(nx));
      }
  };

  std::vector<size_t> ring;
  for (size_t i = 0; i < count; ++i) {
    if (state[i] != 0) continue;
    bool touches = false;
    forNeighbours(i, [&](size_t n) { touches = touches || state[n] == 1; });
    if (touches) {
      state[i] = 2;
      ring.push_back(i);
    }
  }

  std::vector<double> values;
  std::vector<size_t> next;
  while (!ring.empty()) {
    values.assign(ring.size() * size_t(planes.planes), 0.0);
    for (size_t r = 0; r < ring.size(); ++r) {
      int n = 0;
      forNeighbours(ring[r], [&](size_t nb) {
        if (state[nb] != 1) return;
        const uint8_t* px = planes.pixel(int(nb % size_t(w)), int(nb / size_t(w)));
        for (int c = 0; c < planes.planes; ++c)
          values[r * size_t(planes.planes) + size_t(c)] += hostSample(px, c, planes.type);
        ++n;
      });
      for (int c = 0; c < planes.planes; ++c) values[r * size_t(planes.planes) + size_t(c)] /= n;
    }
    next.clear();
    for (size_t r = 0; r < ring.size(); ++r) {
      const size_t i = ring[r];
      uint8_t* px = planes.pixel(int(i % size_t(w)), int(i / size_t(w)));
      for (int c = 0; c < planes.planes; ++c)
        setHostSample(px, c, planes.type, values[r * size_t(planes.planes) + size_t(c)]);
    }
    for (size_t i : ring) state[i] = 1;
    for (size_t i : ring)
      forNeighbours(i, [&](size_t nb) {
        if (state[nb] == 0) {
          state[nb] = 2;
          next.push_back(nb);
        }
      });
    ring.swap(next);
  }
}

void fillTransparent(HostPlanes& planes, std::span<const uint8_t> transparent, double value) {
  if (transparent.size() != size_t(planes.width) * size_t(planes.height)) return;
  for (size_t i = 0; i < transparent.size(); ++i) {
    if (!transparent[i]) continue;
    uint8_t* px = planes.pixel(int(i % size_t(planes.width)), int(i / size_t(planes.width)));
    for (int c = 0; c < planes.planes; ++c) setHostSample(px, c, planes.type, value);
  }
}

void applyResult(Image& image, const HostPlanes& result, std::span<const uint8_t> mask,
                 ResultRule rule) {
  applyResultRows(image, result, mask, rule, 0, image.height());
}

void applyResultRows(Image& image, const HostPlanes& result, std::span<const uint8_t> mask,
                     ResultRule rule, int firstRow, int endRow) {
  if (result.width != image.width() || result.height != image.height() ||
      result.planes != image.colourChannels() || result.type != image.type())
    return;
  if (!mask.empty() && mask.size() != image.pixelCount()) return;
  firstRow = std::clamp(firstRow, 0, image.height());
  endRow = std::clamp(endRow, firstRow, image.height());
  switch (image.type()) {
    case SampleType::uint8: applyTyped<uint8_t>(image, result, mask, rule, firstRow, endRow); break;
    case SampleType::uint16:
      applyTyped<uint16_t>(image, result, mask, rule, firstRow, endRow);
      break;
    case SampleType::float32: applyTyped<float>(image, result, mask, rule, firstRow, endRow); break;
  }
}

}  // namespace orichalcumite
