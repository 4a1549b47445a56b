// Settings files: what a written file holds, how every older version reads, and that damaged,
// truncated or hostile files end in a clear code without harm.
#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string_view>

#include "base/byte_writer.h"
#include "base/replace_file.h"
#include "base/utf8_text.h"
#include "pictures/jpeg_thumbnail.h"
#include "settings/parameter_table.h"
#include "tests/support/factory_settings.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

using testing::factorySettings;

// ---- An independent writer of every version, from the file layout as a table.

struct OldFileOptions {
  int32_t characterSet = 1;
  std::string environmentName = "sky";  // bytes as the file holds them
  std::string textureName = "stone";
  std::vector<uint8_t> rawThumbnail = {0, 0, 0, 0};  // field 90: the flag and what follows
  std::vector<uint8_t> thumbnail = {0, 0, 0, 0};     // field 91
};

// Each field with the first version that carries it; a scripting name, or "*" and a field
// outside the parameter table. The second-names flag is also absent from versions 200..206.
struct LayoutField {
  int since;
  const char* field;
};
// Laid out by hand, one group of fields a line.
// clang-format off
constexpr LayoutField kLayout[] = {
    {1, "*panel 0"}, {1, "*panel 2"}, {1, "*panel 1"}, {1, "texture strength"}, {1, "shape"},
    {1, "reflection"}, {1, "height"}, {1, "*option word"}, {1, "gloss"}, {1, "glare"},
    {1, "texture choice"}, {1, "radius"}, {1, "*second option word"},
    {1, "light 1 X"}, {1, "light 1 Y"}, {1, "light 1 Z"}, {16, "iri colors"},
    {18, "light 2 X"}, {18, "light 2 Y"}, {18, "light 2 Z"},
    {19, "light 1 red"}, {19, "light 1 green"}, {19, "light 1 blue"},
    {19, "light 2 red"}, {19, "light 2 green"}, {19, "light 2 blue"}, {19, "glassiness"},
    {20, "caustic"}, {21, "*texture width"}, {21, "*texture height"}, {22, "iridescence"},
    {23, "tarnish red"}, {23, "tarnish green"}, {23, "tarnish blue"}, {23, "tarnish"},
    {26, "*texture width"}, {26, "*texture height"}, {25, "*zero"}, {25, "*zero"}, {25, "*zero"},
    {25, "environment spin"}, {27, "glue"}, {28, "white caustic"}, {28, "texture zoom"},
    {29, "texture pan X"}, {29, "texture pan Y"}, {31, "*names"}, {32, "*second names"},
    {34, "smoothness"}, {200, "abrasion"},
    {200, "abrasion red"}, {200, "abrasion green"}, {200, "abrasion blue"},
    {200, "dirt 1 red"}, {200, "dirt 1 green"}, {200, "dirt 1 blue"},
    {200, "dirt 2 red"}, {200, "dirt 2 green"}, {200, "dirt 2 blue"},
    {200, "rain"}, {200, "evaporation"}, {200, "diffusion"}, {200, "wander"},
    {201, "dust red"}, {201, "dust green"}, {201, "dust blue"},
    {201, "dust"}, {201, "embossing"}, {201, "wet rain"}, {202, "grit"},
    {203, "moss 1 red"}, {203, "moss 1 green"}, {203, "moss 1 blue"},
    {203, "moss 2 red"}, {203, "moss 2 green"}, {203, "moss 2 blue"}, {203, "moss"},
    {204, "blotch size"}, {204, "leakiness"}, {205, "gobo 1"}, {205, "gobo 2"},
    {206, "wax red"}, {206, "wax green"}, {206, "wax blue"}, {206, "blotches"},
    {209, "random seed"}, {210, "*raw thumbnail"}, {220, "*thumbnail"},
    {221, "spherical environment"},
};
// clang-format on

bool carries(const LayoutField& f, int version) {
  if (std::string_view(f.field) == "*second names")
    return (version >= 32 && version <= 199) || version >= 207;
  return version >= f.since;
}

