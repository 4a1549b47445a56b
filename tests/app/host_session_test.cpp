// The host core driven by fake filters written here: what a filter is offered, and what
// comes back into the image.
#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>

#include "app/host_session.h"

namespace orichalcumite {
namespace {

// ---- A fake filter: PluginMain-shaped, its behaviour set per test.

struct FakeFilter {
  std::function<int16_t(ps::FilterRecord&)> prepare, start, resume, finish;
  int calls[6] = {};
  int16_t playInfoAtParameters = -1;
};
FakeFilter* gFake = nullptr;

void fakeMain(int16_t selector, void* record, intptr_t*, int16_t* result) {
  ++gFake->calls[selector];
  auto& r = *static_cast<ps::FilterRecord*>(record);
  switch (selector) {
    case ps::selectorParameters:
      gFake->playInfoAtParameters = r.descriptorParameters->playInfo;
      break;
    case ps::selectorPrepare:
      if (gFake->prepare) *result = gFake->prepare(r);
      break;
    case ps::selectorStart:
      if (gFake->start) *result = gFake->start(r);
      break;
    case ps::selectorContinue:
      if (gFake->resume) *result = gFake->resume(r);
      break;
    case ps::selectorFinish:
      if (gFake->finish) *result = gFake->finish(r);
      break;
    default: break;
  }
}

class HostSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { gFake = &fake; }
  void TearDown() override { gFake = nullptr; }

  std::unique_ptr<HostSession> session(Image& image, std::span<const uint8_t> selection = {},
                                       SessionOptions options = {}) {
    std::string error;
    auto s = HostSession::create(fakeMain, image, selection, std::move(options), &error);
    EXPECT_TRUE(s) << error;
    return s;
  }

  FakeFilter fake;
};

Image rgb8(int w, int h, bool alpha = false) {
  Image image = *Image::make(w, h, alpha ? 4 : 3, alpha, SampleType::uint8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) image.setSample(x, y, c, x * 10 + y * 50 + c);
  return image;
}

void setRects(ps::FilterRecord& r, ps::Rect in, ps::Rect out, ps::Rect mask = {}) {
  r.inRect = in;
  r.outRect = out;
  r.maskRect = mask;
}

int16_t finishRequest(ps::FilterRecord& r) {
  setRects(r, {}, {});
  return ps::noErr;
}

// ---- Requests: rectangles, planes, padding, sampling

TEST_F(HostSessionTest, servesRequestedRectangleAndPlaneRangeInterleaved) {
  Image image = rgb8(4, 3);
  const Image original = image;
  fake.start = [](ps::FilterRecord& r) {
    setRects(r, {1, 1, 3, 3}, {1, 1, 3, 3});
    r.inLoPlane = 1, r.inHiPlane = 2;
    r.outLoPlane = r.outHiPlane = 2;
    EXPECT_EQ(r.advanceState(), ps::noErr);
    EXPECT_EQ(r.inRowBytes, 4);   // two pixels of two planes
    EXPECT_EQ(r.outRowBytes, 2);  // two pixels of one plane
    auto* in = static_cast<uint8_t*>(r.inData);
    auto* out = static_cast<uint8_t*>(r.outData);
    // Pixel (1,1) planes 1 and 2: 10 + 50 + 1, 10 + 50 + 2; pixel (2,2): 20 + 100 + 2.
    EXPECT_EQ(in[0], 61);
    EXPECT_EQ(in[1], 62);
    EXPECT_EQ(in[r.inRowBytes + 3], 122);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x)
        out[y * r.outRowBytes + x] = uint8_t(255 - in[y * r.inRowBytes + 2 * x + 1]);
    return finishRequest(r);
  };
  auto s = session(image);
  ASSERT_EQ(s->run(false), ps::noErr);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      for (int c = 0; c < 3; ++c) {
        const bool changed = c == 2 && x >= 1 && x < 3 && y >= 1 && y < 3;
        const double expected = changed ? 255 - original.sample(x, y, 2) : original.sample(x, y, c);
        EXPECT_EQ(image.sample(x, y, c), expected) << x << "," << y << "," << c;
      }
}

