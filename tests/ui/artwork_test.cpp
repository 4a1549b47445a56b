// The dialog's artwork as the build leaves it: the PNG files the generator wrote and the
// resource bundle made from them.
#include <cairo.h>
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui/artwork/artwork_catalogue.h"
#include "ui/artwork/dialog_artwork.h"
#include "ui/artwork/engine_artwork.h"

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

}  // namespace
}  // namespace orichalcumite