uint16_t channelOf(const EffectSettings& s, const ParameterInfo& p) {
  const SettingsColour& c = s.colours[p.colourSlot];
  return p.channel == 0 ? c.red : p.channel == 1 ? c.green : c.blue;
}

void name(ByteWriter& w, const std::string& text) {
  w.i32(static_cast<int32_t>(text.size()));
  w.cString(text);
}

// A file of `version` holding the values of `s`.
std::vector<uint8_t> oldFile(int version, const EffectSettings& s, const OldFileOptions& o = {}) {
  const std::map<std::string_view, std::function<void(ByteWriter&)>> other = {
      {"*panel 0", [&](ByteWriter& w) { w.i32(s.dialogPanels[0]); }},
      {"*panel 1", [&](ByteWriter& w) { w.i32(s.dialogPanels[1]); }},
      {"*panel 2", [&](ByteWriter& w) { w.i32(s.dialogPanels[2]); }},
      {"*option word", [&](ByteWriter& w) { w.i32(s.optionWord); }},
      {"*second option word", [&](ByteWriter& w) { w.i32(s.secondOptionWord); }},
      {"*texture width", [&](ByteWriter& w) { w.i32(s.textureWidth); }},
      {"*texture height", [&](ByteWriter& w) { w.i32(s.textureHeight); }},
      {"*zero", [&](ByteWriter& w) { w.i32(0); }},
      {"*second names", [&](ByteWriter& w) { w.i32(0); }},
      {"*names",
       [&](ByteWriter& w) {
         w.i32(o.characterSet);
         name(w, o.environmentName);
         name(w, o.textureName);
       }},
      {"*raw thumbnail", [&](ByteWriter& w) { w.bytes(o.rawThumbnail); }},
      {"*thumbnail", [&](ByteWriter& w) { w.bytes(o.thumbnail); }},
  };
  ByteWriter w;
  w.i32(version);
  for (const LayoutField& f : kLayout) {
    if (!carries(f, version)) continue;
    if (f.field[0] == '*') {
      other.at(f.field)(w);
      continue;
    }
    const ParameterInfo& p = *parameterByName(f.field);
    switch (p.kind) {
      case ParameterKind::lightComponent:
        w.i32(static_cast<int32_t>(std::lround(static_cast<double>(s.*(p.floatField)) * 100.0)));
        break;
      case ParameterKind::colourChannel: w.i32(channelOf(s, p)); break;
      default: w.i32(s.*(p.intField)); break;
    }
  }
  return w.take();
}

// Whether a file of `version` carries the parameter named `parameter`.
bool carriesParameter(std::string_view parameter, int version) {
  for (const LayoutField& f : kLayout)
    if (parameter == f.field) return carries(f, version);
  ADD_FAILURE() << "the layout lacks " << parameter;
  return false;
}

// ---- Values.

// Every numeric parameter at a value of its own, inside its range and away from its factory
// value, so that a field read from the wrong place or not at all shows. Colours get a low
// byte too; the tarnish stays at or below 50 and the smoothness away from 2, where old
// versions are fixed up.
EffectSettings distinctSettings() {
  EffectSettings s = factorySettings();
  int i = 0;
  for (const ParameterInfo& p : parameterTable()) {
    ++i;
    switch (p.kind) {
      case ParameterKind::integer:
      case ParameterKind::enumerated: {
        const int lo = static_cast<int>(p.minimum), span = static_cast<int>(p.maximum) - lo + 1;
        int v = lo + (i * 37 + 11) % span;
        if (v == p.factoryDefault) v = lo + (v - lo + 1) % span;
        s.*(p.intField) = v;
        break;
      }
      case ParameterKind::boolean: s.*(p.intField) = p.factoryDefault != 0 ? 0 : 1; break;
      case ParameterKind::lightComponent: {
        // A little beyond a whole hundredth, so that truncating and rounding agree.
        const float hundredths = static_cast<float>((i % 19 - 9) * 10 + 3);
        s.*(p.floatField) = (hundredths + (hundredths < 0 ? -0.4f : 0.4f)) / 100.0f;
        break;
      }
      case ParameterKind::colourChannel: {
        const auto v = static_cast<uint16_t>((i * 2311 + 777) | 1);
        SettingsColour& c = s.colours[p.colourSlot];
        (p.channel == 0 ? c.red : p.channel == 1 ? c.green : c.blue) = v;
        break;
      }
      case ParameterKind::pictureName: break;
    }
  }
  s.tarnish = 37;
  s.smoothness = 71;
  s.textureChoice = 13;  // the texture name is kept only for a picture texture
  s.dialogPanels[0] = 3, s.dialogPanels[1] = 4, s.dialogPanels[2] = 2;
  s.optionWord = 7;
  s.secondOptionWord = 0;
  s.textureWidth = 200, s.textureHeight = 150;
  setText(s.environmentName, "sky");
  setText(s.textureName, "stone");
  return s;
}

