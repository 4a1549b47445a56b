#include "host/scripting.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "settings/parameter_table.h"

namespace orichalcumite {
namespace {

// ---- A fake host: descriptors as in-memory lists of typed values --------------------------------

struct EnumValue {
  uint32_t type;
  uint32_t code;
};
using Value = std::variant<int32_t, double, bool, EnumValue, std::string>;

struct Item {
  uint32_t key;
  Value value;
};

uint32_t typeOf(const Value& v) {
  switch (v.index()) {
    case 0: return ps::typeInteger;
    case 1: return ps::typeFloat;
    case 2: return ps::typeBoolean;
    case 3: return ps::typeEnumerated;
    default: return ps::typeText;
  }
}

// A host handle is the address of the block's master pointer, which points at the block.
struct HandleBlock {
  char* master = nullptr;
  std::vector<Item> items;
};
struct Reader {
  const std::vector<Item>* items;
  size_t next = 0;
  const Item* current = nullptr;
  ps::DescriptorKeyID* keys;
};
struct Writer {
  std::vector<Item> items;
};

// The procedures have no context argument, so the host under test is a global.
struct FakeHost {
  std::set<HandleBlock*> liveHandles;
  int calls = 0;  // every descriptor procedure call
  int opens = 0;
  int disposals = 0;
  int badDisposals = 0;
  std::vector<ps::DescriptorKeyID> offeredKeys;
  ps::OSErr putError = ps::noErr;  // returned by every put when set

