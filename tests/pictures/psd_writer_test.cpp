// The layered PSD document: its layout read back by a parser of the test's own, its pixels,
// the file replaced only when complete, and the document read by independent readers
// (OpenImageIO, psd-tools and ImageMagick).
#include "pictures/psd_writer.h"

#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "base/byte_reader.h"
#include "base/replace_file.h"
#include "pictures/picture.h"
#include "tests/pictures/picture_test_support.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;

PictureKind kindOf(int bytesPerChannel) {
  return bytesPerChannel == 1   ? PictureKind::rgba8
         : bytesPerChannel == 2 ? PictureKind::rgba16
                                : PictureKind::rgbaFloat;
}

PsdOptions optionsFor(int width, int height, int bytesPerChannel) {
  PsdOptions o;
  o.width = width;
  o.height = height;
  o.bytesPerChannel = bytesPerChannel;
  o.keywords = {"QXV", "brushed brass"};
  o.created = CalendarDate{2026, 3, 14};
  return o;
}

// What the test's own parser finds in a document.
struct ParsedPsd {
  uint16_t headerChannels = 0, depth = 0, mode = 0;
  uint32_t width = 0, height = 0;
  uint32_t colourModeLength = 0;
  uint32_t resourceSectionLength = 0;
  std::vector<std::pair<uint16_t, uint32_t>> resources;  // id, data length
  std::vector<std::string> blockKeys;                    // the additional blocks of 16/32 bits
  int16_t layerCount = 0;
  std::array<uint32_t, 4> bounds{};
  std::vector<std::pair<int16_t, uint32_t>> channels;
  uint8_t flags = 0;
  std::string name;
  std::array<size_t, 4> channelData{};  // offsets of each channel's rows, after the code
  size_t composite = 0;                 // offset of the composite's first plane
  bool complete = false;                // the parse reached the end of the file exactly
};

bool parseLayerInfo(ByteReader& r, ParsedPsd& p) {
  uint32_t length = 0, extra = 0;
  const size_t start = r.position() + 4;
  std::string blend;
  uint8_t opacity = 0, clipping = 0, filler = 0;
  if (!r.u32(&length) || !r.i16(&p.layerCount)) return false;
  for (uint32_t& b : p.bounds)
    if (!r.u32(&b)) return false;
  uint16_t count = 0;
  if (!r.u16(&count)) return false;
  for (int c = 0; c < count; ++c) {
    int16_t id = 0;
    uint32_t size = 0;
    if (!r.i16(&id) || !r.u32(&size)) return false;
    p.channels.push_back({id, size});
  }
  if (!r.text(8, &blend) || blend != "8BIMnorm") return false;
  if (!r.u8(&opacity) || !r.u8(&clipping) || !r.u8(&p.flags) || !r.u8(&filler)) return false;
  if (!r.u32(&extra)) return false;
  const size_t extraEnd = r.position() + extra;
  uint32_t maskLength = 0, rangesLength = 0;
  if (!r.u32(&maskLength) || !r.skip(maskLength) || !r.u32(&rangesLength) ||
      !r.skip(rangesLength) || !r.pascalString(&p.name))
    return false;
  if (r.position() > extraEnd || !r.skip(extraEnd - r.position())) return false;
  for (size_t c = 0; c < p.channels.size() && c < 4; ++c) {
    uint16_t compression = 1;
    if (!r.u16(&compression) || compression != 0) return false;
    p.channelData[c] = r.position();
    if (!r.skip(p.channels[c].second - 2)) return false;
  }
  return r.position() == start + length;
}

