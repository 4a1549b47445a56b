// Whole pages written from generated presets, pictures and memory dots: the files beside the
// page, the cells the files get, what happens to files that cannot be read, and what a real
// browser makes of the result.
#include "gallery/gallery_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/user_messages.h"
#include "gallery/page_text.h"
#include "pictures/effect_pictures.h"
#include "pictures/jpeg_thumbnail.h"
#include "settings/effect_settings.h"
#include "settings/enumerations.h"
#include "settings/settings_file.h"
#include "settings/user_state.h"
#include "tests/gallery/browser_check.h"
#include "tests/support/factory_settings.h"
#include "tests/support/redirected_user_folders.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_pictures.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;

std::string fileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

std::unique_ptr<Picture> flatPicture(int width, int height, int red, int green, int blue) {
  std::unique_ptr<Picture> p =
      createPicture(width, height, PictureKind::rgba8, WrapMode::noPyramid);
  p->fill(red, green, blue, 255);
  return p;
}

// The size of a JPEG file's picture, or 0 x 0 when it does not decode.
PictureSize jpegFileSize(const fs::path& path) {
  std::unique_ptr<OIIO::ImageInput> in = OIIO::ImageInput::open(path.string());
  if (!in) return {};
  return {in->spec().width, in->spec().height};
}

class GalleryPages : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::useBuiltPictureDecoder();
    ASSERT_TRUE(dir_.valid());
    fs::create_directories(source());
    fs::create_directories(pages());
  }
  fs::path source() const { return dir_.path() / "source"; }
  fs::path pages() const { return dir_.path() / "pages"; }
  fs::path images() const { return pages() / "web_images"; }
  std::string page(const std::string& name) const { return (pages() / name).string(); }

  void writePreset(const std::string& name, int glue, int shade) {
    EffectSettings s = testing::factorySettings();
    s.glue = glue;
    const std::unique_ptr<Picture> thumbnail = flatPicture(128, 128, shade, 255 - shade, 90);
    ASSERT_EQ(writeSettingsFile((source() / name).string(), s, thumbnail.get()), 0);
  }

  // Checks the page in a real browser: every image resolves except `missing` (their src
  // attributes), no markup comes from names, and the captions read `captions`.
  void expectBrowserShows(const std::string& pagePath, const std::vector<std::string>& captions,
                          const std::vector<std::string>& missing = {}) {
    std::string failure;
    const std::optional<testing::BrowserView> view =
        testing::viewInBrowser(pagePath, dir_.path().string(), &failure);
    if (!view) {
      if (testing::chromiumProgram().empty()) GTEST_SKIP() << failure;
      FAIL() << failure;
    }
    EXPECT_EQ(view->images, static_cast<int>(captions.size()) * 5);
    EXPECT_EQ(view->brokenImages, missing);
    EXPECT_EQ(view->scripts, 1);  // the check's own
    EXPECT_EQ(view->handlerAttributes, 0);
    EXPECT_EQ(view->captions, captions);
  }

  testing::ScratchDir dir_;
};

