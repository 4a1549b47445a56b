#include "pictures/jpeg_thumbnail.h"

#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

using Bytes = std::vector<uint8_t>;

// A smooth colour picture: what a rendered thumbnail looks like to the encoder.
std::unique_ptr<Picture> gradientPicture(int width, int height) {
  auto picture = createPicture(width, height, PictureKind::rgba8, WrapMode::clamp);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      picture->setPixel(x, y, 0, 40 + x * 160 / width, 200 - y * 150 / height,
                        90 + (x + y) * 60 / (width + height), 255);
    }
  }
  return picture;
}

struct Segment {
  uint8_t marker = 0;
  Bytes payload;
};

// The marker segments from SOI up to and including SOS, read straight from the bytes.
std::vector<Segment> segmentsOf(const Bytes& jpeg) {
  std::vector<Segment> segments;
  if (jpeg.size() < 2 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return segments;
  size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const uint8_t marker = jpeg[at + 1];
    const size_t length = (size_t(jpeg[at + 2]) << 8) | jpeg[at + 3];
    if (length < 2 || at + 2 + length > jpeg.size()) break;
    segments.push_back(
        {marker, Bytes(jpeg.begin() + long(at) + 4, jpeg.begin() + long(at) + 2 + long(length))});
    if (marker == 0xDA) break;
    at += 2 + length;
  }
  return segments;
}

std::vector<Bytes> payloadsOf(const Bytes& jpeg, uint8_t marker) {
  std::vector<Bytes> found;
  for (const Segment& s : segmentsOf(jpeg)) {
    if (s.marker == marker) found.push_back(s.payload);
  }
  return found;
}

// Position in natural (row-major) order of each zigzag index, walked along the diagonals.
std::array<int, 64> zigzagToNatural() {
  std::array<int, 64> order{};
  int index = 0;
  for (int diagonal = 0; diagonal < 15; ++diagonal) {
    for (int step = 0; step <= diagonal; ++step) {
      // Odd diagonals run down-left from the top row, even ones up-right from the left column.
      const int row = diagonal % 2 ? step : diagonal - step;
      const int column = diagonal - row;
      if (row < 8 && column < 8) order[index++] = row * 8 + column;
    }
  }
  return order;
}

// The quantisation tables of the stream by table id, in natural order.
std::map<int, std::array<int, 64>> quantTablesOf(const Bytes& jpeg) {
  const std::array<int, 64> natural = zigzagToNatural();
  std::map<int, std::array<int, 64>> tables;
  for (const Bytes& p : payloadsOf(jpeg, 0xDB)) {
    for (size_t at = 0; at + 65 <= p.size(); at += 65) {
      EXPECT_EQ(p[at] >> 4, 0) << "8-bit tables";
      std::array<int, 64> table{};
      for (int i = 0; i < 64; ++i) table[natural[i]] = p[at + 1 + i];
      tables[p[at] & 15] = table;
    }
  }
  return tables;
}

struct FrameHeader {
  int width = 0;
  int height = 0;
  std::vector<std::pair<int, int>> sampling;  // per component: horizontal, vertical
};

FrameHeader baselineFrameOf(const Bytes& jpeg) {
  FrameHeader frame;
  const std::vector<Bytes> sof = payloadsOf(jpeg, 0xC0);
  if (sof.size() != 1) return frame;
  const Bytes& p = sof[0];
  frame.height = (p[1] << 8) | p[2];
  frame.width = (p[3] << 8) | p[4];
  for (int c = 0; c < p[5]; ++c) frame.sampling.push_back({p[7 + 3 * c] >> 4, p[7 + 3 * c] & 15});
  return frame;
}

Bytes fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

int largestDifference(const Picture& a, const Picture& b, int width, int height) {
  float worst = 0.0f;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgba p = a.readPicturePixel(x, y, 0);
      const Rgba q = b.readPicturePixel(x, y, 0);
      worst = std::max(
          {worst, std::abs(p.red - q.red), std::abs(p.green - q.green), std::abs(p.blue - q.blue)});
    }
  }
  return int(std::lround(worst * 255.0f));
}

