// JPEG files through libjpeg: 8-bit grey and RGB. Files of other colour spaces (CMYK, YCCK) go
// to the general library, and so do files whose header libjpeg refuses, so that their failure
// is reported in the words it always was. Data that ends early is read with a warning, the
// rest of the image grey, as libjpeg decides.
//
// Writing uses what the program always used: quality 98, colour subsampled 2 × 2, libjpeg's
// standard tables, a JFIF header.
#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <string>

#include "app/buffered_output.h"
#include "app/image_file_formats.h"

namespace orichalcumite {
namespace {

constexpr int kQuality = 98;

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  std::string error;
  std::string warning;
};

std::string messageOf(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX] = {};
  info->err->format_message(info, text);
  return text;
}

void onJpegError(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  errors->error = messageOf(info);
  std::longjmp(errors->jump, 1);
}

// Level -1 is a warning about the data (such as an early end); the rest is tracing.
void onJpegMessage(j_common_ptr info, int level) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  if (level < 0 && errors->warning.empty()) errors->warning = messageOf(info);
}

void setUpErrors(JpegErrors& errors) {
  jpeg_std_error(&errors.manager);
  errors.manager.error_exit = onJpegError;
  errors.manager.emit_message = onJpegMessage;
}

struct Decompressor {
  jpeg_decompress_struct info{};
  bool made = false;
  ~Decompressor() {
    if (made) jpeg_destroy_decompress(&info);
  }
};

struct Compressor {
  jpeg_compress_struct info{};
  bool made = false;
  ~Compressor() {
    if (made) jpeg_destroy_compress(&info);
  }
};

// Whole buffers of compressed bytes go to the output as they fill.
struct Destination {
  jpeg_destination_mgr manager;
  BufferedOutput* out;
  std::vector<JOCTET> buffer;
};

void startDestination(j_compress_ptr info) {
  auto* destination = reinterpret_cast<Destination*>(info->dest);
  destination->manager.next_output_byte = destination->buffer.data();
  destination->manager.free_in_buffer = destination->buffer.size();
}

boolean emptyDestination(j_compress_ptr info) {
  auto* destination = reinterpret_cast<Destination*>(info->dest);
  destination->out->append(
      {reinterpret_cast<const char*>(destination->buffer.data()), destination->buffer.size()});
  startDestination(info);
  return TRUE;
}

void finishDestination(j_compress_ptr info) {
  auto* destination = reinterpret_cast<Destination*>(info->dest);
  const size_t used = destination->buffer.size() - destination->manager.free_in_buffer;
  destination->out->append({reinterpret_cast<const char*>(destination->buffer.data()), used});
}

}  // namespace

DirectRead readJpegFile(const std::string& path, const ReadContext& context) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return DirectRead::fail(StatusCode::ioError, std::strerror(errno));
  JpegErrors errors;
  Decompressor reader;
  std::optional<Image> image;
  volatile bool started = false;  // read after a jump back from libjpeg
  Status refused;
  reader.info.err = &errors.manager;
  setUpErrors(errors);
  if (setjmp(errors.jump)) {
    if (!started) return DirectRead::decline();
    return DirectRead::fail(StatusCode::damagedData, errors.error);
  }
  jpeg_create_decompress(&reader.info);
  reader.made = true;
  jpeg_stdio_src(&reader.info, file.get());
  jpeg_read_header(&reader.info, TRUE);
  const J_COLOR_SPACE space = reader.info.jpeg_color_space;
  if (reader.info.num_components == 1 && space == JCS_GRAYSCALE) {
    reader.info.out_color_space = JCS_GRAYSCALE;
  } else if (reader.info.num_components == 3 && (space == JCS_YCbCr || space == JCS_RGB)) {
    reader.info.out_color_space = JCS_RGB;
  } else {
    return DirectRead::decline();
  }
  // Image data that a broken header promises but a warning took away is still the file's; from
  // here on a failure means the data is damaged.
  image = imageForFile(int(reader.info.image_width), int(reader.info.image_height),
                       reader.info.num_components, false, SampleType::uint8, context, &refused);
  if (!image) return DirectRead::fail(refused.code(), refused.message());
  started = true;
  jpeg_start_decompress(&reader.info);
  if (reader.info.output_components != image->channels() ||
      int(reader.info.output_width) != image->width() ||
      int(reader.info.output_height) != image->height())
    return DirectRead::fail(StatusCode::damagedData, "the decoder changed the image's shape");
  const size_t rowBytes = image->rowBytes();
  const int bandRows = int(std::max<size_t>(1, kBandBytes / rowBytes));
  while (reader.info.output_scanline < reader.info.output_height) {
    if (int(reader.info.output_scanline) % bandRows == 0 && isSet(context.cancel)) {
      jpeg_abort_decompress(&reader.info);
      return DirectRead::fail(StatusCode::cancelled, "cancelled");
    }
    JSAMPROW row = image->data() + size_t(reader.info.output_scanline) * rowBytes;
    jpeg_read_scanlines(&reader.info, &row, 1);
  }
  jpeg_finish_decompress(&reader.info);
  return DirectRead{std::move(image), {}, false, errors.warning};
}

Status jpegCanHold(const Image& image) {
  if (image.hasAlpha())
    return {StatusCode::invalidArgument, "the jpeg format cannot hold an alpha channel"};
  if (image.type() != SampleType::uint8)
    return {StatusCode::invalidArgument, std::string("the jpeg format cannot hold ") +
                                             sampleTypeName(image.type()) + " samples"};
  if (image.width() > JPEG_MAX_DIMENSION || image.height() > JPEG_MAX_DIMENSION)
    return {StatusCode::invalidArgument, "the jpeg format cannot hold an image this large"};
  return Status::success();
}

Status writeJpegFile(const Image& image, BufferedOutput& out, const std::atomic<bool>* cancel) {
  JpegErrors errors;
  Compressor writer;
  Destination destination;
  destination.out = &out;
  destination.buffer.resize(size_t(1) << 18);
  destination.manager.init_destination = startDestination;
  destination.manager.empty_output_buffer = emptyDestination;
  destination.manager.term_destination = finishDestination;
  writer.info.err = &errors.manager;
  setUpErrors(errors);
  if (setjmp(errors.jump)) return {StatusCode::ioError, errors.error};
  jpeg_create_compress(&writer.info);
  writer.made = true;
  writer.info.dest = &destination.manager;
  writer.info.image_width = JDIMENSION(image.width());
  writer.info.image_height = JDIMENSION(image.height());
  writer.info.input_components = image.channels();
  writer.info.in_color_space = image.channels() == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&writer.info);
  jpeg_set_quality(&writer.info, kQuality, TRUE);
  jpeg_start_compress(&writer.info, TRUE);
  const size_t rowBytes = image.rowBytes();
  const int bandRows = int(std::max<size_t>(1, kBandBytes / rowBytes));
  while (writer.info.next_scanline < writer.info.image_height) {
    if (int(writer.info.next_scanline) % bandRows == 0 && isSet(cancel)) {
      jpeg_abort_compress(&writer.info);
      return {StatusCode::cancelled, "cancelled"};
    }
    JSAMPROW row =
        const_cast<JSAMPROW>(image.data() + size_t(writer.info.next_scanline) * rowBytes);
    jpeg_write_scanlines(&writer.info, &row, 1);
  }
  jpeg_finish_compress(&writer.info);
  return Status::success();
}

}  // namespace orichalcumite