TEST_F(GalleryPages, PresetsGetTheirPreviewsCaptionsAndRows) {
  for (int i = 1; i <= 7; ++i) writePreset("preset " + std::to_string(i) + ".q5q", i, 20 * i);
  std::ofstream((source() / "notes.txt").string()) << "not a preset";
  fs::create_directory(source() / "folder.q5q");  // a sub-folder is no preset

  const Result<PageReport> report = writePresetsPage(source().string(), page("presets.html"));
  ASSERT_TRUE(report) << report.message();
  EXPECT_EQ(report->cells, 7);
  EXPECT_EQ(report->thumbnails, 7);
  EXPECT_TRUE(report->problems.empty());

  const std::string text = fileText(page("presets.html"));
  EXPECT_EQ(count(text, "<table id=\"Table_01\""), 7u);
  EXPECT_EQ(count(text, "<p>&nbsp;</p>"), 10u);         // two spacer rows
  EXPECT_EQ(count(text, "<i><font size=\"-1\""), 10u);  // two caption rows
  EXPECT_EQ(count(text, "<p></p>"), 3u);                // fillers after the seventh preset
  EXPECT_NE(text.find("Orichalcumite presets from " + entityEscape(source().string()) + "/<br>"),
            std::string::npos);
  const std::pair<std::string, std::string> lines = [] {
    EffectSettings s = testing::factorySettings();
    s.glue = 3;
    return presetCaptionLines(s);
  }();
  EXPECT_NE(text.find(entityEscape(lines.first) + "<br>\r\n\r\n" + entityEscape(lines.second)),
            std::string::npos);

  for (const auto& frame : {"top.gif", "left.gif", "right.gif", "bottom.gif"})
    EXPECT_TRUE(fs::is_regular_file(images() / frame)) << frame;
  EXPECT_EQ(jpegFileSize(images() / "preset 4.jpg"), (PictureSize{128, 128}));
  expectBrowserShows(page("presets.html"), {"preset 1", "preset 2", "preset 3", "preset 4",
                                            "preset 5", "preset 6", "preset 7"});
}

TEST_F(GalleryPages, CaptionLinesNameGlueBevelTextureAndEnvironment) {
  EffectSettings s = testing::factorySettings();
  s.glue = 1;
  s.shape = 2;
  s.textureChoice = 7;
  auto lines = presetCaptionLines(s);
  EXPECT_EQ(lines.first, std::string(enumName(Enumeration::glueMode, 1)) + " glue, crater bevel");
  EXPECT_EQ(lines.second, "bubbles texture, built-in environment");
  s.textureChoice = 13;
  setText(s.textureName, "Marble.png");
  setText(s.environmentName, "Sky.jpg");
  EXPECT_EQ(presetCaptionLines(s).second, "texture Marble.png, environment Sky.jpg");
  s.textureChoice = 1;
  EXPECT_EQ(presetCaptionLines(s).second, "no texture, environment Sky.jpg");
  setText(s.environmentName, kNoPictureName);
  EXPECT_EQ(presetCaptionLines(s).second, "no texture, built-in environment");
}

TEST_F(GalleryPages, PresetNameIsEscapedInSourceAlternativeAndCaption) {
  writePreset("Gold & Silver.q5q", 5, 200);
  const Result<PageReport> report = writePresetsPage(source().string(), page("p.html"));
  ASSERT_TRUE(report) << report.message();
  const std::string text = fileText(page("p.html"));
  EXPECT_NE(text.find("<img src=\"web_images/Gold%20%26%20Silver.jpg\" alt=\"Gold &amp; "
                      "Silver.jpg\" width=\"88\" height=\"88\" border=\"0\">"),
            std::string::npos);
  EXPECT_NE(text.find("Arial\">Gold &amp; Silver</font>"), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(images() / "Gold & Silver.jpg"));
}

// A file that cannot be read keeps its cell, is reported, and leaves no thumbnail: not even
// one that an earlier page wrote for a file of that name.
TEST_F(GalleryPages, UnreadableFilesKeepTheirCellsWithoutThumbnail) {
  writePreset("good.q5q", 4, 10);
  std::ofstream((source() / "damaged.q5q").string()) << "no settings here";
  EffectSettings plain = testing::factorySettings();
  ASSERT_EQ(writeSettingsFile((source() / "bare.q5q").string(), plain, nullptr), 0);
  fs::create_directories(images());
  std::ofstream((images() / "damaged.jpg").string()) << "stale";

  const Result<PageReport> report = writePresetsPage(source().string(), page("p.html"));
  ASSERT_TRUE(report) << report.message();
  EXPECT_EQ(report->cells, 3);
  EXPECT_EQ(report->thumbnails, 1);
  ASSERT_EQ(report->problems.size(), 2u);
  EXPECT_NE(report->problems[0].find("bare.q5q"), std::string::npos);
  EXPECT_NE(report->problems[1].find("damaged.q5q"), std::string::npos);
  EXPECT_FALSE(fs::exists(images() / "damaged.jpg"));
  EXPECT_NE(fileText(page("p.html")).find("alt=\"damaged.jpg\""), std::string::npos);
  expectBrowserShows(page("p.html"), {"bare", "damaged", "good"},
                     {"web_images/bare.jpg", "web_images/damaged.jpg"});
}

