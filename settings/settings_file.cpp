#include "settings/settings_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/character_sets.h"
#include "base/replace_file.h"
#include "base/utf8_text.h"
#include "pictures/jpeg_thumbnail.h"
#include "pictures/picture_slots.h"
#include "pictures/texture_generators.h"
#include "settings/effect_settings.h"
#include "settings/parameter_table.h"

namespace orichalcumite {
namespace {

// Field 48: the names that follow are Windows-1252; any other value means Mac OS Roman.
constexpr int32_t kWindowsCharacterSet = 1;
// A name of the file fills at most a 260-byte field with its terminating zero.
constexpr int32_t kMaxNameBytes = static_cast<int32_t>(kTextCapacity) - 1;
// Raw thumbnails of old files: at most 128 x 128 pixels of three bytes.
constexpr int32_t kRawThumbnailMaxSide = 128;
// Files written before the smoothness slider existed get this value.
constexpr int32_t kSmoothnessOfOldFiles = 30;

// Light components travel as hundredths, truncated towards zero. Out-of-range or non-finite
// values (never produced by the dialog) are kept within an int rather than overflowing it.
int32_t lightToFile(float component) {
  const float hundredths = component * 100.0f;
  if (std::isnan(hundredths)) return 0;
  return static_cast<int32_t>(std::clamp(hundredths, -2.0e9f, 2.0e9f));
}

// Hundredths back to a component. The nearest float to n / 100 does not always truncate back
// to n when multiplied by 100 (-0.53 gives -52.99999); the next float away from zero does, so
// a file read and written again keeps every component.
float lightFromFile(int32_t hundredths) {
  float component = static_cast<float>(hundredths) / 100.0f;
  if (lightToFile(component) != hundredths)
    component = std::nextafter(component, hundredths < 0 ? -INFINITY : INFINITY);
  return component;
}

// A text field's contents up to its terminating zero (or all 260 bytes when it has none).
std::string_view fieldText(const char (&field)[kTextCapacity]) {
  return {field, strnlen(field, kTextCapacity)};
}

void writeName(ByteWriter& out, const char (&field)[kTextCapacity]) {
  std::string name = utf8ToWindows1252(fieldText(field));
  if (name.empty()) name = kNoPictureName;
  // Windows-1252 never needs more bytes than UTF-8, so this cut is for damaged fields only.
  if (name.size() > size_t(kMaxNameBytes)) name.resize(kMaxNameBytes);
  out.i32(static_cast<int32_t>(name.size()));
  out.cString(name);
}

void writeColour(ByteWriter& out, const SettingsColour& c) {
  out.i32(c.red);
  out.i32(c.green);
  out.i32(c.blue);
}

// Reads the fields of one file in order, stopping for good at the first that cannot be read.
// Every value read goes straight into the target record, so the fields read before a failure
// stay there.
class FieldReader {
 public:
  FieldReader(std::span<const uint8_t> bytes, SettingsFileResult& result)
      : in_(bytes), result_(result) {}

  bool failed() const { return !result_.problem.empty(); }
  ByteReader& bytes() { return in_; }

  // Stops the read with `what` as the reason.
  bool fail(const std::string& what) {
    if (!failed()) {
      result_.code = kSettingsReadFailed;
      result_.problem = what;
    }
    return false;
  }

  bool number(const char* what, int32_t* v) {
    if (failed()) return false;
    int32_t read = 0;
    if (!in_.i32(&read)) return fail(std::string("the file ends before its ") + what);
    *v = read;
    return true;
  }
  bool number(const char* what, int32_t& v) { return number(what, &v); }

  bool light(const char* what, float& v) {
    int32_t hundredths;
    if (!number(what, &hundredths)) return false;
    v = lightFromFile(hundredths);
    return true;
  }

  // Three channels; a value outside 16 bits (damaged data) is clamped into them.
  bool colour(const char* what, SettingsColour& c) {
    int32_t r, g, b;
    if (!number(what, &r) || !number(what, &g) || !number(what, &b)) return false;
    const auto channel = [](int32_t v) { return static_cast<uint16_t>(std::clamp(v, 0, 65535)); };
    c = {channel(r), channel(g), channel(b)};
    return true;
  }

  // A length, that many bytes and a terminating zero; the text ends at its first zero byte.
  bool name(const char* what, std::string* text) {
    int32_t length;
    if (!number(what, &length)) return false;
    if (length < 0 || length > kMaxNameBytes)
      return fail(std::string("the ") + what + " has an impossible length (" +
                  std::to_string(length) + " bytes)");
    std::span<const uint8_t> raw;
    if (!in_.bytes(size_t(length) + 1, &raw))
      return fail(std::string("the file ends inside its ") + what);
    const auto* chars = reinterpret_cast<const char*>(raw.data());
    *text = std::string(chars, strnlen(chars, size_t(length)));
    return true;
  }

