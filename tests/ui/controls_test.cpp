#include "ui/controls.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace orichalcumite {
namespace {

// Every id that has a place of its own on the skin.
std::vector<int> placedIds() {
  std::vector<int> ids;
  for (int id = 0; id < kControlCount; ++id)
    if (!layoutRect(id).isEmpty()) ids.push_back(id);
  return ids;
}

TEST(ControlLayout, everyRectangleLiesInsideTheClientArea) {
  const std::vector<int> ids = placedIds();
  EXPECT_GE(ids.size(), 130u);
  for (const int id : ids) {
    const ControlRect r = layoutRect(id);
    EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.width <= kClientWidth &&
                r.y + r.height <= kClientHeight)
        << "control " << id;
    const ControlRect w = windowRect(id);
    EXPECT_TRUE(w.x >= 0 && w.y >= 0) << "control " << id;
  }
}

TEST(ControlLayout, controlsDoNotOverlapExceptFramesAndTheAboutStrip) {
  const std::vector<int> ids = placedIds();
  auto overlap = [](const ControlRect& a, const ControlRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
  };
  // The picture frames surround their swatches, the wide labels of the left column reach into
  // the About strip along the dialog's edge, and neighbouring memory dots, round faces on a
  // tight arc, share corners of their squares.
  const std::set<std::pair<int, int>> allowed = {{37, 38}, {49, 50}};
  for (size_t i = 0; i < ids.size(); ++i)
    for (size_t j = i + 1; j < ids.size(); ++j) {
      const int a = ids[i], b = ids[j];
      if (!overlap(layoutRect(a), layoutRect(b)) || allowed.count({a, b}) != 0) continue;
      const bool stripAndLabel =
          (a == control::aboutStrip && controlDescriptor(b).kind == ControlKind::Label) ||
          (b == control::aboutStrip && controlDescriptor(a).kind == ControlKind::Label);
      auto isDot = [](int id) {
        return id >= control::firstMemoryDot && id <= control::lastMemoryDot;
      };
      const bool neighbouringDots = isDot(a) && isDot(b) && b - a == 1;
      EXPECT_TRUE(stripAndLabel || neighbouringDots)
          << "controls " << a << " and " << b << " overlap";
    }
}

TEST(ControlLayout, pushButtonsAreMovedUpAndLeft) {
  EXPECT_EQ(windowRect(control::ok), (ControlRect{929, 639, 60, 29}));
  EXPECT_EQ(windowRect(124), (ControlRect{341, 401, 60, 29}));
  EXPECT_EQ(windowRect(control::zoomPercent), (ControlRect{707, 378, 35, 16}));
  EXPECT_EQ(windowRect(control::radius), layoutRect(control::radius));
  EXPECT_EQ(windowRect(44), layoutRect(44));
}

TEST(ControlDescriptors, rangesAndPartners) {
  struct Case {
    int id;
    ControlKind kind;
    int primary, partner;
    int32_t minimum, maximum;
    bool isPartner;
  };
  const Case cases[] = {
      {9, ControlKind::Slider, 9, 25, 2, 100, false},
      {25, ControlKind::Slider, 9, 25, 2, 100, true},
      {11, ControlKind::Slider, 11, 13, -100, 100, false},
      {99, ControlKind::Slider, 99, 97, -100, 100, false},
      {110, ControlKind::Slider, 110, 109, 0, 100, false},
      {70, ControlKind::Slider, 69, 70, 0, 100, true},
      {116, ControlKind::Slider, 116, -1, 0, 100, false},
      {21, ControlKind::IconChoiceList, 21, -1, 1, 14, false},
      {17, ControlKind::IconChoiceList, 17, -1, 1, 13, false},
      {66, ControlKind::ModeList, 66, -1, 1, 74, false},
      {74, ControlKind::CheckBox, 74, -1, 0, 1, false},
  };
  for (const Case& c : cases) {
    const ControlDescriptor d = controlDescriptor(c.id);
    EXPECT_EQ(d.kind, c.kind) << c.id;
    EXPECT_EQ(d.primaryId, c.primary) << c.id;
    EXPECT_EQ(d.partnerId, c.partner) << c.id;
    EXPECT_EQ(d.minimum, c.minimum) << c.id;
    EXPECT_EQ(d.maximum, c.maximum) << c.id;
    EXPECT_EQ(d.isPartner, c.isPartner) << c.id;
  }
  for (const int unknown : {-1, 0, 1, 199, 200, 100000})
    EXPECT_EQ(controlDescriptor(unknown).kind, ControlKind::none) << unknown;
  EXPECT_EQ(editBoxOf(control::textureZoom), -1);
  EXPECT_EQ(editBoxOf(control::gobo1), -1);
  EXPECT_EQ(editBoxOf(control::radiusEdit), -1);
}

TEST(ControlTexts, labelsTitlesAndTooltips) {
  EXPECT_EQ(labelText(controlDescriptor(64).labelIndex), "Smoothness");
  EXPECT_EQ(labelText(controlDescriptor(111).labelIndex), "Blotch size");
  EXPECT_EQ(labelText(controlDescriptor(7).labelIndex), "Lights");
  EXPECT_EQ(labelText(controlDescriptor(44).labelIndex), "Choose the light\u2019s color.");
  EXPECT_EQ(labelText(controlDescriptor(60).labelIndex), "Choose the tarnish color.");
  for (const int missing : {-3, 0, 1, 15, 29, 35, 46, 1000})
    EXPECT_EQ(labelText(missing), "-undef string-") << missing;

  const std::pair<int, const char*> tips[] = {
      {9, "Width of bevel"},
      {58, "Put dull color in concavities "},
      {69, "Texture scale"},
      {115, "Light #2 gobo"},
      {93, "Dust color"},
      {45, "Light #2 direction"},
      {165, "Use a spherical environment"},
      {66, "How to combine the result with the original"},
      {50, "Texture image. Click to load. Drag to move."},
      {38, "Reflection environment. Click to load."},
      {140, "Store or recall an effect. Right-click clears."},
      {2, "Exit without applying the effect to the image"},
      {72, "Zoom to 100%"},
      {25, ""},  // edit boxes have no tip of their own
      {8, ""},
      {23, ""},
  };
  for (const auto& [id, text] : tips) EXPECT_EQ(tooltipText(id), text) << id;
  EXPECT_EQ(buttonCaption(122), "Rando&mSeed");
}

TEST(ControlEnables, highDynamicRangeImagesGreyTheGlueModeControls) {
  DialogControls controls;
  applyImageEnables(controls, true);
  EXPECT_FALSE(controls.enabled[control::glueMode]);
  EXPECT_FALSE(controls.enabled[control::nextGlueMode]);
  EXPECT_TRUE(controls.enabled[control::shape]);
  EXPECT_EQ(labelTextColour(false), (RgbColour{140, 140, 140}));
  applyImageEnables(controls, false);
  EXPECT_TRUE(controls.enabled[control::glueMode]);
  EXPECT_TRUE(controls.enabled[control::nextGlueMode]);
}

}  // namespace
}  // namespace orichalcumite