TEST_F(HostSessionTest, requestLeftAfterStartIsServedToContinue) {
  Image image = rgb8(2, 2);
  fake.start = [](ps::FilterRecord& r) {
    setRects(r, {0, 0, 2, 2}, {0, 0, 2, 2});
    r.inLoPlane = r.outLoPlane = 0, r.inHiPlane = r.outHiPlane = 2;
    return ps::noErr;
  };
  fake.resume = [](ps::FilterRecord& r) {
    std::memset(r.outData, 7, size_t(r.outRowBytes) * 2);
    return finishRequest(r);
  };
  auto s = session(image);
  ASSERT_EQ(s->run(false), ps::noErr);
  EXPECT_EQ(fake.calls[ps::selectorContinue], 1);
  EXPECT_EQ(image.sample(1, 1, 2), 7);
}

TEST_F(HostSessionTest, continueEndsWhenFilterClearsOnlyThe32BitRectangles) {
  Image image = rgb8(2, 2);
  fake.start = [](ps::FilterRecord& r) {
    setRects(r, {0, 0, 1, 1}, {0, 0, 1, 1});
    r.inHiPlane = r.outHiPlane = 2;
    return r.advanceState();
  };
  fake.resume = [](ps::FilterRecord& r) {
    r.bigDocumentData->inRect32 = r.bigDocumentData->outRect32 = r.bigDocumentData->maskRect32 = {};
    return ps::noErr;
  };
  auto s = session(image);
  ASSERT_EQ(s->run(false), ps::noErr);
  EXPECT_EQ(fake.calls[ps::selectorContinue], 1);
}

// Grey 3 x 2 image, value 10 x + 100 y.
Image greyRamp() {
  Image image = *Image::make(3, 2, 1, false, SampleType::uint8);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) image.setSample(x, y, 0, 10 * x + 100 * y);
  return image;
}

TEST_F(HostSessionTest, paddingReplicatesEdgesFillsOrRefuses) {
  Image image = greyRamp();
  std::vector<uint8_t> replicated, filled;
  ps::OSErr refused = ps::noErr;
  fake.start = [&](ps::FilterRecord& r) {
    setRects(r, {-1, -1, 3, 4}, {});
    r.inHiPlane = 0;
    refused = r.advanceState();  // the default padding refuses a request outside the image
    r.inputPadding = ps::plugInWantsEdgeReplication;
    EXPECT_EQ(r.advanceState(), ps::noErr);
    EXPECT_EQ(r.inRowBytes, 5);
    replicated.assign(static_cast<uint8_t*>(r.inData), static_cast<uint8_t*>(r.inData) + 20);
    r.inputPadding = 7;
    EXPECT_EQ(r.advanceState(), ps::noErr);
    filled.assign(static_cast<uint8_t*>(r.inData), static_cast<uint8_t*>(r.inData) + 20);
    return finishRequest(r);
  };
  auto s = session(image);
  ASSERT_EQ(s->run(false), ps::noErr);
  EXPECT_EQ(refused, ps::paramErr);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 5; ++i) {
      const int x = i - 1, y = j - 1;
      const bool inside = x >= 0 && x < 3 && y >= 0 && y < 2;
      const int cx = std::clamp(x, 0, 2), cy = std::clamp(y, 0, 1);
      EXPECT_EQ(replicated[size_t(j * 5 + i)], 10 * cx + 100 * cy) << i << "," << j;
      EXPECT_EQ(filled[size_t(j * 5 + i)], inside ? 10 * x + 100 * y : 7) << i << "," << j;
    }
}

// A sampled request names its rectangle in reduced coordinates: 3 × 3 at rate 2 covers the
// 5 × 5 document.
TEST_F(HostSessionTest, samplingRateTakesEveryNthPixelOfInputAndMask) {
  Image image = *Image::make(5, 5, 1, false, SampleType::uint8);
  std::vector<uint8_t> selection(25);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      image.setSample(x, y, 0, 10 * x + y);
      selection[size_t(y * 5 + x)] = uint8_t(20 * y + x);
    }
  fake.start = [](ps::FilterRecord& r) {
    setRects(r, {0, 0, 3, 3}, {}, {0, 0, 3, 3});
    r.inHiPlane = 0;
    r.inputRate = r.maskRate = 2 << 16;
    EXPECT_EQ(r.advanceState(), ps::noErr);
    EXPECT_EQ(r.inRowBytes, 3);
    EXPECT_EQ(r.maskRowBytes, 3);
    const auto* in = static_cast<uint8_t*>(r.inData);
    const auto* mask = static_cast<uint8_t*>(r.maskData);
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(in[j * 3 + i], 10 * (2 * i) + 2 * j);
        EXPECT_EQ(mask[j * 3 + i], 20 * (2 * j) + 2 * i);
      }
    return finishRequest(r);
  };
  auto s = session(image, selection);
  ASSERT_EQ(s->run(false), ps::noErr);
}

