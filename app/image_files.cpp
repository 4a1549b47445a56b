#include "app/image_files.h"

#include <OpenImageIO/imageio.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/host_pixels.h"
#include "base/replace_file.h"

namespace orichalcumite {
namespace {

constexpr size_t kMaxMessageLength = 200;

// OpenImageIO's messages may span lines and repeat themselves; ours are one short line each.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.size() > kMaxMessageLength) text = text.substr(0, kMaxMessageLength) + "...";
  return text.empty() ? "unknown error" : text;
}

// Some format libraries print their own diagnostics on stderr before OpenImageIO hands us the
// same failure; the program reports it once, in its own words. Silences stderr while alive.
class QuietStderr {
 public:
  QuietStderr() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
  ~QuietStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      dup2(saved_, STDERR_FILENO);
      close(saved_);
    }
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

SampleType sampleTypeOf(OIIO::TypeDesc format) {
  switch (format.basetype) {
    case OIIO::TypeDesc::UINT8:
    case OIIO::TypeDesc::INT8: return SampleType::uint8;
    case OIIO::TypeDesc::HALF:
    case OIIO::TypeDesc::FLOAT:
    case OIIO::TypeDesc::DOUBLE: return SampleType::float32;
    default: return SampleType::uint16;
  }
}

OIIO::TypeDesc typeDescOf(SampleType type) {
  switch (type) {
    case SampleType::uint8: return OIIO::TypeDesc::UINT8;
    case SampleType::uint16: return OIIO::TypeDesc::UINT16;
    case SampleType::float32: return OIIO::TypeDesc::FLOAT;
  }
  return OIIO::TypeDesc::UINT8;
}

std::unique_ptr<OIIO::ImageInput> openForReading(const std::string& path, std::string* error) {
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &config);
  if (!in && error) *error = "cannot read " + path + ": " + oneLine(OIIO::geterror());
  return in;
}

}  // namespace

std::optional<Image> readImageFile(const std::string& path, std::string* error) {
  QuietStderr quiet;
  auto in = openForReading(path, error);
  if (!in) return std::nullopt;
  const OIIO::ImageSpec& spec = in->spec();
  auto fail = [&](const std::string& why) -> std::optional<Image> {
    if (error) *error = "cannot read " + path + ": " + why;
    return std::nullopt;
  };
  if (spec.depth > 1) return fail("volume images are not supported");
  const int channels = spec.nchannels;
  int alpha = spec.alpha_channel;
  if (alpha < 0 && (channels == 2 || channels == 4)) alpha = channels - 1;
  if (alpha >= channels) alpha = -1;
  std::string why;
  auto image =
      Image::make(spec.width, spec.height, channels, alpha >= 0, sampleTypeOf(spec.format), &why);
  if (!image) return fail(why);
  if (!in->read_image(0, 0, 0, channels, typeDescOf(image->type()), image->data()))
    return fail(oneLine(in->geterror()));
  // Our images keep the alpha last.
  if (alpha >= 0 && alpha != channels - 1) {
    const size_t bps = sampleSize(image->type());
    uint8_t* p = image->data();
    for (size_t i = 0; i < image->pixelCount(); ++i, p += size_t(channels) * bps) {
      uint8_t a[4];
      std::memcpy(a, p + size_t(alpha) * bps, bps);
      std::memmove(p + size_t(alpha) * bps, p + size_t(alpha + 1) * bps,
                   size_t(channels - 1 - alpha) * bps);
      std::memcpy(p + size_t(channels - 1) * bps, a, bps);
    }
  }
  return image;
}

std::optional<std::vector<uint8_t>> readSelectionFile(const std::string& path, int width,
                                                      int height, std::string* error) {
  QuietStderr quiet;
  auto in = openForReading(path, error);
  if (!in) return std::nullopt;
  const OIIO::ImageSpec& spec = in->spec();
  auto fail = [&](const std::string& why) -> std::optional<std::vector<uint8_t>> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (spec.width != width || spec.height != height || spec.depth > 1)
    return fail("the selection " + path + " is " + std::to_string(spec.width) + " x " +
                std::to_string(spec.height) + " pixels but the image is " + std::to_string(width) +
                " x " + std::to_string(height));
  std::string why;
  auto mask = Image::make(width, height, 1, false, sampleTypeOf(spec.format), &why);
  if (!mask) return fail("cannot read " + path + ": " + why);
  if (!in->read_image(0, 0, 0, 1, typeDescOf(mask->type()), mask->data()))
    return fail("cannot read " + path + ": " + oneLine(in->geterror()));
  return maskBytesFromImage(*mask);
}

bool writeImageFile(const std::string& path, const Image& image, std::string* error,
                    const std::atomic<bool>* cancel) {
  auto fail = [&](const std::string& why) {
    if (error) *error = "cannot write " + path + ": " + why;
    return false;
  };
  QuietStderr quiet;
  auto out = OIIO::ImageOutput::create(path);
  if (!out) return fail(oneLine(OIIO::geterror()));
  const std::string format = out->format_name();
  if (image.hasAlpha() && !out->supports("alpha"))
    return fail("the " + format + " format cannot hold an alpha channel");

  const OIIO::TypeDesc type = typeDescOf(image.type());
  OIIO::ImageSpec spec(image.width(), image.height(), image.channels(), type);
  spec.channelnames.clear();
  if (image.isGrey()) {
    spec.channelnames.push_back("Y");
  } else {
    spec.channelnames.insert(spec.channelnames.end(), {"R", "G", "B"});
  }
  if (image.hasAlpha()) spec.channelnames.push_back("A");
  spec.alpha_channel = image.hasAlpha() ? image.channels() - 1 : -1;
  spec.attribute("oiio:UnassociatedAlpha", 1);
  // zlib level 4 writes a large picture in well under half the time of the default 6, for
  // files about 5 % larger.
  spec.attribute("png:compressionLevel", 4);

  std::string why;
  auto temp = TemporaryFile::create(path);
  if (!temp) return fail(temp.message());
  if (!out->open(temp->path(), spec)) return fail(oneLine(out->geterror()));
  // A format that cannot hold the depth or the channels quietly changes them when opened.
  if (out->spec().format != type) {
    out->close();
    return fail("the " + format + " format cannot hold " + sampleTypeName(image.type()) +
                " samples");
  }
  if (out->spec().nchannels != image.channels()) {
    out->close();
    return fail("the " + format + " format cannot hold " + std::to_string(image.channels()) +
                " channels");
  }
  if (!out->write_image(type, image.data())) {
    why = oneLine(out->geterror());
    out->close();
    return fail(why);
  }
  if (!out->close()) return fail(oneLine(out->geterror()));
  if (cancel && cancel->load()) return fail("cancelled");
  const Status committed = temp->commit();
  if (!committed && error) *error = committed.message();
  return committed.ok();
}

}  // namespace orichalcumite