  // An int length and that many bytes, skipped unread; false when they are not all there.
  bool skipBlock(const char* what, bool* skippedSome) {
    int32_t length;
    if (!number(what, &length)) return false;
    if (length < 0)
      return fail(std::string("the ") + what + " has a negative length (" + std::to_string(length) +
                  ")");
    if (length > 0) *skippedSome = true;
    if (!in_.skip(size_t(length))) return fail(std::string("the file ends inside its ") + what);
    return true;
  }

 private:
  ByteReader in_;
  SettingsFileResult& result_;
};

// The picture names as the file carries them, stored once the fields are read.
struct FileNames {
  bool present = false;
  bool windowsCharacterSet = true;
  std::string environment;
  std::string texture;
};

// The field sequence of every version into `t`. Returns when the file ends early or holds
// damaged data (the reader then says why) or after the last field the version has.
void readFields(FieldReader& r, EffectSettings& t, FileNames& names, SettingsFileResult& result,
                bool wantThumbnail) {
  int32_t& version = result.version;
  if (!r.number("version", version)) return;
  if (version < 1) {
    r.fail("its version (" + std::to_string(version) + ") is not one a settings file can have");
    return;
  }
  // The dialog's panels are stored first, third, second.
  r.number("dialog panels", t.dialogPanels[0]);
  r.number("dialog panels", t.dialogPanels[2]);
  r.number("dialog panels", t.dialogPanels[1]);
  r.number("texture strength", t.textureStrength);
  r.number("shape", t.shape);
  r.number("reflection", t.reflection);
  r.number("height", t.height);
  r.number("option word", t.optionWord);
  r.number("gloss", t.gloss);
  r.number("glare", t.glare);
  r.number("texture choice", t.textureChoice);
  r.number("radius", t.radius);
  r.number("second option word", t.secondOptionWord);
  r.light("light 1 X", t.light1X);
  r.light("light 1 Y", t.light1Y);
  r.light("light 1 Z", t.light1Z);
  if (r.failed()) return;

  if (version > 15) r.number("iri colors", t.iriColors);
  if (version > 17) {
    r.light("light 2 X", t.light2X);
    r.light("light 2 Y", t.light2Y);
    r.light("light 2 Z", t.light2Z);
  }
  if (version > 18) {
    r.colour("light 1 colour", t.colours[light1Color]);
    r.colour("light 2 colour", t.colours[light2Color]);
    r.number("glassiness", t.glassiness);
  }
  if (version > 19) r.number("caustic", t.caustic);
  if (version > 20) {
    r.number("texture width", t.textureWidth);
    r.number("texture height", t.textureHeight);
  }
  if (r.failed()) return;
  t.iridescence = 0;
  if (version > 21) r.number("iridescence", t.iridescence);
  t.tarnish = 0;
  if (version > 22) {
    r.colour("tarnish colour", t.colours[tarnishColor]);
    r.number("tarnish", t.tarnish);
  }
  if (r.failed()) return;
  // The tarnish slider's upper half once covered four times its present range.
  if (version < 29 && t.tarnish > 50) t.tarnish = (t.tarnish - 50) / 4 + 50;
  if (version > 25) {
    r.number("texture width", t.textureWidth);
    r.number("texture height", t.textureHeight);
  }
  t.environmentSpin = 0;
  if (version >= 25) {
    // Embedded pictures are only in old files and their layout is not ours to read; the
    // pictures are found again by name.
    r.skipBlock("environment picture", &result.embeddedPictureSkipped);
    r.skipBlock("texture picture", &result.embeddedPictureSkipped);
    int32_t reserved;
    r.number("reserved field", &reserved);
    r.number("environment spin", t.environmentSpin);
  }
  if (r.failed()) return;
  t.glue = 1;
  if (version > 26) r.number("glue", t.glue);
  if (version > 27) {
    r.number("white caustic", t.whiteCaustic);
    r.number("texture zoom", t.textureZoom);
  }
  if (r.failed()) return;
  t.texturePanX = 0;
  t.texturePanY = 0;
  if (version > 28) {
    r.number("texture pan X", t.texturePanX);
    r.number("texture pan Y", t.texturePanY);
  }
  if (version >= 31) {
    int32_t marker;
    if (!r.number("character-set marker", &marker)) return;
    names.windowsCharacterSet = marker == kWindowsCharacterSet;
    if (!r.name("environment picture name", &names.environment) ||
        !r.name("texture picture name", &names.texture))
      return;
    names.present = true;
    if ((version >= 32 && version <= 199) || version >= 207) {
      int32_t secondNames;
      if (!r.number("second-names flag", &secondNames)) return;
      if (secondNames != 0 && (!r.name("environment picture name", &names.environment) ||
                               !r.name("texture picture name", &names.texture)))
        return;
    }
  }
  if (r.failed()) return;
  t.smoothness = kSmoothnessOfOldFiles;
  if (version > 33 && !r.number("smoothness", t.smoothness)) return;
  // Before version 35 the lowest smoothness setting was stored as 2.
  if (version <= 34 && t.smoothness == 2) t.smoothness = 0;

  if (version > 199) {
    r.number("abrasion", t.abrasion);
    r.colour("abrasion colour", t.colours[abrasionColor]);
    r.colour("water stain colour 1", t.colours[rainColor1]);
    r.colour("water stain colour 2", t.colours[rainColor2]);
    r.number("rain", t.rain);
    r.number("evaporation", t.evaporation);
    r.number("diffusion", t.diffusion);
    r.number("wander", t.wander);
  }
  if (version > 200) {
    r.colour("dust colour", t.colours[dustColor]);
    r.number("dust", t.dust);
    r.number("embossing", t.embossing);
    r.number("wet rain", t.wetRain);
  }
  if (version > 201) r.number("grit", t.grit);
  if (version > 202) {
    r.colour("moss colour 1", t.colours[mossColor1]);
    r.colour("moss colour 2", t.colours[mossColor2]);
    r.number("moss", t.moss);
  }
  if (version > 203) {
    r.number("blotch size", t.blotchSize);
    r.number("leakiness", t.leakiness);
  }
  if (version > 204) {
    r.number("gobo 1", t.gobo1);
    r.number("gobo 2", t.gobo2);
  }
  if (r.failed()) return;
  t.blotches = 0;
  if (version > 205) {
    r.colour("blotch colour", t.colours[blotchColor]);
    r.number("blotches", t.blotches);
  }
  if (r.failed()) return;
  // Blotches before version 208 were of another kind, which this effect does not draw.
  if (version < 208) t.blotches = 0;
  if (version > 208) r.number("random seed", t.randomSeed);

  if (version > 209) {
    int32_t rawThumbnail;
    if (!r.number("raw thumbnail flag", &rawThumbnail)) return;
    if (rawThumbnail != 0) {
      // Width x height pixels of three bytes follow. The 64 x 64 thumbnails of those
      // versions take 12288 bytes; skipping by the stated size also gets past any other.
      int32_t width, height;
      if (!r.number("raw thumbnail width", &width) || !r.number("raw thumbnail height", &height))
        return;
      width = std::clamp(width, 0, kRawThumbnailMaxSide);
      height = std::clamp(height, 0, kRawThumbnailMaxSide);
      if (!r.bytes().skip(size_t(width) * size_t(height) * 3)) {
        r.fail("the file ends inside its raw thumbnail");
        return;
      }
    }
  }
  if (version > 219) {
    ThumbnailRecord record;
    if (!readThumbnailRecord(r.bytes(), wantThumbnail, &record)) {
      r.fail("the file ends inside its thumbnail");
      return;
    }
    if (record.version != 0) {
      result.thumbnailWidth = record.width;
      result.thumbnailHeight = record.height;
    }
    result.thumbnail = std::move(record.picture);
  }
  if (version > 220) r.number("spherical environment", t.sphericalEnvironment);
}

// Stores the names read in the record as UTF-8: the texture name only when the texture is
// the picture. The full paths belonged to the names before; the picture search finds the
// new ones.
void storeNames(const FileNames& names, EffectSettings& s) {
  if (!names.present) return;
  const auto store = [](char(&field)[kTextCapacity], const std::string& fileText, bool windows) {
    const std::string utf8 =
        windows1252ToUtf8(windows ? fileText : macRomanToWindows1252(fileText));
    setText(field, utf8.substr(0, utf8PrefixLength(utf8, kTextCapacity - 1)).c_str());
  };
  store(s.environmentName, names.environment, names.windowsCharacterSet);
  setText(s.environmentPath, "");
  if (s.textureChoice == kTextureChoiceFile)
    store(s.textureName, names.texture, names.windowsCharacterSet);
  else
    setText(s.textureName, "");
  setText(s.texturePath, "");
}

}  // namespace

std::vector<uint8_t> encodeSettingsFile(const EffectSettings& s, const Picture* thumbnail) {
  ByteWriter out;
  out.i32(kSettingsFileVersion);
  out.i32(s.dialogPanels[0]);
  out.i32(s.dialogPanels[2]);
  out.i32(s.dialogPanels[1]);
  out.i32(s.textureStrength);
  out.i32(s.shape);
  out.i32(s.reflection);
  out.i32(s.height);
  out.i32(s.optionWord);
  out.i32(s.gloss);
  out.i32(s.glare);
  out.i32(s.textureChoice);
  out.i32(s.radius);
  out.i32(s.secondOptionWord);
  out.i32(lightToFile(s.light1X));
  out.i32(lightToFile(s.light1Y));
  out.i32(lightToFile(s.light1Z));
  out.i32(s.iriColors);
  out.i32(lightToFile(s.light2X));
  out.i32(lightToFile(s.light2Y));
  out.i32(lightToFile(s.light2Z));
  writeColour(out, s.colours[light1Color]);
  writeColour(out, s.colours[light2Color]);
  out.i32(s.glassiness);
  out.i32(s.caustic);
  out.i32(s.textureWidth);
  out.i32(s.textureHeight);
  out.i32(s.iridescence);
  writeColour(out, s.colours[tarnishColor]);
  out.i32(s.tarnish);
  out.i32(s.textureWidth);
  out.i32(s.textureHeight);
  out.i32(0);  // environment picture block: pictures go by name
  out.i32(0);  // texture picture block
  out.i32(0);  // reserved
  out.i32(s.environmentSpin);
  out.i32(s.glue);
  out.i32(s.whiteCaustic);
  out.i32(s.textureZoom);
  out.i32(s.texturePanX);
  out.i32(s.texturePanY);
  out.i32(kWindowsCharacterSet);
  writeName(out, s.environmentName);
  writeName(out, s.textureName);
  out.i32(0);  // no second names
  out.i32(s.smoothness);
  out.i32(s.abrasion);
  writeColour(out, s.colours[abrasionColor]);
  writeColour(out, s.colours[rainColor1]);
  writeColour(out, s.colours[rainColor2]);
  out.i32(s.rain);
  out.i32(s.evaporation);
  out.i32(s.diffusion);
  out.i32(s.wander);
  writeColour(out, s.colours[dustColor]);
  out.i32(s.dust);
  out.i32(s.embossing);
  out.i32(s.wetRain);
  out.i32(s.grit);
  writeColour(out, s.colours[mossColor1]);
  writeColour(out, s.colours[mossColor2]);
  out.i32(s.moss);
  out.i32(s.blotchSize);
  out.i32(s.leakiness);
  out.i32(s.gobo1);
  out.i32(s.gobo2);
  writeColour(out, s.colours[blotchColor]);
  out.i32(s.blotches);
  out.i32(s.randomSeed);
  out.i32(0);  // no raw thumbnail
  writeThumbnailRecord(out, thumbnail, true, kThumbnailQuality);
  out.i32(s.sphericalEnvironment);
  return out.take();
}

int32_t writeSettingsFile(const std::string& path, const EffectSettings& s,
                          const Picture* thumbnail) {
  const std::vector<uint8_t> bytes = encodeSettingsFile(s, thumbnail);
  const Status written = replaceFileContents(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return written ? 0 : kSettingsWriteFailed;
}

SettingsFileResult decodeSettingsFile(std::span<const uint8_t> bytes, SettingsReadMode mode,
                                      EffectSettings& s) {
  SettingsFileResult result;
  // Thumbnail mode reads into a copy, so nothing of `s` can change.
  EffectSettings scratch = s;
  EffectSettings& target = mode == SettingsReadMode::load ? s : scratch;
  FieldReader reader(bytes, result);
  FileNames names;
  readFields(reader, target, names, result, /*wantThumbnail=*/true);
  if (mode == SettingsReadMode::load) {
    storeNames(names, s);
    // Whatever a file holds, the renderer indexes tables with the choices and expects
    // every slider inside its range.
    clampToParameterRanges(s);
    s.textureWidth = std::clamp(s.textureWidth, 0, kTextureMaxSide);
    s.textureHeight = std::clamp(s.textureHeight, 0, kTextureMaxSide);
    updateLightAngles(s);
  }
  return result;
}

SettingsFileResult readSettingsFile(const std::string& path, SettingsReadMode mode,
                                    EffectSettings& s) {
  SettingsFileResult result;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    const int error = errno;
    result.code = error == ENOENT ? kSettingsFileNotFound : kSettingsReadFailed;
    result.problem = std::strerror(error);
    return result;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  bool failed = false, tooLarge = false;
  for (;;) {
    const size_t n = std::fread(chunk, 1, sizeof chunk, file);
    if (n == 0) {
      failed = std::ferror(file) != 0;
      break;
    }
    if (bytes.size() + n > kMaxSettingsFileBytes) {
      tooLarge = true;
      break;
    }
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  const int error = errno;
  std::fclose(file);
  if (failed || tooLarge) {
    result.code = kSettingsReadFailed;
    result.problem = tooLarge ? "it is larger than any settings file" : std::strerror(error);
    return result;
  }
  return decodeSettingsFile(bytes, mode, s);
}

}  // namespace orichalcumite