  ~FakeHost() { reset(); }
  void reset() {
    for (HandleBlock* b : liveHandles) delete b;
    liveHandles.clear();
    calls = opens = disposals = badDisposals = 0;
    offeredKeys.clear();
    putError = ps::noErr;
  }
  ps::Handle makeHandle(std::vector<Item> items) {
    auto* b = new HandleBlock{nullptr, std::move(items)};
    b->master = reinterpret_cast<char*>(b);
    liveHandles.insert(b);
    return &b->master;
  }
  // Found without dereferencing, so a stale handle is recognised rather than read.
  HandleBlock* live(ps::Handle h) {
    auto* b = reinterpret_cast<HandleBlock*>(h);
    return liveHandles.count(b) ? b : nullptr;
  }
};
FakeHost* host = nullptr;

ps::PIReadDescriptor openRead(ps::PIDescriptorHandle h, ps::DescriptorKeyIDArray keys) {
  ++host->calls;
  ++host->opens;
  host->offeredKeys.clear();
  for (ps::DescriptorKeyID* k = keys; *k; ++k) host->offeredKeys.push_back(*k);
  HandleBlock* b = host->live(h);
  return b ? reinterpret_cast<ps::PIReadDescriptor>(new Reader{&b->items, 0, nullptr, keys})
           : nullptr;
}
ps::OSErr closeRead(ps::PIReadDescriptor rd) {
  ++host->calls;
  delete reinterpret_cast<Reader*>(rd);
  return ps::noErr;
}
ps::Boolean getKey(ps::PIReadDescriptor rd, ps::DescriptorKeyID* key, ps::DescriptorTypeID* type,
                   int32_t* flags) {
  ++host->calls;
  auto* r = reinterpret_cast<Reader*>(rd);
  if (r->next >= r->items->size()) return 0;
  r->current = &(*r->items)[r->next++];
  *key = r->current->key;
  *type = typeOf(r->current->value);
  *flags = 0;
  // Like a real host, strike the key from the caller's list.
  for (ps::DescriptorKeyID* k = r->keys; *k; ++k)
    if (*k == *key) *k = 0;
  return 1;
}
// Hands out the current value when it has the type asked for.
template <typename T, typename Out> ps::OSErr get(ps::PIReadDescriptor rd, Out* out) {
  ++host->calls;
  const Item* item = reinterpret_cast<Reader*>(rd)->current;
  const T* v = item ? std::get_if<T>(&item->value) : nullptr;
  if (!v) return ps::paramErr;
  if constexpr (std::is_same_v<T, EnumValue>) {
    *out = v->code;
  } else if constexpr (std::is_same_v<T, std::string>) {
    (*out)[0] = static_cast<unsigned char>(std::min<size_t>(v->size(), 255));
    std::memcpy(*out + 1, v->data(), (*out)[0]);
  } else {
    *out = static_cast<Out>(*v);
  }
  return ps::noErr;
}

ps::PIWriteDescriptor openWrite() {
  ++host->calls;
  return reinterpret_cast<ps::PIWriteDescriptor>(new Writer);
}
ps::OSErr closeWrite(ps::PIWriteDescriptor wd, ps::PIDescriptorHandle* out) {
  ++host->calls;
  auto* w = reinterpret_cast<Writer*>(wd);
  *out = host->makeHandle(std::move(w->items));
  delete w;
  return ps::noErr;
}
ps::OSErr put(ps::PIWriteDescriptor wd, ps::DescriptorKeyID key, Value v) {
  ++host->calls;
  if (host->putError != ps::noErr) return host->putError;
  reinterpret_cast<Writer*>(wd)->items.push_back({key, std::move(v)});
  return ps::noErr;
}

void disposeHandle(ps::Handle h) {
  HandleBlock* b = host->live(h);
  if (!b) {
    ++host->badDisposals;
    return;
  }
  host->liveHandles.erase(b);
  ++host->disposals;
  delete b;
}

// Puts the code of a four-character literal; written out here rather than taken from the
// production tables.
constexpr uint32_t code(const char (&s)[5]) { return ps::fourCC(s); }

class Scripting : public ::testing::Test {
 protected:
  void SetUp() override {
    host = &fake;
    readProcs.readDescriptorProcsVersion = 0;
    readProcs.numReadDescriptorProcs = 18;
    readProcs.openReadDescriptorProc = openRead;
    readProcs.closeReadDescriptorProc = closeRead;
    readProcs.getKeyProc = getKey;
    readProcs.getIntegerProc = get<int32_t, int32_t>;
    readProcs.getFloatProc = get<double, double>;
    readProcs.getBooleanProc = get<bool, ps::Boolean>;
    readProcs.getEnumeratedProc = get<EnumValue, ps::DescriptorEnumID>;
    readProcs.getStringProc = get<std::string, ps::Str255>;
    writeProcs.writeDescriptorProcsVersion = 0;
    writeProcs.numWriteDescriptorProcs = 16;
    writeProcs.openWriteDescriptorProc = openWrite;
    writeProcs.closeWriteDescriptorProc = closeWrite;
    writeProcs.putIntegerProc = [](auto wd, auto key, int32_t v) { return put(wd, key, v); };
    writeProcs.putFloatProc = [](auto wd, auto key, const double* v) { return put(wd, key, *v); };
    writeProcs.putBooleanProc = [](auto wd, auto key, ps::Boolean v) {
      return put(wd, key, v != 0);
    };
    writeProcs.putEnumeratedProc = [](auto wd, auto key, auto type, auto v) {
      return put(wd, key, EnumValue{type, v});
    };
    writeProcs.putStringProc = [](auto wd, auto key, ps::ConstStr255Param v) {
      return put(wd, key, std::string(reinterpret_cast<const char*>(v + 1), v[0]));
    };
    handleProcs.disposeProc = disposeHandle;
    params.descriptorParametersVersion = 0;
    params.playInfo = ps::plugInDialogDontDisplay;
    params.recordInfo = ps::plugInDialogNone;
    params.descriptor = nullptr;
    params.readDescriptorProcs = &readProcs;
    params.writeDescriptorProcs = &writeProcs;
    rec.descriptorParameters = &params;
    rec.handleProcs = &handleProcs;
    rec.hostSig = code("8BIM");
    std::memset(&settings, 0, sizeof settings);
    // Something other than the factory values everywhere a descriptor could reach.
    for (const ParameterInfo& p : parameterTable())
      if (p.kind != ParameterKind::pictureName) setParameterNumber(settings, p, 3);
    setText(settings.environmentName, "chrome");
    setText(settings.textureName, "bricks");
  }
  void TearDown() override { host = nullptr; }

  void hostPasses(std::vector<Item> items) {
    params.descriptor = fake.makeHandle(std::move(items));
  }
  const std::vector<Item>& written() { return fake.live(params.descriptor)->items; }
  const Item* writtenItem(uint32_t key) {
    for (const Item& item : written())
      if (item.key == key) return &item;
    return nullptr;
  }