// ---- compression ---------------------------------------------------------------------------

TEST(JpegEncoding, thumbnailRoundTripStaysCloseToTheOriginal) {
  const auto picture = gradientPicture(128, 128);
  const Bytes jpeg = encodeJpeg(*picture, kThumbnailQuality);
  ASSERT_FALSE(jpeg.empty());
  EXPECT_LE(jpeg.size(), kThumbnailJpegLimit);
  const auto decoded = decodeJpeg(jpeg, 128, 128);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width(), 128);
  EXPECT_EQ(decoded->height(), 128);
  EXPECT_LE(largestDifference(*picture, *decoded, 128, 128), 6);
  EXPECT_EQ(decoded->readPicturePixel(17, 93, 0).alpha, 1.0f);
}

TEST(JpegEncoding, smallPicturesAreCompressedAtSixteenRepeatingTheEdge) {
  struct Case {
    int width, height;
  };
  for (const Case c : {Case{16, 8}, Case{5, 3}, Case{1, 40}}) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    auto picture = gradientPicture(c.width, c.height);
    // A distinct last row and column make the repetition visible.
    for (int x = 0; x < c.width; ++x) picture->setPixel(x, c.height - 1, 0, 250, 20, 20, 255);
    for (int y = 0; y < c.height; ++y) picture->setPixel(c.width - 1, y, 0, 20, 20, 250, 255);
    const Bytes jpeg = encodeJpeg(*picture, kThumbnailQuality);
    const FrameHeader frame = baselineFrameOf(jpeg);
    EXPECT_EQ(frame.width, std::max(16, c.width));
    EXPECT_EQ(frame.height, std::max(16, c.height));
    const auto decoded = decodeJpeg(jpeg, frame.width, frame.height);
    ASSERT_TRUE(decoded);
    for (int y = c.height; y < frame.height; ++y) {
      for (int x = 0; x < c.width - 1; ++x) {
        const Rgba p = decoded->readPicturePixel(x, y, 0);
        EXPECT_GT(p.red, 0.85f) << x << "," << y;
        EXPECT_LT(p.blue, 0.2f) << x << "," << y;
      }
    }
    for (int x = c.width; x < frame.width; ++x) {
      const Rgba p = decoded->readPicturePixel(x, 0, 0);
      EXPECT_GT(p.blue, 0.85f) << x;
    }
  }
}

TEST(JpegEncoding, qualityEightyInstallsItsTablesUnscaled) {
  const std::array<int, 64> luminance = {2, 2, 2, 2, 3,  4,  5,  6,  2, 2, 2, 2,  3,  4,  5,  6,
                                         2, 2, 2, 2, 4,  5,  7,  9,  2, 2, 2, 4,  5,  7,  9,  12,
                                         3, 3, 4, 5, 8,  13, 12, 12, 4, 4, 5, 7,  13, 12, 12, 12,
                                         5, 5, 7, 9, 12, 12, 12, 12, 6, 6, 9, 12, 12, 12, 12, 12};
  const std::array<int, 64> chrominance = {
      3,  3,  5,  9,  10, 15, 15, 15, 3,  4,  6,  13, 14, 12, 12, 12, 5,  6,  9,  14, 12, 12,
      12, 12, 9,  13, 14, 12, 12, 12, 12, 12, 10, 14, 12, 12, 12, 12, 12, 12, 15, 12, 12, 12,
      12, 12, 12, 12, 15, 12, 12, 12, 12, 12, 12, 12, 15, 12, 12, 12, 12, 12, 12, 12};
  const auto tables = quantTablesOf(encodeJpeg(*gradientPicture(32, 32), 80));
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables.at(0), luminance);
  EXPECT_EQ(tables.at(1), chrominance);
}

