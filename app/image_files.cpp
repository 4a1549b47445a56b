#include "app/image_files.h"

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>
#include <fcntl.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>

#include "app/host_pixels.h"
#include "base/replace_file.h"

namespace orichalcumite {
namespace {

constexpr size_t kMaxMessageLength = 200;

// Pixels are read and written in bands of about this many bytes, and a cancel is looked at
// between bands: a band of a large PNG takes a few tens of milliseconds.
constexpr size_t kBandBytes = size_t(2) << 20;

// Deflate packs at most about 1032 to 1, LZW a few thousand to one per channel; no format we
// read does much better on real data. Images below the floor are cheap enough to try anyway.
constexpr uint64_t kMaxCompressionRatio = uint64_t(1) << 16;
constexpr uint64_t kAlwaysPlausibleBytes = uint64_t(64) << 20;

std::atomic<const std::atomic<bool>*> gInterruptFlag{nullptr};

const std::atomic<bool>* cancelFlagOr(const std::atomic<bool>* given) {
  return given ? given : gInterruptFlag.load();
}

bool isSet(const std::atomic<bool>* flag) { return flag && flag->load(std::memory_order_relaxed); }

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

uint64_t physicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return std::numeric_limits<uint64_t>::max();
  return uint64_t(pages) * uint64_t(pageSize);
}

// The first `channels` channels of the whole image, in bands, into `image` (which has the
// file's size). Stops with "cancelled" when `cancel` is set between two bands.
Status readPixels(OIIO::ImageInput& in, Image& image, const std::atomic<bool>* cancel) {
  const OIIO::ImageSpec& spec = in.spec();
  const OIIO::TypeDesc type = typeDescOf(image.type());
  const size_t rowBytes = image.rowBytes();
  int bandRows = static_cast<int>(std::max<size_t>(1, kBandBytes / rowBytes));
  const bool tiled = spec.tile_width > 0;
  // Tiled files are read a whole row of tiles at a time.
  if (tiled) {
    const int tileRows = std::max(1, spec.tile_height);
    bandRows = (bandRows + tileRows - 1) / tileRows * tileRows;
  }
  for (int row = 0; row < image.height(); row += bandRows) {
    if (isSet(cancel)) return {StatusCode::cancelled, "cancelled"};
    const int end = std::min(image.height(), row + bandRows);
    uint8_t* band = image.data() + size_t(row) * rowBytes;
    const bool ok =
        tiled ? in.read_tiles(0, 0, spec.x, spec.x + spec.width, spec.y + row, spec.y + end, spec.z,
                              spec.z + 1, 0, image.channels(), type, band)
              : in.read_scanlines(0, 0, spec.y + row, spec.y + end, spec.z, 0, image.channels(),
                                  type, band);
    if (!ok) return {StatusCode::damagedData, oneLine(in.geterror())};
  }
  return Status::success();
}

// Refuses an image whose header claims more than the file or the machine can hold.
Status checkFileCanHold(const std::string& path, const OIIO::ImageSpec& spec, int channels,
                        SampleType type) {
  std::error_code ec;
  const uintmax_t fileBytes = std::filesystem::file_size(path, ec);
  const uint64_t imageBytes = uint64_t(std::max(spec.width, 0)) *
                              uint64_t(std::max(spec.height, 0)) * uint64_t(channels) *
                              sampleSize(type);
  return checkDeclaredImageSize(imageBytes,
                                ec ? std::numeric_limits<uint64_t>::max() : uint64_t(fileBytes),
                                physicalMemoryBytes());
}

bool isAlphaName(const std::string& name) {
  return strcasecmp(name.c_str(), "A") == 0 || strcasecmp(name.c_str(), "alpha") == 0;
}

// OpenImageIO keeps complaints about data that ended early after a read that still gave a
// whole image (the rest then comes out grey); the reader hears about them as a warning.
void warnAboutLateComplaints(const std::string& path, const std::string& complaint) {
  if (complaint.empty()) return;
  std::fprintf(stderr, "orichalcumite: warning: %s may be damaged: %s\n", path.c_str(),
               oneLine(complaint).c_str());
}

// Hands everything a format library writes to the temporary file, so that every byte is
// checked. The first failure is kept and reported once the library is done; the library itself
// is told that all went well, because some libraries end the process when their output fails.
class CheckedOutput final : public OIIO::Filesystem::IOProxy {
 public:
  explicit CheckedOutput(TemporaryFile& file) : IOProxy(file.path(), Write), file_(file) {}

