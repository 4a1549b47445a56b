// The memory dots: clicks, hover, the automatic snapshot at dialog start and the faces, over
// real dot files in a scratch state folder.
#include "ui/memory_dots.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/user_messages.h"
#include "pictures/effect_pictures.h"
#include "settings/settings_file.h"
#include "tests/support/factory_settings.h"
#include "tests/support/redirected_user_folders.h"

namespace orichalcumite {
namespace {

class SilentMessages final : public UserMessages {
 public:
  void tell(const char*, const char*) override {}
};

std::string nameOf(const EffectSettings& s) {
  return std::string(s.settingsName, strnlen(s.settingsName, kTextCapacity));
}

class MemoryDotsTest : public ::testing::Test {
 protected:
  MemoryDotsTest() : context{pictures, messages}, dots(user, &context, flatThumbnail) {
    s = testing::factorySettings();
    s.radius = 10;
  }

  // A flat thumbnail whose grey is the effect's radius, so the square tells effects apart.
  static std::unique_ptr<Picture> flatThumbnail(const EffectSettings& e) {
    auto picture = createPicture(128, 128, PictureKind::rgba8, WrapMode::clamp);
    const int grey = std::min(255, e.radius * 10);
    picture->fill(grey, grey, grey, 255);
    return picture;
  }
  std::string dotFile(int slot) const {
    return folders.stateFolder() + "/" + memoryDotFileName(slot + 1);
  }
  // The dialog closes and opens again in a later run: only the map survives.
  void nextRun() {
    UserState next;
    next.dotMap = decodeMemoryDotMap(encodeMemoryDotMap(user.dotMap));
    user = next;
  }
  void keepSlots(int count) {
    for (int i = 0; i < count; ++i) user.dotMap[size_t(i)] = 1;
  }