TEST(JpegEncoding, qualityPicksTheTablesAndSamplingOfItsDecile) {
  const auto picture = gradientPicture(40, 24);
  struct Case {
    int quality;
    int sameAsQuality;  // the quality of the decile it must match
    int sampling;       // of the first component
  };
  for (const Case c : {Case{-5, 0, 2}, Case{100, 99, 1}, Case{1000, 90, 1}, Case{49, 40, 2},
                       Case{50, 59, 1}, Case{87, 80, 1}}) {
    SCOPED_TRACE(c.quality);
    const Bytes jpeg = encodeJpeg(*picture, c.quality);
    EXPECT_EQ(quantTablesOf(jpeg), quantTablesOf(encodeJpeg(*picture, c.sameAsQuality)));
    const FrameHeader frame = baselineFrameOf(jpeg);
    ASSERT_EQ(frame.sampling.size(), 3u);
    EXPECT_EQ(frame.sampling[0], std::make_pair(c.sampling, c.sampling));
    EXPECT_EQ(frame.sampling[1], std::make_pair(1, 1));
    EXPECT_EQ(frame.sampling[2], std::make_pair(1, 1));
  }
  // Below quality 80 each decile quantises more coarsely than the next.
  int previous = 1 << 30;
  for (int decile = 0; decile < 8; ++decile) {
    int total = 0;
    for (const auto& [id, table] : quantTablesOf(encodeJpeg(*picture, decile * 10))) {
      for (const int v : table) total += v;
    }
    EXPECT_LT(total, previous) << "decile " << decile;
    previous = total;
  }
}

TEST(JpegEncoding, streamIsBaselineWithOptimisedHuffmanTables) {
  const Bytes jpeg = encodeJpeg(*gradientPicture(64, 48), kThumbnailQuality);
  EXPECT_EQ(payloadsOf(jpeg, 0xC0).size(), 1u) << "one baseline frame";
  for (const uint8_t other : {0xC1, 0xC2, 0xC3}) EXPECT_TRUE(payloadsOf(jpeg, other).empty());
  // The code-length counts of the standard example tables; optimised tables for a small
  // gradient use far fewer codes.
  const std::map<int, std::array<int, 16>> standard = {
      {0x00, {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}},
      {0x01, {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}},
      {0x10, {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d}},
      {0x11, {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77}},
  };
  int tableCount = 0;
  for (const Bytes& p : payloadsOf(jpeg, 0xC4)) {
    size_t at = 0;
    while (at + 17 <= p.size()) {
      std::array<int, 16> counts{};
      int values = 0;
      for (int i = 0; i < 16; ++i) values += counts[i] = p[at + 1 + i];
      const auto known = standard.find(p[at]);
      ASSERT_NE(known, standard.end()) << "table class and id " << int(p[at]);
      EXPECT_NE(counts, known->second) << "table " << int(p[at]) << " is the standard one";
      ++tableCount;
      at += 17 + size_t(values);
    }
  }
  EXPECT_EQ(tableCount, 4);
}

TEST(JpegEncoding, metadataBlocksBecomeApp13AndApp1Markers) {
  const Bytes iptc = buildIptcBlock(true, {"copper"});
  const Bytes exif = buildExifBlock();
  const Bytes jpeg = encodeJpeg(*gradientPicture(16, 16), kThumbnailQuality, iptc, exif);
  EXPECT_EQ(payloadsOf(jpeg, 0xED), std::vector<Bytes>{iptc});
  EXPECT_EQ(payloadsOf(jpeg, 0xE1), std::vector<Bytes>{exif});
  const Bytes plain = encodeJpeg(*gradientPicture(16, 16), kThumbnailQuality);
  EXPECT_TRUE(payloadsOf(plain, 0xED).empty());
  EXPECT_TRUE(payloadsOf(plain, 0xE1).empty());
}