std::string describe(const ParameterInfo& p, const EffectSettings& s) {
  if (p.kind == ParameterKind::colourChannel) return std::to_string(channelOf(s, p));
  if (p.kind == ParameterKind::pictureName) return s.*(p.textField);
  return std::to_string(parameterNumber(s, p));
}

// A picture name as the file means it: no name and "<none>" are the same.
std::string pictureName(const char* field) {
  return std::strcmp(field, "") == 0 ? std::string(kNoPictureName) : std::string(field);
}

// Every parameter of `read` equals that of `expected`; colours to the whole 16 bits, lights to
// their hundredths.
void expectSameSettings(const EffectSettings& read, const EffectSettings& expected,
                        const std::string& context) {
  for (const ParameterInfo& p : parameterTable()) {
    bool same;
    switch (p.kind) {
      case ParameterKind::colourChannel: same = channelOf(read, p) == channelOf(expected, p); break;
      case ParameterKind::lightComponent:
        same = std::fabs(read.*(p.floatField) - expected.*(p.floatField)) < 0.0100001f;
        break;
      case ParameterKind::pictureName:
        same = pictureName(read.*(p.textField)) == pictureName(expected.*(p.textField));
        break;
      default: same = read.*(p.intField) == expected.*(p.intField); break;
    }
    EXPECT_TRUE(same) << context << ": " << p.name << " is " << describe(p, read) << ", expected "
                      << describe(p, expected);
  }
}

SettingsFileResult load(const std::vector<uint8_t>& bytes, EffectSettings& s) {
  return decodeSettingsFile(bytes, SettingsReadMode::load, s);
}

// ---- The written file.

TEST(SettingsFileWriting, startsWithVersion221AndWritesNamesInWindows1252) {
  struct Case {
    const char* name;  // UTF-8
    std::vector<uint8_t> written;
  };
  for (const Case& c : {Case{"", {0, 0, 0, 6, '<', 'n', 'o', 'n', 'e', '>', 0}},
                        Case{"Caf\xc3\xa9 \xe2\x82\xac \xce\xa9",  // "Café € Ω"
                             {0, 0, 0, 8, 'C', 'a', 'f', 0xE9, ' ', 0x80, ' ', '?', 0}}}) {
    EffectSettings s = factorySettings();
    setText(s.environmentName, c.name);
    const std::vector<uint8_t> bytes = encodeSettingsFile(s, nullptr);
    ASSERT_GE(bytes.size(), 200u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4),
              (std::vector<uint8_t>{0x00, 0x00, 0x00, 0xDD}));
    // The environment name follows 48 ints.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 192, bytes.begin() + 192 + c.written.size()),
              c.written);
  }
}

TEST(SettingsFileWriting, lightComponentsTravelAsTruncatedHundredths) {
  EffectSettings s = factorySettings();
  s.light1X = -0.4243f;
  s.light1Y = 0.999f;
  const std::vector<uint8_t> bytes = encodeSettingsFile(s, nullptr);
  const auto intAt = [&](size_t field) {
    const size_t at = (field - 1) * 4;
    return static_cast<int32_t>(uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
                                uint32_t(bytes[at + 2]) << 8 | bytes[at + 3]);
  };
  EXPECT_EQ(intAt(15), -42);
  EXPECT_EQ(intAt(16), 99);
  EffectSettings read = factorySettings();
  ASSERT_EQ(load(bytes, read).code, 0);
  EXPECT_FLOAT_EQ(read.light1X, -0.42f);
  EXPECT_FLOAT_EQ(read.light1Y, 0.99f);
}