  testing::RedirectedUserFolders folders;
  EffectPictures pictures;
  SilentMessages messages;
  PictureContext context;
  UserState user;
  MemoryDots dots;
  EffectSettings s;
};

TEST(MemoryDotFaces, followDisplayKeptAndPressed) {
  struct Case {
    DotDisplay display;
    bool kept;
    int face, pressedFace;
  };
  const Case cases[] = {
      {DotDisplay::empty, false, 203, 210},  {DotDisplay::empty, true, 203, 210},
      {DotDisplay::stored, true, 215, 216},  {DotDisplay::stored, false, 213, 214},
      {DotDisplay::current, true, 208, 212}, {DotDisplay::current, false, 202, 211},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(memoryDotFace(c.display, c.kept, false), c.face);
    EXPECT_EQ(memoryDotFace(c.display, c.kept, true), c.pressedFace);
  }
}

TEST(MemoryDotClicks, caseFollowsTheSlotAndTheButton) {
  for (DotButton b : {DotButton::left, DotButton::ctrlLeft, DotButton::right})
    EXPECT_EQ(dotClickCase(DotDisplay::empty, b), DotClickCase::store);
  for (DotDisplay d : {DotDisplay::stored, DotDisplay::current}) {
    EXPECT_EQ(dotClickCase(d, DotButton::right), DotClickCase::clear);
    EXPECT_EQ(dotClickCase(d, DotButton::ctrlLeft), DotClickCase::makeTemporary);
    EXPECT_EQ(dotClickCase(d, DotButton::left), DotClickCase::recall);
  }
}

TEST(MemoryDotSnapshot, takesTheFirstSlotThatIsNotKept) {
  std::array<int32_t, kMemoryDotCount> map{};
  EXPECT_EQ(automaticSnapshotSlot(map), 0);
  map[0] = map[1] = map[3] = 1;
  EXPECT_EQ(automaticSnapshotSlot(map), 2);
  map.fill(1);
  EXPECT_EQ(automaticSnapshotSlot(map), -1);
}

TEST_F(MemoryDotsTest, dialogStartShowsKeptSlotsAndSnapshotsIntoTheFirstFreeOne) {
  keepSlots(2);
  user.dotDisplay[7] = DotDisplay::current;  // left over from an earlier dialog
  dots.startDialog(s);
  EXPECT_EQ(user.dotDisplay[0], DotDisplay::stored);
  EXPECT_EQ(user.dotDisplay[1], DotDisplay::stored);
  EXPECT_EQ(user.dotDisplay[2], DotDisplay::current);
  EXPECT_EQ(user.dotMap[2], 0);  // the snapshot is not kept
  EXPECT_EQ(user.dotDisplay[7], DotDisplay::empty);
  EXPECT_TRUE(std::filesystem::exists(dotFile(2)));
  EXPECT_EQ(dots.hovered(), 2);
  ASSERT_EQ(dots.preview().size(), size_t{88 * 88 * 3});
  EXPECT_EQ(dots.preview()[0], 100);  // radius 10 → grey 100
  EXPECT_EQ(dots.face(2, false), 202);
}

TEST_F(MemoryDotsTest, allSlotsKeptMeansNoAutomaticSnapshot) {
  keepSlots(kMemoryDotCount);
  dots.startDialog(s);
  for (int slot = 0; slot < kMemoryDotCount; ++slot) {
    EXPECT_EQ(user.dotDisplay[size_t(slot)], DotDisplay::stored);
    EXPECT_FALSE(std::filesystem::exists(dotFile(slot)));
  }
  EXPECT_EQ(dots.hovered(), -1);
  EXPECT_TRUE(dots.preview().empty());
}

TEST_F(MemoryDotsTest, ctrlClickOnAnEmptyDotMakesATemporaryDotTheNextStartShowsEmpty) {
  keepSlots(1);
  dots.startDialog(s);  // snapshot into slot 1
  s.radius = 20;
  const DotClickOutcome o = dots.click(4, DotButton::ctrlLeft, s);
  EXPECT_TRUE(o.holdsEffect);
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(user.dotMap[4], 0);
  EXPECT_EQ(dots.face(4, false), 202);  // current, not kept
  EXPECT_EQ(user.dotDisplay[1], DotDisplay::stored);
  EXPECT_EQ(dots.hovered(), 4);

  // A plain click keeps the dot it stores into; a right click does too.
  EXPECT_TRUE(dots.click(5, DotButton::left, s).holdsEffect);
  EXPECT_EQ(user.dotMap[5], 1);
  EXPECT_EQ(dots.face(5, false), 208);
  EXPECT_EQ(dots.face(4, false), 213);
  dots.click(6, DotButton::right, s);
  EXPECT_EQ(user.dotMap[6], 1);

  nextRun();
  keepSlots(4);  // slots 0..3 kept: the snapshot may now reuse the temporary slot 4
  dots.startDialog(s);
  EXPECT_EQ(user.dotDisplay[4], DotDisplay::current);
  EXPECT_EQ(user.dotMap[4], 0);
  EXPECT_EQ(user.dotDisplay[5], DotDisplay::stored);

  nextRun();
  user.dotMap[2] = 0;
  dots.startDialog(s);
  EXPECT_EQ(user.dotDisplay[4], DotDisplay::empty);  // temporary: not shown in a later run
  EXPECT_EQ(user.dotDisplay[2], DotDisplay::current);
}

TEST_F(MemoryDotsTest, rightClickOnTheCurrentDotClearsItAndTheSquare) {
  dots.click(3, DotButton::left, s);
  ASSERT_EQ(dots.hovered(), 3);
  const DotClickOutcome o = dots.click(3, DotButton::right, s);
  EXPECT_FALSE(o.holdsEffect);
  EXPECT_FALSE(o.settingsReplaced);
  EXPECT_EQ(user.dotDisplay[3], DotDisplay::empty);
  EXPECT_EQ(user.dotMap[3], 0);
  EXPECT_EQ(dots.hovered(), -1);
  EXPECT_TRUE(dots.preview().empty());
}

TEST_F(MemoryDotsTest, ctrlClickOnAFilledDotOnlyStopsKeepingIt) {
  dots.click(0, DotButton::left, s);
  s.radius = 33;
  const DotClickOutcome o = dots.click(0, DotButton::ctrlLeft, s);
  EXPECT_FALSE(o.settingsReplaced);
  EXPECT_EQ(s.radius, 33);
  EXPECT_EQ(user.dotMap[0], 0);
  EXPECT_EQ(user.dotDisplay[0], DotDisplay::current);
}

TEST_F(MemoryDotsTest, plainClickOnAFilledDotRecallsItsEffectUnderTheDotsName) {
  dots.click(0, DotButton::left, s);  // radius 10
  s.radius = 20;
  dots.click(1, DotButton::left, s);  // radius 20, now current
  s.radius = 30;
  const DotClickOutcome o = dots.click(0, DotButton::left, s);
  EXPECT_TRUE(o.settingsReplaced);
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(s.radius, 10);
  EXPECT_EQ(nameOf(s), "dot 1");
  EXPECT_EQ(user.dotDisplay[0], DotDisplay::current);
  EXPECT_EQ(user.dotDisplay[1], DotDisplay::stored);

  // The square recalls the hovered dot the same way.
  EXPECT_EQ(dots.hovered(), 1);  // the square still shows what was stored last
  ASSERT_TRUE(dots.hover(0));
  ASSERT_TRUE(dots.hover(1));
  EXPECT_EQ(dots.preview()[0], 200);
  EXPECT_TRUE(dots.recallHovered(s).settingsReplaced);
  EXPECT_EQ(s.radius, 20);
  EXPECT_EQ(nameOf(s), "dot 2");
}

TEST_F(MemoryDotsTest, recallOfAnUnreadableDotKeepsTheSettingsButStillNamesAndMarksIt) {
  dots.click(4, DotButton::left, s);
  dots.click(6, DotButton::left, s);
  {
    std::ofstream damaged(dotFile(4), std::ios::binary | std::ios::trunc);
    damaged << "no";
  }
  s.radius = 44;
  const DotClickOutcome o = dots.click(4, DotButton::left, s);
  EXPECT_NE(o.code, 0);
  EXPECT_TRUE(o.settingsReplaced);  // the preview still renders
  EXPECT_EQ(s.radius, 44);
  EXPECT_EQ(nameOf(s), "dot 5");
  EXPECT_EQ(user.dotDisplay[4], DotDisplay::current);
  EXPECT_EQ(user.dotDisplay[6], DotDisplay::stored);

  // Hovered, it shows no preview.
  dots.hover(6);
  EXPECT_TRUE(dots.hover(4));
  EXPECT_EQ(dots.hovered(), 4);
  EXPECT_TRUE(dots.preview().empty());
}

TEST_F(MemoryDotsTest, hoverLoadsFilledDotsClearsOnEmptyOnesAndIgnoresTheRest) {
  dots.click(2, DotButton::left, s);
  s.radius = 5;
  dots.click(3, DotButton::left, s);
  ASSERT_EQ(dots.hovered(), 3);
  EXPECT_FALSE(dots.hover(3));  // already shown
  EXPECT_TRUE(dots.hover(2));
  EXPECT_EQ(dots.hovered(), 2);
  EXPECT_EQ(dots.preview()[0], 100);
  EXPECT_FALSE(dots.hover(-1));  // leaving the dots changes nothing
  EXPECT_EQ(dots.hovered(), 2);
  EXPECT_TRUE(dots.hover(10));  // an empty dot clears the square
  EXPECT_EQ(dots.hovered(), -1);
  EXPECT_TRUE(dots.preview().empty());
  EXPECT_FALSE(dots.hover(11));
}

TEST_F(MemoryDotsTest, demotionLeavesTheDotFilled) {
  EXPECT_FALSE(dots.demoteCurrent());
  dots.click(8, DotButton::left, s);
  EXPECT_TRUE(dots.demoteCurrent());
  EXPECT_EQ(user.dotDisplay[8], DotDisplay::stored);
  EXPECT_EQ(dots.face(8, false), 215);
}

TEST_F(MemoryDotsTest, aDotThatCannotBeWrittenStaysAsItWas) {
  folders.set("XDG_STATE_HOME", "/proc/no-state-here");
  const DotClickOutcome o = dots.click(0, DotButton::left, s);
  EXPECT_NE(o.code, 0);
  EXPECT_FALSE(o.holdsEffect);
  EXPECT_EQ(user.dotDisplay[0], DotDisplay::empty);
  EXPECT_EQ(user.dotMap[0], 0);
  EXPECT_EQ(dots.hovered(), -1);
}

TEST(MemoryDotPreview, thumbnailIsAveragedDownToTheSquare) {
  auto thumbnail = createPicture(128, 128, PictureKind::rgba8, WrapMode::clamp);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) thumbnail->setPixel(x, y, 0, x < 64 ? 0 : 255, 40, 200, 255);
  const std::vector<uint8_t> rgb = dotPreviewPixels(*thumbnail);
  ASSERT_EQ(rgb.size(), size_t{88 * 88 * 3});
  auto at = [&](int x, int y, int c) { return rgb[(size_t(y) * 88 + x) * 3 + c]; };
  EXPECT_EQ(at(0, 0, 0), 0);
  EXPECT_EQ(at(43, 87, 0), 0);
  EXPECT_EQ(at(44, 0, 0), 255);
  EXPECT_EQ(at(87, 87, 0), 255);
  for (int x : {0, 43, 44, 87}) {
    EXPECT_EQ(at(x, 40, 1), 40);
    EXPECT_EQ(at(x, 40, 2), 200);
  }
}

}  // namespace
}  // namespace orichalcumite