  FakeHost fake;
  ps::ReadDescriptorProcs readProcs{};
  ps::WriteDescriptorProcs writeProcs{};
  ps::HandleProcs handleProcs{};
  ps::PIDescriptorParameters params{};
  ps::FilterRecord rec{};
  EffectSettings settings;
};

EffectSettings factorySettings() {
  EffectSettings s;
  std::memset(&s, 0, sizeof s);
  loadFactoryDefaults(s);
  return s;
}

// ---- Reading ----------------------------------------------------------------------------------

TEST_F(Scripting, glueAloneGivesFactoryDefaultsWithScreendim) {
  hostPasses({{code("SGky"), EnumValue{code("SGty"), code("GL62")}}});
  bool showDialog = true;
  readDescriptor(rec, settings, showDialog);

  EXPECT_EQ(settings.glue, 67);
  const EffectSettings factory = factorySettings();
  for (const ParameterInfo& p : parameterTable()) {
    if (p.key == code("SGky") || p.keepsValueOnDefaults) continue;
    EXPECT_EQ(parameterNumber(settings, p), parameterNumber(factory, p)) << p.name;
  }
  // A few factory values written out by hand.
  EXPECT_EQ(settings.radius, 35);
  EXPECT_EQ(settings.textureChoice, 6);
  EXPECT_EQ(settings.shape, 14);
  EXPECT_FLOAT_EQ(settings.light1Z, 0.8f);
  EXPECT_EQ(settings.colours[tarnishColor].red, 74 * 256);
  // Names the descriptor leaves out mean "no picture".
  EXPECT_STREQ(settings.environmentName, "<none>");
  EXPECT_STREQ(settings.textureName, "<none>");
  EXPECT_FALSE(showDialog);
}

TEST_F(Scripting, eachKindOfValueLandsInItsField) {
  hostPasses({
      {code("0008"), int32_t{80}},
      {code("0013"), 0.25},
      {code("0057"), true},
      {code("0016"), int32_t{200}},
      {code("0019"), int32_t{300}},  // out of range: kept at the top instead of wrapping
      {code("Srky"), EnumValue{code("Srty"), code("Sr03")}},
      {code("Stky"), EnumValue{code("Stty"), code("St13")}},
      {code("0036"), std::string("stone")},
      {code("0035"), std::string(255, 'e')},
  });
  bool showDialog = false;
  readDescriptor(rec, settings, showDialog);

  EXPECT_EQ(settings.radius, 80);
  EXPECT_FLOAT_EQ(settings.light2X, 0.25f);
  EXPECT_EQ(settings.wetRain, 1);
  EXPECT_EQ(settings.colours[light1Color].red, 51200);
  EXPECT_EQ(settings.colours[light2Color].red, 255 * 256);
  EXPECT_EQ(settings.shape, 3);
  EXPECT_EQ(settings.textureChoice, 13);
  EXPECT_STREQ(settings.textureName, "stone");
  EXPECT_EQ(std::string(settings.environmentName), std::string(255, 'e'));
}

// ---- Values outside their ranges ---------------------------------------------------------------

TEST_F(Scripting, outOfRangeValuesAreClampedWhenReadAndRecordedClamped) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  hostPasses({
      {code("0008"), int32_t{150}},  // radius 2..100
      {code("0074"), int32_t{-5}},   // random seed 0..2047
      {code("0009"), 2.5},           // light 1 X -1..1
      {code("0010"), nan},           // light 1 Y: not a number
      {code("0015"), -7.0},          // light 2 Z
      {code("0042"), int32_t{-20}},  // dirt 1 red 0..255
  });
  bool showDialog = false;
  readDescriptor(rec, settings, showDialog);

  EXPECT_EQ(settings.radius, 100);
  EXPECT_EQ(settings.randomSeed, 0);
  EXPECT_EQ(settings.light1X, 1.0f);
  EXPECT_FLOAT_EQ(settings.light1Y, -0.70710677f * 0.6f);  // the factory direction
  EXPECT_EQ(settings.light2Z, -1.0f);
  EXPECT_EQ(settings.colours[rainColor1].red, 0);