  const char* proxytype() const override { return "checked file"; }
  size_t write(const void* buf, size_t size) override {
    pwrite(buf, size, m_pos);
    m_pos += int64_t(size);
    return size;
  }
  size_t pwrite(const void* buf, size_t size, int64_t offset) override {
    std::lock_guard lock(mutex_);
    end_ = std::max(end_, uint64_t(offset) + size);
    if (status_.ok() && !discarding_)
      status_ = file_.writeAt(uint64_t(offset), {static_cast<const char*>(buf), size});
    return size;
  }
  size_t size() const override {
    std::lock_guard lock(mutex_);
    return size_t(end_);
  }

  // From now on nothing more reaches the file: used when the file will not be kept.
  void discard() {
    std::lock_guard lock(mutex_);
    discarding_ = true;
  }
  Status status() const {
    std::lock_guard lock(mutex_);
    return status_;
  }

 private:
  TemporaryFile& file_;
  mutable std::mutex mutex_;
  uint64_t end_ = 0;
  bool discarding_ = false;
  Status status_;
};

}  // namespace

void setInterruptFlag(const std::atomic<bool>* flag) { gInterruptFlag.store(flag); }

Status checkDeclaredImageSize(uint64_t imageBytes, uint64_t fileBytes, uint64_t memoryBytes) {
  const auto megabytes = [](uint64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20);
  };
  if (imageBytes > kAlwaysPlausibleBytes && fileBytes < imageBytes / kMaxCompressionRatio)
    return {StatusCode::damagedData, "the file claims an image of " + megabytes(imageBytes) +
                                         " MB, far more than its " + std::to_string(fileBytes) +
                                         " bytes can hold"};
  if (imageBytes > memoryBytes)
    return {StatusCode::invalidArgument, "the image needs " + megabytes(imageBytes) +
                                             " MB, more than this machine's memory of " +
                                             megabytes(memoryBytes) + " MB"};
  return Status::success();
}

std::optional<Image> readImageFile(const std::string& path, std::string* error,
                                   const std::atomic<bool>* cancel) {
  cancel = cancelFlagOr(cancel);
  auto fail = [&](const std::string& why) -> std::optional<Image> {
    if (error) *error = why == "cancelled" ? why : "cannot read " + path + ": " + why;
    return std::nullopt;
  };
  std::optional<Image> image;
  std::string complaint;
  {
    QuietStderr quiet;
    auto in = openForReading(path, error);
    if (!in) return std::nullopt;
    const OIIO::ImageSpec& spec = in->spec();
    if (spec.depth > 1) return fail("volume images are not supported");
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
        return fail("it has two channels (\"" + first + "\", \"" + second +
                    "\") and the second is not an alpha; grey with alpha, RGB or RGBA is needed");
      alpha = 1;
    }
    const SampleType type = sampleTypeOf(spec.format);
    if (Status fits = checkFileCanHold(path, spec, channels, type); !fits)
      return fail(fits.message());
    std::string why;
    image = Image::make(spec.width, spec.height, channels, alpha >= 0, type, &why);
    if (!image) return fail(why);
    if (Status read = readPixels(*in, *image, cancel); !read) return fail(read.message());
    complaint = in->geterror();
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
  }
  warnAboutLateComplaints(path, complaint);
  return image;
}