TEST(JpegEncoding, channelsOutsideZeroToOneAreClamped) {
  auto picture = createPicture(16, 16, PictureKind::rgbaFloat, WrapMode::clamp);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) picture->writeFloat(x, y, 0, {7.5f, -3.0f, NAN, 1.0f});
  }
  const auto decoded = decodeJpeg(encodeJpeg(*picture, 90), 16, 16);
  ASSERT_TRUE(decoded);
  const Rgba p = decoded->readPicturePixel(8, 8, 0);
  EXPECT_GT(p.red, 0.97f);
  EXPECT_LT(p.green, 0.03f);
  EXPECT_LT(p.blue, 0.03f);
}

TEST(JpegEncoding, anIndependentDecoderReadsTheFile) {
  testing::ScratchDir scratch;
  ASSERT_TRUE(scratch.valid());
  const std::string path = scratch.file("thumb.jpg");
  const auto picture = gradientPicture(128, 128);
  ASSERT_TRUE(
      writeJpegFile(*picture, path, kThumbnailQuality, buildIptcBlock(true, {}), buildExifBlock()));
  // Written in place: nothing else is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 1);

  auto input = OIIO::ImageInput::open(path);
  ASSERT_TRUE(input) << OIIO::geterror();
  const OIIO::ImageSpec& spec = input->spec();
  ASSERT_EQ(spec.width, 128);
  ASSERT_EQ(spec.height, 128);
  ASSERT_EQ(spec.nchannels, 3);
  std::vector<uint8_t> pixels(128 * 128 * 3);
  ASSERT_TRUE(input->read_image(0, 0, 0, 3, OIIO::TypeDesc::UINT8, pixels.data()));
  int worst = 0;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const Rgba p = picture->readPicturePixel(x, y, 0);
      const float channels[3] = {p.red, p.green, p.blue};
      for (int c = 0; c < 3; ++c) {
        worst = std::max(worst, std::abs(pixels[(y * 128 + x) * 3 + c] -
                                         int(std::lround(channels[c] * 255.0f))));
      }
    }
  }
  EXPECT_LE(worst, 6);
}

// ---- decompression -------------------------------------------------------------------------

TEST(JpegDecoding, greyStreamsFillAllThreeChannels) {
  testing::ScratchDir scratch;
  const std::string path = scratch.file("grey.jpg");
  {
    auto out = OIIO::ImageOutput::create(path);
    ASSERT_TRUE(out);
    OIIO::ImageSpec spec(8, 8, 1, OIIO::TypeDesc::UINT8);
    ASSERT_TRUE(out->open(path, spec));
    std::vector<uint8_t> grey(64);
    for (int i = 0; i < 64; ++i) grey[i] = uint8_t(i * 4);
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::UINT8, grey.data()));
    ASSERT_TRUE(out->close());
  }
  const Bytes jpeg = fileBytes(path);
  const auto decoded = decodeJpeg(jpeg, 8, 8);
  ASSERT_TRUE(decoded);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{7, 7}, std::pair{3, 5}}) {
    const Rgba p = decoded->readPicturePixel(x, y, 0);
    EXPECT_EQ(p.red, p.green);
    EXPECT_EQ(p.red, p.blue);
    EXPECT_NEAR(p.red * 255.0f, float((y * 8 + x) * 4), 8.0f);
    EXPECT_EQ(p.alpha, 1.0f);
  }
}

TEST(JpegDecoding, theCallersSizeWins) {
  const auto picture = gradientPicture(32, 32);
  const Bytes jpeg = encodeJpeg(*picture, kThumbnailQuality);
  // Larger than the stream: the rest is opaque black.
  const auto larger = decodeJpeg(jpeg, 40, 36);
  ASSERT_TRUE(larger);
  EXPECT_EQ(larger->width(), 40);
  const Rgba outside = larger->readPicturePixel(39, 35, 0);
  EXPECT_EQ(outside.red + outside.green + outside.blue, 0.0f);
  EXPECT_EQ(outside.alpha, 1.0f);
  EXPECT_LE(largestDifference(*picture, *larger, 32, 32), 6);
  // Smaller: the top-left corner.
  const auto smaller = decodeJpeg(jpeg, 10, 4);
  ASSERT_TRUE(smaller);
  EXPECT_LE(largestDifference(*picture, *smaller, 10, 4), 6);
  EXPECT_FALSE(decodeJpeg(jpeg, 0, 10));
  EXPECT_FALSE(decodeJpeg(jpeg, 10, 0));
}