// Sampled rows with columns off both edges of the document and a part of the planes: the
// columns inside come from every third document column, those outside from its nearest edge.
TEST_F(HostSessionTest, sampledRowsReachingPastTheEdgesTakeThePlanesAskedFor) {
  Image image = *Image::make(8, 4, 3, false, SampleType::uint8);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      for (int c = 0; c < 3; ++c) image.setSample(x, y, c, 100 * c + 10 * y + x);
  fake.start = [](ps::FilterRecord& r) {
    setRects(r, {-1, -1, 3, 5}, {}, {});  // columns -1 .. 4 at rate 3: document -3 .. 12
    r.inLoPlane = 1;
    r.inHiPlane = 2;
    r.inputRate = 3 << 16;
    r.inputPadding = ps::plugInWantsEdgeReplication;
    EXPECT_EQ(r.advanceState(), ps::noErr);
    EXPECT_EQ(r.inRowBytes, 6 * 2);
    const auto* in = static_cast<uint8_t*>(r.inData);
    for (int j = 0; j < 4; ++j)
      for (int i = 0; i < 6; ++i) {
        const int x = std::clamp((i - 1) * 3, 0, 7), y = std::clamp((j - 1) * 3, 0, 3);
        for (int c = 1; c <= 2; ++c)
          EXPECT_EQ(in[j * 12 + i * 2 + (c - 1)], 100 * c + 10 * y + x) << i << "," << j;
      }
    return finishRequest(r);
  };
  auto s = session(image);
  ASSERT_EQ(s->run(false), ps::noErr);
}

TEST_F(HostSessionTest, documentWiderThan30000IsAddressedThrough32BitRectangles) {
  Image image = *Image::make(30001, 2, 3, false, SampleType::uint8);
  image.setSample(30000, 1, 0, 40);
  image.setSample(29998, 0, 0, 9);
  fake.start = [](ps::FilterRecord& r) {
    EXPECT_EQ(r.imageSize.h, 30000);
    EXPECT_EQ(r.filterRect.right, 30000);
    ps::BigDocumentStruct& big = *r.bigDocumentData;
    EXPECT_EQ(big.imageSize32.h, 30001);
    EXPECT_EQ(big.filterRect32.right, 30001);
    big.PluginUsing32BitCoordinates = 1;
    big.inRect32 = big.outRect32 = {0, 29999, 2, 30001};
    r.inHiPlane = r.outHiPlane = 2;
    EXPECT_EQ(r.advanceState(), ps::noErr);
    const auto* in = static_cast<uint8_t*>(r.inData);
    auto* out = static_cast<uint8_t*>(r.outData);
    for (int i = 0; i < 2 * r.outRowBytes; ++i) out[i] = uint8_t(255 - in[i]);
    big.inRect32 = big.outRect32 = {};
    return ps::noErr;
  };
  auto s = session(image);
  ASSERT_EQ(s->run(false), ps::noErr);
  EXPECT_TRUE(s->usedBigCoordinates());
  EXPECT_EQ(image.sample(30000, 1, 0), 255 - 40);
  EXPECT_EQ(image.sample(29999, 0, 2), 255);
  EXPECT_EQ(image.sample(29998, 0, 0), 9);  // left of the request
}

// ---- Filter cases and masks

struct Seen {
  int filterCase = 0, planes = 0, haveMask = -1;
  std::vector<uint8_t> mask, input;
};

