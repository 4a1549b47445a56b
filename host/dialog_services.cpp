#include "host/dialog_services.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/host_image.h"
#include "host/psd_export.h"
#include "settings/effect_settings.h"

namespace orichalcumite {

std::array<unsigned char, 256> pickerPrompt(const std::string& title) {
  std::array<unsigned char, 256> prompt{};
  const size_t length = std::min<size_t>(title.size(), 255);
  prompt[0] = static_cast<unsigned char>(length);
  std::memcpy(prompt.data() + 1, title.data(), length);
  return prompt;
}

HostColourAnswer hostColourAnswer(ps::OSErr result) {
  if (result == ps::noErr) return HostColourAnswer::picked;
  if (result == ps::userCanceledErr) return HostColourAnswer::cancelled;
  return HostColourAnswer::unavailable;
}

HostColourAnswer chooseColourWithHost(const ps::FilterRecord& rec, const std::string& title,
                                      uint8_t rgb[3]) {
  if (!rec.colorServices) return HostColourAnswer::unavailable;
  std::array<unsigned char, 256> prompt = pickerPrompt(title);
  ps::ColorServicesInfo info{};
  info.infoSize = static_cast<int32_t>(sizeof info);
  info.selector = ps::plugIncolorServicesChooseColor;
  info.sourceSpace = ps::plugIncolorServicesRGBSpace;
  info.resultSpace = ps::plugIncolorServicesRGBSpace;
  for (int c = 0; c < 3; ++c) info.colorComponents[c] = rgb[c];
  info.selectorParameter.pickerPrompt = reinterpret_cast<ps::Str255*>(prompt.data());
  const HostColourAnswer answer = hostColourAnswer(rec.colorServices(&info));
  if (answer == HostColourAnswer::picked)
    for (int c = 0; c < 3; ++c)
      rgb[c] = static_cast<uint8_t>(std::clamp<int>(info.colorComponents[c], 0, 255));
  return answer;
}

std::unique_ptr<Picture> readHostPicture(ps::FilterRecord& rec, PluginState& state,
                                         std::vector<uint8_t>* mask) {
  const Rect32 area = filterRectangle(rec);
  const int width = area.width(), height = area.height();
  if (width < 1 || height < 1) return nullptr;
  const ImageFormat format = classifyImage(rec);
  const int bytes = format.imageClass == ImageClass::eightBit     ? 1
                    : format.imageClass == ImageClass::sixteenBit ? 2
                                                                  : 4;
  std::unique_ptr<Picture> picture =
      createPicture(width, height, psdPictureKind(bytes), WrapMode::noPyramid);
  if (!picture) return nullptr;
  const bool wantMask = mask && rec.haveMask && !format.maskIsCoverage;
  const int32_t maskNotNeeded = state.maskNotNeeded;
  state.maskNotNeeded = wantMask ? 0 : 1;
  requestRegion(rec, state, area, 1);
  const int16_t result = advanceHostState(rec);
  state.maskNotNeeded = maskNotNeeded;
  if (result != 0 || !rec.inData) return nullptr;
  const HostPixels pixels(rec, format, area);
  std::vector<float> row(static_cast<size_t>(width) * 4);
  for (int y = 0; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0.0f);
    pixels.readRow(area.top + y, area.left, width, row.data());
    for (int x = 0; x < width; ++x) {
      const float* p = row.data() + static_cast<size_t>(x) * 4;
      picture->writeFloat(x, y, 0, {p[0], p[1], p[2], p[3]});
    }
  }
  if (wantMask) {
    mask->assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y)
      pixels.readMaskRow(area.top + y, area.left, width,
                         mask->data() + static_cast<size_t>(y) * static_cast<size_t>(width));
  } else if (mask) {
    mask->clear();
  }
  return picture;
}

