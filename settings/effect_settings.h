// EffectSettings: the one record that says what effect to make. It lives in the host's
// 4032-byte parameters block, so it is plain data of fixed layout: the host keeps it with the
// document and hands it back on the next run.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orichalcumite {

class RandomGenerator;

constexpr size_t kParametersBlockSize = 4032;
constexpr size_t kTextCapacity = 260;  // names and paths, zero-terminated
constexpr int kColourCount = 10;
constexpr const char* kNoPictureName = "<none>";

// One colour of the settings: three 16-bit channels with the 8-bit value in the high byte.
struct SettingsColour {
  uint16_t red, green, blue;
};

// Index of each colour, in storage order.
enum ColourSlot : int {
  light1Color = 0,
  light2Color,
  tarnishColor,
  abrasionColor,
  rainColor1,
  rainColor2,
  dustColor,
  blotchColor,
  mossColor1,
  mossColor2,
};

struct EffectSettings {
  // ---- Lights: unit-less direction vectors; X and Y in the image plane, Z towards the viewer.
  float light1X, light1Y, light1Z;
  float light2X, light2Y, light2Z;
  // Derived from the vectors for the dialog's light widgets; never stored in files.
  int32_t light1AzimuthDeg, light1Elevation;
  int32_t light2AzimuthDeg, light2Elevation;

  // ---- Material sliders.
  int32_t textureStrength;
  int32_t iriColors;
  int32_t iridescence;
  int32_t tarnish;
  int32_t abrasion;
  int32_t caustic;
  int32_t textureZoom;
  int32_t reflection;
  int32_t height;
  int32_t radius;
  int32_t smoothness;
  int32_t textureChoice;    // TextureChoice 1..13
  int32_t glue;             // GlueMode 1..74
  int32_t shape;            // BevelShape 1..14
  int32_t environmentSpin;  // quarter turns, 0..3
  int32_t gloss;
  int32_t glare;
  int32_t rain;
  int32_t evaporation;
  int32_t diffusion;
  int32_t wander;
  int32_t dust;
  int32_t blotches;
  int32_t embossing;
  int32_t grit;
  int32_t wetRain;  // 0 dry, 1 wet
  int32_t moss;
  int32_t blotchSize;
  int32_t leakiness;
  int32_t gobo1;
  int32_t gobo2;
  int32_t glassiness;
  int32_t sphericalEnvironment;  // 0/1
  int32_t randomSeed;
  int32_t texturePanX, texturePanY;  // pixels
  int32_t whiteCaustic;              // 1 white, 0 rainbow

  // ---- The ten colours, contiguous, in ColourSlot order.
  SettingsColour colours[kColourCount];

  // ---- Pictures: full paths and bare file names. The pixels belong to EffectPictures, which
  // lives outside this block; the tile's size is kept here because settings files carry it.
  char texturePath[kTextCapacity];
  char textureName[kTextCapacity];
  char environmentPath[kTextCapacity];
  char environmentName[kTextCapacity];
  int32_t textureWidth, textureHeight;

  // ---- Name of the current effect.
  char settingsName[kTextCapacity];

  // ---- Dialog state kept with the effect; the renderer ignores it. Panels 0..2 are stored in
  // settings files.
  int32_t dialogPanels[6];
  int32_t optionWord;
  int32_t secondOptionWord;

  // ---- Run-time fields: never part of the effect.
  int32_t hostCanDisplay;  // the host offers both advanceState and displayPixels
  char picturesFolder[kTextCapacity];
  char presetFolder[kTextCapacity];
  int32_t viewFields[5];
};

static_assert(sizeof(EffectSettings) <= kParametersBlockSize,
              "EffectSettings must fit the host's parameters block");

// Sets every effect field to its factory value (leaving environmentSpin, the picture fields and
// the name unchanged) and recomputes the derived light angles.
void loadFactoryDefaults(EffectSettings& s);
// The dialog's Reset: factory defaults with no texture, no reflection, a spherical environment
// and the name "plain settings".
void resetSettings(EffectSettings& s);
// The dialog's Randomize, drawing from `rng`; names the effect "random settings".
void randomizeSettings(EffectSettings& s, RandomGenerator& rng);
// The next glue mode, wrapping from the last to the first.
void nextGlueMode(EffectSettings& s);
// Clears the run-time fields (picture names, view state). Used when a block is
// fresh and at the start of a run.
void resetRunTimeFields(EffectSettings& s);

// Copies the fields that make up "the effect" (what undo, memory dots and the render snapshot
// carry) from `from` to `to`. Picture names and run-time fields are not copied.
void copyEffect(const EffectSettings& from, EffectSettings& to);

// Recomputes the derived azimuth and elevation of both lights from their vectors.
void updateLightAngles(EffectSettings& s);
// The azimuth in whole degrees of a light vector as the dialog's light widget measures it.
int32_t lightAzimuthDeg(float x, float y);
// The elevation value (1 - z) * 600, truncated.
int32_t lightElevation(float z);

// Sets a zero-terminated text field, cutting `text` to fit.
void setText(char (&field)[kTextCapacity], const char* text);

}  // namespace orichalcumite
