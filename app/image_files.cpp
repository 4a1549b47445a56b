// Image files: the common formats (PNG, TIFF, JPEG, PNM) on direct paths of their own
// (app/*_file.cpp); every other format, and any file a direct reader declines, through the general
// image-file library, a companion shared object opened with dlopen the first time it is needed, so
// that a plain run never loads the imaging library and starts in milliseconds.
#include "app/image_files.h"

#include <dlfcn.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>

#include "app/buffered_output.h"
#include "app/detail/image_files_abi.h"
#include "app/host_pixels.h"
#include "app/image_file_formats.h"
#include "base/companion_library.h"
#include "base/replace_file.h"

namespace orichalcumite {
namespace {

// Tests and unusual installations name the general image-file library here instead of the one
// beside the program.
constexpr const char* kImageFilesLibraryVariable = "ORICHALCUMITE_IMAGE_FILES_LIBRARY";

// Deflate packs at most about 1032 to 1, LZW a few thousand to one per channel; no format we
// read does much better on real data. Images below the floor are cheap enough to try anyway.
constexpr uint64_t kMaxCompressionRatio = uint64_t(1) << 16;
constexpr uint64_t kAlwaysPlausibleBytes = uint64_t(64) << 20;

std::atomic<const std::atomic<bool>*> gInterruptFlag{nullptr};

const std::atomic<bool>* cancelFlagOr(const std::atomic<bool>* given) {
  return given ? given : gInterruptFlag.load();
}

uint64_t physicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return std::numeric_limits<uint64_t>::max();
  return uint64_t(pages) * uint64_t(pageSize);
}

uint64_t fileSizeOf(const std::string& path) {
  std::error_code ec;
  const uintmax_t bytes = std::filesystem::file_size(path, ec);
  return ec ? std::numeric_limits<uint64_t>::max() : uint64_t(bytes);
}

// ---------------------------------------------------------------------------------------------
// The general library

struct ImageFilesLibrary {
  OrichalcumiteReadImageFileFn read = nullptr;
  OrichalcumiteWriteImageFileFn write = nullptr;
};

// Opens the library on first use and keeps it loaded: the imaging library keeps threads and
// caches that must not be unmapped under them.
Result<ImageFilesLibrary> imageFilesLibrary() {
  static std::mutex mutex;
  static std::map<std::string, ImageFilesLibrary> opened;
  const std::lock_guard<std::mutex> lock(mutex);
  const std::string path = companionLibraryPath(kImageFilesLibraryName, kImageFilesLibraryVariable);
  if (auto it = opened.find(path); it != opened.end()) return it->second;
  const std::string what = "the image-file library " + path;
  if (::access(path.c_str(), F_OK) != 0)
    return Status(
        StatusCode::notFound,
        what + " is missing (set " + std::string(kImageFilesLibraryVariable) + " to name it)");
  // Lazy binding: the imaging library and its many dependencies hold tens of thousands of
  // functions, of which a run calls a few hundred.
  void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    std::string line = reason ? reason : "unknown reason";
    std::replace(line.begin(), line.end(), '\n', ' ');
    return Status(StatusCode::ioError, what + " cannot be loaded: " + line);
  }
  const auto version =
      reinterpret_cast<OrichalcumiteImageFilesVersionFn>(dlsym(handle, kImageFilesVersionSymbol));
  ImageFilesLibrary library;
  library.read =
      reinterpret_cast<OrichalcumiteReadImageFileFn>(dlsym(handle, kReadImageFileSymbol));
  library.write =
      reinterpret_cast<OrichalcumiteWriteImageFileFn>(dlsym(handle, kWriteImageFileSymbol));
  if (!version || !library.read || !library.write) {
    dlclose(handle);
    return Status(StatusCode::ioError, what + " is not an image-file library");
  }
  if (version() != ORICHALCUMITE_IMAGE_FILES_ABI) {
    const int found = version();
    dlclose(handle);
    return Status(StatusCode::ioError, what + " is version " + std::to_string(found) +
                                           " but this program needs version " +
                                           std::to_string(ORICHALCUMITE_IMAGE_FILES_ABI));
  }
  opened.emplace(path, library);
  return library;
}

