// The small windows' plain rules: where a window opens, the message texts and their markers,
// Preset Management's choices, and the pictures and folders the gallery actions use.
#include "ui/secondary_dialogs.h"

#include <gtest/gtest.h>

#include "pictures/picture.h"

namespace orichalcumite {
namespace {

TEST(PlaceWindow, FollowsTheRuleAndStaysOnScreen) {
  struct Case {
    const char* what;
    WindowRect parent;
    int width, height;
    bool closeButton;
    int screenWidth, screenHeight;
    WindowRect expected;
  };
  const Case cases[] = {
      // (1006 − 286) / 2 = 360, less 18; (687 − 282) / 3 = 135.
      {"centred over the parent",
       {100, 50, 1006, 687},
       286,
       282,
       true,
       1280,
       800,
       {442, 185, 286, 282}},
      // Without a close button the shift is 18 − 18 / 3 = 12.
      {"no close button", {100, 50, 1006, 687}, 286, 282, false, 1280, 800, {448, 185, 286, 282}},
      // An odd free width is halved by a shift: (101 >> 1) = 50.
      {"odd free width", {200, 0, 387, 300}, 286, 0, true, 1280, 800, {232, 100, 286, 0}},
      {"parent smaller than the window",
       {300, 200, 100, 100},
       286,
       282,
       true,
       1280,
       800,
       {282, 200, 286, 282}},
      {"pushed back from the right edge",
       {1200, 100, 200, 200},
       286,
       282,
       true,
       1280,
       800,
       {994, 100, 286, 282}},
      {"pushed back from the bottom",
       {0, 700, 1280, 100},
       286,
       282,
       true,
       1280,
       800,
       {479, 518, 286, 282}},
      {"larger than the screen",
       {100, 100, 500, 500},
       1400,
       900,
       true,
       1280,
       800,
       {0, 0, 1400, 900}},
      {"never off the left edge", {0, 0, 286, 282}, 286, 282, true, 1280, 800, {0, 0, 286, 282}},
      {"no parent: the desktop", {0, 0, 1280, 800}, 706, 693, true, 1280, 800, {269, 35, 706, 693}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(
        placeWindow(c.parent, c.width, c.height, c.closeButton, c.screenWidth, c.screenHeight),
        c.expected)
        << c.what;
}

TEST(DialogUnits, ConvertAtTheInterfaceFontsSize) {
  EXPECT_EQ(dialogUnitsToPixelsX(191), 286);
  EXPECT_EQ(dialogUnitsToPixelsY(174), 282);
  EXPECT_EQ(dialogUnitsToPixelsX(471), 706);
  EXPECT_EQ(dialogUnitsToPixelsY(427), 693);
}

TEST(SubstituteMarkers, ReplacesOnlyTheFourMarkers) {
  const MessageSubstitutions subs = {"environment", "sky.jpg", "two", "^1"};
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"no markers at all", "no markers at all"},
      {"", ""},
      {"^0 and ^1", "environment and sky.jpg"},
      {"^2^2", "twotwo"},
      {"^4 stays, ^x stays", "^4 stays, ^x stays"},
      {"ends in ^", "ends in ^"},
      // An inserted text is not searched again.
      {"[^3]", "[^1]"},
      {"^^0", "^environment"},
  };
  for (const auto& c : cases) EXPECT_EQ(substituteMarkers(c.text, subs), c.expected) << c.text;
}

TEST(MessageTemplates, CarryTheirTextsAndButtons) {
  const MessageTemplate& missing = messageTemplate(MessageKind::cantOpenFile);
  EXPECT_STREQ(missing.title, "Can't open file");
  ASSERT_EQ(missing.texts.size(), 2u);
  EXPECT_EQ(substituteMarkers(missing.texts[0], {"texture", "bark.png", "", ""}),
            "Can't open the texture file \"bark.png\".");
  EXPECT_EQ(std::string(missing.texts[1]),
            "Try putting this file in your \"environments and textures\" folder.\n\nOr, help "
            "Orichalcumite find the \"environments and textures\" folder.");
  ASSERT_EQ(missing.buttons.size(), 2u);
  EXPECT_EQ(missing.buttons[0].id, 1);
  EXPECT_STREQ(missing.buttons[0].label, "Ignore");
  EXPECT_TRUE(missing.buttons[0].isDefault);
  EXPECT_EQ(missing.buttons[1].id, 2);
  EXPECT_STREQ(missing.buttons[1].label, "Find folder...");
  EXPECT_EQ(missing.closeAnswer, 1);

  const MessageTemplate& memory = messageTemplate(MessageKind::notEnoughMemory);
  EXPECT_STREQ(memory.title, "Not Enough Memory");
  ASSERT_EQ(memory.texts.size(), 1u);
  EXPECT_STREQ(memory.texts[0],
               "The filter cannot run because it can't get enough RAM (memory). Try "
               "re-selecting the image.");
  ASSERT_EQ(memory.buttons.size(), 1u);
  EXPECT_EQ(memory.buttons[0].id, 2);
  EXPECT_STREQ(memory.buttons[0].label, "Cancel");
  EXPECT_EQ(memory.closeAnswer, 2);
}

TEST(PresetManagement, RadioButtonsMapToActions) {
  const auto& choices = presetActionChoices();
  EXPECT_STREQ(choices[0].label, "Make a web page of presets");
  EXPECT_STREQ(choices[1].label, "Make a web pag of environment and texture images");
  EXPECT_STREQ(choices[2].label, "Update presets by adding new previews");
  for (int action = 0; action < kPresetActionCount; ++action)
    EXPECT_EQ(presetActionOfRadio(choices[static_cast<size_t>(action)].radioId), action);
  for (int id : {0, 1, 2, 6, -1}) EXPECT_EQ(presetActionOfRadio(id), -1) << id;
  for (int action : {0, 1, 2}) EXPECT_EQ(validPresetAction(action), action);
  for (int action : {-1, 3, 99}) EXPECT_EQ(validPresetAction(action), 0) << action;
}

TEST(GalleryPages, ProposeTheirNamesInTheLastPagesFolder) {
  EXPECT_STREQ(suggestedPageName(GalleryAction::presetsPage), "Page of presets.html");
  EXPECT_STREQ(suggestedPageName(GalleryAction::picturesPage), "Page of images.html");
  EXPECT_EQ(pageFolder("/home/u/presets"), "/home/u/presets");  // nothing written yet
  rememberPageFolder("/home/u/pages/Page of presets.html");
  EXPECT_EQ(pageFolder("/home/u/presets"), "/home/u/pages");
  rememberPageFolder("no folder at all.html");  // not a path: the folder stays
  EXPECT_EQ(pageFolder("/elsewhere"), "/home/u/pages");
  rememberPageFolder("/top.html");
  EXPECT_EQ(pageFolder("/elsewhere"), "/");
}

TEST(PreviewSource, AsksForEnoughPixelsAndTakesTheCentreSquare) {
  EXPECT_EQ(centredSquare(200, 100), (WindowRect{50, 0, 100, 100}));
  EXPECT_EQ(centredSquare(90, 131), (WindowRect{0, 20, 90, 90}));
  // 4000 × 3000 brought to a smaller side of 128 needs a larger side of 171 (and one spare).
  EXPECT_EQ(largerSideForSquare(4000, 3000, 128), 172);
  EXPECT_EQ(largerSideForSquare(128, 128, 128), 129);
  EXPECT_EQ(largerSideForSquare(0, 10, 128), 128);

  // A 40 × 20 picture: the outer quarters black, the centre square white and half transparent.
  std::unique_ptr<Picture> source = createPicture(40, 20, PictureKind::rgba8, WrapMode::noPyramid);
  ASSERT_TRUE(source);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool centre = x >= 10 && x < 30;
      source->setPixel(x, y, 0, centre ? 255 : 0, centre ? 255 : 0, centre ? 255 : 0, 128);
    }
  std::unique_ptr<Picture> square = centredSquarePicture(*source, 8);
  ASSERT_TRUE(square);
  EXPECT_EQ(square->width(), 8);
  EXPECT_EQ(square->height(), 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const Rgba p = square->readPicturePixel(x, y, 0);
      ASSERT_FLOAT_EQ(p.red, 1.0f) << x << "," << y;
      ASSERT_FLOAT_EQ(p.alpha, 1.0f) << x << "," << y;
    }
  EXPECT_FALSE(centredSquarePicture(*source, 0));
}

}  // namespace
}  // namespace orichalcumite