// A filter that records its first whole-image request and writes `value` to every plane.
std::function<int16_t(ps::FilterRecord&)> recordAndFill(Seen& seen, int w, int h, int value) {
  return [&seen, w, h, value](ps::FilterRecord& r) {
    seen.filterCase = r.filterCase;
    seen.planes = r.planes;
    seen.haveMask = r.haveMask;
    setRects(r, {0, 0, int16_t(h), int16_t(w)}, {0, 0, int16_t(h), int16_t(w)},
             {0, 0, int16_t(h), int16_t(w)});
    r.inHiPlane = r.outHiPlane = int16_t(r.planes - 1);
    EXPECT_EQ(r.advanceState(), ps::noErr);
    if (r.maskData)
      seen.mask.assign(static_cast<uint8_t*>(r.maskData),
                       static_cast<uint8_t*>(r.maskData) + w * h);
    seen.input.assign(static_cast<uint8_t*>(r.inData),
                      static_cast<uint8_t*>(r.inData) + r.inRowBytes * h);
    std::memset(r.outData, value, size_t(r.outRowBytes) * size_t(h));
    return finishRequest(r);
  };
}

TEST_F(HostSessionTest, caseOneHasNoMask) {
  Image image = rgb8(2, 2);
  Seen seen;
  fake.start = recordAndFill(seen, 2, 2, 200);
  ASSERT_EQ(session(image)->run(false), ps::noErr);
  EXPECT_EQ(seen.filterCase, 1);
  EXPECT_EQ(seen.planes, 3);
  EXPECT_EQ(seen.haveMask, 0);
  EXPECT_TRUE(seen.mask.empty());
  EXPECT_EQ(image.sample(1, 1, 1), 200);
}

TEST_F(HostSessionTest, caseTwoMasksWithTheSelection) {
  Image image = rgb8(2, 2);
  const Image original = image;
  const std::vector<uint8_t> selection = {0, 51, 255, 0};
  Seen seen;
  fake.start = recordAndFill(seen, 2, 2, 200);
  ASSERT_EQ(session(image, selection)->run(false), ps::noErr);
  EXPECT_EQ(seen.filterCase, 2);
  EXPECT_EQ(seen.haveMask, 1);
  EXPECT_EQ(seen.mask, selection);
  EXPECT_EQ(image.sample(0, 0, 0), original.sample(0, 0, 0));
  EXPECT_EQ(image.sample(0, 1, 2), 200);
  // Mask 51 of 255 blends a fifth of the way: pixel (1,0) red is 10, so 10 + 190 / 5 = 48.
  EXPECT_EQ(image.sample(1, 0, 0), 48);
}

TEST_F(HostSessionTest, filterThatClearsAutoMaskIsNotBlendedButStaysInsideTheSelection) {
  Image image = rgb8(2, 1);
  const std::vector<uint8_t> selection = {0, 51};
  Seen seen;
  auto fill = recordAndFill(seen, 2, 1, 200);
  fake.start = [&](ps::FilterRecord& r) {
    r.autoMask = 0;
    return fill(r);
  };
  ASSERT_EQ(session(image, selection)->run(false), ps::noErr);
  EXPECT_EQ(image.sample(0, 0, 0), 0);
  EXPECT_EQ(image.sample(1, 0, 0), 200);
}

TEST_F(HostSessionTest, caseSixProtectsTransparencyWithAlphaAsMask) {
  Image image = rgb8(2, 2, true);
  const double alphas[4] = {0, 51, 255, 128};
  for (int i = 0; i < 4; ++i) image.setSample(i % 2, i / 2, 3, alphas[i]);
  const Image original = image;
  Seen seen;
  fake.start = recordAndFill(seen, 2, 2, 200);
  ASSERT_EQ(session(image)->run(false), ps::noErr);
  EXPECT_EQ(seen.filterCase, 6);
  EXPECT_EQ(seen.planes, 3);
  EXPECT_EQ(seen.mask, (std::vector<uint8_t>{0, 51, 255, 128}));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(image.sample(i % 2, i / 2, 3), alphas[i]);
  EXPECT_EQ(image.sample(0, 0, 1), original.sample(0, 0, 1));
  EXPECT_EQ(image.sample(0, 1, 1), 200);
}