ParsedPsd parsePsd(const std::vector<uint8_t>& bytes) {
  ParsedPsd p;
  ByteReader r(bytes);
  std::string signature;
  uint16_t version = 0;
  if (!r.text(4, &signature) || signature != "8BPS" || !r.u16(&version) || !r.skip(6)) return p;
  if (!r.u16(&p.headerChannels) || !r.u32(&p.height) || !r.u32(&p.width) || !r.u16(&p.depth) ||
      !r.u16(&p.mode))
    return p;
  if (!r.u32(&p.colourModeLength) || !r.skip(p.colourModeLength)) return p;
  if (!r.u32(&p.resourceSectionLength)) return p;
  const size_t resourcesEnd = r.position() + p.resourceSectionLength;
  while (r.position() < resourcesEnd) {
    std::string tag;
    uint16_t id = 0, name = 0;
    uint32_t length = 0;
    if (!r.text(4, &tag) || tag != "8BIM" || !r.u16(&id) || !r.u16(&name) || !r.u32(&length) ||
        !r.skip(length + (length & 1)))
      return p;
    p.resources.push_back({id, length});
  }
  if (r.position() != resourcesEnd) return p;
  uint32_t sectionLength = 0;
  if (!r.u32(&sectionLength)) return p;
  const size_t sectionEnd = r.position() + sectionLength;
  if (p.depth == 8) {
    if (!parseLayerInfo(r, p)) return p;
    uint32_t globalMask = 1;
    if (!r.u32(&globalMask) || globalMask != 0) return p;
  } else {
    uint32_t plain = 1, globalMask = 1;
    if (!r.u32(&plain) || !r.u32(&globalMask) || plain != 0 || globalMask != 0) return p;
    while (r.position() < sectionEnd) {
      std::string key;
      if (!r.text(8, &key)) return p;
      p.blockKeys.push_back(key.substr(4));
      if (key == "8BIMLr16" || key == "8BIMLr32") {
        const size_t start = r.position();
        if (!parseLayerInfo(r, p)) return p;
        const size_t padded = (r.position() - start + 3) & ~size_t{3};
        if (!r.skip(start + padded - r.position())) return p;
      } else {
        uint32_t length = 0;
        if (!r.u32(&length) || !r.skip((length + 3) & ~uint32_t{3})) return p;
      }
    }
  }
  if (r.position() != sectionEnd) return p;
  uint16_t compression = 1;
  if (!r.u16(&compression) || compression != 0) return p;
  p.composite = r.position();
  const int planes = p.depth == 16 ? 5 : 4;
  p.complete = r.skip(size_t(planes) * p.width * p.height * (p.depth / 8)) && r.remaining() == 0;
  return p;
}

// Channel value `index` of a plane starting at `offset`, on the 0..1 scale of the depth
// (16 bits: the file's 0..65535).
double fileValue(const std::vector<uint8_t>& bytes, size_t offset, size_t index, int depth) {
  ByteReader r(std::span<const uint8_t>(bytes).subspan(offset + index * size_t(depth / 8)));
  if (depth == 8) {
    uint8_t v = 0;
    r.u8(&v);
    return v / 255.0;
  }
  if (depth == 16) {
    uint16_t v = 0;
    r.u16(&v);
    return v / 65535.0;
  }
  float v = 0;
  r.f32(&v);
  return double(v);
}

// Runs a command, giving back its exit status and what it printed.
std::pair<int, std::string> run(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return {-1, ""};
  char buffer[512];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// Seeded noise in the range a render leaves: 0..1 in the integer layouts (16-bit pictures
// could hold up to twice that), anything in the float one.
void fillWithRenderedNoise(Picture& picture, uint32_t seed) {
  testing::fillWithNoise(picture, seed);
  if (picture.kind() == PictureKind::rgbaFloat) return;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const Rgba v = picture.readPicturePixel(x, y, 0);
      picture.writeFloat(x, y, 0,
                         {std::min(v.red, 1.0f), std::min(v.green, 1.0f), std::min(v.blue, 1.0f),
                          std::min(v.alpha, 1.0f)});
    }
}

class PsdDepthTest : public ::testing::TestWithParam<int> {};

