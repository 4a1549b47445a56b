// Adding previews to a folder of presets: which files are refreshed, what a refreshed file
// holds, and that nothing the batch cannot handle is changed by a single byte.
#include "gallery/preset_refresh.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string_view>

#include "base/byte_writer.h"
#include "base/random_generator.h"
#include "base/replace_file.h"
#include "pictures/effect_pictures.h"
#include "settings/parameter_table.h"
#include "settings/settings_file.h"
#include "settings/user_state.h"
#include "tests/support/factory_settings.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;
using testing::factorySettings;

std::string fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string asText(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// A file of the older family at version 15: the version, then the sixteen fields every version
// carries (three dialog panels, texture strength, shape, reflection, height, option word,
// gloss, glare, texture choice, radius, second option word, light 1 in hundredths).
std::string version15File(int32_t radius) {
  ByteWriter w;
  for (int32_t v : {15, 1, 1, 5, 40, 3, 60, 50, 1, 70, 20, 2, radius, 0, -42, -40, 81}) w.i32(v);
  return asText(w.take());
}

// A version-220 file (the last before the spherical-environment flag), without thumbnail:
// the current layout less its last field.
std::string version220File(const EffectSettings& s) {
  std::vector<uint8_t> bytes = encodeSettingsFile(s, nullptr);
  bytes.resize(bytes.size() - 4);
  bytes[3] = 220;
  return asText(bytes);
}

// The same with an environment picture embedded as old files did: field 39, after the version
// and 37 ints, holds the block's length, and the block follows.
std::string withEmbeddedPicture(std::string file) {
  const size_t lengthAt = 38 * 4;
  EXPECT_EQ(file.substr(lengthAt, 4), std::string(4, '\0'));
  file.replace(lengthAt, 4, std::string("\0\0\0\4PICT", 8));
  return file;
}

EffectSettings loaded(const fs::path& path, SettingsFileResult* result = nullptr) {
  EffectSettings s = factorySettings();
  SettingsFileResult r = readSettingsFile(path.string(), SettingsReadMode::load, s);
  EXPECT_EQ(r.code, 0) << path;
  if (result) *result = std::move(r);
  return s;
}

std::string pictureName(const char* field) {
  return std::string_view(field).empty() ? std::string(kNoPictureName) : std::string(field);
}

// Every parameter compared by number. A version-221 file keeps light components in hundredths
// and writes "no picture" as "<none>", so a field an old file lacked comes back that way.
void expectSameEffect(const EffectSettings& a, const EffectSettings& b, const std::string& what) {
  for (const ParameterInfo& p : parameterTable()) {
    if (p.kind == ParameterKind::pictureName) {
      EXPECT_EQ(pictureName(a.*(p.textField)), pictureName(b.*(p.textField))) << what;
    } else if (p.kind == ParameterKind::lightComponent) {
      EXPECT_NEAR(parameterNumber(a, p), parameterNumber(b, p), 0.01) << what << ": " << p.name;
    } else {
      EXPECT_EQ(parameterNumber(a, p), parameterNumber(b, p)) << what << ": " << p.name;
    }
  }
}

class PresetRefreshTest : public ::testing::Test {
 protected:
  fs::path file(const std::string& name) const { return dir.path() / name; }

  PresetRefreshSummary refresh(std::function<bool(const PresetRefreshEvent&)> also = {}) {
    return refreshPresets(dir.path().string(), nullptr, pictures, random,
                          [&](const PresetRefreshEvent& event) {
                            events.push_back(event);
                            // The effect is only lent for the call.
                            if (event.step == PresetRefreshStep::refreshed && event.settings)
                              namedAs[event.name] = event.settings->settingsName;
                            return !also || also(event);
                          });
  }

  const PresetRefreshEvent* eventFor(const std::string& name, PresetRefreshStep step) const {
    for (const PresetRefreshEvent& e : events)
      if (e.name == name && e.step == step) return &e;
    return nullptr;
  }

  testing::ScratchDir dir;
  EffectPictures pictures;
  RandomGenerator random{5};
  std::vector<PresetRefreshEvent> events;
  std::map<std::string, std::string> namedAs;  // the settings name of each refreshed preset
};

TEST(PresetRefreshNames, candidatesAndTheirNewNames) {
  struct Case {
    const char* name;
    bool candidate;
    const char* renamed;
  };
  const Case cases[] = {
      {"Gold.q5q", true, "Gold.q5q"},    {"Gold.q9q", true, "Gold.q5q"},
      {"GOLD.Q9Q", true, "GOLD.q5q"},    {"old q9q set.preset", true, "old q9q set.q5q"},
      {"a.q9q.bak", true, "a.q9q.q5q"},  {"plainq9q", true, "plainq9q.q5q"},
      {"q9q.q5q", true, "q9q.q5q"},      {"notes.txt", false, "notes.txt"},
      {"q 5 q.png", false, "q 5 q.png"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isRefreshCandidate(c.name), c.candidate) << c.name;
    EXPECT_EQ(refreshedPresetName(c.name), c.renamed) << c.name;
  }
}

// The files on disk after a whole run are checked end to end with the program; here, what the
// batch reports and that a refreshed preset holds the effect it held before.
TEST_F(PresetRefreshTest, reportsEachPresetAndKeepsItsEffect) {
  ASSERT_TRUE(dir.valid());
  EffectSettings shiny = factorySettings();
  shiny.glue = 66;
  shiny.radius = 47;
  shiny.light1X = -0.42f;
  setText(shiny.environmentName, "<none>");
  writeBytes(file("Old.q9q"), version15File(33));
  writeBytes(file("Shiny.q5q"), version220File(shiny));
  writeBytes(file("Broken.q5q"), std::string("\0\0\0", 3));
  writeBytes(file("Locked.q5q"), version220File(shiny));
  fs::permissions(file("Locked.q5q"), fs::perms::owner_read | fs::perms::group_read);
  writeBytes(file("Embedded.q5q"), withEmbeddedPicture(version220File(shiny)));
  fs::create_directory(file("Folder.q5q"));
  const std::string embeddedBytes = fileBytes(file("Embedded.q5q"));
  const EffectSettings oldBefore = loaded(file("Old.q9q"));
  const EffectSettings shinyBefore = loaded(file("Shiny.q5q"));

  const PresetRefreshSummary summary = refresh();
  EXPECT_EQ(summary.code, 0);
  EXPECT_EQ(summary.refreshed, 2);
  EXPECT_EQ(summary.renamed, 1);
  EXPECT_EQ(summary.skipped, 3);  // Broken, Locked and Embedded
  EXPECT_EQ(summary.failed, 1);   // Broken
  EXPECT_FALSE(summary.cancelled);

  // Skipped on purpose or for a failure; a folder is no preset at all.
  const std::pair<const char*, bool> skipped[] = {
      {"Broken.q5q", true}, {"Locked.q5q", false}, {"Embedded.q5q", false}};
  for (const auto& [name, failed] : skipped) {
    const PresetRefreshEvent* event = eventFor(name, PresetRefreshStep::skipped);
    ASSERT_NE(event, nullptr) << name;
    EXPECT_EQ(event->failed, failed) << name;
    EXPECT_FALSE(event->reason.empty()) << name;
  }
  EXPECT_EQ(eventFor("Folder.q5q", PresetRefreshStep::skipped), nullptr);
  // Writing it again would drop the picture it embeds.
  EXPECT_EQ(fileBytes(file("Embedded.q5q")), embeddedBytes);

  expectSameEffect(loaded(file("Old.q5q")), oldBefore, "Old");
  expectSameEffect(loaded(file("Shiny.q5q")), shinyBefore, "Shiny");
  // The effect is named after the file it was read from, before any rename.
  EXPECT_EQ(namedAs["Old.q9q"], "Old.q9q");
  EXPECT_EQ(namedAs["Shiny.q5q"], "Shiny.q5q");
}

TEST_F(PresetRefreshTest, aFailedWriteKeepsTheOldFile) {
  ASSERT_TRUE(dir.valid());
  writeBytes(file("Old.q9q"), version15File(33));
  const std::string bytes = fileBytes(file("Old.q9q"));
  const WriteAtFunction previous =
      setWriteFunctionForTests([](int, const void*, size_t, off_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
      });
  const PresetRefreshSummary summary = refresh();
  setWriteFunctionForTests(previous);
  EXPECT_EQ(summary.refreshed, 0);
  EXPECT_EQ(summary.failed, 1);
  EXPECT_EQ(fileBytes(file("Old.q9q")), bytes);
  EXPECT_FALSE(fs::exists(file("Old.q5q")));
  // No temporary file is left behind to be taken for a preset later.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(PresetRefreshTest, aPresetWithoutPictureGetsTheBuiltInEnvironmentNotTheLastOne) {
  ASSERT_TRUE(dir.valid());
  writeBytes(file("a.q5q"), version220File(factorySettings()));  // names "<none>"
  pictures.setEnvironment(createPicture(8, 8, PictureKind::rgba8, WrapMode::noPyramid));
  EXPECT_EQ(refresh().refreshed, 1);
  ASSERT_NE(pictures.environment(), nullptr);
  EXPECT_NE(pictures.environment()->width(), 8);
}

TEST_F(PresetRefreshTest, stopsWhenTheReportSaysSo) {
  ASSERT_TRUE(dir.valid());
  for (const char* name : {"a.q5q", "b.q5q", "c.q5q"}) writeBytes(file(name), version15File(30));
  const PresetRefreshSummary summary = refresh([](const PresetRefreshEvent&) { return false; });
  EXPECT_TRUE(summary.cancelled);
  EXPECT_EQ(summary.refreshed, 1);
  EXPECT_EQ(events.size(), 1u);
}

TEST_F(PresetRefreshTest, theCurrentEffectIsKeptInItsDotFileAndComesBackExactly) {
  ASSERT_TRUE(dir.valid());
  writeBytes(file("a.q5q"), version15File(30));
  EffectSettings current = factorySettings();
  current.light1X = -0.4243f;  // a settings file keeps only -0.42
  current.radius = 61;
  current.secondOptionWord = 0;
  setText(current.settingsName, "mine");
  const EffectSettings before = current;
  EffectPictures currentPictures;
  ASSERT_TRUE(currentPictures.ensureEnvironment());
  int seen = 0;
  const PresetRefreshSummary summary =
      refreshPresetsKeepingEffect(dir.path().string(), current, currentPictures, nullptr, random,
                                  [&](const PresetRefreshEvent&) {
                                    ++seen;
                                    EXPECT_EQ(current.secondOptionWord, 1);
                                    return true;
                                  });
  EXPECT_EQ(summary.refreshed, 1);
  EXPECT_GT(seen, 0);
  EXPECT_EQ(std::memcmp(&current, &before, sizeof current), 0);

  const std::string kept = stateFilePath(memoryDotFileName(kPresetUpdateDot));
  ASSERT_FALSE(kept.empty());
  EffectSettings keptSettings = factorySettings();
  const SettingsFileResult read = readSettingsFile(kept, SettingsReadMode::load, keptSettings);
  EXPECT_EQ(read.code, 0);
  EXPECT_NE(read.thumbnail, nullptr);
  EXPECT_EQ(keptSettings.radius, 61);
}

}  // namespace
}  // namespace orichalcumite
