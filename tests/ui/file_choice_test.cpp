#include "ui/file_choice.h"

#include <gtest/gtest.h>

#include <vector>

#include "pictures/picture.h"
#include "render/preview.h"

namespace orichalcumite {
namespace {

TEST(FileFilterTest, SaveAndOpenChoosersOfferTheirOwnTypes) {
  struct Case {
    int type;
    bool save;
    const char* name;  // nullptr: not offered
    const char* patterns;
  };
  const Case cases[] = {
      {0, true, "Bitmap files (*.bmp)", "*.bmp"},
      {0, false, "Bitmap files (*.bmp)", "*.bmp"},
      {1, true, "Orichalcumite presets (*.q5q)", "*.q5q"},
      {1, false, "All Orichalcumite presets (*.q9q, *.q5q)", "*.q9q;*.q5q"},
      {2, true, "Photoshop files (*.psd)", "*.psd"},
      {2, false, nullptr, nullptr},
      {5, true, nullptr, nullptr},
      {5, false, "All files (*.*)", "*.*"},
      {6, true, "Wavefront files (*.obj)", "*.obj"},
      {7, true, nullptr, nullptr},
      {7, false, "All Image Files", kPicturePattern},
      {8, false, nullptr, nullptr},
      {-1, true, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << (c.save ? " save" : " open"));
    const std::optional<FileFilter> filter = fileFilter(c.type, c.save);
    ASSERT_EQ(filter.has_value(), c.name != nullptr);
    if (!filter) continue;
    EXPECT_EQ(filter->name, c.name);
    EXPECT_EQ(filter->patterns, c.patterns);
  }
}

TEST(FileFilterTest, ASavedNameWithoutExtensionGetsTheFirstPatterns) {
  struct Case {
    const char* typed;
    const char* patterns;
    const char* saved;
  };
  const Case cases[] = {
      {"/home/u/rusty", "*.q5q", "/home/u/rusty.q5q"},
      {"/home/u/rusty.q5q", "*.q5q", "/home/u/rusty.q5q"},
      {"/home/u/rusty.old", "*.q5q", "/home/u/rusty.old"},  // an extension of its own stays
      {"/home/u.d/rusty", "*.psd", "/home/u.d/rusty.psd"},  // a dot in a folder is no extension
      {"/home/u/", "*.psd", "/home/u/"},
      {"result", "*.*", "result"},
      {"result", "*.q9q;*.q5q", "result.q9q"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(withDefaultExtension(c.typed, c.patterns), c.saved) << c.typed;
}

TEST(FileFilterTest, PatternsMatchWithoutRegardToCase) {
  struct Case {
    const char* name;
    const char* patterns;
    bool matches;
  };
  const Case cases[] = {
      {"stone.png", kPicturePattern, true},   {"STONE.PNG", kPicturePattern, true},
      {"stone.Jpeg", kPicturePattern, true},  {"stone.jpg", kPicturePattern, true},
      {"stone.pngx", kPicturePattern, false}, {"stone.q5q", kPicturePattern, false},
      {".png", kPicturePattern, false},  // only an ending, no name
      {"old.Q9Q", "*.q9q;*.q5q", true},       {"anything", "*.*", true},
  };
  for (const Case& c : cases) EXPECT_EQ(matchesPatterns(c.name, c.patterns), c.matches) << c.name;
}

TEST(TextureListTest, CancellingThePictureChooserRestoresThePreviousChoice) {
  TextureListChoice choice;
  rememberTextureChoice(choice, 4);
  EXPECT_EQ(textureListSelected(choice, 7), TextureListStep::keep);
  rememberTextureChoice(choice, 7);
  ASSERT_EQ(textureListSelected(choice, kTexturePictureItem), TextureListStep::askForPicture);
  EXPECT_EQ(texturePictureChosen(choice, false), 7);
  EXPECT_EQ(choice.previous, 7);
  // A picture chosen makes the file item the one a later cancel goes back to.
  EXPECT_EQ(texturePictureChosen(choice, true), kTexturePictureItem);
  EXPECT_EQ(texturePictureChosen(choice, false), kTexturePictureItem);
}

TEST(PresetThumbnailTest, TheLargestCentredSquareOfThePreview) {
  struct Case {
    int width, height, left, top, side;
  };
  const Case cases[] = {
      {300, 200, 50, 0, 200}, {200, 301, 0, 50, 200}, {64, 64, 0, 0, 64}, {0, 10, 0, 0, 0}};
  for (const Case& c : cases) {
    const CentredSquare s = largestCentredSquare(c.width, c.height);
    EXPECT_EQ(s.left, c.left);
    EXPECT_EQ(s.top, c.top);
    EXPECT_EQ(s.side, c.side);
  }
}

TEST(PresetThumbnailTest, AveragesTheCentredSquareOfTheColourPlanes) {
  // 6 × 4 preview: the centred square is columns 1..4; its left half red, right half blue;
  // the columns outside it are green and must not show.
  const int width = 6, height = 4;
  std::vector<uint8_t> planes(3 * width * height, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const size_t at = size_t(y * width + x);
      if (x == 0 || x == 5)
        planes[size_t(width * height) + at] = 255;
      else if (x <= 2)
        planes[at] = 255;
      else
        planes[size_t(2 * width * height) + at] = 200;
    }
  PreviewPixels preview;
  preview.planes = planes.data();
  preview.width = width;
  preview.height = height;
  preview.planeCount = 3;
  const std::unique_ptr<Picture> thumbnail = presetThumbnail(preview, 2);
  ASSERT_NE(thumbnail, nullptr);
  ASSERT_EQ(thumbnail->width(), 2);
  const Rgba left = thumbnail->readPicturePixel(0, 1, 0);
  const Rgba right = thumbnail->readPicturePixel(1, 0, 0);
  EXPECT_NEAR(left.red, 1.0f, 1e-3);
  EXPECT_NEAR(left.green, 0.0f, 1e-3);
  EXPECT_NEAR(right.blue, 200 / 255.0f, 1e-3);
  EXPECT_NEAR(right.green, 0.0f, 1e-3);
  // Enlarging a tiny preview repeats its pixels; no preview gives no thumbnail.
  EXPECT_NE(presetThumbnail(preview, 128), nullptr);
  EXPECT_EQ(presetThumbnail(PreviewPixels{}, 128), nullptr);
}

TEST(PresetFolderTest, PicturesFolderIsTakenFromPresetsOnlyWhenNoneIsKnown) {
  EXPECT_EQ(picturesFolderBesidePresets("", "/m/environments and textures/presets"),
            "/m/environments and textures");
  EXPECT_EQ(picturesFolderBesidePresets("", "/m/environments and textures"),
            "/m/environments and textures");
  EXPECT_EQ(picturesFolderBesidePresets("/p", "/m/environments and textures/x"), "");
  EXPECT_EQ(picturesFolderBesidePresets("", "/m/environments and textures old"), "");
  EXPECT_EQ(picturesFolderBesidePresets("", "/m/presets"), "");
}

TEST(ProgressTextTest, PercentagesAreWholeAndBounded) {
  EXPECT_EQ(progressPercent(0.376), "37%");
  EXPECT_EQ(progressPercent(1.0), "100%");
  EXPECT_EQ(progressPercent(1.7), "100%");
  EXPECT_EQ(progressPercent(-0.2), "0%");
}

}  // namespace
}  // namespace orichalcumite
