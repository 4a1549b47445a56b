#include "settings/enumerations.h"

#include <array>

#include "base/text_compare.h"

namespace orichalcumite {
namespace {

// Indexes 1..15 carry "SG" codes; indexes 16..74 carry "GL" followed by index - 5. Index 31 is
// "hard diff" in the dialog and "harsh diff" in the terminology. The last eight modes are
// exchanged by code but not declared.
constexpr EnumEntry kGlueModes[kGlueModeCount] = {
    {1, "normal", fourCC("SG01"), "normal"},
    {2, "procedural +", fourCC("SG02"), "procedural +"},
    {3, "procedural -", fourCC("SG03"), "procedural -"},
    {4, "difference", fourCC("SG04"), "difference"},
    {5, "lighten", fourCC("SG05"), "lighten"},
    {6, "darken", fourCC("SG06"), "darken"},
    {7, "add", fourCC("SG07"), "add"},
    {8, "subtract", fourCC("SG08"), "subtract"},
    {9, "multiply", fourCC("SG09"), "multiply"},
    {10, "screen", fourCC("SG10"), "screen"},
    {11, "tarnish", fourCC("SG11"), "tarnish"},
    {12, "caustic", fourCC("SG12"), "caustic"},
    {13, "abrasion", fourCC("SG13"), "abrasion"},
    {14, "height", fourCC("SG14"), "height"},
    {15, "unlit", fourCC("SG15"), "unlit"},
    {16, "hard light", fourCC("GL11"), "hard light"},
    {17, "overlay", fourCC("GL12"), "overlay"},
    {18, "superlay", fourCC("GL13"), "superlay"},
    {19, "exclusion", fourCC("GL14"), "exclusion"},
    {20, "color", fourCC("GL15"), "color"},
    {21, "luminance", fourCC("GL16"), "luminance"},
    {22, "linear light", fourCC("GL17"), "linear light"},
    {23, "pin light", fourCC("GL18"), "pin light"},
    {24, "spin light", fourCC("GL19"), "spin light"},
    {25, "vivid a", fourCC("GL20"), "vivid a"},
    {26, "vivid b", fourCC("GL21"), "vivid b"},
    {27, "saturation", fourCC("GL22"), "saturation"},
    {28, "hue", fourCC("GL23"), "hue"},
    {29, "similarity", fourCC("GL24"), "similarity"},
    {30, "cross", fourCC("GL25"), "cross"},
    {31, "hard diff", fourCC("GL26"), "harsh diff"},
    {32, "soft light", fourCC("GL27"), "soft light"},
    {33, "bright", fourCC("GL28"), "bright"},
    {34, "dim", fourCC("GL29"), "dim"},
    {35, "dodge", fourCC("GL30"), "dodge"},
    {36, "burn", fourCC("GL31"), "burn"},
    {37, "ace", fourCC("GL32"), "ace"},
    {38, "king", fourCC("GL33"), "king"},
    {39, "queen", fourCC("GL34"), "queen"},
    {40, "jack", fourCC("GL35"), "jack"},
    {41, "and", fourCC("GL36"), "and"},
    {42, "or", fourCC("GL37"), "or"},
    {43, "xor", fourCC("GL38"), "xor"},
    {44, "multibright", fourCC("GL39"), "multibright"},
    {45, "hot", fourCC("GL40"), "hot"},
    {46, "cold", fourCC("GL41"), "cold"},
    {47, "wet", fourCC("GL42"), "wet"},
    {48, "dry", fourCC("GL43"), "dry"},
    {49, "up", fourCC("GL44"), "up"},
    {50, "down", fourCC("GL45"), "down"},
    {51, "wax", fourCC("GL46"), "wax"},
    {52, "wane", fourCC("GL47"), "wane"},
    {53, "north", fourCC("GL48"), "north"},
    {54, "south", fourCC("GL49"), "south"},
    {55, "east", fourCC("GL50"), "east"},
    {56, "west", fourCC("GL51"), "west"},
    {57, "hard mix", fourCC("GL52"), "hard mix"},
    {58, "frontal", fourCC("GL53"), "frontal"},
    {59, "parietal", fourCC("GL54"), "parietal"},
    {60, "temporal", fourCC("GL55"), "temporal"},
    {61, "occipital", fourCC("GL56"), "occipital"},
    {62, "limbic", fourCC("GL57"), "limbic"},
    {63, "dextrous", fourCC("GL58"), "dextrous"},
    {64, "sinister", fourCC("GL59"), "sinister"},
    {65, "anterior", fourCC("GL60"), nullptr},
    {66, "posterior", fourCC("GL61"), nullptr},
    {67, "screendim", fourCC("GL62"), "screendim"},
    {68, "starbright", fourCC("GL63"), "starbright"},
    {69, "glow", fourCC("GL64"), nullptr},
    {70, "reflect", fourCC("GL65"), nullptr},
    {71, "shimmer", fourCC("GL66"), nullptr},
    {72, "lustre", fourCC("GL67"), nullptr},
    {73, "negation", fourCC("GL68"), nullptr},
    {74, "contrast negate", fourCC("GL69"), nullptr},
};
constexpr EnumEntry kTextureChoices[kTextureChoiceCount] = {
    {1, "none", fourCC("St01"), "none"},
    {2, "claws", fourCC("St02"), "claws"},
    {3, "wiggles", fourCC("St03"), "wiggles"},
    {4, "arabesque", fourCC("St04"), "arabesque"},
    {5, "squiggles", fourCC("St05"), "squiggles"},
    {6, "plateaux", fourCC("St06"), "plateaux"},
    {7, "bubbles", fourCC("St07"), "bubbles"},
    {8, "anti-bubbles", fourCC("St08"), "anti-bubbles"},
    {9, "noise", fourCC("St09"), "noise"},
    {10, "wide noise", fourCC("St10"), "wide noise"},
    {11, "tall noise", fourCC("St11"), "tall noise"},
    {12, "fractal", fourCC("St12"), "fractal"},
    {13, "texture file", fourCC("St13"), "texture file"},
};
constexpr EnumEntry kBevelShapes[kBevelShapeCount] = {
    {1, "ramp", fourCC("Sr01"), "ramp"},
    {2, "crater", fourCC("Sr02"), "crater"},
    {3, "donut", fourCC("Sr03"), "donut"},
    {4, "hump", fourCC("Sr04"), "hump"},
    {5, "anti-hump", fourCC("Sr05"), "anti-hump"},
    {6, "double ramp", fourCC("Sr06"), "double ramp"},
    {7, "crater+ramp", fourCC("Sr07"), "crater+ramp"},
    {8, "donut+hump", fourCC("Sr08"), "donut+hump"},
    {9, "mixed crater", fourCC("Sr09"), "mixed crater"},
    {10, "double crater", fourCC("Sr10"), "double crater"},
    {11, "double donut", fourCC("Sr11"), "double donut"},
    {12, "mixed donut", fourCC("Sr12"), "mixed donut"},
    {13, "sigmoid", fourCC("Sr13"), "sigmoid"},
    {14, "edgeless", fourCC("Sr14"), "edgeless"},
};

// The terminology declares indexes 1..64 of the glue modes, then screendim and starbright.
constexpr std::array<const EnumEntry*, 66> kGlueTerminology = [] {
  std::array<const EnumEntry*, 66> order{};
  for (int i = 0; i < 64; ++i) order[i] = &kGlueModes[i];
  order[64] = &kGlueModes[66];
  order[65] = &kGlueModes[67];
  return order;
}();

template <size_t N> constexpr std::array<const EnumEntry*, N> allOf(const EnumEntry (&entries)[N]) {
  std::array<const EnumEntry*, N> order{};
  for (size_t i = 0; i < N; ++i) order[i] = &entries[i];
  return order;
}
constexpr auto kTextureTerminology = allOf(kTextureChoices);
constexpr auto kShapeTerminology = allOf(kBevelShapes);

}  // namespace

uint32_t enumTypeCode(Enumeration e) {
  switch (e) {
    case Enumeration::glueMode: return fourCC("SGty");
    case Enumeration::bevelShape: return fourCC("Srty");
    case Enumeration::textureChoice: return fourCC("Stty");
  }
  return 0;
}

std::optional<Enumeration> enumerationOfType(uint32_t typeCode) {
  for (Enumeration e : {Enumeration::glueMode, Enumeration::bevelShape, Enumeration::textureChoice})
    if (enumTypeCode(e) == typeCode) return e;
  return std::nullopt;
}

std::span<const EnumEntry> enumEntries(Enumeration e) {
  switch (e) {
    case Enumeration::glueMode: return kGlueModes;
    case Enumeration::bevelShape: return kBevelShapes;
    case Enumeration::textureChoice: return kTextureChoices;
  }
  return {};
}

std::span<const EnumEntry* const> terminologyEntries(Enumeration e) {
  switch (e) {
    case Enumeration::glueMode: return kGlueTerminology;
    case Enumeration::bevelShape: return kShapeTerminology;
    case Enumeration::textureChoice: return kTextureTerminology;
  }
  return {};
}

int enumIndexFromCode(Enumeration e, uint32_t code) {
  for (const EnumEntry& entry : enumEntries(e))
    if (entry.code == code) return entry.index;
  return 0;
}

uint32_t enumCodeFromIndex(int index, Enumeration e) {
  const auto entries = enumEntries(e);
  if (index < 1 || index > static_cast<int>(entries.size())) return fourCC("<NO>");
  return entries[index - 1].code;
}

std::string_view enumName(Enumeration e, int index) {
  const auto entries = enumEntries(e);
  if (index < 1 || index > static_cast<int>(entries.size())) return {};
  return entries[index - 1].name;
}

int enumIndexFromText(Enumeration e, std::string_view text) {
  for (const EnumEntry& entry : enumEntries(e)) {
    if (equalsIgnoringCase(text, entry.name)) return entry.index;
    if (entry.terminologyName && equalsIgnoringCase(text, entry.terminologyName))
      return entry.index;
    if (equalsIgnoringCase(text, fourCCText(entry.code))) return entry.index;
  }
  return 0;
}

}  // namespace orichalcumite