SampleType sampleTypeOfCode(int code) {
  return code == 0 ? SampleType::uint8 : code == 1 ? SampleType::uint16 : SampleType::float32;
}
int codeOfSampleType(SampleType type) {
  return type == SampleType::uint8 ? 0 : type == SampleType::uint16 ? 1 : 2;
}

void copyText(const std::string& text, char* out, size_t outBytes) {
  if (!out || outBytes == 0) return;
  const size_t n = std::min(text.size(), outBytes - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// What the program lends the library during one call.
struct LibraryCall {
  ReadContext read;
  std::optional<Image> image;
  BufferedOutput* output = nullptr;
};

uint8_t* pixelsForLibrary(void* context, const OrichalcumiteImageShape* shape, char* error,
                          size_t errorBytes) {
  auto* call = static_cast<LibraryCall*>(context);
  if (!shape || shape->sampleType < 0 || shape->sampleType > 2) {
    copyText("the image has an unknown shape", error, errorBytes);
    return nullptr;
  }
  Status why;
  call->image = imageForFile(shape->width, shape->height, shape->channels, shape->hasAlpha != 0,
                             sampleTypeOfCode(shape->sampleType), call->read, &why);
  if (!call->image) {
    copyText(why.message(), error, errorBytes);
    return nullptr;
  }
  return call->image->data();
}

int cancelledForLibrary(void* context) {
  return isSet(static_cast<LibraryCall*>(context)->read.cancel) ? 1 : 0;
}

void writeAtForLibrary(void* context, uint64_t offset, const void* data, size_t size) {
  auto* call = static_cast<LibraryCall*>(context);
  if (call->output) call->output->writeAt(offset, {static_cast<const char*>(data), size});
}

OrichalcumiteImageFileCalls callsFor(LibraryCall& call) {
  return {&call, pixelsForLibrary, cancelledForLibrary, writeAtForLibrary};
}

void warnAboutDamage(const std::string& path, const std::string& complaint) {
  if (complaint.empty()) return;
  std::string line = complaint;
  std::replace(line.begin(), line.end(), '\n', ' ');
  if (line.size() > 200) line = line.substr(0, 200) + "...";
  std::fprintf(stderr, "orichalcumite: warning: %s may be damaged: %s\n", path.c_str(),
               line.c_str());
}

// Reads through the general library: an image, or for a selection (`selectionWidth` > 0) the
// file's grey or RGB without alpha. Full messages in `*error`.
std::optional<Image> readWithLibrary(const std::string& path, int selectionWidth,
                                     int selectionHeight, const ReadContext& context,
                                     std::string* error) {
  Result<ImageFilesLibrary> library = imageFilesLibrary();
  if (!library) {
    if (error) *error = "cannot read " + path + ": " + library.message();
    return std::nullopt;
  }
  LibraryCall call;
  call.read = context;
  const OrichalcumiteImageFileCalls calls = callsFor(call);
  char why[1024] = {};
  char warning[512] = {};
  const int result = library->read(path.c_str(), selectionWidth, selectionHeight, &calls, why,
                                   sizeof why, warning, sizeof warning);
  if (result != kOrichalcumiteFilesOk || !call.image) {
    if (error) *error = result == kOrichalcumiteFilesCancelled ? "cancelled" : std::string(why);
    return std::nullopt;
  }
  warnAboutDamage(path, warning);
  return std::move(call.image);
}

// ---------------------------------------------------------------------------------------------
// The direct paths

// The first bytes of the file, or the system's reason why it cannot be opened.
Result<std::vector<uint8_t>> firstBytes(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return Status(StatusCode::ioError, std::strerror(errno));
  std::vector<uint8_t> bytes(16);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  return bytes;
}

DirectRead readDirectly(const std::string& path, const ReadContext& context) {
  Result<std::vector<uint8_t>> start = firstBytes(path);
  // A file that cannot even be opened is reported as such, with no library involved.
  if (!start) return DirectRead::fail(start.status().code(), start.message());
  // A directory opens but cannot be read; the general library says what it makes of it.
  if (std::filesystem::is_directory(path)) return DirectRead::decline();
  switch (formatOfContents(*start)) {
    case ImageFileFormat::png: return readPngFile(path, context);
    case ImageFileFormat::tiff: return readTiffFile(path, context);
    case ImageFileFormat::pnm: return readPnmFile(path, context);
    case ImageFileFormat::jpeg: return readJpegFile(path, context);
    default: return DirectRead::decline();
  }
}

// The image without its alpha and with at most three channels: what a selection is made from.
Image selectionChannels(Image image) {
  const int channels = image.colourChannels() >= 3 ? 3 : 1;
  if (channels == image.channels()) return image;
  Image out = *Image::make(image.width(), image.height(), channels, false, image.type());
  const size_t bps = sampleSize(image.type());
  const size_t from = size_t(image.channels()) * bps;
  const size_t to = size_t(channels) * bps;
  for (size_t i = 0; i < image.pixelCount(); ++i)
    std::memcpy(out.data() + i * to, image.data() + i * from, to);
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

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

std::optional<Image> imageForFile(int width, int height, int channels, bool hasAlpha,
                                  SampleType type, const ReadContext& context, Status* why) {
  const uint64_t imageBytes = uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0)) *
                              uint64_t(std::max(channels, 0)) * sampleSize(type);
  if (Status fits = checkDeclaredImageSize(imageBytes, context.fileBytes, physicalMemoryBytes());
      !fits) {
    if (why) *why = fits;
    return std::nullopt;
  }
  std::string reason;
  auto image = Image::make(width, height, channels, hasAlpha, type, &reason);
  if (!image && why) *why = Status(StatusCode::invalidArgument, reason);
  return image;
}

ImageFileFormat formatOfContents(std::span<const uint8_t> bytes) {
  const auto startsWith = [&](std::string_view magic) {
    return bytes.size() >= magic.size() &&
           std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
  };
  if (startsWith("\x89PNG\r\n\x1a\n")) return ImageFileFormat::png;
  if (startsWith(std::string_view("II*\0", 4)) || startsWith(std::string_view("MM\0*", 4)))
    return ImageFileFormat::tiff;
  if (startsWith("\xff\xd8\xff")) return ImageFileFormat::jpeg;
  if (bytes.size() >= 3 && bytes[0] == 'P' && (bytes[1] == '5' || bytes[1] == '6') &&
      std::strchr(" \t\r\n", bytes[2]) && bytes[2] != 0)
    return ImageFileFormat::pnm;
  return ImageFileFormat::other;
}

ImageFileFormat formatOfName(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".png") return ImageFileFormat::png;
  if (extension == ".tif" || extension == ".tiff") return ImageFileFormat::tiff;
  if (extension == ".ppm" || extension == ".pgm" || extension == ".pnm")
    return ImageFileFormat::pnm;
  if (extension == ".jpg" || extension == ".jpeg" || extension == ".jpe")
    return ImageFileFormat::jpeg;
  return ImageFileFormat::other;
}