// Every hundredth from -1 to 1 read and written again gives the same hundredth, so saving a
// loaded preset over and over never lets a light drift.
TEST(SettingsFileWriting, lightHundredthsSurviveRepeatedSaving) {
  for (int hundredths = -100; hundredths <= 100; ++hundredths) {
    EffectSettings s = distinctSettings();
    s.light2Z = hundredths / 100.0f;
    std::vector<uint8_t> bytes = oldFile(221, s);
    for (int round = 0; round < 3; ++round) {
      EffectSettings read = factorySettings();
      ASSERT_EQ(load(bytes, read).code, 0);
      bytes = encodeSettingsFile(read, nullptr);
    }
    EffectSettings read = factorySettings();
    ASSERT_EQ(load(bytes, read).code, 0);
    EXPECT_EQ(std::lround(read.light2Z * 100.0f), hundredths);
    EXPECT_EQ(static_cast<int>(read.light2Z * 100.0f), hundredths);
  }
}

TEST(SettingsFileWriting, matchesTheLayoutOfEveryField) {
  const EffectSettings s = distinctSettings();
  EXPECT_EQ(encodeSettingsFile(s, nullptr), oldFile(221, s));
}

// ---- Round trips.

TEST(SettingsFileRoundTrip, everySettingSurvivesAtFactoryValuesAndAtTheEndsOfItsRange) {
  std::vector<std::pair<std::string, EffectSettings>> cases = {{"factory", factorySettings()},
                                                               {"distinct", distinctSettings()}};
  for (const ParameterInfo& p : parameterTable()) {
    for (const bool top : {false, true}) {
      EffectSettings s = factorySettings();
      switch (p.kind) {
        case ParameterKind::integer:
        case ParameterKind::enumerated:
        case ParameterKind::boolean:
        case ParameterKind::lightComponent:
          setParameterNumber(s, p, top ? p.maximum : p.minimum);
          break;
        case ParameterKind::colourChannel: {
          SettingsColour& c = s.colours[p.colourSlot];
          (p.channel == 0 ? c.red : p.channel == 1 ? c.green : c.blue) = top ? 65535 : 0;
          break;
        }
        case ParameterKind::pictureName:
          s.textureChoice = 13;
          setText(s.*(p.textField), top ? std::string(259, 'n').c_str() : "");
          break;
      }
      cases.push_back({std::string(p.name) + (top ? " at its top" : " at its bottom"), s});
    }
  }
  for (const auto& [context, written] : cases) {
    EffectSettings read = factorySettings();
    read.environmentSpin = written.environmentSpin == 1 ? 2 : 1;
    const SettingsFileResult result = load(encodeSettingsFile(written, nullptr), read);
    ASSERT_EQ(result.code, 0) << context << ": " << result.problem;
    EXPECT_EQ(result.version, 221);
    expectSameSettings(read, written, context);
    EXPECT_EQ(std::memcmp(read.dialogPanels, written.dialogPanels, 3 * sizeof(int32_t)), 0);
    EXPECT_EQ(read.optionWord, written.optionWord) << context;
    EXPECT_EQ(read.secondOptionWord, written.secondOptionWord) << context;
  }
}