TEST(JpegDecoding, damagedStreamsGiveNoPicture) {
  const Bytes jpeg = encodeJpeg(*gradientPicture(32, 32), kThumbnailQuality);
  Bytes noStart = jpeg;
  noStart[1] = 0x00;
  // A frame header that claims no components.
  Bytes badFrame = jpeg;
  size_t sof = 0;
  while (sof + 10 < badFrame.size() && !(badFrame[sof] == 0xFF && badFrame[sof + 1] == 0xC0)) {
    ++sof;
  }
  ASSERT_LT(sof + 10, badFrame.size());
  badFrame[sof + 9] = 0;
  for (const Bytes& damaged :
       {Bytes{}, Bytes(64, 0x5A), noStart, badFrame, Bytes(jpeg.begin(), jpeg.begin() + 20)}) {
    EXPECT_FALSE(decodeJpeg(damaged, 32, 32));
  }
}

// ---- metadata blocks -----------------------------------------------------------------------

struct IptcRecord {
  int dataset = 0;
  std::string data;
  friend bool operator==(const IptcRecord&, const IptcRecord&) = default;
};

// The records of an IPTC block, checking its frame on the way.
std::vector<IptcRecord> iptcRecordsOf(const Bytes& block, bool withJpegHeader) {
  std::vector<IptcRecord> records;
  ByteReader in(block);
  std::string text;
  if (withJpegHeader) {
    EXPECT_TRUE(in.text(14, &text));
    EXPECT_EQ(text, std::string("Photoshop 3.0\0", 14));
  }
  uint16_t id = 0;
  uint8_t nameLength = 1, pad = 1;
  uint32_t length = 0;
  EXPECT_TRUE(in.text(4, &text));
  EXPECT_EQ(text, "8BIM");
  EXPECT_TRUE(in.u16(&id) && in.u8(&nameLength) && in.u8(&pad) && in.u32(&length));
  EXPECT_EQ(id, 0x0404);
  EXPECT_EQ(nameLength, 0);
  EXPECT_EQ(pad, 0);
  EXPECT_EQ(length % 2, 0u);
  EXPECT_EQ(length, in.remaining());
  while (in.remaining() > 1) {
    uint8_t tag = 0, record = 0, dataset = 0;
    uint16_t size = 0;
    EXPECT_TRUE(in.u8(&tag) && in.u8(&record) && in.u8(&dataset) && in.u16(&size));
    EXPECT_EQ(tag, 0x1C);
    EXPECT_EQ(record, 2);
    EXPECT_TRUE(in.text(size, &text));
    records.push_back({dataset, text});
  }
  uint8_t last = 0;
  if (in.remaining() == 1) {
    EXPECT_TRUE(in.u8(&last) && last == 0) << "pad byte";
  }
  EXPECT_FALSE(in.shortRead());
  return records;
}

TEST(IptcBlock, carriesTheFixedRecordsAndTheCallersKeywords) {
  const std::string longKeyword(60, 'k');
  for (const bool withHeader : {true, false}) {
    const Bytes block =
        buildIptcBlock(withHeader, {"bevel", "", longKeyword, "ab"}, CalendarDate{2024, 3, 9});
    const std::vector<IptcRecord> expected = {
        {0, std::string("\0\2", 2)},
        {115, "https://orichalcumite.org/ "},
        {55, "20240309"},
        {120, "Made with Orichalcumite"},
        {25, "Orichalcumite"},
        {25, "bevel"},
        {25, std::string(50, 'k')},
        {25, "ab"},
    };
    EXPECT_EQ(iptcRecordsOf(block, withHeader), expected);
  }
}