std::optional<std::vector<uint8_t>> readSelectionFile(const std::string& path, int width,
                                                      int height, std::string* error,
                                                      const std::atomic<bool>* cancel) {
  cancel = cancelFlagOr(cancel);
  auto fail = [&](const std::string& why) -> std::optional<std::vector<uint8_t>> {
    if (error) *error = why;
    return std::nullopt;
  };
  std::optional<Image> mask;
  std::string complaint;
  {
    QuietStderr quiet;
    auto in = openForReading(path, error);
    if (!in) return std::nullopt;
    const OIIO::ImageSpec& spec = in->spec();
    if (spec.width != width || spec.height != height || spec.depth > 1)
      return fail("the selection " + path + " is " + std::to_string(spec.width) + " x " +
                  std::to_string(spec.height) + " pixels but the image is " +
                  std::to_string(width) + " x " + std::to_string(height));
    // Colour masks count by their luminance, not by whichever channel comes first.
    const int channels = spec.nchannels >= 3 ? 3 : 1;
    const SampleType type = sampleTypeOf(spec.format);
    if (Status fits = checkFileCanHold(path, spec, channels, type); !fits)
      return fail("cannot read " + path + ": " + fits.message());
    std::string why;
    mask = Image::make(width, height, channels, false, type, &why);
    if (!mask) return fail("cannot read " + path + ": " + why);
    if (Status read = readPixels(*in, *mask, cancel); !read)
      return fail(read.code() == StatusCode::cancelled
                      ? read.message()
                      : "cannot read " + path + ": " + read.message());
    complaint = in->geterror();
  }
  warnAboutLateComplaints(path, complaint);
  return maskBytesFromImage(mask->channels() == 1 ? *mask : luminance(*mask));
}

bool writeImageFile(const std::string& path, const Image& image, std::string* error,
                    const std::atomic<bool>* cancel) {
  cancel = cancelFlagOr(cancel);
  auto fail = [&](const std::string& why) {
    if (error) *error = "cannot write " + path + ": " + why;
    return false;
  };
  QuietStderr quiet;
  // Declared in this order so that the writer, which may still write while it is destroyed,
  // goes before the proxy and the proxy before the file.
  auto temp = TemporaryFile::create(path);
  if (!temp) {
    if (error) *error = temp.message();
    return false;
  }
  std::unique_ptr<CheckedOutput> proxy;
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

  // The few formats that cannot write through a proxy write the file by name; for those only
  // the format library checks its writes.
  proxy = std::make_unique<CheckedOutput>(*temp);
  if (!out->supports("ioproxy") || !out->set_ioproxy(proxy.get())) proxy.reset();
  auto abandon = [&](const std::string& why) {
    if (proxy) proxy->discard();
    out->close();
    return fail(why);
  };
  if (!out->open(temp->path(), spec)) return abandon(oneLine(out->geterror()));
  // A format that cannot hold the depth or the channels quietly changes them when opened.
  if (out->spec().format != type)
    return abandon("the " + format + " format cannot hold " + sampleTypeName(image.type()) +
                   " samples");
  if (out->spec().nchannels != image.channels())
    return abandon("the " + format + " format cannot hold " + std::to_string(image.channels()) +
                   " channels");
  const size_t rowBytes = image.rowBytes();
  const int bandRows = static_cast<int>(std::max<size_t>(1, kBandBytes / rowBytes));
  for (int row = 0; row < image.height(); row += bandRows) {
    if (isSet(cancel)) return abandon("cancelled");
    const int end = std::min(image.height(), row + bandRows);
    if (!out->write_scanlines(row, end, 0, type, image.data() + size_t(row) * rowBytes))
      return abandon(oneLine(out->geterror()));
  }
  if (!out->close()) return fail(oneLine(out->geterror()));
  if (proxy) {
    if (Status written = proxy->status(); !written) {
      if (error) *error = written.message();
      return false;
    }
  }
  if (isSet(cancel)) return fail("cancelled");
  const Status committed = temp->commit();
  if (!committed && error) *error = committed.message();
  return committed.ok();
}

}  // namespace orichalcumite
