#include "ui/commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "base/random_generator.h"
#include "base/user_messages.h"
#include "pictures/effect_pictures.h"
#include "settings/user_state.h"
#include "tests/support/factory_settings.h"
#include "ui/preview_view.h"

namespace orichalcumite {
namespace {

using namespace command_id;

bool sameSettings(const EffectSettings& a, const EffectSettings& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(CommandTable, EachIdHasOneEntryAndTheClosingCommandsComeLast) {
  std::set<int32_t> seen;
  for (const CommandInfo& info : commandTable()) {
    ASSERT_LE(info.firstId, info.lastId) << info.name;
    for (int32_t id = info.firstId; id <= info.lastId; ++id) {
      EXPECT_TRUE(seen.insert(id).second) << "id " << id << " listed twice";
      EXPECT_EQ(findCommand(id), &info);
    }
  }
  EXPECT_EQ(seen.size(), 10u + 25u + 19u);  // swatches, memory dots, the rest
  const auto table = commandTable();
  EXPECT_EQ(table[table.size() - 2].firstId, kCancel);
  EXPECT_EQ(table[table.size() - 1].firstId, kOk);
}

TEST(CommandTable, ColourSwatchesMapToTheirColours) {
  EXPECT_EQ(colourSlotOfSwatch(44), light1Color);
  EXPECT_EQ(colourSlotOfSwatch(60), tarnishColor);
  EXPECT_EQ(colourSlotOfSwatch(121), blotchColor);
  EXPECT_EQ(colourSlotOfSwatch(108), mossColor2);
  EXPECT_FALSE(colourSlotOfSwatch(45).has_value());
}

TEST(UndoSnapshots, KindPerCommand) {
  struct Case {
    int32_t id;
    SnapshotContext context;
    SnapshotKind expected;
  };
  const SnapshotContext plain{};
  const SnapshotContext effect{.effectControl = true};
  const SnapshotKind none = SnapshotKind::none, light = SnapshotKind::light,
                     full = SnapshotKind::full;
  const Case cases[] = {
      // No snapshot, even for ids whose control would otherwise take a light one.
      {kCancel, effect, none},
      {kOk, effect, none},
      {kPresetManagement, effect, none},
      {kZoomIn, effect, none},
      {kZoomOut, effect, none},
      {kSavePreset, effect, none},
      {kZoomActualSize, effect, none},
      {kUndo, effect, none},
      {kAboutStrip, plain, none},
      // Full: a picture or a whole effect may have come with the change.
      {kTextureChoice, effect, full},
      {kEnvironmentFrame, effect, full},
      {kEnvironmentSwatch, plain, full},
      {kTextureFrame, effect, full},
      {kTextureSwatch, effect, full},
      {kLoadPreset, plain, full},
      {kSpinEnvironment, plain, full},
      // Memory dots: full only for a recall or store that leaves the dot holding an effect.
      {kFirstMemoryDot, {.dotHoldsEffect = true}, full},
      {kLastMemoryDot, {.dotHoldsEffect = true}, full},
      {kFirstMemoryDot + 7, {.ctrlHeld = true, .dotHoldsEffect = true}, none},
      {kFirstMemoryDot, {.dotHoldsEffect = false}, none},
      {kMemoryDotPreview, {.dotHovered = true}, full},
      {kMemoryDotPreview, plain, none},
      // Light for the other effect commands and controls.
      {kRandomize, plain, light},
      {kRandomSeed, plain, light},
      {kNextGlueMode, plain, light},
      {kFactory, plain, light},
      {kExportPsd, plain, light},
      {kInfo, plain, light},
      {44, plain, light},
      {9, effect, light},  // the radius slider
      {8, plain, none},    // the radius label
      {23, plain, none},   // the preset name line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "id " << c.id);
    EXPECT_EQ(snapshotKind(c.id, c.context), c.expected);
  }
  EXPECT_EQ(kSettleTimerSnapshot, SnapshotKind::light);
}

TEST(UndoSnapshots, CurrentDotMarkIsClearedBySnapshotsAndUndoButNotByDots) {
  EXPECT_TRUE(clearsCurrentDot(kRandomize, SnapshotKind::light));
  EXPECT_TRUE(clearsCurrentDot(kLoadPreset, SnapshotKind::full));
  EXPECT_TRUE(clearsCurrentDot(kUndo, SnapshotKind::none));
  EXPECT_FALSE(clearsCurrentDot(kZoomIn, SnapshotKind::none));
  EXPECT_FALSE(clearsCurrentDot(kFirstMemoryDot + 3, SnapshotKind::full));
  EXPECT_FALSE(clearsCurrentDot(kMemoryDotPreview, SnapshotKind::full));
}

TEST(EffectCommands, NextGlueModeWrapsFromTheLastToTheFirst) {
  const int32_t cases[][2] = {{1, 2}, {37, 38}, {73, 74}, {74, 1}};
  for (const auto& c : cases) {
    EffectSettings s = testing::factorySettings();
    s.glue = c[0];
    CommandContext context;
    const CommandResult r = applyCommand(kNextGlueMode, s, context);
    EXPECT_EQ(s.glue, c[1]);
    EXPECT_TRUE(r.controlsFromSettings && r.render);
  }
}

TEST(EffectCommands, FourSpinsReturnToTheStart) {
  EffectSettings s = testing::factorySettings();
  s.environmentSpin = 0;
  CommandContext context;
  const int32_t expected[] = {1, 2, 3, 0};
  for (int32_t spin : expected) {
    const CommandResult r = applyCommand(kSpinEnvironment, s, context);
    EXPECT_EQ(s.environmentSpin, spin);
    EXPECT_TRUE(r.redrawEnvironmentSwatch && r.render);
  }
}

TEST(EffectCommands, RandomSeedStaysInElevenBitsAndNamesTheEffect) {
  RandomGenerator random(12345);
  CommandContext context{.random = &random};
  std::set<int32_t> seeds;
  for (int i = 0; i < 500; ++i) {
    EffectSettings s = testing::factorySettings();
    const CommandResult r = applyCommand(kRandomSeed, s, context);
    ASSERT_GE(s.randomSeed, 0);
    ASSERT_LE(s.randomSeed, 2047);
    EXPECT_STREQ(s.settingsName, "random settings");
    EXPECT_TRUE(r.render && r.redrawPresetName);
    seeds.insert(s.randomSeed);
  }
  // The seed is drawn, not fixed, and reaches into the upper half of the range.
  EXPECT_GT(seeds.size(), 300u);
  EXPECT_GT(*seeds.rbegin(), 1024);
}

TEST(EffectCommands, FactoryAndRandomizeNameTheEffect) {
  RandomGenerator random(7);
  CommandContext context{.random = &random};
  EffectSettings s = testing::factorySettings();
  setText(s.settingsName, "gold leaf");
  CommandResult r = applyCommand(kRandomize, s, context);
  EXPECT_STREQ(s.settingsName, "random settings");
  EXPECT_TRUE(r.controlsFromSettings && r.render && r.redrawPresetName);
  s.reflection = 55;
  r = applyCommand(kFactory, s, context);
  EXPECT_STREQ(s.settingsName, "plain settings");
  EXPECT_EQ(s.reflection, 0);
  EXPECT_TRUE(r.controlsFromSettings && r.render && r.redrawPresetName);
}

TEST(EffectCommands, CommandsThatNeedAMissingPartAreNotHandled) {
  EffectSettings s = testing::factorySettings();
  const EffectSettings before = s;
  CommandContext context;  // no random generator, no preview, no user state
  for (int32_t id : {kRandomize, kRandomSeed, kZoomIn, kUndo}) {
    EXPECT_EQ(applyCommand(id, s, context).outcome, CommandOutcome::notHandledYet) << id;
  }
  EXPECT_TRUE(sameSettings(s, before));
}

TEST(LaterCommands, AreListedButLeaveTheSettingsAlone) {
  RandomGenerator random(1);
  PreviewState preview = openPreview(Rect32{0, 0, 1000, 2000}, true);
  CommandContext context{.random = &random, .preview = &preview};
  for (int32_t id :
       {44, 121, kAboutStrip, kInfo, kSavePreset, kLoadPreset, kExportPsd, kFirstMemoryDot,
        kLastMemoryDot, kMemoryDotPreview, kPresetManagement, kEnvironmentSwatch}) {
    SCOPED_TRACE(::testing::Message() << "id " << id);
    EffectSettings s = testing::factorySettings();
    const EffectSettings before = s;
    const CommandResult r = applyCommand(id, s, context);
    EXPECT_EQ(r.outcome, CommandOutcome::notHandledYet);
    EXPECT_FALSE(r.render);
    EXPECT_TRUE(sameSettings(s, before));
  }
  EffectSettings s = testing::factorySettings();
  EXPECT_EQ(applyCommand(9, s, context).outcome, CommandOutcome::unknown);
  EXPECT_EQ(applyCommand(199, s, context).outcome, CommandOutcome::unknown);
}

class SilentMessages final : public UserMessages {
 public:
  void tell(const char*, const char*) override {}
};

TEST(EffectCommands, UndoBringsBackThePreviousStepOrReportsNothingToDo) {
  EffectPictures pictures;
  SilentMessages messages;
  PictureContext pictureContext{pictures, messages};
  UserState user;
  CommandContext context{.user = &user, .pictures = &pictureContext};
  EffectSettings s = testing::factorySettings();
  EXPECT_EQ(applyCommand(kUndo, s, context).outcome, CommandOutcome::unchanged);
  s.radius = 10;
  ASSERT_TRUE(takeUndoStep(s, user, false));
  s.radius = 44;
  ASSERT_TRUE(takeUndoStep(s, user, false));
  const CommandResult r = applyCommand(kUndo, s, context);
  EXPECT_EQ(r.outcome, CommandOutcome::done);
  EXPECT_TRUE(r.controlsFromSettings && r.render && r.redrawPresetName);
  EXPECT_EQ(s.radius, 10);
}

TEST(ClosingCommands, CancelRestoresTheIncomingSettings) {
  const EffectSettings incoming = testing::factorySettings();
  EffectSettings s = incoming;
  s.radius = 77;
  setText(s.settingsName, "changed");
  CommandContext context{.cancelCopy = &incoming};
  EXPECT_EQ(applyCommand(kCancel, s, context).outcome, CommandOutcome::cancelled);
  EXPECT_TRUE(sameSettings(s, incoming));
}

TEST(ClosingCommands, OkAndCancelWaitWhilePresetManagementIsOpen) {
  const EffectSettings incoming = testing::factorySettings();
  EffectSettings s = incoming;
  s.radius = 77;
  CommandContext context{.cancelCopy = &incoming, .presetManagementOpen = true};
  EXPECT_EQ(applyCommand(kCancel, s, context).outcome, CommandOutcome::blocked);
  EXPECT_EQ(applyCommand(kOk, s, context).outcome, CommandOutcome::blocked);
  EXPECT_EQ(s.radius, 77);
  context.presetManagementOpen = false;
  EXPECT_EQ(applyCommand(kOk, s, context).outcome, CommandOutcome::accepted);
  EXPECT_EQ(s.radius, 77);
}

TEST(ZoomThroughCommands, ChangesRenderAndRefreshTheButtonsOnlyWhenTheZoomMoves) {
  PreviewState preview = openPreview(Rect32{0, 0, 1000, 2000}, true);
  CommandContext context{.preview = &preview};
  EffectSettings s = testing::factorySettings();
  CommandResult r = applyCommand(kZoomOut, s, context);  // already at the fit zoom
  EXPECT_EQ(r.outcome, CommandOutcome::unchanged);
  EXPECT_FALSE(r.render || r.zoomChanged);
  r = applyCommand(kZoomActualSize, s, context);
  EXPECT_EQ(r.outcome, CommandOutcome::done);
  EXPECT_TRUE(r.render && r.zoomChanged);
  EXPECT_EQ(zoomButtons(preview).caption, "100%");
  EXPECT_EQ(applyCommand(kZoomIn, s, context).outcome, CommandOutcome::unchanged);
}

TEST(PresetFileName, DefaultsAndSetsTheExtension) {
  struct Case {
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      {"", "Orichalcumite settings.q5q"},
      {"gold leaf", "gold leaf.q5q"},
      {"gold leaf.q9q", "gold leaf.q5q"},
      {"v1.5 copper.q5q", "v1.5 copper.q5q"},
  };
  for (const Case& c : cases) {
    EffectSettings s = testing::factorySettings();
    setText(s.settingsName, c.name);
    setPresetFileName(s);
    EXPECT_STREQ(s.settingsName, c.expected);
  }
  // A name that fills the field loses the end of its stem, never the extension.
  EffectSettings s = testing::factorySettings();
  setText(s.settingsName, std::string(kTextCapacity - 1, 'x').c_str());
  setPresetFileName(s);
  const std::string name = s.settingsName;
  EXPECT_EQ(name.size(), kTextCapacity - 1);
  EXPECT_TRUE(name.ends_with(".q5q"));
}

TEST(NewEnvironment, ZeroReflectionIsRaisedSoThePictureShows) {
  EffectSettings s = testing::factorySettings();
  s.reflection = 0;
  EXPECT_TRUE(showNewEnvironment(s));
  EXPECT_EQ(s.reflection, 100);
  s.reflection = 40;
  EXPECT_FALSE(showNewEnvironment(s));
  EXPECT_EQ(s.reflection, 40);
}

}  // namespace
}  // namespace orichalcumite