TEST(IptcBlock, recordsOfOddLengthArePadded) {
  // Without keywords the records take 5 + 2, 5 + 27, 5 + 8, 5 + 23, 5 + 13 = 98 bytes; one
  // more keyword of one byte makes them odd.
  const Bytes even = buildIptcBlock(false, {}, CalendarDate{2024, 1, 2});
  const Bytes odd = buildIptcBlock(false, {"x", "y"}, CalendarDate{2024, 1, 2});
  EXPECT_EQ(even.size(), 12u + 98u);
  EXPECT_EQ(odd.size(), 12u + 98u + 12u);
  EXPECT_EQ(iptcRecordsOf(odd, false).size(), 7u);
}

TEST(IptcBlock, manyKeywordsStillFitOneMarker) {
  const std::vector<std::string> keywords(3000, std::string(50, 'w'));
  const Bytes block = buildIptcBlock(true, keywords);
  EXPECT_LE(block.size(), 65533u);
  EXPECT_GT(block.size(), 60000u);
  EXPECT_GT(iptcRecordsOf(block, true).size(), 1000u);
  EXPECT_FALSE(encodeJpeg(*gradientPicture(16, 16), 80, block).empty());
}

// exiftool reads both blocks back as any other program would.
TEST(JpegMetadata, exiftoolReadsTheBlocks) {
  if (std::system("exiftool -ver > /dev/null 2>&1") != 0) GTEST_SKIP() << "no exiftool";
  testing::ScratchDir scratch;
  const std::string path = scratch.file("tagged.jpg");
  const Bytes iptc = buildIptcBlock(true, {"bevel", "copper"}, CalendarDate{2024, 3, 9});
  ASSERT_TRUE(
      writeJpegFile(*gradientPicture(64, 64), path, kThumbnailQuality, iptc, buildExifBlock()));
  const std::string command = "exiftool -j -charset iptc=Latin '" + path + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_TRUE(pipe);
  std::string output;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
  ASSERT_EQ(pclose(pipe), 0) << output;
  const nlohmann::json tags = nlohmann::json::parse(output, nullptr, false);
  ASSERT_TRUE(tags.is_array() && tags.size() == 1) << output;
  const nlohmann::json& t = tags[0];
  EXPECT_EQ(t.value("Software", ""), "Orichalcumite");
  EXPECT_EQ(t.value("Caption-Abstract", ""), "Made with Orichalcumite");
  EXPECT_EQ(t.value("Source", ""), "https://orichalcumite.org/ ");
  EXPECT_EQ(t.value("DateCreated", ""), "2024:03:09");
  EXPECT_EQ(t.value("Keywords", nlohmann::json()),
            nlohmann::json({"Orichalcumite", "bevel", "copper"}));
  EXPECT_EQ(t.value("ImageWidth", 0), 64);
}

// ---- thumbnail records ---------------------------------------------------------------------

// A record header followed by `jpeg` and a sentinel that must stay unread.
Bytes recordBytes(int32_t version, int32_t width, int32_t height, int32_t length,
                  const Bytes& jpeg) {
  ByteWriter out;
  out.i32(version);
  out.i32(width);
  out.i32(height);
  out.i32(length);
  out.bytes(jpeg);
  out.u32(0xC0FFEE00);
  return out.take();
}

Bytes firstBytes(const Bytes& bytes, size_t count) {
  return Bytes(bytes.begin(), bytes.begin() + long(std::min(count, bytes.size())));
}

TEST(ThumbnailRecord, writtenThumbnailReadsBack) {
  const auto picture = gradientPicture(kThumbnailSide, kThumbnailSide);
  ByteWriter out;
  writeThumbnailRecord(out, picture.get(), true, kThumbnailQuality);
  out.u32(0xC0FFEE00);
  const Bytes bytes = out.take();
  ByteReader in(bytes);
  ThumbnailRecord record;
  ASSERT_TRUE(readThumbnailRecord(in, true, &record));
  EXPECT_EQ(record.version, 1);
  EXPECT_EQ(record.width, 128);
  EXPECT_EQ(record.height, 128);
  ASSERT_TRUE(record.picture);
  EXPECT_EQ(record.picture->pyramidState(), PyramidState::built);
  EXPECT_LE(largestDifference(*picture, *record.picture, 128, 128), 6);
  EXPECT_EQ(in.remaining(), 4u);

  // Without the header only the stream is written.
  ByteWriter bare;
  writeThumbnailRecord(bare, picture.get(), false, kThumbnailQuality);
  EXPECT_EQ(bare.data(), encodeJpeg(*picture, kThumbnailQuality));
}

