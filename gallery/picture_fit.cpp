#include "gallery/picture_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orichalcumite {
namespace {

// The source pixels a target pixel covers along one axis, with the share of each.
struct Span {
  int first = 0;
  std::vector<float> weights;  // sum to 1
};

std::vector<Span> coverage(int sourceLength, int targetLength) {
  std::vector<Span> spans(static_cast<size_t>(targetLength));
  const double scale = static_cast<double>(sourceLength) / targetLength;
  for (int t = 0; t < targetLength; ++t) {
    const double from = t * scale;
    const double to = (t + 1) * scale;
    Span& span = spans[static_cast<size_t>(t)];
    span.first = std::clamp(static_cast<int>(std::floor(from)), 0, sourceLength - 1);
    const int last = std::clamp(static_cast<int>(std::ceil(to)) - 1, span.first, sourceLength - 1);
    double total = 0.0;
    for (int s = span.first; s <= last; ++s) {
      const double share = std::min<double>(s + 1, to) - std::max<double>(s, from);
      span.weights.push_back(static_cast<float>(std::max(share, 0.0)));
      total += std::max(share, 0.0);
    }
    for (float& w : span.weights)
      w = total > 0.0 ? static_cast<float>(static_cast<double>(w) / total) : 1.0f;
  }
  return spans;
}

}  // namespace

PictureSize fittedSize(int width, int height, int side) {
  if (width <= 0 || height <= 0) return {side, side};
  const auto scaled = [&](int length, int larger) {
    const long rounded =
        std::lround(static_cast<double>(length) * side / static_cast<double>(larger));
    return static_cast<int>(std::clamp<long>(rounded, 1, side));
  };
  if (width >= height) return {side, scaled(height, width)};
  return {scaled(width, height), side};
}

std::unique_ptr<Picture> resizedPicture(const Picture& source, int width, int height) {
  if (width <= 0 || height <= 0 || source.width() <= 0 || source.height() <= 0) return nullptr;
  std::unique_ptr<Picture> out =
      createPicture(width, height, PictureKind::rgba8, WrapMode::noPyramid);
  if (!out) return nullptr;
  const std::vector<Span> columns = coverage(source.width(), width);
  const std::vector<Span> rows = coverage(source.height(), height);
  std::vector<Rgba> line(static_cast<size_t>(source.width()));
  for (int y = 0; y < height; ++y) {
    // First the rows this target row covers, blended into one line of the source's width.
    const Span& rowSpan = rows[static_cast<size_t>(y)];
    std::fill(line.begin(), line.end(), Rgba{});
    for (size_t k = 0; k < rowSpan.weights.size(); ++k) {
      const int sy = rowSpan.first + static_cast<int>(k);
      const float w = rowSpan.weights[k];
      for (int sx = 0; sx < source.width(); ++sx) {
        const Rgba p = source.readPicturePixel(sx, sy, 0);
        Rgba& acc = line[static_cast<size_t>(sx)];
        acc.red += w * p.red;
        acc.green += w * p.green;
        acc.blue += w * p.blue;
      }
    }
    for (int x = 0; x < width; ++x) {
      const Span& columnSpan = columns[static_cast<size_t>(x)];
      Rgba sum{};
      for (size_t k = 0; k < columnSpan.weights.size(); ++k) {
        const Rgba& p = line[static_cast<size_t>(columnSpan.first) + k];
        const float w = columnSpan.weights[k];
        sum.red += w * p.red;
        sum.green += w * p.green;
        sum.blue += w * p.blue;
      }
      out->writeFloat(x, y, 0,
                      {std::clamp(sum.red, 0.0f, 1.0f), std::clamp(sum.green, 0.0f, 1.0f),
                       std::clamp(sum.blue, 0.0f, 1.0f), 1.0f});
    }
  }
  return out;
}

}  // namespace orichalcumite