TEST_P(PsdDepthTest, a640x480DocumentHasTheLayoutOfItsDepth) {
  const int bpc = GetParam();
  const PsdOptions o = optionsFor(640, 480, bpc);
  const auto picture = createPicture(640, 480, kindOf(bpc), WrapMode::noPyramid);
  const auto document = psdDocument(o, *picture);
  ASSERT_TRUE(document) << document.message();
  EXPECT_EQ(document->size(), psdFileSize(o));
  const ParsedPsd p = parsePsd(*document);
  ASSERT_TRUE(p.complete);

  EXPECT_EQ(p.headerChannels, bpc == 2 ? 4 : 3);
  EXPECT_EQ(p.depth, 8 * bpc);
  EXPECT_EQ(p.mode, 3);
  EXPECT_EQ(p.width, 640u);
  EXPECT_EQ(p.height, 480u);
  EXPECT_EQ(p.colourModeLength, bpc == 4 ? 74u : 0u);

  std::vector<uint16_t> ids;
  std::map<uint16_t, uint32_t> lengths;
  for (const auto& [id, length] : p.resources) {
    ids.push_back(id);
    lengths[id] = length;
  }
  std::vector<uint16_t> expected = {1001, 1005, 1011, 1016, 1035, 1028, 1058};
  if (bpc == 4) expected.insert(expected.end(), {1069, 1072});
  expected.insert(expected.end(), {1024, 1026});
  EXPECT_EQ(ids, expected);
  EXPECT_EQ(lengths[1035], 27u);
  EXPECT_EQ(lengths[1058], 40u);
  const uint32_t metadata = (12 + lengths[1028]) + (12 + lengths[1058]);
  EXPECT_EQ(p.resourceSectionLength, 374 + metadata + (bpc == 4 ? 18 + 14 : 0));

  const std::vector<std::string> keys =
      bpc == 1   ? std::vector<std::string>{}
      : bpc == 2 ? std::vector<std::string>{"Mt16", "Lr16"}
                 : std::vector<std::string>{"Mt32", "Lr32", "LMsk", "Pat3"};
  EXPECT_EQ(p.blockKeys, keys);
  EXPECT_EQ(p.layerCount, 1);
  EXPECT_EQ(p.bounds, (std::array<uint32_t, 4>{0, 0, 480, 640}));
  const uint32_t channelLength = uint32_t(bpc) * 640 * 480 + 2;
  EXPECT_EQ(p.channels,
            (std::vector<std::pair<int16_t, uint32_t>>{
                {-1, channelLength}, {0, channelLength}, {1, channelLength}, {2, channelLength}}));
  EXPECT_EQ(p.flags, bpc == 4 ? 8 : 40);
  EXPECT_EQ(p.name, "layer 1");
}

TEST_P(PsdDepthTest, aProfileAddsItsResourceBeforeTheMetadata) {
  const int bpc = GetParam();
  PsdOptions o = optionsFor(9, 5, bpc);
  const auto picture = createPicture(9, 5, kindOf(bpc), WrapMode::noPyramid);
  const uint32_t without = parsePsd(*psdDocument(o, *picture)).resourceSectionLength;
  o.iccProfile.assign(131, 0x5A);  // odd: padded to even
  const ParsedPsd p = parsePsd(*psdDocument(o, *picture));
  ASSERT_TRUE(p.complete);
  EXPECT_EQ(p.resourceSectionLength, without + 12 + 132);
  ASSERT_GE(p.resources.size(), 7u);
  EXPECT_EQ(p.resources[5], (std::pair<uint16_t, uint32_t>{1039, 131}));
  EXPECT_EQ(p.resources[6].first, 1028);
}