std::unique_ptr<Picture> reducedRgba8(const Picture& picture, int maxSide) {
  const int width = picture.width(), height = picture.height();
  if (width < 1 || height < 1 || maxSide < 1) return nullptr;
  const int larger = std::max(width, height);
  const double factor = larger > maxSide ? static_cast<double>(maxSide) / larger : 1.0;
  const int outWidth = std::max(1, static_cast<int>(std::lround(width * factor)));
  const int outHeight = std::max(1, static_cast<int>(std::lround(height * factor)));
  std::unique_ptr<Picture> out =
      createPicture(outWidth, outHeight, PictureKind::rgba8, WrapMode::noPyramid);
  if (!out) return nullptr;
  const auto byte = [](double v) {
    return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
  };
  for (int y = 0; y < outHeight; ++y) {
    const int y0 = static_cast<int>(int64_t{y} * height / outHeight);
    const int y1 = std::max(y0 + 1, static_cast<int>(int64_t{y + 1} * height / outHeight));
    for (int x = 0; x < outWidth; ++x) {
      const int x0 = static_cast<int>(int64_t{x} * width / outWidth);
      const int x1 = std::max(x0 + 1, static_cast<int>(int64_t{x + 1} * width / outWidth));
      double sum[4] = {0, 0, 0, 0};
      for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx) {
          const Rgba p = picture.readPicturePixel(sx, sy, 0);
          sum[0] += static_cast<double>(p.red);
          sum[1] += static_cast<double>(p.green);
          sum[2] += static_cast<double>(p.blue);
          sum[3] += static_cast<double>(p.alpha);
        }
      const double count = static_cast<double>(y1 - y0) * (x1 - x0);
      out->setPixel(x, y, 0, byte(sum[0] / count), byte(sum[1] / count), byte(sum[2] / count),
                    byte(sum[3] / count));
    }
  }
  return out;
}

std::string exportPsdOverHost(ps::FilterRecord& rec, PluginState& state,
                              const EffectSettings& settings, const EffectPictures& pictures,
                              RandomGenerator& random, const std::string& path,
                              const JobProgress& progress, const std::atomic<bool>& cancel) {
  const ImageFormat format = classifyImage(rec);
  std::vector<uint8_t> selection;
  std::unique_ptr<Picture> source = readHostPicture(rec, state, &selection);
  if (!source) return "The image could not be read from the host, so no PSD file was written.";
  std::vector<uint8_t> alpha;
  PsdExportRequest request;
  request.width = source->width();
  request.height = source->height();
  request.bytesPerChannel = format.imageClass == ImageClass::eightBit     ? 1
                            : format.imageClass == ImageClass::sixteenBit ? 2
                                                                          : 4;
  request.source.picture = source.get();
  request.source.greyscale = format.greyscale;
  request.source.editableTransparency = format.editableTransparency;
  request.source.keepSourceAlpha = format.editableTransparency;
  if (!selection.empty()) {
    request.source.mask = selection;
  } else if (format.editableTransparency) {
    // Without a selection the layer's own coverage is what the effect follows.
    alpha.resize(static_cast<size_t>(request.width) * static_cast<size_t>(request.height));
    for (int y = 0; y < request.height; ++y)
      for (int x = 0; x < request.width; ++x)
        alpha[static_cast<size_t>(y) * static_cast<size_t>(request.width) +
              static_cast<size_t>(x)] =
            static_cast<uint8_t>(
                std::lround(std::clamp(source->readPicturePixel(x, y, 0).alpha, 0.0f, 1.0f) * 255));
    request.source.mask = alpha;
    request.source.maskIsSelection = false;
  }
  if (progress)
    request.progress = [&progress](PsdExportStage stage, double fraction) {
      progress(stage == PsdExportStage::rendering ? "Rendering..." : "Writing...", fraction);
    };
  request.cancel = &cancel;
  const Status status = exportPsd(path, settings, pictures, random, request);
  if (status || cancel) return {};
  return "The PSD file " + path + " could not be written: " + status.message();
}

}  // namespace orichalcumite