const char* formatName(ImageFileFormat format) {
  switch (format) {
    case ImageFileFormat::png: return "png";
    case ImageFileFormat::tiff: return "tiff";
    case ImageFileFormat::pnm: return "pnm";
    case ImageFileFormat::jpeg: return "jpeg";
    case ImageFileFormat::other: break;
  }
  return "other";
}

std::optional<Image> readImageFile(const std::string& path, std::string* error,
                                   const std::atomic<bool>* cancel) {
  const ReadContext context{fileSizeOf(path), cancelFlagOr(cancel)};
  DirectRead read = readDirectly(path, context);
  if (read.declined) return readWithLibrary(path, 0, 0, context, error);
  if (!read.image) {
    if (error)
      *error = read.failure.code() == StatusCode::cancelled
                   ? "cancelled"
                   : "cannot read " + path + ": " + read.failure.message();
    return std::nullopt;
  }
  warnAboutDamage(path, read.warning);
  return std::move(read.image);
}

std::optional<LargeBytes> readSelectionFile(const std::string& path, int width, int height,
                                            std::string* error,
                                            const std::atomic<bool>* cancel) {
  const ReadContext context{fileSizeOf(path), cancelFlagOr(cancel)};
  DirectRead read = readDirectly(path, context);
  std::optional<Image> mask;
  if (read.declined) {
    mask = readWithLibrary(path, width, height, context, error);
    if (!mask) return std::nullopt;
  } else if (!read.image) {
    if (error)
      *error = read.failure.code() == StatusCode::cancelled
                   ? "cancelled"
                   : "cannot read " + path + ": " + read.failure.message();
    return std::nullopt;
  } else {
    if (read.image->width() != width || read.image->height() != height) {
      if (error)
        *error = "the selection " + path + " is " + std::to_string(read.image->width()) + " x " +
                 std::to_string(read.image->height()) + " pixels but the image is " +
                 std::to_string(width) + " x " + std::to_string(height);
      return std::nullopt;
    }
    warnAboutDamage(path, read.warning);
    mask = selectionChannels(std::move(*read.image));
  }
  // Colour masks count by their luminance, not by whichever channel comes first.
  return maskBytesFromImage(mask->channels() == 1 ? *mask : luminance(*mask));
}