TEST_F(GalleryPages, PicturesAreFittedIntoTheirFrames) {
  ASSERT_TRUE(
      writeJpegFile(*flatPicture(200, 100, 200, 40, 40), (source() / "wide.jpg").string(), 90));
  ASSERT_TRUE(testing::writeTestPicture(
      (source() / "tall.png").string(), 50, 120, 3,
      [](int x, int y, int c) { return static_cast<uint8_t>(x * c + y); }));
  std::ofstream((source() / "broken.gif").string()) << "GIF89a but nothing more";
  std::ofstream((source() / "readme.txt").string()) << "not a picture";

  const Result<PageReport> report = writePicturesPage(source().string(), page("pictures.html"));
  ASSERT_TRUE(report) << report.message();
  EXPECT_EQ(report->cells, 3);
  EXPECT_EQ(report->thumbnails, 2);
  ASSERT_EQ(report->problems.size(), 1u);
  EXPECT_NE(report->problems[0].find("broken.gif"), std::string::npos);

  const std::string text = fileText(page("pictures.html"));
  EXPECT_NE(text.find("<table id=\"Table_01\" width=\"94\" border=\"0\" cellspacing=\"0\" "
                      "cellpadding=\"0\" height=\"51\">"),
            std::string::npos);
  EXPECT_NE(text.find("src=\"web_images/wide.jpg\" alt=\"wide.jpg\" width=\"88\" height=\"44\""),
            std::string::npos);
  EXPECT_NE(text.find("src=\"web_images/tall.jpg\" alt=\"tall.jpg\" width=\"37\" height=\"88\""),
            std::string::npos);
  EXPECT_NE(
      text.find("src=\"web_images/broken.jpg\" alt=\"broken.jpg\" width=\"88\" height=\"88\""),
      std::string::npos);
  EXPECT_EQ(count(text, "<i><font"), 0u);  // no caption rows for pictures
  EXPECT_EQ(jpegFileSize(images() / "wide.jpg"), (PictureSize{88, 44}));
  EXPECT_EQ(jpegFileSize(images() / "tall.jpg"), (PictureSize{37, 88}));
  expectBrowserShows(page("pictures.html"), {"broken", "tall", "wide"}, {"web_images/broken.jpg"});
}

// Files that would share a thumbnail name (the same name with other extensions, or names
// that sanitising makes equal) each get one of their own.
TEST_F(GalleryPages, FilesSharingAThumbnailNameGetTheirOwn) {
  ASSERT_TRUE(writeJpegFile(*flatPicture(40, 40, 250, 0, 0), (source() / "same.jpg").string(), 95));
  ASSERT_TRUE(testing::writeTestPicture(
      (source() / "same.png").string(), 40, 40, 3,
      [](int, int, int c) { return static_cast<uint8_t>(c == 2 ? 250 : 0); }));
  ASSERT_TRUE(testing::writeTestPicture((source() / "a:b.png").string(), 20, 20, 3,
                                        [](int, int, int) { return static_cast<uint8_t>(128); }));
  ASSERT_TRUE(testing::writeTestPicture((source() / "a_b.png").string(), 20, 20, 3,
                                        [](int, int, int) { return static_cast<uint8_t>(30); }));

  const Result<PageReport> report = writePicturesPage(source().string(), page("p.html"));
  ASSERT_TRUE(report) << report.message();
  EXPECT_EQ(report->thumbnails, 4);
  const std::string text = fileText(page("p.html"));
  EXPECT_NE(text.find("src=\"web_images/a%5fb.jpg\" alt=\"a:b.jpg\""), std::string::npos);
  EXPECT_NE(text.find("src=\"web_images/a%5fb%20%282%29.jpg\" alt=\"a_b.jpg\""), std::string::npos);
  EXPECT_NE(text.find("src=\"web_images/same.jpg\" alt=\"same.jpg\""), std::string::npos);
  EXPECT_NE(text.find("src=\"web_images/same%20%282%29.jpg\" alt=\"same.jpg\""), std::string::npos);
  // "same.jpg" sorts first, so the red picture keeps the plain name.
  std::unique_ptr<OIIO::ImageInput> red = OIIO::ImageInput::open((images() / "same.jpg").string());
  std::unique_ptr<OIIO::ImageInput> blue =
      OIIO::ImageInput::open((images() / "same (2).jpg").string());
  ASSERT_TRUE(red && blue);
  ASSERT_EQ(red->spec().nchannels, 3);
  ASSERT_EQ(blue->spec().nchannels, 3);
  std::vector<uint8_t> redRow(static_cast<size_t>(red->spec().width) * 3);
  std::vector<uint8_t> blueRow(static_cast<size_t>(blue->spec().width) * 3);
  ASSERT_TRUE(red->read_scanline(10, 0, OIIO::TypeDesc::UINT8, redRow.data()));
  ASSERT_TRUE(blue->read_scanline(10, 0, OIIO::TypeDesc::UINT8, blueRow.data()));
  EXPECT_GT(redRow[30], 200);
  EXPECT_GT(blueRow[32], 200);
  expectBrowserShows(page("p.html"), {"a:b", "a_b", "same", "same"});
}