  writeDescriptor(rec, settings);
  ASSERT_NE(params.descriptor, nullptr);
  EXPECT_EQ(std::get<int32_t>(writtenItem(code("0008"))->value), 100);
  EXPECT_EQ(std::get<int32_t>(writtenItem(code("0074"))->value), 0);
  EXPECT_EQ(std::get<double>(writtenItem(code("0009"))->value), 1.0);
  EXPECT_EQ(std::get<int32_t>(writtenItem(code("0042"))->value), 0);
}

// Every numeric key, far above and far below its range, reads as the nearest end.
TEST_F(Scripting, everyNumericKeyIsClampedToItsTableRange) {
  for (const bool above : {true, false}) {
    std::vector<Item> items;
    for (const ParameterInfo& p : parameterTable()) {
      const double wild = above ? p.maximum + 1000 : p.minimum - 1000;
      if (p.kind == ParameterKind::lightComponent) items.push_back({p.key, wild});
      if (p.kind == ParameterKind::integer || p.kind == ParameterKind::colourChannel)
        items.push_back({p.key, static_cast<int32_t>(wild)});
    }
    hostPasses(items);
    bool showDialog = false;
    readDescriptor(rec, settings, showDialog);
    for (const ParameterInfo& p : parameterTable()) {
      if (p.kind != ParameterKind::lightComponent && p.kind != ParameterKind::integer &&
          p.kind != ParameterKind::colourChannel)
        continue;
      EXPECT_EQ(parameterNumber(settings, p), above ? p.maximum : p.minimum)
          << p.name << (above ? " above" : " below");
    }
  }
}

TEST_F(Scripting, unknownKeysAndCodesAndBadValuesAreSkipped) {
  hostPasses({
      {code("9999"), int32_t{5}},
      {code("Xtra"), std::string("ignored")},
      {code("SGky"), EnumValue{code("SGty"), code("ZZZZ")}},  // unknown code
      {code("0004"), std::string("tall")},                    // wrong type for an integer
      {code("0005"), int32_t{77}},
  });
  bool showDialog = false;
  readDescriptor(rec, settings, showDialog);

  EXPECT_EQ(settings.glue, 1);     // the factory value stands
  EXPECT_EQ(settings.height, 60);  // likewise
  EXPECT_EQ(settings.gloss, 77);   // keys after the skipped ones still arrive
}

TEST_F(Scripting, readerIsOfferedEveryKeyInOrderAndTheDescriptorIsDisposed) {
  hostPasses({{code("0005"), int32_t{1}}});
  bool showDialog = false;
  readDescriptor(rec, settings, showDialog);

  ASSERT_EQ(fake.offeredKeys.size(), 75u);
  EXPECT_EQ(fake.offeredKeys[0], code("0001"));
  EXPECT_EQ(fake.offeredKeys[1], code("Srky"));
  EXPECT_EQ(fake.offeredKeys[6], code("Stky"));
  EXPECT_EQ(fake.offeredKeys[29], code("SGky"));
  EXPECT_EQ(fake.offeredKeys[30], code("0031"));
  EXPECT_EQ(fake.offeredKeys[74], code("0075"));
  EXPECT_EQ(fake.disposals, 1);
  EXPECT_EQ(fake.badDisposals, 0);
  EXPECT_EQ(params.descriptor, nullptr);
}

TEST_F(Scripting, dialogFlagFollowsPlayInfoWithOrWithoutDescriptor) {
  struct Case {
    int16_t playInfo;
    bool withDescriptor;
    bool expected;
  };
  for (const Case c :
       {Case{ps::plugInDialogDisplay, true, true}, Case{ps::plugInDialogDontDisplay, true, false},
        Case{ps::plugInDialogSilent, true, false}, Case{ps::plugInDialogDisplay, false, true},
        Case{ps::plugInDialogSilent, false, false}}) {
    params.playInfo = c.playInfo;
    params.descriptor = nullptr;
    if (c.withDescriptor) hostPasses({});
    const EffectSettings before = settings;
    bool showDialog = !c.expected;
    readDescriptor(rec, settings, showDialog);
    EXPECT_EQ(showDialog, c.expected) << c.playInfo << " " << c.withDescriptor;
    // Without a descriptor the settings stand, picture names included.
    if (!c.withDescriptor) {
      EXPECT_EQ(std::memcmp(&before, &settings, sizeof settings), 0);
    }
  }
}

// ---- Writing ----------------------------------------------------------------------------------

TEST_F(Scripting, writesEveryKeyWithItsExchangedType) {
  settings = factorySettings();
  params.recordInfo = ps::plugInDialogNone;
  writeDescriptor(rec, settings);

  ASSERT_NE(params.descriptor, nullptr);
  EXPECT_EQ(params.recordInfo, 0);
  ASSERT_EQ(written().size(), 75u);
  EXPECT_EQ(written().front().key, code("0001"));
  EXPECT_EQ(written().back().key, code("0075"));
  int longs = 0, floats = 0, booleans = 0, enums = 0, texts = 0;
  for (const Item& item : written()) {
    switch (typeOf(item.value)) {
      case ps::typeInteger: ++longs; break;
      case ps::typeFloat: ++floats; break;
      case ps::typeBoolean: ++booleans; break;
      case ps::typeEnumerated: ++enums; break;
      default: ++texts; break;
    }
  }
  EXPECT_EQ(floats, 6);
  EXPECT_EQ(booleans, 3);
  EXPECT_EQ(enums, 3);
  EXPECT_EQ(texts, 2);
  EXPECT_EQ(longs, 61);
  const Item* spherical = writtenItem(code("0075"));
  ASSERT_NE(spherical, nullptr);
  EXPECT_TRUE(std::holds_alternative<bool>(spherical->value));
}

TEST_F(Scripting, writesCodesNamesFloatsAndColourHighBytes) {
  settings = factorySettings();
  settings.glue = 31;
  settings.shape = 2;
  setText(settings.textureName, "");
  setText(settings.environmentName, "marble");
  settings.light2X = 0.25f;
  settings.colours[dustColor].green = 51200;
  settings.colours[dustColor].blue = 51200 + 0x7F;  // the low byte does not travel
  writeDescriptor(rec, settings);

  const auto* glue = std::get_if<EnumValue>(&writtenItem(code("SGky"))->value);
  ASSERT_NE(glue, nullptr);
  EXPECT_EQ(glue->type, code("SGty"));
  EXPECT_EQ(glue->code, code("GL26"));
  const auto* shape = std::get_if<EnumValue>(&writtenItem(code("Srky"))->value);
  ASSERT_NE(shape, nullptr);
  EXPECT_EQ(shape->type, code("Srty"));
  EXPECT_EQ(shape->code, code("Sr02"));
  EXPECT_EQ(std::get<std::string>(writtenItem(code("0036"))->value), "<none>");
  EXPECT_EQ(std::get<std::string>(writtenItem(code("0035"))->value), "marble");
  EXPECT_EQ(std::get<double>(writtenItem(code("0013"))->value), 0.25);
  EXPECT_EQ(std::get<int32_t>(writtenItem(code("0053"))->value), 200);
  EXPECT_EQ(std::get<int32_t>(writtenItem(code("0054"))->value), 200);
}

TEST_F(Scripting, writeThenReadGivesTheSameEffect) {
  EffectSettings original = factorySettings();
  int n = 0;
  for (const ParameterInfo& p : parameterTable()) {
    ++n;
    switch (p.kind) {
      case ParameterKind::integer: setParameterNumber(original, p, n * 3 - 40); break;
      case ParameterKind::lightComponent:
        setParameterNumber(original, p, 0.125 * (n % 7) - 0.3);
        break;
      case ParameterKind::boolean: setParameterNumber(original, p, n % 2); break;
      case ParameterKind::colourChannel: setParameterNumber(original, p, (n * 37) % 256); break;
      case ParameterKind::enumerated: setParameterNumber(original, p, 1 + n % 13); break;
      case ParameterKind::pictureName: break;
    }
  }
  setText(original.environmentName, "sky dome");
  setText(original.textureName, "granite");
  writeDescriptor(rec, original);
  ASSERT_NE(params.descriptor, nullptr);

  bool showDialog = false;
  readDescriptor(rec, settings, showDialog);
  for (const ParameterInfo& p : parameterTable())
    EXPECT_EQ(parameterNumber(settings, p), parameterNumber(original, p)) << p.name;
  EXPECT_STREQ(settings.environmentName, "sky dome");
  EXPECT_STREQ(settings.textureName, "granite");
}

TEST_F(Scripting, failedWriteStoresNothingAndReturnsTheHandle) {
  fake.putError = ps::paramErr;
  writeDescriptor(rec, factorySettings());
  EXPECT_EQ(params.descriptor, nullptr);
  EXPECT_EQ(params.recordInfo, ps::plugInDialogNone);
  EXPECT_TRUE(fake.liveHandles.empty());
}

// ---- Hosts that cannot script -----------------------------------------------------------------

TEST_F(Scripting, unusableHostsAreNeverAskedAndNothingChanges) {
  struct Breakage {
    const char* what;
    void (*apply)(ps::FilterRecord&, ps::PIDescriptorParameters&, ps::ReadDescriptorProcs&,
                  ps::WriteDescriptorProcs&);
  };
  const Breakage breakages[] = {
      {"PSP9 host", [](auto& r, auto&, auto&, auto&) { r.hostSig = ps::fourCC("PSP9"); }},
      {"PSP8 host", [](auto& r, auto&, auto&, auto&) { r.hostSig = ps::fourCC("PSP8"); }},
      {"no parameters", [](auto& r, auto&, auto&, auto&) { r.descriptorParameters = nullptr; }},
      {"17 read procs", [](auto&, auto&, auto& rp, auto&) { rp.numReadDescriptorProcs = 17; }},
      {"read version", [](auto&, auto&, auto& rp, auto&) { rp.readDescriptorProcsVersion = 1; }},
      {"15 write procs", [](auto&, auto&, auto&, auto& wp) { wp.numWriteDescriptorProcs = 15; }},
      {"write version", [](auto&, auto&, auto&, auto& wp) { wp.writeDescriptorProcsVersion = 1; }},
      {"no read table", [](auto&, auto& p, auto&, auto&) { p.readDescriptorProcs = nullptr; }},
      {"null getString", [](auto&, auto&, auto& rp, auto&) { rp.getStringProc = nullptr; }},
      {"null putString", [](auto&, auto&, auto&, auto& wp) { wp.putStringProc = nullptr; }},
      {"null closeWrite",
       [](auto&, auto&, auto&, auto& wp) { wp.closeWriteDescriptorProc = nullptr; }},
  };
  for (const Breakage& b : breakages) {
    fake.reset();
    SetUp();
    hostPasses({{code("SGky"), EnumValue{code("SGty"), code("GL62")}}});
    params.playInfo = ps::plugInDialogDisplay;
    b.apply(rec, params, readProcs, writeProcs);
    ps::PIDescriptorHandle const passed = params.descriptor;
    const EffectSettings before = settings;

    EXPECT_FALSE(scriptingUsable(rec)) << b.what;
    EXPECT_FALSE(descriptorPresent(rec)) << b.what;
    bool showDialog = false;
    readDescriptor(rec, settings, showDialog);
    writeDescriptor(rec, settings);

    EXPECT_EQ(fake.calls, 0) << b.what;
    EXPECT_FALSE(showDialog) << b.what;
    EXPECT_EQ(std::memcmp(&before, &settings, sizeof settings), 0) << b.what;
    EXPECT_EQ(params.descriptor, passed) << b.what;
    EXPECT_EQ(params.recordInfo, ps::plugInDialogNone) << b.what;
  }
}

TEST_F(Scripting, descriptorPresentDoesNotConsumeTheDescriptor) {
  EXPECT_TRUE(scriptingUsable(rec));
  EXPECT_FALSE(descriptorPresent(rec));
  hostPasses({{code("0008"), int32_t{44}}});
  EXPECT_TRUE(descriptorPresent(rec));
  EXPECT_TRUE(descriptorPresent(rec));
  EXPECT_EQ(fake.calls, 0);

  bool showDialog = false;
  readDescriptor(rec, settings, showDialog);
  EXPECT_EQ(settings.radius, 44);
  EXPECT_FALSE(descriptorPresent(rec));  // consumed by the read
}

// A stored name longer than a Pascal string is cut before the character the limit would split.
TEST_F(Scripting, longPictureNamesAreCutOnACharacterBoundary) {
  settings = factorySettings();
  std::string name = "aa";  // 2 + 2k bytes: byte 255 is the second half of an accent
  for (int i = 0; i < 128; ++i) name += "\xc3\xa9";
  ASSERT_LT(name.size(), kTextCapacity);
  setText(settings.environmentName, name.c_str());
  writeDescriptor(rec, settings);
  ASSERT_NE(writtenItem(code("0035")), nullptr);
  EXPECT_EQ(std::get<std::string>(writtenItem(code("0035"))->value), name.substr(0, 254));
}

}  // namespace
}  // namespace orichalcumite