// Layer channels hold the picture's values; the composite lays them over the checkerboard:
// a transparent pixel shows its square's colour, an opaque one itself.
TEST_P(PsdDepthTest, layerAndCompositePixels) {
  const int bpc = GetParam();
  const int width = 20, height = 12;
  const auto picture = createPicture(width, height, kindOf(bpc), WrapMode::noPyramid);
  fillWithRenderedNoise(*picture, 11);
  // Storage values every depth holds exactly.
  picture->writeFloat(0, 0, 0, {0.2f, 0.4f, 0.6f, 0.0f});  // transparent, light square
  picture->writeFloat(8, 0, 0, {0.2f, 0.4f, 0.6f, 0.0f});  // transparent, dark square
  picture->writeFloat(1, 0, 0, {0.2f, 0.4f, 0.6f, 1.0f});  // opaque
  picture->writeFloat(9, 1, 0, {1.0f, 0.0f, 0.5f, 0.5f});  // half, dark square
  const auto document = psdDocument(optionsFor(width, height, bpc), *picture);
  ASSERT_TRUE(document);
  const ParsedPsd p = parsePsd(*document);
  ASSERT_TRUE(p.complete);
  const int depth = 8 * bpc;
  const double tolerance = bpc == 2 ? 1.0 / 32768 : 1e-6;

  const int planeOfChannel[] = {3, 0, 1, 2};  // transparency, red, green, blue
  for (int c = 0; c < 4; ++c)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const Rgba v = picture->readPicturePixel(x, y, 0);
        const float expected[] = {v.red, v.green, v.blue, v.alpha};
        ASSERT_NEAR(fileValue(*document, p.channelData[size_t(c)], size_t(y * width + x), depth),
                    expected[planeOfChannel[c]], tolerance)
            << "channel " << c << " at " << x << "," << y;
      }

  const size_t plane = size_t(width) * height * size_t(bpc);
  const auto composite = [&](int c, int x, int y) {
    return fileValue(*document, p.composite + size_t(c) * plane, size_t(y * width + x), depth);
  };
  const double dark = bpc == 4 ? 0.8 : bpc == 2 ? 26112.0 * 2 / 65535 : 204.0 / 255;
  const double compositeTolerance = bpc == 1 ? 0.5 / 255 + 1e-9 : bpc == 2 ? 3.0 / 65535 : 1e-6;
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(composite(c, 0, 0), bpc == 2 ? 65280.0 / 65535 : 1.0, 1e-9) << c;
    EXPECT_NEAR(composite(c, 8, 0), dark, 1e-6) << c;
  }
  EXPECT_NEAR(composite(0, 1, 0), 0.2, compositeTolerance + 1.0 / 255);
  EXPECT_NEAR(composite(1, 1, 0), 0.4, compositeTolerance + 1.0 / 255);
  EXPECT_NEAR(composite(0, 9, 1), 0.5 * dark + 0.5, compositeTolerance + 1.0 / 255);
  EXPECT_NEAR(composite(1, 9, 1), 0.5 * dark, compositeTolerance + 1.0 / 255);
  EXPECT_NEAR(composite(3, 9, 1), 0.5, compositeTolerance + 1.0 / 255);
  if (bpc == 2) {
    for (int i = 0; i < width * height; ++i)
      ASSERT_EQ(composite(4, i % width, i / width), composite(3, i % width, i / width));
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, PsdDepthTest, ::testing::Values(1, 2, 4),
                         [](const auto& param) { return std::to_string(8 * param.param) + "bit"; });

TEST(PsdPixels, compositeArithmeticOnEachScale) {
  struct Case {
    int x, y, channel, alpha;
    int expected8;
  };
  const Case cases[] = {
      {0, 0, 10, 0, 255}, {8, 0, 10, 0, 204},  {0, 8, 10, 0, 204},
      {8, 8, 10, 0, 255}, {3, 3, 10, 255, 10}, {8, 3, 0, 128, (204 * 127) / 255},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(psdComposite8(c.x, c.y, c.channel, c.alpha), c.expected8) << c.x << "," << c.y;
    const int expected16 = c.alpha == 0 ? (c.expected8 == 255 ? 32640 : 26112) : -1;
    if (expected16 >= 0) {
      EXPECT_EQ(psdComposite16(c.x, c.y, c.channel, 0), expected16);
    }
  }
  EXPECT_EQ(psdComposite16(0, 0, 1000, 32768), 1000);
  EXPECT_FLOAT_EQ(psdCompositeFloat(8, 0, 3.0f, 0.0f), 0.8f);
  EXPECT_FLOAT_EQ(psdCompositeFloat(0, 0, 3.0f, 1.0f), 3.0f);
  EXPECT_FLOAT_EQ(psdCompositeFloat(0, 0, 3.0f, 2.0f), 3.0f);  // alpha clamped

  // 16 bits: the internal 0..32768 doubled, its top written as 65535.
  EXPECT_EQ(psdFileValue16(16384), 32768);
  EXPECT_EQ(psdFileValue16(32767), 65534);
  EXPECT_EQ(psdFileValue16(32768), 65535);
  EXPECT_EQ(psdFileValue16(40000), 65535);
}

