// The direct paths for PNG, TIFF and PNM against the general image-file library: every layout
// round trips exactly on each path and across them, the parallel PNG compressor gives the same
// bytes as the serial one and the rows we filtered, writes gathered in memory reach the file
// byte for byte, and the program itself never loads the imaging library.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "app/buffered_output.h"
#include "app/host_pixels.h"
#include "app/image_file_formats.h"
#include "app/image_files.h"
#include "app/png_file.h"
#include "app/pnm_file.h"
#include "base/replace_file.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Smooth ramps with noise over the whole range of the depth, so that filters and compression
// have real work; alpha 0 over a coloured pixel, and the extremes of the range present.
Image photo(int width, int height, int channels, bool alpha, SampleType type, unsigned seed) {
  Image image = *Image::make(width, height, channels, alpha, type);
  std::mt19937 random(seed);
  const double top = type == SampleType::uint8 ? 255 : type == SampleType::uint16 ? 65535 : 1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) {
        double v = (0.5 + 0.45 * std::sin(x * 0.05 + y * 0.03 + c)) * top;
        v += (double(random() % 41) - 20.0) / 1000.0 * top;
        v = std::clamp(v, 0.0, top);
        image.setSample(x, y, c, type == SampleType::float32 ? v : std::round(v));
      }
  image.setSample(0, 0, 0, 0);
  image.setSample(1, 0, 0, top);
  if (alpha) image.setSample(2, 1, channels - 1, 0);
  return image;
}

struct Layout {
  const char* extension;
  int channels;
  bool alpha;
  SampleType type;
};

// Every layout each direct path writes.
std::vector<Layout> directLayouts() {
  std::vector<Layout> layouts;
  for (SampleType type : {SampleType::uint8, SampleType::uint16, SampleType::float32})
    for (int channels = 1; channels <= 4; ++channels) {
      const bool alpha = channels == 2 || channels == 4;
      layouts.push_back({".tif", channels, alpha, type});
      if (type != SampleType::float32) layouts.push_back({".png", channels, alpha, type});
      if (type != SampleType::float32 && !alpha) layouts.push_back({".ppm", channels, alpha, type});
    }
  return layouts;
}

std::string describe(const Layout& layout) {
  return std::string(layout.extension) + " " + sampleTypeName(layout.type) + " " +
         std::to_string(layout.channels) + (layout.alpha ? " with alpha" : "");
}

TEST(DirectImageFiles, everyLayoutRoundTripsOnEachPathAndAcrossThem) {
  testing::ScratchDir dir;
  ASSERT_TRUE(dir.valid());
  int n = 0;
  for (const Layout& layout : directLayouts()) {
    SCOPED_TRACE(describe(layout));
    const Image image = photo(37, 23, layout.channels, layout.alpha, layout.type, unsigned(++n));
    const std::string direct = dir.file("direct" + std::to_string(n) + layout.extension);
    const std::string general = dir.file("general" + std::to_string(n) + layout.extension);
    std::string error;
    ASSERT_TRUE(writeImageFile(direct, image, &error)) << error;
    // Each file read back by the other path, and by its own. The general library neither
    // writes 16-bit PNM nor reads it exactly (it makes floats of it, 65280 coming back as
    // 65279), so those files are only read directly.
    std::vector<std::pair<std::string, std::optional<Image>>> readings = {
        {"direct by direct", readImageFile(direct, &error)},
    };
    if (!(std::string(layout.extension) == ".ppm" && layout.type == SampleType::uint16)) {
      readings.emplace_back("direct by general", readWithGeneralLibrary(direct, &error));
      ASSERT_TRUE(writeWithGeneralLibrary(general, image, &error)) << error;
      readings.emplace_back("general by direct", readImageFile(general, &error));
    }
    for (const auto& [what, back] : readings) {
      ASSERT_TRUE(back) << what << ": " << error;
      EXPECT_EQ(*back, image) << what;
    }
  }
}