TEST(SettingsFileRoundTrip, theThumbnailComesBack) {
  const std::unique_ptr<Picture> picture =
      createPicture(kThumbnailSide, kThumbnailSide, PictureKind::rgba8, WrapMode::clamp);
  ASSERT_TRUE(picture);
  for (int y = 0; y < kThumbnailSide; ++y)
    for (int x = 0; x < kThumbnailSide; ++x) picture->setPixel(x, y, 0, x * 2, y * 2, 128, 255);
  const EffectSettings s = distinctSettings();
  EffectSettings read = factorySettings();
  const SettingsFileResult result =
      decodeSettingsFile(encodeSettingsFile(s, picture.get()), SettingsReadMode::thumbnail, read);
  ASSERT_EQ(result.code, 0) << result.problem;
  ASSERT_TRUE(result.thumbnail);
  EXPECT_EQ(result.thumbnailWidth, kThumbnailSide);
  EXPECT_EQ(result.thumbnailHeight, kThumbnailSide);
  EXPECT_EQ(result.thumbnail->width(), kThumbnailSide);
  EXPECT_EQ(result.thumbnail->height(), kThumbnailSide);
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{5, 5}, {64, 32}, {120, 100}}) {
    const Rgba p = result.thumbnail->readPicturePixel(x, y, 0);
    EXPECT_NEAR(p.red * 255, x * 2, 8) << x << "," << y;
    EXPECT_NEAR(p.green * 255, y * 2, 8) << x << "," << y;
    EXPECT_NEAR(p.blue * 255, 128, 8) << x << "," << y;
  }
  // The settings after the thumbnail are read too.
  EffectSettings loaded = factorySettings();
  ASSERT_EQ(load(encodeSettingsFile(s, picture.get()), loaded).code, 0);
  EXPECT_EQ(loaded.sphericalEnvironment, s.sphericalEnvironment);
}

// ---- Older versions.

// The fields a version lacks keep the value the record had, except those with a fixed value.
TEST(SettingsFileVersions, eachVersionReadsItsFieldsAndFillsTheRest) {
  const std::map<std::string, int32_t> fixedWhenAbsent = {
      {"iridescence", 0},   {"tarnish", 0},       {"environment spin", 0}, {"glue", 1},
      {"texture pan X", 0}, {"texture pan Y", 0}, {"smoothness", 30},      {"blotches", 0}};
  const EffectSettings inFile = distinctSettings();
  EffectSettings before = factorySettings();
  // Values the fixed fallbacks would not produce, so that the fallbacks show.
  before.tarnish = 40, before.environmentSpin = 2, before.glue = 5, before.texturePanX = 7;
  before.texturePanY = -7, before.smoothness = 80, before.blotches = 60, before.iridescence = 90;
  for (int version :
       {1,  15, 16,  17,  18,  19,  20,  21,  22,  23,  25,  26,  27,  28,  29,  30,  31,  32, 33,
        34, 35, 199, 200, 201, 202, 203, 204, 205, 206, 207, 208, 209, 210, 219, 220, 221, 400}) {
    EffectSettings read = before;
    const SettingsFileResult result = load(oldFile(version, inFile), read);
    ASSERT_EQ(result.code, 0) << "version " << version << ": " << result.problem;
    EXPECT_EQ(result.version, version);
    EffectSettings expected = before;
    for (const ParameterInfo& p : parameterTable()) {
      if (p.kind == ParameterKind::pictureName) continue;
      const bool inThisFile = carriesParameter(p.name, version) &&
                              !(std::string(p.name) == "blotches" && version < 208);
      if (inThisFile) {
        if (p.kind == ParameterKind::colourChannel) {
          expected.colours[p.colourSlot] = inFile.colours[p.colourSlot];
        } else if (p.kind == ParameterKind::lightComponent) {
          expected.*(p.floatField) = inFile.*(p.floatField);
        } else {
          expected.*(p.intField) = inFile.*(p.intField);
        }
      } else if (auto fixed = fixedWhenAbsent.find(p.name); fixed != fixedWhenAbsent.end()) {
        expected.*(p.intField) = fixed->second;
      }
    }
    // Names from version 31 on; the older files leave them as they were.
    if (version >= 31) {
      setText(expected.environmentName, "sky");
      setText(expected.textureName, "stone");
    }
    expectSameSettings(read, expected, "version " + std::to_string(version));
  }
}