TEST(PsdOptionsCheck, refusesDocumentsTheFormatCannotHold) {
  struct Case {
    const char* what;
    int width, height, bpc;
    bool ok;
  };
  const Case cases[] = {
      {"8 bits at the largest side", 30000, 30000, 1, true},
      {"16 bits whose channels pass 4 GiB", 30000, 30000, 2, false},
      {"32 bits whose channels pass 4 GiB", 20000, 20000, 4, false},
      {"32 bits of 4000 x 3000", 4000, 3000, 4, true},
      {"too wide", 30001, 10, 1, false},
      {"empty", 0, 10, 1, false},
      {"24 bits", 10, 10, 3, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(checkPsdOptions(optionsFor(c.width, c.height, c.bpc)).ok(), c.ok) << c.what;
}

// A write that fails, or an export cancelled halfway, leaves the file that was there.
TEST(PsdFile, aFailedOrCancelledWriteKeepsTheOldFile) {
  testing::ScratchDir dir;
  const std::string path = dir.file("result.psd");
  std::ofstream(path) << "old contents";
  const auto picture = createPicture(700, 600, PictureKind::rgba8, WrapMode::noPyramid);
  const PsdOptions o = optionsFor(700, 600, 1);

  static std::atomic<int> writesLeft;
  writesLeft = 1;
  const WriteAtFunction previous =
      setWriteFunctionForTests([](int fd, const void* data, size_t size, off_t offset) -> ssize_t {
        if (writesLeft-- <= 0) {
          errno = ENOSPC;
          return -1;
        }
        return ::pwrite(fd, data, size, offset);
      });
  const Status failed = writePsdFile(path, o, *picture);
  setWriteFunctionForTests(previous);
  EXPECT_FALSE(failed.ok());

  int reports = 0;
  const Status cancelled =
      writePsdFile(path, o, *picture, [&reports](double) { return ++reports < 2; });
  EXPECT_EQ(cancelled.code(), StatusCode::cancelled);

  std::ifstream in(path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old contents");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  ASSERT_TRUE(writePsdFile(path, o, *picture).ok());
  EXPECT_EQ(fs::file_size(path), psdFileSize(o));
}

// What a test writes for the outside readers: a noise picture's document and its pixels.
struct WrittenDocument {
  std::string path;
  std::unique_ptr<Picture> picture;
};

WrittenDocument writeNoiseDocument(const testing::ScratchDir& dir, int bpc, int width, int height) {
  WrittenDocument d;
  d.path = dir.file("noise" + std::to_string(8 * bpc) + ".psd");
  d.picture = createPicture(width, height, kindOf(bpc), WrapMode::noPyramid);
  fillWithRenderedNoise(*d.picture, uint32_t(bpc));
  EXPECT_TRUE(writePsdFile(d.path, optionsFor(width, height, bpc), *d.picture).ok());
  return d;
}

TEST(PsdReaders, openImageIoReadsTheCompositeAndThe8BitLayer) {
  testing::ScratchDir dir;
  for (int bpc : {1, 2, 4}) {
    SCOPED_TRACE(8 * bpc);
    const WrittenDocument d = writeNoiseDocument(dir, bpc, 37, 21);
    // The layer's colours as the file holds them, not multiplied by its transparency.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(d.path, &config);
    ASSERT_TRUE(in) << OIIO::geterror();
    const OIIO::ImageSpec composite = in->spec();
    EXPECT_EQ(composite.width, 37);
    EXPECT_EQ(composite.height, 21);
    std::vector<float> pixels(size_t(composite.width) * composite.height * composite.nchannels);
    ASSERT_TRUE(in->read_image(0, 0, 0, composite.nchannels, OIIO::TypeDesc::FLOAT, pixels.data()));
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 37; ++x) {
        const Rgba v = d.picture->readPicturePixel(x, y, 0);
        const float* got = &pixels[size_t(y * 37 + x) * size_t(composite.nchannels)];
        const double tolerance = bpc == 4 ? 1e-5 : 1.5 / 255;
        ASSERT_NEAR(got[0], psdCompositeFloat(x, y, v.red, v.alpha), tolerance) << x << "," << y;
        ASSERT_NEAR(got[2], psdCompositeFloat(x, y, v.blue, v.alpha), tolerance) << x << "," << y;
      }
    // The reader knows the layers of 8-bit documents only; it takes each for a subimage.
    if (bpc != 1) continue;
    ASSERT_TRUE(in->seek_subimage(1, 0));
    const OIIO::ImageSpec layer = in->spec();
    ASSERT_EQ(layer.nchannels, 4);
    std::vector<uint8_t> bytes(size_t(37) * 21 * 4);
    ASSERT_TRUE(in->read_image(1, 0, 0, 4, OIIO::TypeDesc::UINT8, bytes.data()));
    for (int i = 0; i < 37 * 21; ++i) {
      const Rgba s = testing::storedPixel(*d.picture, i % 37, i / 37);
      ASSERT_EQ(bytes[size_t(i) * 4 + 0], s.red) << i;
      ASSERT_EQ(bytes[size_t(i) * 4 + 2], s.blue) << i;
      ASSERT_EQ(bytes[size_t(i) * 4 + 3], s.alpha) << i;
    }
    EXPECT_FALSE(in->seek_subimage(2, 0));
  }
}

TEST(PsdReaders, psdToolsReadsTheLayerOfEveryDepth) {
  const std::string python = ORICHALCUMITE_PSD_PYTHON;
  if (run(python + " -c 'import psd_tools'").first != 0) {
    std::fprintf(stderr,
                 "\n*** SKIPPED: psd-tools cannot be imported by %s; scripts/install-deps.sh "
                 "installs it (python3-psd-tools) ***\n\n",
                 python.c_str());
    GTEST_SKIP() << "psd-tools is not installed for " << python;
  }
  testing::ScratchDir dir;
  for (int bpc : {1, 2, 4}) {
    SCOPED_TRACE(8 * bpc);
    const WrittenDocument d = writeNoiseDocument(dir, bpc, 33, 17);
    std::vector<float> reference;
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 33; ++x) {
        const Rgba v = d.picture->readPicturePixel(x, y, 0);
        reference.insert(reference.end(), {v.red, v.green, v.blue, v.alpha});
      }
    const std::string referencePath = dir.file("reference.raw");
    std::ofstream(referencePath, std::ios::binary)
        .write(reinterpret_cast<const char*>(reference.data()),
               std::streamsize(reference.size() * sizeof(float)));
    const auto [status, out] = run(python + " " + ORICHALCUMITE_PSD_TOOLS_CHECK + " '" + d.path +
                                   "' '" + referencePath + "' " + (bpc == 2 ? "1e-4" : "1e-6"));
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "ok\n");
  }
}

TEST(PsdReaders, imageMagickSeesTheSizeDepthAndLayer) {
  const std::string identify = ORICHALCUMITE_IDENTIFY;
  if (identify.empty() || run(identify + " -version").first != 0) {
    std::fprintf(stderr, "\n*** SKIPPED: ImageMagick's identify is not installed ***\n\n");
    GTEST_SKIP() << "identify is not installed";
  }
  testing::ScratchDir dir;
  for (int bpc : {1, 2, 4}) {
    const WrittenDocument d = writeNoiseDocument(dir, bpc, 30, 20);
    const auto [status, out] = run(identify + " -format '%w %h %z\\n' '" + d.path + "'");
    ASSERT_EQ(status, 0) << out;
    // The composite and the layer.
    const std::string line = "30 20 " + std::to_string(8 * bpc) + "\n";
    EXPECT_EQ(out, line + line) << 8 * bpc << " bits";
  }
}

}  // namespace
}  // namespace orichalcumite