namespace {

bool writeImageFileVia(const std::string& path, const Image& image, std::string* error,
                       const std::atomic<bool>* cancel, bool generalLibrary) {
  cancel = cancelFlagOr(cancel);
  auto fail = [&](const std::string& why) {
    if (error) *error = "cannot write " + path + ": " + why;
    return false;
  };
  auto temp = TemporaryFile::create(path);
  if (!temp) {
    if (error) *error = temp.message();
    return false;
  }
  BufferedOutput output(*temp);
  const ImageFileFormat format = generalLibrary ? ImageFileFormat::other : formatOfName(path);
  Status (*canHold)(const Image&) = nullptr;
  Status (*write)(const Image&, BufferedOutput&, const std::atomic<bool>*) = nullptr;
  switch (format) {
    case ImageFileFormat::png:
      canHold = pngCanHold;
      write = writePngFile;
      break;
    case ImageFileFormat::tiff:
      canHold = tiffCanHold;
      write = writeTiffFile;
      break;
    case ImageFileFormat::pnm:
      canHold = pnmCanHold;
      write = writePnmFile;
      break;
    case ImageFileFormat::jpeg:
      canHold = jpegCanHold;
      write = writeJpegFile;
      break;
    default: break;
  }
  if (write) {
    if (Status fits = canHold(image); !fits) return fail(fits.message());
    if (Status written = write(image, output, cancel); !written) {
      output.discard();
      return fail(written.message());
    }
  } else {
    Result<ImageFilesLibrary> library = imageFilesLibrary();
    if (!library) return fail(library.message());
    LibraryCall call;
    call.read.cancel = cancel;
    call.output = &output;
    const OrichalcumiteImageFileCalls calls = callsFor(call);
    const OrichalcumiteImageShape shape{image.width(), image.height(), image.channels(),
                                        image.hasAlpha() ? 1 : 0, codeOfSampleType(image.type())};
    char why[1024] = {};
    if (library->write(path.c_str(), temp->path().c_str(), &shape, image.data(), &calls, why,
                       sizeof why) != kOrichalcumiteFilesOk) {
      output.discard();
      if (error) *error = why;
      return false;
    }
  }
  if (Status written = output.flush(); !written) {
    if (error) *error = written.message();
    return false;
  }
  if (isSet(cancel)) return fail("cancelled");
  const Status committed = temp->commit();
  if (!committed && error) *error = committed.message();
  return committed.ok();
}

}  // namespace

bool writeImageFile(const std::string& path, const Image& image, std::string* error,
                    const std::atomic<bool>* cancel) {
  return writeImageFileVia(path, image, error, cancel, false);
}

std::optional<Image> readWithGeneralLibrary(const std::string& path, std::string* error) {
  const ReadContext context{fileSizeOf(path), cancelFlagOr(nullptr)};
  return readWithLibrary(path, 0, 0, context, error);
}

bool writeWithGeneralLibrary(const std::string& path, const Image& image, std::string* error) {
  return writeImageFileVia(path, image, error, nullptr, true);
}

}  // namespace orichalcumite