TEST(DirectImageFiles, selectionsReadDirectlyMatchTheGeneralLibrary) {
  testing::ScratchDir dir;
  for (const Layout& layout : directLayouts()) {
    if (layout.type == SampleType::float32) continue;
    SCOPED_TRACE(describe(layout));
    const Image image = photo(9, 7, layout.channels, layout.alpha, layout.type, 3);
    const std::string path = dir.file(std::string("mask") + layout.extension);
    std::string error;
    ASSERT_TRUE(writeImageFile(path, image, &error)) << error;
    const auto direct = readSelectionFile(path, 9, 7, &error);
    ASSERT_TRUE(direct) << error;
    // The obvious reading: the grey, or the luminance of the colours, alpha playing no part.
    EXPECT_EQ(direct, maskBytesFromImage(image.isGrey() ? image : luminance(image)));
    EXPECT_FALSE(readSelectionFile(path, 9, 8, &error));
    EXPECT_NE(error.find("9 x 7"), std::string::npos) << error;
  }
}

TEST(DirectImageFiles, unusualFilesGoToTheGeneralLibraryAndDamagedOnesAreRefused) {
  testing::ScratchDir dir;
  std::string error;
  // PGM with a maximum of 1000 and a comment: declined by the direct reader, read by the
  // general library as 16-bit.
  {
    std::ofstream(dir.file("odd.pgm"), std::ios::binary) << "P5\n# made by hand\n2 1\n1000\n"
                                                         << std::string("\x01\x02\x03\xe8", 4);
    const auto image = readImageFile(dir.file("odd.pgm"), &error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(image->type(), SampleType::uint16);
  }
  // Every direct format, cut short or with its magic followed by noise: one line, no image.
  const Image image = photo(40, 30, 3, false, SampleType::uint8, 9);
  for (const char* name : {"whole.png", "whole.tif", "whole.ppm"}) {
    ASSERT_TRUE(writeImageFile(dir.file(name), image, &error)) << error;
    const std::string bytes = contents(dir.file(name));
    for (size_t n : {size_t(3), size_t(12), bytes.size() / 2, bytes.size() - 13}) {
      const std::string cut = dir.file("cut-" + std::to_string(n) + "-" + name);
      std::ofstream(cut, std::ios::binary).write(bytes.data(), std::streamsize(n));
      error.clear();
      EXPECT_FALSE(readImageFile(cut, &error)) << name << " cut to " << n;
      EXPECT_FALSE(error.empty());
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
  }
  // A JPEG that ends early is read, the rest grey, as the general library reads it.
  ASSERT_TRUE(writeImageFile(dir.file("whole.jpg"), image, &error)) << error;
  const std::string jpeg = contents(dir.file("whole.jpg"));
  std::ofstream(dir.file("cut.jpg"), std::ios::binary)
      .write(jpeg.data(), std::streamsize(jpeg.size() / 2));
  const auto cut = readImageFile(dir.file("cut.jpg"), &error);
  ASSERT_TRUE(cut) << error;
  EXPECT_EQ(cut, readWithGeneralLibrary(dir.file("cut.jpg"), &error));
  // A chunk that claims nearly 2 GB in a file of a few dozen bytes: refused before anything
  // of that size is allocated.
  {
    const std::string ihdr("\0\0\0\5\0\0\0\3\x08\0\0\0\0", 13);
    std::string bytes = std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr);
    bytes += std::string("\x7f\xff\xff\xf0tEXtshort", 13);
    std::ofstream(dir.file("long.png"), std::ios::binary) << bytes;
    const ReadContext context{bytes.size(), nullptr};
    EXPECT_TRUE(readPngQuickly(dir.file("long.png"), context).declined);
    EXPECT_FALSE(readImageFile(dir.file("long.png"), &error));
    EXPECT_FALSE(error.empty());
  }
  std::ofstream(dir.file("noise.tif"), std::ios::binary) << std::string("II*\0", 4) << "noise!!!";
  EXPECT_FALSE(readImageFile(dir.file("noise.tif"), &error));
  EXPECT_NE(error.find("noise.tif"), std::string::npos) << error;
}

TEST(DirectJpeg, filesMatchTheGeneralLibraryWrittenAndRead) {
  testing::ScratchDir dir;
  for (int channels : {1, 3}) {
    SCOPED_TRACE(channels);
    const Image image = photo(83, 45, channels, false, SampleType::uint8, unsigned(channels));
    const std::string direct = dir.file("direct" + std::to_string(channels) + ".jpg");
    const std::string general = dir.file("general" + std::to_string(channels) + ".jpg");
    std::string error;
    ASSERT_TRUE(writeImageFile(direct, image, &error)) << error;
    ASSERT_TRUE(writeWithGeneralLibrary(general, image, &error)) << error;
    // The same quality and subsampling as the general library: the same pixels come back.
    const auto fromDirect = readImageFile(direct, &error);
    ASSERT_TRUE(fromDirect) << error;
    EXPECT_EQ(readImageFile(general, &error), fromDirect);
    EXPECT_EQ(readWithGeneralLibrary(direct, &error), fromDirect);
    EXPECT_EQ(fromDirect->channels(), channels);
    // Lossy, but close on average (sharp colour edges suffer from the subsampling).
    double total = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        for (int c = 0; c < channels; ++c)
          total += std::abs(fromDirect->sample(x, y, c) - image.sample(x, y, c));
    EXPECT_LT(total / double(image.pixelCount() * size_t(channels)), 4.0);
  }
}

TEST(DirectPng, theParallelCompressorMatchesTheSerialOneAndTheFilteredRows) {
  // Several strips of 16-bit RGBA, so that strips join and the Adler sums combine.
  const Image image = photo(900, 700, 4, true, SampleType::uint16, 5);
  ASSERT_GT(700 / pngStripRows(image.rowBytes()), 2);
  const std::string serial = pngFileBytes(image, 1);
  EXPECT_EQ(pngFileBytes(image, 2), serial);
  EXPECT_EQ(pngFileBytes(image, 5), serial);

  // The IDAT chunks, checked one by one, hold one zlib stream of exactly the filtered rows.
  std::string stream;
  size_t at = 8;
  while (at + 12 <= serial.size()) {
    const uint32_t length =
        uint32_t(uint8_t(serial[at])) << 24 | uint32_t(uint8_t(serial[at + 1])) << 16 |
        uint32_t(uint8_t(serial[at + 2])) << 8 | uint32_t(uint8_t(serial[at + 3]));
    const std::string type = serial.substr(at + 4, 4);
    ASSERT_LE(at + 12 + length, serial.size());
    const std::string chunk = pngChunk(type, std::string_view(serial).substr(at + 8, length));
    EXPECT_EQ(chunk, serial.substr(at, 12 + length)) << type << " chunk's CRC";
    if (type == "IDAT") stream += serial.substr(at + 8, length);
    at += 12 + length;
  }
  EXPECT_EQ(at, serial.size());
  // The obvious Up filter over the file's big-endian samples.
  std::vector<uint8_t> expected;
  const auto fileByte = [&](int x, int y, int b) -> int {
    if (y < 0) return 0;
    const int value = int(image.sample(x / (image.channels() * 2), y, (x / 2) % image.channels()));
    return b == 0 ? value >> 8 : value & 0xff;
  };
  for (int y = 0; y < image.height(); ++y) {
    expected.push_back(2);
    for (int x = 0; x < image.width() * image.channels() * 2; ++x)
      expected.push_back(uint8_t(fileByte(x, y, x % 2) - fileByte(x, y - 1, x % 2)));
  }
  // Rows filtered strip by strip join into the same scanlines.
  std::vector<uint8_t> pieces;
  for (int row = 0; row < image.height(); row += 97)
    appendUpFilteredRows(image, row, std::min(image.height(), row + 97), pieces);
  EXPECT_EQ(pieces, expected);
  std::vector<uint8_t> inflated(expected.size() + 1);
  uLongf size = uLongf(inflated.size());
  ASSERT_EQ(uncompress(inflated.data(), &size, reinterpret_cast<const Bytef*>(stream.data()),
                       uLong(stream.size())),
            Z_OK);
  inflated.resize(size);
  EXPECT_EQ(inflated, expected);
}

TEST(DirectPng, theQuickReaderMatchesLibpngOnFilesFromBothWriters) {
  testing::ScratchDir dir;
  int n = 0;
  for (const Layout& layout : directLayouts()) {
    if (std::string(layout.extension) != ".png") continue;
    SCOPED_TRACE(describe(layout));
    const Image image = photo(301, 67, layout.channels, layout.alpha, layout.type, unsigned(++n));
    std::string error;
    // Our writer uses one filter; the general library's chooses among all five row by row.
    const std::string ours = dir.file("ours" + std::to_string(n) + ".png");
    const std::string theirs = dir.file("theirs" + std::to_string(n) + ".png");
    ASSERT_TRUE(writeImageFile(ours, image, &error)) << error;
    ASSERT_TRUE(writeWithGeneralLibrary(theirs, image, &error)) << error;
    for (const std::string& path : {ours, theirs}) {
      const ReadContext context{std::filesystem::file_size(path), nullptr};
      DirectRead quick = readPngQuickly(path, context);
      DirectRead reference = readPngWithLibpng(path, context);
      ASSERT_TRUE(quick.image) << path << " declined " << quick.declined;
      ASSERT_TRUE(reference.image) << reference.failure.message();
      EXPECT_EQ(*quick.image, *reference.image) << path;
      EXPECT_EQ(*quick.image, image) << path;
    }
  }
}

TEST(DirectPng, eachFilterIsUndoneAsTheFormatDefinesIt) {
  // Two rows of three-byte pixels; each filter applied by its definition, then undone.
  const size_t bpp = 3, width = 12;
  std::mt19937 random(11);
  std::vector<uint8_t> above(width), row(width);
  for (auto& v : above) v = uint8_t(random());
  for (auto& v : row) v = uint8_t(random());
  const auto predictor = [&](int filter, size_t i) -> int {
    const int a = i >= bpp ? row[i - bpp] : 0, b = above[i], c = i >= bpp ? above[i - bpp] : 0;
    switch (filter) {
      case 1: return a;
      case 2: return b;
      case 3: return (a + b) / 2;
      case 4: {
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      default: return 0;
    }
  };
  for (int filter = 0; filter <= 4; ++filter) {
    std::vector<uint8_t> coded(width);
    for (size_t i = 0; i < width; ++i) coded[i] = uint8_t(row[i] - predictor(filter, i));
    ASSERT_TRUE(unfilterPngRow(filter, coded.data(), above.data(), width, bpp));
    EXPECT_EQ(coded, row) << "filter " << filter;
  }
  EXPECT_FALSE(unfilterPngRow(5, row.data(), above.data(), width, bpp));
}

TEST(DirectPnm, headersAreParsedWithCommentsAndRefusedWhenImpossible) {
  struct Case {
    std::string text;
    bool valid;
    int width, height, channels, maximum;
    size_t dataOffset;
  };
  const std::vector<Case> cases = {
      {"P6\n4 3\n255\nxxxx", true, 4, 3, 3, 255, 11},
      {"P5 # grey\n# another\n 7\t2 65535 x", true, 7, 2, 1, 65535, 31},
      {"P6\n4 3\n255", false, 0, 0, 0, 0, 0},    // ends before its pixels
      {"P6\n0 3\n255\n", false, 0, 0, 0, 0, 0},  // no pixels
      {"P6\n4 3\n70000\n", false, 0, 0, 0, 0, 0},
      {"P3\n4 3\n255\n", false, 0, 0, 0, 0, 0},  // text samples
      {"P6\n99999999999 3\n255\n", false, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    std::string why;
    const auto header =
        parsePnmHeader({reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size()}, &why);
    ASSERT_EQ(bool(header), c.valid) << c.text << ": " << why;
    if (!header) {
      EXPECT_FALSE(why.empty());
      continue;
    }
    EXPECT_EQ(header->width, c.width) << c.text;
    EXPECT_EQ(header->height, c.height) << c.text;
    EXPECT_EQ(header->channels, c.channels) << c.text;
    EXPECT_EQ(header->maximum, c.maximum) << c.text;
    EXPECT_EQ(header->dataOffset, c.dataOffset) << c.text;
  }
}

// Writes fail once this many bytes have gone out, as on a full disk.
size_t gBudget = 0;
ssize_t writeWithinBudget(int fd, const void* data, size_t size, off_t offset) {
  if (gBudget < size) {
    errno = ENOSPC;
    return -1;
  }
  gBudget -= size;
  return ::pwrite(fd, data, size, offset);
}

TEST(BufferedOutput, manyTinyWritesAndJumpsBackReachTheFileByteForByte) {
  testing::ScratchDir dir;
  auto file = TemporaryFile::create(dir.file("out.bin"));
  ASSERT_TRUE(file) << file.message();
  std::string expected(3 << 20, '\0');
  std::mt19937 random(7);
  for (char& c : expected) c = char(random());
  {
    BufferedOutput out(*file, 64 << 10);
    // A header left blank, written a few bytes at a time after everything else, as format
    // libraries do for sizes and offsets; one write larger than the buffer in the middle.
    size_t at = 16;
    while (at < expected.size()) {
      const size_t n = at == 1000000 ? 300000 : 1 + random() % 7;
      const size_t take = std::min(n, expected.size() - at);
      out.writeAt(at, std::string_view(expected).substr(at, take));
      at += take;
      if (at > 1000000 && at < 1000008) at = 1000000;  // lands on the large write next
    }
    for (size_t i = 0; i < 16; i += 4) out.writeAt(i, std::string_view(expected).substr(i, 4));
    EXPECT_EQ(out.end(), expected.size());
    ASSERT_TRUE(out.flush().ok());
  }
  ASSERT_TRUE(file->commit().ok());
  EXPECT_EQ(contents(dir.file("out.bin")), expected);

  // A failure is kept, later writes are dropped, and the caller hears of it at the end.
  auto second = TemporaryFile::create(dir.file("full.bin"));
  ASSERT_TRUE(second);
  const WriteAtFunction previous = setWriteFunctionForTests(&writeWithinBudget);
  gBudget = 100;
  {
    BufferedOutput out(*second, 64);
    for (size_t i = 0; i < 1000; ++i) out.append("abc");
    const Status status = out.flush();
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find(std::strerror(ENOSPC)), std::string::npos) << status.message();
  }
  setWriteFunctionForTests(previous);
}

// The shared libraries an ELF file names in its dynamic section (NEEDED entries).
std::vector<std::string> neededLibraries(const std::string& path) {
  std::vector<std::string> needed;
  FILE* pipe = popen(("readelf -d '" + path + "'").c_str(), "r");
  if (!pipe) return needed;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    const std::string text = line;
    const size_t open = text.find("(NEEDED)") == std::string::npos ? text.npos : text.find('[');
    if (open != text.npos) needed.push_back(text.substr(open + 1, text.find(']') - open - 1));
  }
  pclose(pipe);
  return needed;
}

TEST(GeneralImageFileLibrary, onlyTheLibraryNeedsTheImagingLibrary) {
  const auto mentionsImagingLibrary = [](const std::vector<std::string>& libraries) {
    for (const std::string& name : libraries)
      if (name.find("OpenImageIO") != std::string::npos) return true;
    return false;
  };
  const std::vector<std::string> program = neededLibraries(ORICHALCUMITE_PROGRAM);
  ASSERT_FALSE(program.empty()) << "readelf cannot read the program";
  EXPECT_FALSE(mentionsImagingLibrary(program));
  EXPECT_TRUE(mentionsImagingLibrary(neededLibraries(ORICHALCUMITE_IMAGE_FILES_LIBRARY_FILE)))
      << "the check would see the imaging library if it were there";
}

TEST(GeneralImageFileLibrary, aMissingLibraryIsNamedAndDirectFormatsStillWork) {
  testing::ScratchDir dir;
  const std::string saved = std::getenv("ORICHALCUMITE_IMAGE_FILES_LIBRARY");
  const Image image = photo(5, 4, 3, false, SampleType::float32, 1);
  std::string error;
  ASSERT_TRUE(writeImageFile(dir.file("in.exr"), image, &error)) << error;
  const std::string absent = dir.file("no-such-library.so");
  setenv("ORICHALCUMITE_IMAGE_FILES_LIBRARY", absent.c_str(), 1);
  EXPECT_FALSE(readImageFile(dir.file("in.exr"), &error));
  EXPECT_NE(error.find(absent), std::string::npos) << error;
  EXPECT_FALSE(writeImageFile(dir.file("out.exr"), image, &error));
  EXPECT_NE(error.find(absent), std::string::npos) << error;
  EXPECT_NE(error.find("ORICHALCUMITE_IMAGE_FILES_LIBRARY"), std::string::npos) << error;
  EXPECT_TRUE(writeImageFile(dir.file("out.tif"), image, &error)) << error;
  EXPECT_EQ(readImageFile(dir.file("out.tif"), &error), image) << error;
  // Something that is not the library at all.
  std::ofstream(absent) << "not a library";
  EXPECT_FALSE(readImageFile(dir.file("in.exr"), &error));
  EXPECT_NE(error.find(absent), std::string::npos) << error;
  setenv("ORICHALCUMITE_IMAGE_FILES_LIBRARY", saved.c_str(), 1);
}

}  // namespace
}  // namespace orichalcumite
