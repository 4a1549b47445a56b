#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/host_image.h"

namespace orichalcumite {
namespace {

// A filter record over caller-owned interleaved buffers holding `region` at one sample type.
struct Buffers {
  ps::FilterRecord rec{};
  ps::BigDocumentStruct big{};
  std::vector<uint8_t> in, out, mask;

  Buffers(int16_t mode, int32_t depth, int16_t planes, const Rect32& region, int bytesPerSample) {
    rec.imageMode = mode;
    rec.depth = depth;
    rec.planes = planes;
    const int32_t rowBytes = region.width() * planes * bytesPerSample;
    in.assign(static_cast<size_t>(rowBytes * region.height()), 0);
    out = in;
    mask.assign(static_cast<size_t>(region.width() * region.height()), 255);
    rec.inData = in.data();
    rec.outData = out.data();
    rec.inRowBytes = rec.outRowBytes = rowBytes;
    rec.maskData = mask.data();
    rec.maskRowBytes = region.width();
    rec.inRect = rec.outRect =
        rec.maskRect = {static_cast<int16_t>(region.top), static_cast<int16_t>(region.left),
                        static_cast<int16_t>(region.bottom), static_cast<int16_t>(region.right)};
  }
};

TEST(ImageClass, FollowsModeAndDepth) {
  ps::FilterRecord rec{};
  rec.imageMode = ps::modeRGBColor;
  rec.depth = 8;
  EXPECT_EQ(imageClass(rec), ImageClass::eightBit);
  rec.imageMode = ps::modeRGB48;
  rec.depth = 16;
  EXPECT_EQ(imageClass(rec), ImageClass::sixteenBit);
  rec.imageMode = ps::modeGray32;
  EXPECT_EQ(imageClass(rec), ImageClass::highDynamicRange);
  rec.imageMode = ps::modeRGBColor;
  rec.depth = 32;
  EXPECT_EQ(imageClass(rec), ImageClass::highDynamicRange);
  rec.planes = 2;
  EXPECT_TRUE(isGreyscale(rec));
  rec.filterCase = ps::filterCaseEditableTransparencyWithSelection;
  EXPECT_TRUE(hasEditableTransparency(rec));
  rec.filterCase = ps::filterCaseProtectedTransparencyNoSelection;
  EXPECT_FALSE(hasEditableTransparency(rec));
}

TEST(HostPixels, SixteenBitWhiteIs32768) {
  const Rect32 region{0, 0, 1, 2};
  Buffers b(ps::modeRGB48, 16, 3, region, 2);
  const uint16_t samples[6] = {32768, 16384, 0, 1, 2, 3};
  std::memcpy(b.in.data(), samples, sizeof samples);
  const HostPixels px(b.rec, classifyImage(b.rec), region);
  float c[4] = {};
  px.readPixel(0, 0, true, c);
  EXPECT_FLOAT_EQ(c[0], 1.0f);
  EXPECT_FLOAT_EQ(c[1], 0.5f);
  EXPECT_FLOAT_EQ(c[3], 1.0f);  // no editable transparency: opaque
  const float white[4] = {1.0f, 0.5f, 0.0f, 1.0f};
  px.writePixel(1, 0, white, true);
  uint16_t written[3];
  std::memcpy(written, b.out.data() + 6, sizeof written);
  EXPECT_EQ(written[0], 32768);
  EXPECT_EQ(written[1], 16384);
}

TEST(HostPixels, EightBitWritesTruncateAndEveryValueRoundTrips) {
  const Rect32 region{0, 0, 1, 256};
  Buffers b(ps::modeGrayScale, 8, 1, region, 1);
  for (int i = 0; i < 256; ++i) b.in[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  const HostPixels px(b.rec, classifyImage(b.rec), region);
  for (int x = 0; x < 256; ++x) {
    float c[4] = {};
    px.readPixel(x, 0, true, c);
    EXPECT_EQ(c[0], c[2]);  // grey reads into all three channels
    px.writePixel(x, 0, c, true);
  }
  EXPECT_EQ(b.out, b.in);
  const float almost[4] = {0.0f, 0.999f, 0.0f, 1.0f};  // grey writes the green value
  px.writePixel(0, 0, almost, true);
  EXPECT_EQ(b.out[0], 254);
}

TEST(HostPixels, OutsideTheRegionNothingIsReadOrWritten) {
  const Rect32 region{10, 20, 12, 22};
  Buffers b(ps::modeRGBColor, 8, 3, region, 1);
  std::fill(b.in.begin(), b.in.end(), 200);
  const HostPixels px(b.rec, classifyImage(b.rec), region);
  float c[4] = {0.25f, 0.25f, 0.25f, 0.25f};
  px.readPixel(22, 10, true, c);  // one column right of the region
  EXPECT_FLOAT_EQ(c[0], 0.25f);
  px.readPixel(21, 12, true, c);  // one row below
  EXPECT_FLOAT_EQ(c[3], 0.25f);
  const std::vector<uint8_t> before = b.out;
  px.writePixel(19, 10, c, true);
  px.writePixel(20, 9, c, true);
  EXPECT_EQ(b.out, before);
  EXPECT_FLOAT_EQ(px.readMask(22, 10, true), 0.0f);
}

TEST(HostPixels, EditableTransparencyReadsAndWritesItsPlane) {
  const Rect32 region{0, 0, 1, 1};
  Buffers b(ps::modeRGBColor, 8, 4, region, 1);
  b.rec.filterCase = ps::filterCaseEditableTransparencyNoSelection;
  b.rec.inLayerPlanes = 3;
  b.in = {10, 20, 30, 51};
  const HostPixels px(b.rec, classifyImage(b.rec), region);
  float c[4] = {};
  px.readPixel(0, 0, true, c);
  EXPECT_FLOAT_EQ(c[3], 0.2f);
  const float w[4] = {1, 1, 1, 0.5f};
  px.writePixel(0, 0, w, true);
  EXPECT_EQ(b.out[3], 127);

  Buffers opaque(ps::modeRGBColor, 8, 4, region, 1);  // a fourth plane, but not editable
  opaque.in = {10, 20, 30, 51};
  const HostPixels px2(opaque.rec, classifyImage(opaque.rec), region);
  px2.readPixel(0, 0, true, c);
  EXPECT_FLOAT_EQ(c[3], 1.0f);
  px2.writePixel(0, 0, w, true);
  EXPECT_EQ(opaque.out[3], 0);
}

TEST(HostPixels, MissingBuffersReadBlackAndSkipWrites) {
  const Rect32 region{0, 0, 1, 1};
  Buffers b(ps::modeRGB96, 32, 3, region, 4);
  b.rec.inData = nullptr;
  b.rec.outData = nullptr;
  b.rec.maskData = nullptr;
  const HostPixels px(b.rec, classifyImage(b.rec), region);
  float c[4] = {1, 1, 1, 1};
  px.readPixel(0, 0, true, c);
  EXPECT_EQ(c[0] + c[1] + c[2] + c[3], 0.0f);
  px.writePixel(0, 0, c, true);  // must not crash
  EXPECT_FLOAT_EQ(px.readMask(0, 0, true), 1.0f);
}

TEST(HostPixels, RowAccessAgreesWithPixelAccess) {
  struct Case {
    int16_t mode;
    int32_t depth;
    int16_t planes;
    int bytes;
    int16_t filterCase;
  };
  for (const Case k :
       {Case{ps::modeRGBColor, 8, 3, 1, 1}, Case{ps::modeGray16, 16, 1, 2, 1},
        Case{ps::modeRGB96, 32, 4, 4, ps::filterCaseEditableTransparencyNoSelection}}) {
    const Rect32 region{3, 10, 5, 17};
    Buffers pixelWise(k.mode, k.depth, k.planes, region, k.bytes);
    pixelWise.rec.filterCase = k.filterCase;
    pixelWise.rec.inLayerPlanes = 3;
    for (size_t i = 0; i < pixelWise.in.size(); ++i)
      pixelWise.in[i] = static_cast<uint8_t>(i * 37 % 61);
    if (k.bytes == 4)  // small floats rather than arbitrary bit patterns
      for (size_t i = 0; i + 4 <= pixelWise.in.size(); i += 4) {
        const float v = static_cast<float>(i % 17) / 16.0f;
        std::memcpy(&pixelWise.in[i], &v, 4);
      }
    for (size_t i = 0; i < pixelWise.mask.size(); ++i)
      pixelWise.mask[i] = static_cast<uint8_t>(i * 29);
    Buffers rowWise = pixelWise;
    rowWise.rec.inData = rowWise.in.data();
    rowWise.rec.outData = rowWise.out.data();
    rowWise.rec.maskData = rowWise.mask.data();
    const HostPixels a(pixelWise.rec, classifyImage(pixelWise.rec), region);
    const HostPixels b(rowWise.rec, classifyImage(rowWise.rec), region);
    for (int32_t y = 2; y < 6; ++y) {
      // The row reaches two columns past the region on each side.
      float rowColours[11 * 4];
      uint8_t rowMask[11];
      std::fill(std::begin(rowColours), std::end(rowColours), -1.0f);
      b.readRow(y, 8, 11, rowColours);
      b.readMaskRow(y, 8, 11, rowMask);
      for (int32_t i = 0; i < 11; ++i) {
        float c[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
        a.readPixel(8 + i, y, true, c);
        for (int ch = 0; ch < 4; ++ch) ASSERT_EQ(rowColours[i * 4 + ch], c[ch]) << y << "," << i;
        ASSERT_EQ(rowMask[i], a.readMaskByte(8 + i, y, true));
      }
      // A rectangle read writes every pixel: what the host delivered, transparent black
      // elsewhere, whatever the buffer held before, also for a rectangle wholly beside the
      // region.
      for (int32_t x0 : {8, 30}) {
        float rect[11 * 4];
        std::fill(std::begin(rect), std::end(rect), 7.0f);
        readSourceRect(&b, {y, x0, y + 1, x0 + 11}, rect, 11 * 4);
        for (int32_t i = 0; i < 11; ++i) {
          float c[4] = {0.0f, 0.0f, 0.0f, 0.0f};
          a.readPixel(x0 + i, y, true, c);
          for (int ch = 0; ch < 4; ++ch) ASSERT_EQ(rect[i * 4 + ch], c[ch]) << y << "," << x0 + i;
        }
      }
      const float written[11 * 4] = {0.1f, 0.5f, 0.9f, 0.3f, 0.2f, 0.6f, 1.0f, 0.4f};
      b.writeRow(y, 8, 11, written);
      for (int32_t i = 0; i < 11; ++i) a.writePixel(8 + i, y, written + i * 4, true);
    }
    EXPECT_EQ(rowWise.out, pixelWise.out);
  }
}

TEST(BigDocument, RectanglesUseThe32BitFields) {
  ps::FilterRecord rec{};
  ps::BigDocumentStruct big{};
  rec.bigDocumentData = &big;
  rec.planes = 3;
  big.filterRect32 = {0, 0, 10, 40000};
  rec.filterRect = {0, 0, 10, 32767};
  EXPECT_EQ(filterRectangle(rec).right, 32767);  // not claimed yet: 16-bit fields
  claimBigDocument(rec);
  EXPECT_EQ(filterRectangle(rec), (Rect32{0, 0, 10, 40000}));
  PluginState state{};
  requestRegion(rec, state, {0, 35000, 1, 40000}, 1);
  EXPECT_EQ(big.inRect32.left, 35000);
  EXPECT_EQ(big.outRect32.right, 40000);
  EXPECT_EQ(big.maskRect32.right, 1);  // no mask: one pixel at the filter corner
  EXPECT_EQ(rec.inHiPlane, 2);
  EXPECT_EQ(rec.inputRate, 65536);
  EXPECT_EQ(rec.inputPadding, ps::plugInWantsEdgeReplication);
}

TEST(SamplingFactor, CoversTheRegionInThePreview) {
  const Rect32 region{0, 0, 1000, 2000};
  EXPECT_EQ(samplingFactor(true, region, 528, 347), 4);
  EXPECT_EQ(samplingFactor(false, region, 528, 347), 1);
  EXPECT_EQ(samplingFactor(true, {0, 0, 10, 10}, 528, 347), 1);
}

// advanceState for readWholeImage8: delivers the requested plane of a 2 × 2 16-bit image.
ps::FilterRecord* gPlaneRecord = nullptr;
std::vector<uint16_t> gPlanes;
std::vector<uint16_t> gDelivered;
int gAdvanceCalls = 0;

ps::OSErr deliverPlane() {
  ++gAdvanceCalls;
  const int plane = gPlaneRecord->inLoPlane;
  gDelivered.assign(gPlanes.begin() + plane * 4, gPlanes.begin() + plane * 4 + 4);
  gPlaneRecord->inData = gDelivered.data();
  gPlaneRecord->inRowBytes = 4;
  return plane == 2 ? ps::userCanceledErr : ps::noErr;
}

TEST(ReadWholeImage8, ConvertsPlaneByPlaneAndStopsAtTheFirstError) {
  ps::FilterRecord rec{};
  rec.imageMode = ps::modeRGB48;
  rec.depth = 16;
  rec.planes = 3;
  rec.filterRect = {0, 0, 2, 2};
  rec.advanceState = &deliverPlane;
  gPlaneRecord = &rec;
  gPlanes = {32768, 16384, 0, 1, 128, 129, 65535, 3, 7, 7, 7, 7};
  gAdvanceCalls = 0;
  PluginState state{};
  EXPECT_EQ(readWholeImage8(rec, state), ps::userCanceledErr);
  EXPECT_EQ(gAdvanceCalls, 3);
  ASSERT_NE(state.previewPixels, nullptr);
  EXPECT_EQ(state.previewPixels[0], 255);
  EXPECT_EQ(state.previewPixels[1], 127);
  EXPECT_EQ(state.previewPixels[2], 0);
  EXPECT_EQ(state.previewPixels[4], 0);  // 128 × 255 / 32768 = 0.996
  EXPECT_EQ(state.previewPixels[5], 1);
  releasePreviewPixels(state);
  EXPECT_EQ(state.previewPixels, nullptr);
}

}  // namespace
}  // namespace orichalcumite