TEST_F(HostSessionTest, caseSevenMasksWithTheSelectionAndKeepsTransparentPixels) {
  Image image = rgb8(2, 2, true);
  const double alphas[4] = {255, 128, 255, 255};
  for (int i = 0; i < 4; ++i) image.setSample(i % 2, i / 2, 3, alphas[i]);
  const std::vector<uint8_t> selection = {255, 255, 128, 0};
  Seen seen;
  fake.start = recordAndFill(seen, 2, 2, 200);
  ASSERT_EQ(session(image, selection)->run(false), ps::noErr);
  EXPECT_EQ(seen.filterCase, 7);
  // The filter blends by the selection alone: the alpha, which the host keeps, applies the
  // coverage once.
  EXPECT_EQ(seen.mask, (std::vector<uint8_t>{255, 255, 128, 0}));
}

TEST_F(HostSessionTest, defringeColoursTransparentPixelsForTheFilterOnly) {
  Image image = *Image::make(3, 1, 4, true, SampleType::uint8);
  const double pixels[3][4] = {{10, 20, 30, 255}, {99, 99, 99, 0}, {200, 100, 0, 0}};
  for (int x = 0; x < 3; ++x)
    for (int c = 0; c < 4; ++c) image.setSample(x, 0, c, pixels[x][c]);
  const Image original = image;
  SessionOptions options;
  options.filterCases[5] = {ps::filterDataHandlingDefringe, ps::filterDataHandlingNone, 0, 0};
  Seen seen;
  fake.start = recordAndFill(seen, 3, 1, 250);
  ASSERT_EQ(session(image, {}, options)->run(false), ps::noErr);
  EXPECT_EQ(seen.input, (std::vector<uint8_t>{10, 20, 30, 10, 20, 30, 10, 20, 30}));
  EXPECT_EQ(image, [&] {
    Image expected = original;
    for (int c = 0; c < 3; ++c) expected.setSample(0, 0, c, 250);
    return expected;
  }());
}

TEST_F(HostSessionTest, caseTheModuleCannotFilterIsRefused) {
  Image image = rgb8(2, 2, true);
  SessionOptions options;
  options.filterCases[5] = {ps::filterDataHandlingCantFilter, ps::filterDataHandlingCantFilter, 0,
                            0};
  std::string error;
  EXPECT_FALSE(HostSession::create(fakeMain, image, {}, options, &error));
  EXPECT_NE(error.find("cannot filter"), std::string::npos) << error;
}

// ---- Exact file values

TEST_F(HostSessionTest, sixteenBitSamplesTheFilterLeavesAloneRoundTripExactly) {
  Image image = *Image::make(256, 256, 1, false, SampleType::uint16);
  for (int v = 0; v < 65536; ++v) image.setSample(v % 256, v / 256, 0, v);
  const Image original = image;
  fake.start = [](ps::FilterRecord& r) {
    setRects(r, {0, 0, 256, 256}, {0, 0, 256, 256});
    r.inHiPlane = r.outHiPlane = 0;
    EXPECT_EQ(r.depth, 16);
    EXPECT_EQ(r.imageMode, ps::modeGray16);
    EXPECT_EQ(r.advanceState(), ps::noErr);
    const auto* in = static_cast<uint16_t*>(r.inData);
    EXPECT_EQ(in[65535], 32768);  // file white is host white
    std::memcpy(r.outData, r.inData, size_t(r.inRowBytes) * 256);
    return finishRequest(r);
  };
  ASSERT_EQ(session(image)->run(false), ps::noErr);
  EXPECT_EQ(image, original);
}

// Writes one host value everywhere; only the selected pixel (x = 1) may change.
template <typename T>
void fillSelected(FakeFilter& fake, SampleType type, double a, double b, T hostValue,
                  double expectedFileValue) {
  Image image = *Image::make(2, 1, 1, false, type);
  image.setSample(0, 0, 0, a);
  image.setSample(1, 0, 0, b);
  const std::vector<uint8_t> selection = {0, 255};
  fake.start = [hostValue](ps::FilterRecord& r) {
    setRects(r, {0, 0, 1, 2}, {0, 0, 1, 2});
    r.inHiPlane = r.outHiPlane = 0;
    EXPECT_EQ(r.advanceState(), ps::noErr);
    T* out = static_cast<T*>(r.outData);
    out[0] = out[1] = hostValue;
    return finishRequest(r);
  };
  std::string error;
  auto s = HostSession::create(fakeMain, image, selection, {}, &error);
  ASSERT_TRUE(s) << error;
  ASSERT_EQ(s->run(false), ps::noErr);
  EXPECT_EQ(image.sample(0, 0, 0), a) << sampleTypeName(type);
  EXPECT_EQ(image.sample(1, 0, 0), expectedFileValue) << sampleTypeName(type);
}