TEST_F(GalleryPages, HostileAndForeignNamesStayText) {
  const std::vector<std::string> names = {"<script>alert(1)<\\script>",
                                          "<img src=x onerror=alert(1)>", "a\"b", "Caf\xC3\xA9",
                                          "x & y \xE2\x82\xAC"};
  for (const std::string& name : names) {
    writePreset(name + ".q5q", 2, 90);
    ASSERT_TRUE(
        testing::writeTestPicture((source() / (name + ".png")).string(), 30, 20, 3,
                                  [](int x, int, int) { return static_cast<uint8_t>(8 * x); }));
  }
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());

  const Result<PageReport> presets = writePresetsPage(source().string(), page("presets.html"));
  ASSERT_TRUE(presets) << presets.message();
  EXPECT_TRUE(presets->problems.empty());
  const std::string text = fileText(page("presets.html"));
  EXPECT_EQ(text.find("<script"), std::string::npos);
  EXPECT_EQ(text.find("<img src=x"), std::string::npos);
  EXPECT_EQ(text.find("a\"b"), std::string::npos);
  for (const char c : text) ASSERT_LT(static_cast<unsigned char>(c), 128u);  // all escaped
  EXPECT_NE(text.find("src=\"web_images/Caf%c3%a9.jpg\" alt=\"Caf&eacute;.jpg\""),
            std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(images() / "Caf\xC3\xA9.jpg"));
  expectBrowserShows(page("presets.html"), sorted);

  const Result<PageReport> pictures = writePicturesPage(source().string(), page("pictures.html"));
  ASSERT_TRUE(pictures) << pictures.message();
  EXPECT_TRUE(pictures->problems.empty());
  expectBrowserShows(page("pictures.html"), sorted);
}

TEST_F(GalleryPages, EmptyFolderGivesAnEmptyTable) {
  const Result<PageReport> report = writePresetsPage(source().string(), page("empty.html"));
  ASSERT_TRUE(report) << report.message();
  EXPECT_EQ(report->cells, 0);
  const std::string text = fileText(page("empty.html"));
  EXPECT_NE(text.find("align=\"center\"></table><br>\r\n</body></html>"), std::string::npos);
  expectBrowserShows(page("empty.html"), {});
}

TEST_F(GalleryPages, PageThatCannotBeWrittenFailsWithoutPage) {
  writePreset("one.q5q", 2, 90);
  const std::string missingFolder = (dir_.path() / "absent" / "page.html").string();
  const Result<PageReport> report = writePresetsPage(source().string(), missingFolder);
  EXPECT_FALSE(report);
  EXPECT_FALSE(fs::exists(missingFolder));

  const Result<PageReport> noSource =
      writePresetsPage((dir_.path() / "nowhere").string(), page("p.html"));
  EXPECT_FALSE(noSource);
  EXPECT_FALSE(fs::exists(page("p.html")));

  // An old page stays whole when the new one cannot be written over it.
  std::ofstream(page("old.html")) << "old page";
  std::ofstream((pages() / "web_images").string()) << "a file where the folder belongs";
  EXPECT_FALSE(writePresetsPage(source().string(), page("old.html")));
  EXPECT_EQ(fileText(page("old.html")), "old page");
}

