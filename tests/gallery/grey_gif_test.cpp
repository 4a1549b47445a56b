// The GIF writer and the frame images, read back with the imaging library.
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <vector>

#include "gallery/frame_images.h"
#include "gallery/grey_gif.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

struct DecodedGif {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

DecodedGif decodeGif(const std::vector<uint8_t>& bytes, const testing::ScratchDir& dir) {
  const std::string path = dir.file("image.gif");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  DecodedGif decoded;
  std::unique_ptr<OIIO::ImageInput> in = OIIO::ImageInput::open(path);
  if (!in) return decoded;
  const OIIO::ImageSpec& spec = in->spec();
  decoded.width = spec.width;
  decoded.height = spec.height;
  std::vector<uint8_t> pixels(static_cast<size_t>(spec.width) * spec.height * spec.nchannels);
  if (!in->read_image(0, 0, 0, spec.nchannels, OIIO::TypeDesc::UINT8, pixels.data())) return {};
  for (size_t i = 0; i < pixels.size(); i += static_cast<size_t>(spec.nchannels))
    decoded.rgb.insert(decoded.rgb.end(), pixels.begin() + static_cast<ptrdiff_t>(i),
                       pixels.begin() + static_cast<ptrdiff_t>(i + 3));
  return decoded;
}

void expectGreys(const DecodedGif& decoded, const std::vector<uint8_t>& indices) {
  ASSERT_EQ(decoded.rgb.size(), indices.size() * 3);
  for (size_t i = 0; i < indices.size(); ++i) {
    const uint8_t grey = greyGifLevel(indices[i]);
    ASSERT_EQ(decoded.rgb[3 * i], grey) << "pixel " << i;
    ASSERT_EQ(decoded.rgb[3 * i + 1], grey) << "pixel " << i;
    ASSERT_EQ(decoded.rgb[3 * i + 2], grey) << "pixel " << i;
  }
}

// Sizes that cross the code-width steps and, with noise, fill the code table several times.
TEST(GreyGif, ReadsBackExactly) {
  const testing::ScratchDir dir;
  std::mt19937 random(3);
  struct Shape {
    int width, height;
    bool noise;
  };
  for (const Shape shape : {Shape{1, 1, false}, Shape{7, 3, true}, Shape{94, 5, false},
                            Shape{64, 64, false}, Shape{200, 150, true}, Shape{301, 211, true}}) {
    SCOPED_TRACE(std::to_string(shape.width) + " x " + std::to_string(shape.height));
    std::vector<uint8_t> indices(static_cast<size_t>(shape.width) * shape.height);
    for (size_t i = 0; i < indices.size(); ++i)
      indices[i] =
          shape.noise ? static_cast<uint8_t>(random() % 16) : static_cast<uint8_t>((i / 7) % 16);
    const DecodedGif decoded = decodeGif(encodeGreyGif(shape.width, shape.height, indices), dir);
    EXPECT_EQ(decoded.width, shape.width);
    EXPECT_EQ(decoded.height, shape.height);
    expectGreys(decoded, indices);
  }
}

TEST(GreyGif, RefusesImpossibleSizes) {
  const std::vector<uint8_t> pixels(4, 0);
  EXPECT_TRUE(encodeGreyGif(0, 4, pixels).empty());
  EXPECT_TRUE(encodeGreyGif(3, 2, pixels).empty());  // fewer pixels than the size needs
  EXPECT_TRUE(encodeGreyGif(70000, 1, pixels).empty());
}

TEST(FrameImages, AreGifsOfTheirSizesWithTheirArtwork) {
  const testing::ScratchDir dir;
  for (const FrameImage& frame : kFrameImages) {
    SCOPED_TRACE(std::string(frame.fileName));
    const DecodedGif decoded = decodeGif(frameImageFile(frame), dir);
    EXPECT_EQ(decoded.width, frame.width);
    EXPECT_EQ(decoded.height, frame.height);
    std::vector<uint8_t> indices;
    for (int y = 0; y < frame.height; ++y)
      for (int x = 0; x < frame.width; ++x) indices.push_back(framePixel(frame, x, y));
    expectGreys(decoded, indices);
  }
  // The frames fit a thumbnail of 88 pixels with 3 on each side.
  EXPECT_EQ(kFrameImages[0].width, 94);
  EXPECT_EQ(kFrameImages[1].height, 88);
  EXPECT_EQ(kFrameImages[3].height, 5);
}

}  // namespace
}  // namespace orichalcumite