TEST_F(HostSessionTest, unselectedPixelsKeepTheirFileValuesInEveryDepth) {
  fillSelected<uint8_t>(fake, SampleType::uint8, 13, 14, 77, 77);
  // Host 12345 of 32768 is file 12345 × 65535 / 32768 = 24689.6, rounded 24690.
  fillSelected<uint16_t>(fake, SampleType::uint16, 40001, 3, 12345, 24690);
  // Host half-white 16384 is file 32767.5, rounded up.
  fillSelected<uint16_t>(fake, SampleType::uint16, 1, 2, 16384, 32768);
  fillSelected<float>(fake, SampleType::float32, 0.125, 7.5, 0.75f, 0.75);
}

// ---- Selector order, cancel, errors, progress, descriptors

TEST_F(HostSessionTest, runCallsSelectorsInOrderAndFinishOnlyAfterSuccessfulStart) {
  Image image = rgb8(1, 1);
  ASSERT_EQ(session(image)->run(false), ps::noErr);
  EXPECT_EQ(fake.calls[ps::selectorParameters], 0);
  EXPECT_EQ(fake.calls[ps::selectorPrepare], 1);
  EXPECT_EQ(fake.calls[ps::selectorFinish], 1);

  fake = {};
  ASSERT_EQ(session(image)->run(true), ps::noErr);
  EXPECT_EQ(fake.playInfoAtParameters, ps::plugInDialogDisplay);

  fake = {};
  fake.start = [](ps::FilterRecord&) { return ps::memFullErr; };
  EXPECT_EQ(session(image)->run(false), ps::memFullErr);
  EXPECT_EQ(fake.calls[ps::selectorFinish], 0);

  fake = {};
  fake.start = [](ps::FilterRecord& r) {
    setRects(r, {0, 0, 1, 1}, {});
    return ps::noErr;
  };
  fake.resume = [](ps::FilterRecord&) { return ps::filterBadParameters; };
  EXPECT_EQ(session(image)->run(false), ps::filterBadParameters);
  EXPECT_EQ(fake.calls[ps::selectorFinish], 1);
}

TEST_F(HostSessionTest, cancelIsReportedByAbortProcAndStopsContinue) {
  Image image = rgb8(2, 2);
  const Image original = image;
  std::atomic<bool> cancel{false};
  SessionOptions options;
  options.cancel = &cancel;
  fake.start = [&](ps::FilterRecord& r) {
    EXPECT_FALSE(r.abortProc());
    cancel = true;
    EXPECT_TRUE(r.abortProc());
    setRects(r, {0, 0, 2, 2}, {0, 0, 2, 2});
    r.inHiPlane = r.outHiPlane = 2;
    EXPECT_EQ(r.advanceState(), ps::userCanceledErr);
    return ps::noErr;
  };
  EXPECT_EQ(session(image, {}, options)->run(false), ps::userCanceledErr);
  EXPECT_EQ(fake.calls[ps::selectorContinue], 0);
  EXPECT_EQ(fake.calls[ps::selectorFinish], 1);
  EXPECT_EQ(image, original);
}

TEST_F(HostSessionTest, progressAndErrorStringReachTheHost) {
  Image image = rgb8(1, 1);
  std::vector<std::pair<int32_t, int32_t>> reports;
  SessionOptions options;
  options.progress = [&](int32_t done, int32_t total) { reports.emplace_back(done, total); };
  fake.start = [](ps::FilterRecord& r) {
    r.progressProc(3, 4);
    const char text[] = "disk on fire";
    (*r.errorString)[0] = sizeof text - 1;
    std::memcpy(*r.errorString + 1, text, sizeof text - 1);
    return ps::errReportString;
  };
  auto s = session(image, {}, options);
  EXPECT_EQ(s->run(false), ps::errReportString);
  EXPECT_EQ(s->errorString(), "disk on fire");
  EXPECT_EQ(reports, (std::vector<std::pair<int32_t, int32_t>>{{3, 4}}));
}

