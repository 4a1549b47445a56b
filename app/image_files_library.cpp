// The general image-file library: every format the program has no direct path for, read and
// written with OpenImageIO. It lives in its own shared object beside the program, opened only
// when such a file is met, so that a plain run never loads the imaging library.
#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>
#include <fcntl.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

#include "app/detail/image_files_abi.h"

namespace {

namespace OIIO = OIIO_NAMESPACE;

constexpr size_t kMaxMessageLength = 200;

// Pixels are read and written in bands of about this many bytes, and a cancel is looked at
// between bands: a band of a large PNG takes a few tens of milliseconds.
constexpr size_t kBandBytes = size_t(2) << 20;

enum SampleType { uint8 = 0, uint16 = 1, float32 = 2 };

size_t sampleSize(int type) { return type == uint8 ? 1 : type == uint16 ? 2 : 4; }
const char* sampleTypeName(int type) {
  return type == uint8 ? "8-bit" : type == uint16 ? "16-bit" : "32-bit float";
}

void copyText(const std::string& text, char* out, size_t outBytes) {
  if (!out || outBytes == 0) return;
  const size_t n = std::min(text.size(), outBytes - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

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

int sampleTypeOf(OIIO::TypeDesc format) {
  switch (format.basetype) {
    case OIIO::TypeDesc::UINT8:
    case OIIO::TypeDesc::INT8: return uint8;
    case OIIO::TypeDesc::HALF:
    case OIIO::TypeDesc::FLOAT:
    case OIIO::TypeDesc::DOUBLE: return float32;
    default: return uint16;
  }
}

OIIO::TypeDesc typeDescOf(int type) {
  switch (type) {
    case uint8: return OIIO::TypeDesc::UINT8;
    case uint16: return OIIO::TypeDesc::UINT16;
    default: return OIIO::TypeDesc::FLOAT;
  }
}

bool isCancelled(const OrichalcumiteImageFileCalls& calls) {
  return calls.cancelled && calls.cancelled(calls.context);
}

struct Failure {
  int code;
  std::string message;
};

std::unique_ptr<OIIO::ImageInput> openForReading(const std::string& path) {
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &config);
  if (!in)
    throw Failure{kOrichalcumiteFilesFailed,
                  "cannot read " + path + ": " + oneLine(OIIO::geterror())};
  return in;
}

// The first `shape.channels` channels of the whole image, in bands, into `pixels`. Stops with
// "cancelled" when asked to between two bands.
void readPixels(OIIO::ImageInput& in, const OrichalcumiteImageShape& shape, uint8_t* pixels,
                const OrichalcumiteImageFileCalls& calls, const std::string& prefix) {
  const OIIO::ImageSpec& spec = in.spec();
  const OIIO::TypeDesc type = typeDescOf(shape.sampleType);
  const size_t rowBytes =
      size_t(shape.width) * size_t(shape.channels) * sampleSize(shape.sampleType);
  int bandRows = static_cast<int>(std::max<size_t>(1, kBandBytes / rowBytes));
  const bool tiled = spec.tile_width > 0;
  // Tiled files are read a whole row of tiles at a time.
  if (tiled) {
    const int tileRows = std::max(1, spec.tile_height);
    bandRows = (bandRows + tileRows - 1) / tileRows * tileRows;
  }
  for (int row = 0; row < shape.height; row += bandRows) {
    if (isCancelled(calls)) throw Failure{kOrichalcumiteFilesCancelled, "cancelled"};
    const int end = std::min(shape.height, row + bandRows);
    uint8_t* band = pixels + size_t(row) * rowBytes;
    const bool ok =
        tiled ? in.read_tiles(0, 0, spec.x, spec.x + spec.width, spec.y + row, spec.y + end, spec.z,
                              spec.z + 1, 0, shape.channels, type, band)
              : in.read_scanlines(0, 0, spec.y + row, spec.y + end, spec.z, 0, shape.channels, type,
                                  band);
    if (!ok) throw Failure{kOrichalcumiteFilesFailed, prefix + oneLine(in.geterror())};
  }
}

uint8_t* pixelsFor(const OrichalcumiteImageFileCalls& calls, const OrichalcumiteImageShape& shape,
                   const std::string& prefix) {
  char why[512] = {};
  uint8_t* pixels = calls.pixelsFor(calls.context, &shape, why, sizeof why);
  if (!pixels) throw Failure{kOrichalcumiteFilesFailed, prefix + why};
  return pixels;
}

bool isAlphaName(const std::string& name) {
  return strcasecmp(name.c_str(), "A") == 0 || strcasecmp(name.c_str(), "alpha") == 0;
}

// Returns OpenImageIO's complaints about an image that was still read whole (data that ended
// early: the rest then comes out grey); the program passes them on as a warning.
std::string readImage(const std::string& path, const OrichalcumiteImageFileCalls& calls) {
  const std::string prefix = "cannot read " + path + ": ";
  QuietStderr quiet;
  auto in = openForReading(path);
  const OIIO::ImageSpec& spec = in->spec();
  if (spec.depth > 1)
    throw Failure{kOrichalcumiteFilesFailed, prefix + "volume images are not supported"};
  const int channels = spec.nchannels;
  int alpha = spec.alpha_channel;
  if (alpha >= channels) alpha = -1;
  if (alpha < 0 && channels == 4) alpha = 3;
  // Two channels are grey and alpha only when the file says so: a pair such as depth and
  // mask, taken for grey and alpha, would be filtered wrongly and written back relabelled.
  if (alpha < 0 && channels == 2) {
    const std::string first = spec.channelnames.empty() ? "" : spec.channelnames[0];
    const std::string second = spec.channelnames.size() > 1 ? spec.channelnames[1] : "";
    if (!isAlphaName(second))
      throw Failure{kOrichalcumiteFilesFailed,
                    prefix + "it has two channels (\"" + first + "\", \"" + second +
                        "\") and the second is not an alpha; grey with alpha, RGB or RGBA is "
                        "needed"};
    alpha = 1;
  }
  const OrichalcumiteImageShape shape{spec.width, spec.height, channels, alpha >= 0 ? 1 : 0,
                                      sampleTypeOf(spec.format)};
  uint8_t* pixels = pixelsFor(calls, shape, prefix);
  readPixels(*in, shape, pixels, calls, prefix);
  std::string complaint = in->geterror();
  // Our images keep the alpha last.
  if (alpha >= 0 && alpha != channels - 1) {
    const size_t bps = sampleSize(shape.sampleType);
    uint8_t* p = pixels;
    const size_t count = size_t(shape.width) * size_t(shape.height);
    for (size_t i = 0; i < count; ++i, p += size_t(channels) * bps) {
      uint8_t a[4];
      std::memcpy(a, p + size_t(alpha) * bps, bps);
      std::memmove(p + size_t(alpha) * bps, p + size_t(alpha + 1) * bps,
                   size_t(channels - 1 - alpha) * bps);
      std::memcpy(p + size_t(channels - 1) * bps, a, bps);
    }
  }
  return complaint;
}

std::string readSelection(const std::string& path, int width, int height,
                          const OrichalcumiteImageFileCalls& calls) {
  const std::string prefix = "cannot read " + path + ": ";
  QuietStderr quiet;
  auto in = openForReading(path);
  const OIIO::ImageSpec& spec = in->spec();
  if (spec.width != width || spec.height != height || spec.depth > 1)
    throw Failure{kOrichalcumiteFilesFailed,
                  "the selection " + path + " is " + std::to_string(spec.width) + " x " +
                      std::to_string(spec.height) + " pixels but the image is " +
                      std::to_string(width) + " x " + std::to_string(height)};
  // Colour masks count by their luminance, not by whichever channel comes first.
  const OrichalcumiteImageShape shape{width, height, spec.nchannels >= 3 ? 3 : 1, 0,
                                      sampleTypeOf(spec.format)};
  uint8_t* pixels = pixelsFor(calls, shape, prefix);
  readPixels(*in, shape, pixels, calls, prefix);
  return in->geterror();
}

// Hands everything a format library writes to the program, which checks every byte. The
// library itself is told that all went well, because some libraries end the process when
// their output fails; the program reports the first failure once the library is done.
class CheckedOutput final : public OIIO::Filesystem::IOProxy {
 public:
  CheckedOutput(const std::string& path, const OrichalcumiteImageFileCalls& calls)
      : IOProxy(path, Write), calls_(calls) {}

  const char* proxytype() const override { return "checked file"; }
  size_t write(const void* buf, size_t size) override {
    pwrite(buf, size, m_pos);
    m_pos += int64_t(size);
    return size;
  }
  size_t pwrite(const void* buf, size_t size, int64_t offset) override {
    {
      std::lock_guard lock(mutex_);
      end_ = std::max(end_, uint64_t(offset) + size);
    }
    calls_.writeAt(calls_.context, uint64_t(offset), buf, size);
    return size;
  }
  size_t size() const override {
    std::lock_guard lock(mutex_);
    return size_t(end_);
  }

 private:
  const OrichalcumiteImageFileCalls& calls_;
  mutable std::mutex mutex_;
  uint64_t end_ = 0;
};

void writeImage(const std::string& path, const std::string& temporaryPath,
                const OrichalcumiteImageShape& shape, const uint8_t* pixels,
                const OrichalcumiteImageFileCalls& calls) {
  const std::string prefix = "cannot write " + path + ": ";
  auto fail = [&](const std::string& why) {
    return Failure{kOrichalcumiteFilesFailed, prefix + why};
  };
  QuietStderr quiet;
  // Declared in this order so that the writer, which may still write while it is destroyed,
  // goes before the proxy.
  std::unique_ptr<CheckedOutput> proxy;
  auto out = OIIO::ImageOutput::create(path);
  if (!out) throw fail(oneLine(OIIO::geterror()));
  const std::string format = out->format_name();
  const bool hasAlpha = shape.hasAlpha != 0;
  if (hasAlpha && !out->supports("alpha"))
    throw fail("the " + format + " format cannot hold an alpha channel");

  const OIIO::TypeDesc type = typeDescOf(shape.sampleType);
  OIIO::ImageSpec spec(shape.width, shape.height, shape.channels, type);
  spec.channelnames.clear();
  const int colourChannels = hasAlpha ? shape.channels - 1 : shape.channels;
  if (colourChannels < 3) {
    spec.channelnames.push_back("Y");
  } else {
    spec.channelnames.insert(spec.channelnames.end(), {"R", "G", "B"});
  }
  if (hasAlpha) spec.channelnames.push_back("A");
  spec.alpha_channel = hasAlpha ? shape.channels - 1 : -1;
  spec.attribute("oiio:UnassociatedAlpha", 1);
  // zlib level 4 writes a large picture in well under half the time of the default 6, for
  // files about 5 % larger.
  spec.attribute("png:compressionLevel", 4);

  // The few formats that cannot write through a proxy write the file by name; for those only
  // the format library checks its writes.
  proxy = std::make_unique<CheckedOutput>(temporaryPath, calls);
  if (!out->supports("ioproxy") || !out->set_ioproxy(proxy.get())) proxy.reset();
  auto abandon = [&](const std::string& why) {
    out->close();
    return fail(why);
  };
  if (!out->open(temporaryPath, spec)) throw abandon(oneLine(out->geterror()));
  // A format that cannot hold the depth or the channels quietly changes them when opened.
  if (out->spec().format != type)
    throw abandon("the " + format + " format cannot hold " + sampleTypeName(shape.sampleType) +
                  " samples");
  if (out->spec().nchannels != shape.channels)
    throw abandon("the " + format + " format cannot hold " + std::to_string(shape.channels) +
                  " channels");
  const size_t rowBytes =
      size_t(shape.width) * size_t(shape.channels) * sampleSize(shape.sampleType);
  const int bandRows = static_cast<int>(std::max<size_t>(1, kBandBytes / rowBytes));
  for (int row = 0; row < shape.height; row += bandRows) {
    if (isCancelled(calls)) throw abandon("cancelled");
    const int end = std::min(shape.height, row + bandRows);
    if (!out->write_scanlines(row, end, 0, type, pixels + size_t(row) * rowBytes))
      throw abandon(oneLine(out->geterror()));
  }
  if (!out->close()) throw fail(oneLine(out->geterror()));
}

template <typename Work>
int guarded(Work&& work, char* error, size_t errorBytes, const std::string& prefix) {
  try {
    work();
    return kOrichalcumiteFilesOk;
  } catch (const Failure& failure) {
    copyText(failure.message, error, errorBytes);
    return failure.code;
  } catch (const std::bad_alloc&) {
    copyText(prefix + "not enough memory", error, errorBytes);
  } catch (const std::exception& e) {
    copyText(prefix + oneLine(e.what()), error, errorBytes);
  } catch (...) {
    copyText(prefix + "the imaging library failed", error, errorBytes);
  }
  return kOrichalcumiteFilesFailed;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int orichalcumite_image_files_version(void) noexcept {
  return ORICHALCUMITE_IMAGE_FILES_ABI;
}

__attribute__((visibility("default"))) int orichalcumite_read_image_file(
    const char* path, int selectionWidth, int selectionHeight,
    const OrichalcumiteImageFileCalls* calls, char* error, size_t errorBytes, char* warning,
    size_t warningBytes) noexcept {
  copyText("", warning, warningBytes);
  if (!path || !calls || !calls->pixelsFor) {
    copyText("cannot read: no file named", error, errorBytes);
    return kOrichalcumiteFilesFailed;
  }
  const std::string name = path;
  return guarded(
      [&] {
        const std::string complaint =
            selectionWidth > 0 ? readSelection(name, selectionWidth, selectionHeight, *calls)
                               : readImage(name, *calls);
        if (!complaint.empty()) copyText(oneLine(complaint), warning, warningBytes);
      },
      error, errorBytes, "cannot read " + name + ": ");
}

__attribute__((visibility("default"))) int orichalcumite_write_image_file(
    const char* path, const char* temporaryPath, const OrichalcumiteImageShape* shape,
    const uint8_t* pixels, const OrichalcumiteImageFileCalls* calls, char* error,
    size_t errorBytes) noexcept {
  if (!path || !temporaryPath || !shape || !pixels || !calls || !calls->writeAt) {
    copyText("cannot write: nothing to write", error, errorBytes);
    return kOrichalcumiteFilesFailed;
  }
  const std::string name = path;
  return guarded([&] { writeImage(name, temporaryPath, *shape, pixels, *calls); }, error,
                 errorBytes, "cannot write " + name + ": ");
}

}  // extern "C"

// The exported functions must stay callable through the pointer types the program uses.
static_assert(std::is_convertible_v<decltype(&orichalcumite_image_files_version),
                                    OrichalcumiteImageFilesVersionFn>);
static_assert(
    std::is_convertible_v<decltype(&orichalcumite_read_image_file), OrichalcumiteReadImageFileFn>);
static_assert(std::is_convertible_v<decltype(&orichalcumite_write_image_file),
                                    OrichalcumiteWriteImageFileFn>);
