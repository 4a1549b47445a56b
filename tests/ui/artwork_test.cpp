// The dialog's artwork as the build leaves it: the PNG files the generator wrote and the
// resource bundle made from them.
#include <cairo.h>
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui/artwork/artwork_catalogue.h"
#include "ui/artwork/dialog_artwork.h"
#include "ui/artwork/engine_artwork.h"
#include "ui/artwork/skin_artwork.h"

namespace orichalcumite {
namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

std::string artworkPath(std::string_view name) {
  return std::string(ORICHALCUMITE_ARTWORK_DIR) + "/" + std::string(name);
}

Surface readPng(std::string_view name) {
  return Surface(cairo_image_surface_create_from_png(artworkPath(name).c_str()));
}

// The pixels of a picture as cairo reads them, row by row without the stride's padding.
std::vector<uint32_t> pixelsOf(cairo_surface_t* surface) {
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    const size_t first = pixels.size();
    pixels.resize(first + static_cast<size_t>(width));
    std::memcpy(&pixels[first], data + static_cast<ptrdiff_t>(y) * stride,
                static_cast<size_t>(width) * sizeof(uint32_t));
  }
  return pixels;
}

TEST(ArtworkFiles, everyPictureExistsWithItsExactSizeAndAlpha) {
  for (const ArtworkFile& file : kArtworkFiles) {
    SCOPED_TRACE(std::string(file.name));
    const Surface surface = readPng(file.name);
    ASSERT_EQ(cairo_surface_status(surface.get()), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(surface.get()), file.width);
    EXPECT_EQ(cairo_image_surface_get_height(surface.get()), file.height);
    // cairo reads a PNG with an alpha channel as ARGB32 and one without as RGB24.
    EXPECT_EQ(cairo_image_surface_get_format(surface.get()), CAIRO_FORMAT_ARGB32);
  }
}

TEST(ArtworkFiles, catalogueNamesAreUnique) {
  std::set<std::string_view> names;
  for (const ArtworkFile& file : kArtworkFiles)
    EXPECT_TRUE(names.insert(file.name).second) << file.name;
}

// Pictures of one family must tell their items apart: no two may be the same picture.
TEST(ArtworkFiles, iconFamiliesAreDistinctPictures) {
  struct Family {
    std::vector<std::string> names;
  };
  std::vector<Family> families(3);
  for (int i = 1; i <= kShapeIconCount; ++i)
    families[0].names.push_back("shape-" + std::to_string(i) + ".png");
  for (int i = 1; i <= kTextureIconCount; ++i)
    families[1].names.push_back("texture-" + std::to_string(i) + ".png");
  for (const int id : {202, 203, 208, 210, 211, 212, 213, 214, 215, 216})
    families[2].names.push_back("dot-" + std::to_string(id) + ".png");
  for (const Family& family : families) {
    std::vector<std::vector<uint32_t>> pictures;
    for (const std::string& name : family.names) {
      const Surface surface = readPng(name);
      ASSERT_EQ(cairo_surface_status(surface.get()), CAIRO_STATUS_SUCCESS) << name;
      pictures.push_back(pixelsOf(surface.get()));
    }
    for (size_t a = 0; a < pictures.size(); ++a)
      for (size_t b = a + 1; b < pictures.size(); ++b)
        EXPECT_NE(pictures[a], pictures[b]) << family.names[a] << " and " << family.names[b];
  }
}

TEST(ArtworkFiles, skinIsOpaqueAndPreviewFrameLeavesItsInsideClear) {
  const Surface background = readPng("background.png");
  ASSERT_EQ(cairo_surface_status(background.get()), CAIRO_STATUS_SUCCESS);
  for (const uint32_t p : pixelsOf(background.get())) ASSERT_EQ(p >> 24, 0xffu);

  const Surface frame = readPng("dot-preview-frame.png");
  ASSERT_EQ(cairo_surface_status(frame.get()), CAIRO_STATUS_SUCCESS);
  const std::vector<uint32_t> pixels = pixelsOf(frame.get());
  for (int y = 4; y < 92; ++y)
    for (int x = 4; x < 92; ++x)
      ASSERT_EQ(pixels[static_cast<size_t>(y) * 96 + x] >> 24, 0u) << x << ", " << y;
}

// Alpha 0..255 and grey 0..255 of one pixel as cairo holds it (premultiplied ARGB).
uint32_t alphaAt(const std::vector<uint32_t>& pixels, int width, int x, int y) {
  return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] >> 24;
}
double lumaAt(const std::vector<uint32_t>& pixels, int width, int x, int y) {
  const uint32_t p =
      pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  return 0.3 * ((p >> 16) & 0xff) + 0.59 * ((p >> 8) & 0xff) + 0.11 * (p & 0xff);
}