TEST_F(HostSessionTest, startReadsTheGivenDescriptorAndFinishHandsOneBack) {
  Image image = rgb8(1, 1);
  int32_t radius = 0;
  fake.start = [&](ps::FilterRecord& r) {
    ps::PIDescriptorParameters& d = *r.descriptorParameters;
    EXPECT_EQ(d.playInfo, ps::plugInDialogDontDisplay);
    ps::PIReadDescriptor reader =
        d.readDescriptorProcs->openReadDescriptorProc(d.descriptor, nullptr);
    ps::DescriptorKeyID key;
    ps::DescriptorTypeID type;
    int32_t flags;
    while (d.readDescriptorProcs->getKeyProc(reader, &key, &type, &flags))
      d.readDescriptorProcs->getIntegerProc(reader, &radius);
    return d.readDescriptorProcs->closeReadDescriptorProc(reader);
  };
  fake.finish = [](ps::FilterRecord& r) {
    ps::PIDescriptorParameters& d = *r.descriptorParameters;
    ps::PIWriteDescriptor writer = d.writeDescriptorProcs->openWriteDescriptorProc();
    d.writeDescriptorProcs->putIntegerProc(writer, ps::fourCC("0008"), 41);
    return d.writeDescriptorProcs->closeWriteDescriptorProc(writer, &d.descriptor);
  };
  auto s = session(image);
  Descriptor given;
  given.set(DescriptorItem::integerItem(ps::fourCC("0008"), 40));
  s->setDescriptor(given);
  ASSERT_EQ(s->run(false), ps::noErr);
  EXPECT_EQ(radius, 40);
  std::string error;
  auto recorded = s->recordedDescriptor(&error);
  ASSERT_TRUE(recorded) << error;
  EXPECT_EQ(recorded->items, (std::vector{DescriptorItem::integerItem(ps::fourCC("0008"), 41)}));
}

TEST_F(HostSessionTest, aDialogRunAsksForTheDialogEvenWhenADescriptorIsPlayed) {
  Image image = rgb8(1, 1);
  int16_t playInfo = -1;
  bool descriptorGiven = false;
  fake.start = [&](ps::FilterRecord& r) {
    playInfo = r.descriptorParameters->playInfo;
    descriptorGiven = r.descriptorParameters->descriptor != nullptr;
    return ps::userCanceledErr;
  };
  auto s = session(image);
  Descriptor given;
  given.set(DescriptorItem::integerItem(ps::fourCC("0008"), 40));
  s->setDescriptor(given);
  // A cancel in the dialog is the run's result, and nothing is written back.
  EXPECT_EQ(s->run(true), ps::userCanceledErr);
  EXPECT_EQ(playInfo, ps::plugInDialogDisplay);
  EXPECT_TRUE(descriptorGiven);
  EXPECT_EQ(fake.calls[ps::selectorFinish], 0);
}

TEST_F(HostSessionTest, theColourPickerIsReportedAsMissingNotAsCancelled) {
  // A filter takes this answer as "no picker here" and opens its own colour chooser.
  Image image = rgb8(1, 1);
  ps::OSErr answer = ps::noErr;
  fake.start = [&](ps::FilterRecord& r) {
    ps::Str255 prompt = {5, 'c', 'o', 'l', 'o', 'r'};
    ps::ColorServicesInfo info{};
    info.infoSize = sizeof info;
    info.selector = ps::plugIncolorServicesChooseColor;
    info.sourceSpace = info.resultSpace = ps::plugIncolorServicesRGBSpace;
    info.colorComponents[0] = 10;
    info.selectorParameter.pickerPrompt = &prompt;
    answer = r.colorServices(&info);
    EXPECT_EQ(info.colorComponents[0], 10);
    return ps::noErr;
  };
  ASSERT_EQ(session(image)->run(false), ps::noErr);
  EXPECT_EQ(answer, ps::errPlugInHostInsufficient);
}

TEST_F(HostSessionTest, filterThatWritesNoDescriptorRecordsNothing) {
  Image image = rgb8(1, 1);
  auto s = session(image);
  Descriptor given;
  given.set(DescriptorItem::booleanItem(ps::fourCC("0075"), true));
  s->setDescriptor(given);
  ASSERT_EQ(s->run(false), ps::noErr);
  std::string error;
  EXPECT_FALSE(s->recordedDescriptor(&error));
  EXPECT_TRUE(error.empty());
}

}  // namespace
}  // namespace orichalcumite