TEST(SettingsFileVersions, oldTarnishAndSmoothnessScalesAreConverted) {
  struct Case {
    int version, tarnish, smoothness, expectedTarnish, expectedSmoothness;
  };
  for (const Case c :
       {Case{28, 90, 40, 60, 30}, Case{28, 50, 40, 50, 30}, Case{28, 100, 40, 62, 30},
        Case{29, 90, 40, 90, 30}, Case{33, 20, 2, 20, 30}, Case{34, 20, 2, 20, 0},
        Case{34, 20, 3, 20, 3}, Case{35, 20, 2, 20, 2}, Case{221, 90, 2, 90, 2}}) {
    EffectSettings inFile = distinctSettings();
    inFile.tarnish = c.tarnish;
    inFile.smoothness = c.smoothness;
    EffectSettings read = factorySettings();
    ASSERT_EQ(load(oldFile(c.version, inFile), read).code, 0);
    EXPECT_EQ(read.tarnish, c.expectedTarnish) << "version " << c.version;
    EXPECT_EQ(read.smoothness, c.expectedSmoothness) << "version " << c.version;
  }
}

TEST(SettingsFileVersions, theTextureNameIsKeptOnlyForAPictureTexture) {
  EffectSettings inFile = distinctSettings();
  inFile.textureChoice = 4;
  EffectSettings read = factorySettings();
  setText(read.textureName, "old");
  setText(read.texturePath, "/pictures/old.png");
  setText(read.environmentPath, "/pictures/old-sky.png");
  ASSERT_EQ(load(oldFile(221, inFile), read).code, 0);
  EXPECT_STREQ(read.textureName, "");
  EXPECT_STREQ(read.environmentName, "sky");
  EXPECT_STREQ(read.texturePath, "");
  EXPECT_STREQ(read.environmentPath, "");
}

TEST(SettingsFileVersions, namesInMacOsRomanAreTranslated) {
  OldFileOptions mac;
  mac.characterSet = 0;
  mac.environmentName = "Caf\x8e \xdb \xad";  // é, the euro sign, and "not equal" (no form)
  mac.textureName = "\xa5";                   // bullet
  EffectSettings read = factorySettings();
  ASSERT_EQ(load(oldFile(200, distinctSettings(), mac), read).code, 0);
  // In memory the names are UTF-8; the unmatched byte 0xAD stays 0xAD, a soft hyphen.
  EXPECT_STREQ(read.environmentName, "Caf\xc3\xa9 \xe2\x82\xac \xc2\xad");
  EXPECT_STREQ(read.textureName, "\xe2\x80\xa2");

  OldFileOptions windows = mac;
  windows.characterSet = 1;
  windows.environmentName = "Caf\xe9";
  ASSERT_EQ(load(oldFile(200, distinctSettings(), windows), read).code, 0);
  EXPECT_STREQ(read.environmentName, "Caf\xc3\xa9");
}

TEST(SettingsFileVersions, aLongWindowsNameIsCutOnACharacterBoundary) {
  OldFileOptions o;
  o.environmentName = std::string(259, '\xe9');  // 518 bytes of UTF-8
  EffectSettings read = factorySettings();
  ASSERT_EQ(load(oldFile(221, distinctSettings(), o), read).code, 0);
  const std::string name = read.environmentName;
  EXPECT_EQ(name.size(), 258u);
  EXPECT_TRUE(isUtf8(name));
}

TEST(SettingsFileVersions, embeddedPicturesAndRawThumbnailsAreSkipped) {
  EffectSettings inFile = distinctSettings();
  // An old file with a 10-byte environment block: the block goes between the texture size
  // and the reserved field.
  std::vector<uint8_t> bytes = oldFile(30, inFile);
  ByteWriter block;
  block.i32(10);
  for (int i = 0; i < 10; ++i) block.u8(0xEE);
  const size_t blockAt = 4 * 38;  // after fields 1..38
  bytes.erase(bytes.begin() + blockAt, bytes.begin() + blockAt + 4);
  bytes.insert(bytes.begin() + blockAt, block.data().begin(), block.data().end());
  EffectSettings read = factorySettings();
  SettingsFileResult result = load(bytes, read);
  ASSERT_EQ(result.code, 0) << result.problem;
  EXPECT_TRUE(result.embeddedPictureSkipped);
  EXPECT_EQ(read.glue, inFile.glue);
  EXPECT_EQ(read.texturePanY, inFile.texturePanY);

  // Raw thumbnails are skipped by their stated size, each side clamped to 128.
  struct Raw {
    int32_t width, height;
    size_t bytes;
  };
  for (const Raw raw : {Raw{64, 64, 12288}, Raw{32, 16, 1536}, Raw{500, 2, 768}, Raw{-4, 9, 0}}) {
    OldFileOptions o;
    ByteWriter w;
    w.i32(1), w.i32(raw.width), w.i32(raw.height);
    for (size_t i = 0; i < raw.bytes; ++i) w.u8(0x5A);
    o.rawThumbnail = w.take();
    read = factorySettings();
    result = load(oldFile(221, inFile, o), read);
    ASSERT_EQ(result.code, 0) << raw.width << "x" << raw.height << ": " << result.problem;
    EXPECT_FALSE(result.embeddedPictureSkipped);
    EXPECT_EQ(read.sphericalEnvironment, inFile.sphericalEnvironment);
  }
}

