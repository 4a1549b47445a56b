// Binary PGM and PPM: a short text header, then the samples row after row.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/buffered_output.h"
#include "app/image_file_formats.h"
#include "app/pnm_file.h"

namespace orichalcumite {

std::optional<PnmHeader> parsePnmHeader(std::span<const uint8_t> bytes, std::string* why) {
  size_t at = 0;
  const auto skipSpaceAndComments = [&] {
    while (at < bytes.size()) {
      if (bytes[at] == '#') {
        while (at < bytes.size() && bytes[at] != '\n' && bytes[at] != '\r') ++at;
      } else if (std::strchr(" \t\r\n\v\f", bytes[at]) && bytes[at] != 0) {
        ++at;
      } else {
        break;
      }
    }
  };
  const auto number = [&](uint64_t* value) {
    skipSpaceAndComments();
    const size_t start = at;
    *value = 0;
    while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && at - start < 10)
      *value = *value * 10 + (bytes[at++] - '0');
    return at > start;
  };
  if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) {
    if (why) *why = "not a binary PGM or PPM file";
    return std::nullopt;
  }
  at = 2;
  PnmHeader header;
  header.channels = bytes[1] == '5' ? 1 : 3;
  uint64_t width = 0, height = 0, maximum = 0;
  if (!number(&width) || !number(&height) || !number(&maximum) || at >= bytes.size()) {
    if (why) *why = "the header ends early or holds no size";
    return std::nullopt;
  }
  if (width == 0 || height == 0 || width > 0x7fffffff || height > 0x7fffffff || maximum == 0 ||
      maximum > 65535) {
    if (why) *why = "the header holds an impossible size or maximum";
    return std::nullopt;
  }
  header.width = int(width);
  header.height = int(height);
  header.maximum = int(maximum);
  header.dataOffset = at + 1;  // one whitespace character ends the header
  return header;
}

std::string pnmHeaderText(const Image& image) {
  const int maximum = image.type() == SampleType::uint8 ? 255 : 65535;
  return std::string(image.channels() == 1 ? "P5" : "P6") + "\n" + std::to_string(image.width()) +
         " " + std::to_string(image.height()) + "\n" + std::to_string(maximum) + "\n";
}

void swapSampleBytes16(uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) std::swap(bytes[2 * i], bytes[2 * i + 1]);
}

DirectRead readPnmFile(const std::string& path, const ReadContext& context) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return DirectRead::fail(StatusCode::ioError, std::strerror(errno));
  uint8_t start[4096];
  const size_t got = std::fread(start, 1, sizeof start, file.get());
  std::string why;
  const auto header = parsePnmHeader({start, got}, &why);
  // A header longer than the bytes looked at (long comments) is left to the general library.
  if (!header && got == sizeof start) return DirectRead::decline();
  if (!header) return DirectRead::fail(StatusCode::damagedData, why);
  // Other maxima are scaled on reading, which the general library does its own way.
  if (header->maximum != 255 && header->maximum != 65535) return DirectRead::decline();
  const SampleType type = header->maximum == 255 ? SampleType::uint8 : SampleType::uint16;
  Status refused;
  auto image =
      imageForFile(header->width, header->height, header->channels, false, type, context, &refused);
  if (!image) return DirectRead::fail(refused.code(), refused.message());
  if (std::fseek(file.get(), long(header->dataOffset), SEEK_SET) != 0)
    return DirectRead::fail(StatusCode::ioError, std::strerror(errno));
  const size_t rowBytes = image->rowBytes();
  const int bandRows = int(std::max<size_t>(1, kBandBytes / rowBytes));
  for (int row = 0; row < image->height(); row += bandRows) {
    if (isSet(context.cancel)) return DirectRead::fail(StatusCode::cancelled, "cancelled");
    const int rows = std::min(bandRows, image->height() - row);
    uint8_t* band = image->data() + size_t(row) * rowBytes;
    const size_t want = size_t(rows) * rowBytes;
    if (std::fread(band, 1, want, file.get()) != want)
      return DirectRead::fail(StatusCode::damagedData, std::ferror(file.get())
                                                           ? std::strerror(errno)
                                                           : "the file ends before its pixels do");
    if (type == SampleType::uint16) swapSampleBytes16(band, want / 2);
  }
  return DirectRead{std::move(image), {}, false, {}};
}

Status pnmCanHold(const Image& image) {
  if (image.hasAlpha())
    return {StatusCode::invalidArgument, "the pnm format cannot hold an alpha channel"};
  if (image.type() == SampleType::float32)
    return {StatusCode::invalidArgument, "the pnm format cannot hold 32-bit float samples"};
  return Status::success();
}

Status writePnmFile(const Image& image, BufferedOutput& out, const std::atomic<bool>* cancel) {
  out.append(pnmHeaderText(image));
  const size_t rowBytes = image.rowBytes();
  const int bandRows = int(std::max<size_t>(1, kBandBytes / rowBytes));
  std::vector<uint8_t> swapped;
  for (int row = 0; row < image.height(); row += bandRows) {
    if (isSet(cancel)) return {StatusCode::cancelled, "cancelled"};
    const int rows = std::min(bandRows, image.height() - row);
    const uint8_t* band = image.data() + size_t(row) * rowBytes;
    const size_t bytes = size_t(rows) * rowBytes;
    if (image.type() == SampleType::uint16) {
      swapped.assign(band, band + bytes);
      swapSampleBytes16(swapped.data(), bytes / 2);
      band = swapped.data();
    }
    out.append({reinterpret_cast<const char*>(band), bytes});
  }
  return Status::success();
}

}  // namespace orichalcumite