// Labels are drawn in black 11-pixel text straight on the skin: wherever a label sits, the
// skin must be light.
TEST(ArtworkFiles, skinIsLightWhereLabelsAreDrawn) {
  const Surface background = readPng("background.png");
  ASSERT_EQ(cairo_surface_status(background.get()), CAIRO_STATUS_SUCCESS);
  const std::vector<uint32_t> pixels = pixelsOf(background.get());
  struct LabelColumn {
    int left, right;  // x range of the labels' text
    std::vector<int> sliderTops;
  };
  const LabelColumn columns[] = {
      {44,
       102,
       {57, 85, 112, 140, 167, 196, 225, 254, 283, 312, 340, 368, 509, 537, 565, 593, 621, 649}},
      {729, 777, {458, 486, 513, 540, 567, 595}},
  };
  for (const LabelColumn& column : columns) {
    for (const int top : column.sliderTops) {
      for (int y = top - 1; y < top + 15; ++y)
        for (int x = column.left; x < column.right; ++x)
          ASSERT_GT(lumaAt(pixels, 1006, x, y), 170.0) << x << ", " << y;
    }
  }
}

// The slider thumb for value v starts at 1 + (v - min) * (w - 15) / (max - min), 12 pixels
// wide; a centred track's notch must sit under the middle of the thumb at value 0.
TEST(ArtworkFiles, centredTracksMarkTheThumbsMiddleAtZero) {
  constexpr int kMiddleAtZero = 1 + (0 - -100) * (135 - 15) / 200 + 6;
  for (const char* name : {"track-136.png", "track-133.png", "track-260.png"}) {
    SCOPED_TRACE(name);
    const Surface track = readPng(name);
    ASSERT_EQ(cairo_surface_status(track.get()), CAIRO_STATUS_SUCCESS);
    const std::vector<uint32_t> pixels = pixelsOf(track.get());
    // Above the groove only the notch is drawn.
    for (int x = 0; x < 135; ++x)
      EXPECT_EQ(alphaAt(pixels, 135, x, 0) > 0, x == kMiddleAtZero) << x;
  }
}

// Round icons and the light ball are shapes on transparent ground; the ball must lie under
// every point a light can be dragged to: within 33 pixels of the widget's centre (43, 41).
TEST(ArtworkFiles, roundPicturesStandOnTransparentGround) {
  struct Round {
    std::string name;
    int side;
    int centreX, centreY, solidRadius;
  };
  std::vector<Round> rounds = {{"light-ball.png", 85, 43, 41, 33}};
  for (int i = 1; i <= kShapeIconCount; ++i)
    rounds.push_back({"shape-" + std::to_string(i) + ".png", 16, 8, 8, 5});
  for (const Round& round : rounds) {
    SCOPED_TRACE(round.name);
    const Surface surface = readPng(round.name);
    ASSERT_EQ(cairo_surface_status(surface.get()), CAIRO_STATUS_SUCCESS);
    const std::vector<uint32_t> pixels = pixelsOf(surface.get());
    const int last = round.side - 1;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{last, 0}, std::pair{0, last}})
      EXPECT_EQ(alphaAt(pixels, round.side, x, y), 0u) << "corner " << x << ", " << y;
    for (int y = 0; y < round.side; ++y) {
      for (int x = 0; x < round.side; ++x) {
        const int dx = x - round.centreX, dy = y - round.centreY;
        if (dx * dx + dy * dy <= round.solidRadius * round.solidRadius) {
          ASSERT_EQ(alphaAt(pixels, round.side, x, y), 255u) << x << ", " << y;
        }
      }
    }
  }
}

// A word that does not fit its button icon would be cut at the picture's edge: the outermost
// rows and columns of every word icon stay clear.
TEST(ArtworkFiles, buttonWordsFitInsideTheirIcons) {
  for (const int id : {225, 240, 241, 237, 242, 186, 232}) {
    const std::string name = "icon-" + std::to_string(id) + ".png";
    SCOPED_TRACE(name);
    const Surface icon = readPng(name);
    ASSERT_EQ(cairo_surface_status(icon.get()), CAIRO_STATUS_SUCCESS);
    const std::vector<uint32_t> pixels = pixelsOf(icon.get());
    for (int x = 0; x < 52; ++x) {
      EXPECT_EQ(alphaAt(pixels, 52, x, 0), 0u) << x;
      EXPECT_EQ(alphaAt(pixels, 52, x, 20), 0u) << x;
    }
    for (int y = 0; y < 21; ++y) EXPECT_EQ(alphaAt(pixels, 52, 51, y), 0u) << y;
  }
}

// Reduced to 16 pixels a texture must still show its grain; only "none" (item 1) is flat.
TEST(ArtworkFiles, textureIconsKeepTheirContrast) {
  for (int choice = 1; choice < kTextureIconCount; ++choice) {
    const std::string name = "texture-" + std::to_string(choice) + ".png";
    SCOPED_TRACE(name);
    const Surface icon = readPng(name);
    ASSERT_EQ(cairo_surface_status(icon.get()), CAIRO_STATUS_SUCCESS);
    const std::vector<uint32_t> pixels = pixelsOf(icon.get());
    double low = 255, high = 0;
    for (int y = 1; y < 15; ++y) {
      for (int x = 1; x < 15; ++x) {
        low = std::min(low, lumaAt(pixels, 16, x, y));
        high = std::max(high, lumaAt(pixels, 16, x, y));
      }
    }
    if (choice == 1)
      EXPECT_EQ(high, low);
    else
      EXPECT_GT(high - low, 100.0);
  }
}