TEST(ThumbnailRecord, noPictureWritesVersionZeroOnly) {
  ByteWriter withHeader;
  writeThumbnailRecord(withHeader, nullptr, true, kThumbnailQuality);
  EXPECT_EQ(withHeader.data(), (Bytes{0, 0, 0, 0}));
  ByteWriter bare;
  writeThumbnailRecord(bare, nullptr, false, kThumbnailQuality);
  EXPECT_EQ(bare.size(), 0u);
}

TEST(ThumbnailRecord, readerHandlesEveryKindOfRecord) {
  const Bytes jpeg = encodeJpeg(*gradientPicture(24, 20), kThumbnailQuality);
  const int32_t size = int32_t(jpeg.size());
  const Bytes oversized(kThumbnailJpegLimit + 1, 0xAB);
  struct Case {
    const char* name;
    Bytes bytes;
    bool wantPicture;
    bool ok;
    bool picture;
    int width, height;
    size_t left;  // bytes after the reader's position
  };
  const Case cases[] = {
      {"version 0 ends the record",
       {0, 0, 0, 0, 0xC0, 0xFF, 0xEE, 0x00},
       true,
       true,
       false,
       0,
       0,
       4},
      {"version 1", recordBytes(1, 24, 20, size, jpeg), true, true, true, 24, 20, 4},
      {"not wanted", recordBytes(1, 24, 20, size, jpeg), false, true, false, 24, 20, 4},
      {"version 2 is skipped", recordBytes(2, 24, 20, size, jpeg), true, true, false, 24, 20, 4},
      {"sizes are clamped", recordBytes(1, 500, -3, size, jpeg), true, true, false, 128, 0, 4},
      {"over the limit is skipped", recordBytes(1, 24, 20, int32_t(oversized.size()), oversized),
       true, true, false, 24, 20, 4},
      {"damaged stream", recordBytes(1, 24, 20, 64, Bytes(64, 0x37)), true, true, false, 24, 20, 4},
      {"empty stream", recordBytes(1, 24, 20, 0, {}), true, true, false, 24, 20, 4},
      {"negative length", recordBytes(1, 24, 20, -1, jpeg), true, false, false, 24, 20, 0},
      {"negative version", recordBytes(-1, 24, 20, size, jpeg), true, false, false, 0, 0, 0},
      {"truncated stream", firstBytes(recordBytes(1, 24, 20, size, jpeg), 16 + jpeg.size() / 2),
       true, false, false, 24, 20, 0},
      {"truncated skip", firstBytes(recordBytes(2, 24, 20, size, jpeg), 20), true, false, false, 24,
       20, 0},
      {"truncated header", {0, 0, 0, 1, 0, 0, 0, 24, 0, 0}, true, false, false, 0, 0, 0},
      {"nothing at all", {}, true, false, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteReader in(c.bytes);
    ThumbnailRecord record;
    record.width = 77;
    EXPECT_EQ(readThumbnailRecord(in, c.wantPicture, &record), c.ok);
    EXPECT_EQ(bool(record.picture), c.picture);
    if (c.ok) {
      EXPECT_EQ(record.width, c.width);
      EXPECT_EQ(record.height, c.height);
      EXPECT_EQ(in.remaining(), c.left);
    }
    if (record.picture) {
      EXPECT_EQ(record.picture->width(), c.width);
      EXPECT_EQ(record.picture->height(), c.height);
    }
  }
}

}  // namespace
}  // namespace orichalcumite