TEST(SettingsFileVersions, aThumbnailTooLargeForTheBufferIsSkippedAndTheLastFieldRead) {
  EffectSettings inFile = distinctSettings();
  inFile.sphericalEnvironment = 1;
  OldFileOptions o;
  ByteWriter w;
  w.i32(1), w.i32(128), w.i32(128), w.i32(int32_t(kThumbnailJpegLimit) + 1000);
  for (size_t i = 0; i < kThumbnailJpegLimit + 1000; ++i) w.u8(static_cast<uint8_t>(i));
  o.thumbnail = w.take();
  for (const SettingsReadMode mode : {SettingsReadMode::load, SettingsReadMode::thumbnail}) {
    EffectSettings read = factorySettings();
    const SettingsFileResult result = decodeSettingsFile(oldFile(221, inFile, o), mode, read);
    ASSERT_EQ(result.code, 0) << result.problem;
    EXPECT_FALSE(result.thumbnail);
    if (mode == SettingsReadMode::load) {
      EXPECT_EQ(read.sphericalEnvironment, 1);
    }
  }
}

TEST(SettingsFileVersions, thumbnailModeChangesNothing) {
  const EffectSettings before = distinctSettings();
  EffectSettings read = before;
  for (const std::vector<uint8_t>& bytes :
       {encodeSettingsFile(factorySettings(), nullptr), oldFile(15, factorySettings()),
        std::vector<uint8_t>{0, 0, 0, 0xDD, 0, 0}}) {
    decodeSettingsFile(bytes, SettingsReadMode::thumbnail, read);
    EXPECT_EQ(std::memcmp(&read, &before, sizeof read), 0);
  }
}

// ---- Damaged files.

TEST(SettingsFileDamage, everyTruncationEndsInReadFailed) {
  OldFileOptions o;
  ByteWriter raw;
  raw.i32(1), raw.i32(2), raw.i32(2);
  for (int i = 0; i < 12; ++i) raw.u8(9);
  o.rawThumbnail = raw.take();
  for (const std::vector<uint8_t>& whole :
       {encodeSettingsFile(distinctSettings(), nullptr), oldFile(221, distinctSettings(), o),
        oldFile(33, distinctSettings())}) {
    for (size_t size = 0; size < whole.size(); ++size) {
      const std::vector<uint8_t> prefix(whole.begin(), whole.begin() + size);
      for (const SettingsReadMode mode : {SettingsReadMode::load, SettingsReadMode::thumbnail}) {
        EffectSettings read = factorySettings();
        const SettingsFileResult result = decodeSettingsFile(prefix, mode, read);
        ASSERT_EQ(result.code, kSettingsReadFailed) << "size " << size;
        ASSERT_FALSE(result.problem.empty()) << "size " << size;
      }
    }
  }
}