// The build's pictures are what the generator makes now, byte for byte: drawing is
// deterministic (fixed seeds, no clock), so a rebuild never changes the bundle by itself.
TEST(ArtworkGenerator, drawsTheSameFilesAsTheBuildWrote) {
  std::string error;
  const std::vector<NamedPicture> pictures = makeDialogArtwork(error);
  ASSERT_EQ(pictures.size(), kArtworkFiles.size()) << error;
  for (const NamedPicture& picture : pictures) {
    SCOPED_TRACE(picture.name);
    gchar* onDisk = nullptr;
    gsize size = 0;
    ASSERT_TRUE(g_file_get_contents(artworkPath(picture.name).c_str(), &onDisk, &size, nullptr));
    EXPECT_TRUE(encodePng(picture.image) == std::string_view(onDisk, size));
    g_free(onDisk);
  }
}

TEST(ArtworkBundle, holdsExactlyTheCataloguePicturesAsWritten) {
  GResource* resource = orichalcumiteDialogResource();
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(orichalcumiteDialogResource(), resource);  // one bundle, made once

  const std::string folder = std::string(kArtworkResourcePrefix) + "/";
  gchar** children = g_resource_enumerate_children(resource, folder.c_str(),
                                                   G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  ASSERT_NE(children, nullptr);
  std::set<std::string> inBundle;
  for (gchar** c = children; *c; ++c) inBundle.insert(*c);
  g_strfreev(children);
  std::set<std::string> listed;
  for (const ArtworkFile& file : kArtworkFiles) listed.insert(std::string(file.name));
  EXPECT_EQ(inBundle, listed);

  for (const ArtworkFile& file : kArtworkFiles) {
    SCOPED_TRACE(std::string(file.name));
    GBytes* bytes = g_resource_lookup_data(resource, (folder + std::string(file.name)).c_str(),
                                           G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    ASSERT_NE(bytes, nullptr);
    gchar* onDisk = nullptr;
    gsize diskSize = 0;
    ASSERT_TRUE(g_file_get_contents(artworkPath(file.name).c_str(), &onDisk, &diskSize, nullptr));
    gsize size = 0;
    const void* data = g_bytes_get_data(bytes, &size);
    EXPECT_EQ(size, diskSize);
    EXPECT_TRUE(size == diskSize && std::memcmp(data, onDisk, size) == 0);
    g_free(onDisk);
    g_bytes_unref(bytes);
  }
}

// Reducing an icon weighs colours by their alpha: transparent ground must not darken or tint
// the edge of a shape.
TEST(ArtworkReduction, transparentPixelsDoNotTintTheAverage) {
  RgbaImage image = blankImage(2, 2);
  uint8_t* red = image.at(1, 0);
  red[0] = 200;
  red[3] = 255;
  // A transparent pixel with a colour of its own (as premultiplied sources can leave).
  uint8_t* ghost = image.at(0, 1);
  ghost[2] = 255;
  const RgbaImage reduced = reduceImage(image, 2);
  ASSERT_EQ(reduced.width, 1);
  const uint8_t* p = reduced.at(0, 0);
  EXPECT_EQ(p[0], 200);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[2], 0);
  EXPECT_EQ(p[3], 64);
}

// The About and Info pictures fill their places on the white boxes: opaque everywhere, the
// Info picture white at its edges, and the About picture not a flat plate (the renderer's
// bevel shows).
TEST(ArtworkFiles, aboutAndInfoPicturesAreOpaqueAndDrawn) {
  for (const char* name : {"about-282.png", "info-332.png"}) {
    SCOPED_TRACE(name);
    const Surface surface = readPng(name);
    ASSERT_EQ(cairo_surface_status(surface.get()), CAIRO_STATUS_SUCCESS);
    const std::vector<uint32_t> pixels = pixelsOf(surface.get());
    uint32_t darkest = 255, lightest = 0;
    for (uint32_t p : pixels) {
      ASSERT_EQ(p >> 24, 255u);
      const uint32_t green = (p >> 8) & 0xff;
      darkest = std::min(darkest, green);
      lightest = std::max(lightest, green);
    }
    EXPECT_GT(lightest - darkest, 120u);
  }
  const Surface info = readPng("info-332.png");
  const std::vector<uint32_t> pixels = pixelsOf(info.get());
  const int width = cairo_image_surface_get_width(info.get());
  for (int corner : {0, width - 1, static_cast<int>(pixels.size()) - 1})
    EXPECT_EQ(pixels[static_cast<size_t>(corner)], 0xffffffffu) << corner;
}

}  // namespace
}  // namespace orichalcumite