class SilentMessages final : public UserMessages {
 public:
  void tell(const char*, const char*) override {}
};

TEST_F(GalleryPages, MemoryDotsAreRenderedOverTheImageWithoutTouchingTheUsersEffect) {
  testing::RedirectedUserFolders folders;
  UserState user{};
  for (const int dot : {3, 7}) {
    EffectSettings s = testing::factorySettings();
    s.glue = 10 + dot;
    ASSERT_EQ(storeDot(dot, s, flatPicture(128, 128, 1, 2, 3).get(), user).code, 0);
  }
  EffectSettings current = testing::factorySettings();
  current.glue = 50;
  ASSERT_TRUE(saveCachedSettings(current));
  const std::string cachedPath = stateFilePath(kCachedSettingsFileName);
  const std::string cachedBefore = fileText(cachedPath);

  const std::unique_ptr<Picture> image = flatPicture(600, 300, 30, 60, 90);
  std::vector<int> renderedGlues;
  SilentMessages messages;
  MemoryDotsPageRequest request;
  request.stored[2] = request.stored[6] = true;
  request.stored[8] = true;  // marked stored, but its file is missing
  request.image = image.get();
  request.messages = &messages;
  request.render = [&](const EffectSettings& effect, EffectPictures&, const Picture& source) {
    renderedGlues.push_back(effect.glue);
    EXPECT_EQ(source.width(), 300);
    EXPECT_EQ(source.height(), 150);
    return flatPicture(source.width(), source.height(), 10 * effect.glue, 0, 0);
  };
  const Result<PageReport> report = writeMemoryDotsPage(page("dots.html"), request);
  ASSERT_TRUE(report) << report.message();
  EXPECT_EQ(renderedGlues, (std::vector<int>{13, 17}));
  EXPECT_EQ(report->cells, 3);
  EXPECT_EQ(report->thumbnails, 2);
  ASSERT_EQ(report->problems.size(), 1u);
  EXPECT_NE(report->problems[0].find("9"), std::string::npos);
  EXPECT_EQ(jpegFileSize(images() / "dot 3.jpg"), (PictureSize{300, 150}));
  EXPECT_EQ(fileText(cachedPath), cachedBefore);

  const std::string text = fileText(page("dots.html"));
  EXPECT_NE(text.find("<b>Orichalcumite images from  memory dots <br>"), std::string::npos);
  EXPECT_NE(
      text.find("src=\"web_images/dot%207.jpg\" alt=\"dot 7.jpg\" width=\"300\" height=\"150\""),
      std::string::npos);
  expectBrowserShows(page("dots.html"), {"dot 3", "dot 7", "dot 9"}, {"web_images/dot%209.jpg"});
}

TEST_F(GalleryPages, NoStoredDotGivesAnEmptyTable) {
  testing::RedirectedUserFolders folders;
  const std::unique_ptr<Picture> image = flatPicture(40, 80, 30, 60, 90);
  SilentMessages messages;
  MemoryDotsPageRequest request;
  request.image = image.get();
  request.messages = &messages;
  request.render = [](const EffectSettings&, EffectPictures&, const Picture&) {
    ADD_FAILURE() << "nothing to render";
    return std::unique_ptr<Picture>();
  };
  const Result<PageReport> report = writeMemoryDotsPage(page("dots.html"), request);
  ASSERT_TRUE(report) << report.message();
  EXPECT_EQ(report->cells, 0);
  EXPECT_NE(fileText(page("dots.html")).find("align=\"center\"></table><br>"), std::string::npos);
}

}  // namespace
}  // namespace orichalcumite