TEST(SettingsFileDamage, impossibleVersionsAndNameLengthsAreDamagedData) {
  for (const int32_t version : {0, -1, INT32_MIN}) {
    EffectSettings read = factorySettings();
    EXPECT_EQ(load(oldFile(version, distinctSettings()), read).code, kSettingsReadFailed);
  }
  for (const int32_t length : {260, -1, INT32_MAX, INT32_MIN}) {
    EffectSettings inFile = distinctSettings();
    std::vector<uint8_t> bytes = oldFile(221, inFile);
    // The environment name's length follows 48 ints.
    for (int i = 0; i < 4; ++i)
      bytes[192 + i] = static_cast<uint8_t>(uint32_t(length) >> (24 - 8 * i));
    EffectSettings read = factorySettings();
    const SettingsFileResult result = load(bytes, read);
    EXPECT_EQ(result.code, kSettingsReadFailed) << length;
    EXPECT_NE(result.problem.find("environment picture name"), std::string::npos) << result.problem;
    // What came before the damage stays loaded.
    EXPECT_EQ(read.glue, inFile.glue);
    EXPECT_EQ(read.texturePanX, inFile.texturePanX);
    EXPECT_EQ(read.smoothness, factorySettings().smoothness);
  }
}

TEST(SettingsFileDamage, valuesOutOfRangeAreBroughtIntoRange) {
  EffectSettings inFile = distinctSettings();
  inFile.glue = 999, inFile.shape = -3, inFile.textureChoice = 0, inFile.radius = 100000;
  inFile.environmentSpin = 9, inFile.wetRain = 5, inFile.randomSeed = -1;
  inFile.textureWidth = 1 << 30, inFile.textureHeight = -8;
  inFile.light1X = 500.0f;
  std::vector<uint8_t> bytes = oldFile(221, inFile);
  // The red of light 1 (field 22) far beyond 16 bits.
  const size_t red = 21 * 4;
  bytes[red] = 0x7F, bytes[red + 1] = 0xFF;
  EffectSettings read = factorySettings();
  ASSERT_EQ(load(bytes, read).code, 0);
  EXPECT_EQ(read.glue, 74);
  EXPECT_EQ(read.shape, 1);
  EXPECT_EQ(read.textureChoice, 1);
  EXPECT_EQ(read.radius, 100);
  EXPECT_EQ(read.environmentSpin, 3);
  EXPECT_EQ(read.wetRain, 1);
  EXPECT_EQ(read.randomSeed, 0);
  EXPECT_EQ(read.textureWidth, 256);
  EXPECT_EQ(read.textureHeight, 0);
  EXPECT_EQ(read.light1X, 1.0f);
  EXPECT_EQ(read.colours[light1Color].red, 65535);
}

// ---- Files on disk.

ssize_t failingWrite(int, const void*, size_t, off_t) {
  errno = ENOSPC;
  return -1;
}

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SettingsFileOnDisk, aFailedWriteKeepsTheOldPreset) {
  testing::ScratchDir dir;
  ASSERT_TRUE(dir.valid());
  const std::string path = dir.file("shiny.q5q");
  ASSERT_EQ(writeSettingsFile(path, distinctSettings(), nullptr), 0);
  const std::string old = contents(path);
  const WriteAtFunction previous = setWriteFunctionForTests(&failingWrite);
  const int32_t code = writeSettingsFile(path, factorySettings(), nullptr);
  setWriteFunctionForTests(previous);
  EXPECT_EQ(code, kSettingsWriteFailed);
  EXPECT_EQ(contents(path), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);

  EffectSettings read = factorySettings();
  const SettingsFileResult result = readSettingsFile(path, SettingsReadMode::load, read);
  ASSERT_EQ(result.code, 0) << result.problem;
  expectSameSettings(read, distinctSettings(), "read back");
}

TEST(SettingsFileOnDisk, aMissingFileIsNotFoundAndChangesNothing) {
  testing::ScratchDir dir;
  EffectSettings read = distinctSettings();
  const EffectSettings expected = read;
  EXPECT_EQ(readSettingsFile(dir.file("absent.q5q"), SettingsReadMode::load, read).code,
            kSettingsFileNotFound);
  EXPECT_EQ(std::memcmp(&read, &expected, sizeof read), 0);
  EXPECT_EQ(readSettingsFile(dir.path().string(), SettingsReadMode::load, read).code,
            kSettingsReadFailed);
}

}  // namespace
}  // namespace orichalcumite
