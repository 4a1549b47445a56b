#include "host/psd_export.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "pictures/texture_generators.h"
#include "render/render_driver.h"
#include "render/render_inputs.h"
#include "settings/effect_settings.h"
#include "settings/enumerations.h"
#include "settings/picture_search.h"

namespace orichalcumite {
namespace {

constexpr int kNormalGlue = 1;
constexpr size_t kMaxPsdKeywords = 21;

// The internal-picture target of the export: the source picture and mask of the request,
// finished pixels to the export picture, cancelled by the request's flag.
class PsdRenderTarget final : public RenderSource {
 public:
  PsdRenderTarget(const PsdExportRequest& request, Picture& output)
      : request_(request), output_(output) {
    context_.target = RenderTarget::internalPicture;
    context_.hdr = output.kind() == PictureKind::rgbaFloat;
    context_.greyscale = request.source.greyscale;
    context_.editableTransparency = request.source.editableTransparency;
    context_.maskIsSelection = request.source.maskIsSelection;
  }

  Rect32 region() const override { return {0, 0, output_.height(), output_.width()}; }
  bool fetch(const Rect32&) override { return true; }
  void readSource(const Rect32& rect, float* rgba, int32_t stride) const override {
    const Picture* source = request_.source.picture;
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      float* out = rgba + static_cast<ptrdiff_t>(y - rect.top) * stride;
      for (int32_t x = rect.left; x < rect.right; ++x, out += 4) {
        const Rgba c = source ? source->readPicturePixel(x, y, 0) : Rgba{};
        out[0] = c.red;
        out[1] = c.green;
        out[2] = c.blue;
        out[3] = c.alpha;
      }
    }
  }
  void readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const override {
    const std::span<const uint8_t> selection = request_.source.mask;
    const size_t width = size_t(output_.width());
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      uint8_t* out = mask + static_cast<ptrdiff_t>(y - rect.top) * stride;
      if (selection.empty())
        std::memset(out, 255, size_t(rect.width()));
      else
        std::memcpy(out, selection.data() + size_t(y) * width + size_t(rect.left),
                    size_t(rect.width()));
    }
  }
  void write(const Rect32& rect, const float* rgba, int32_t stride) override {
    const Picture* source = request_.source.keepSourceAlpha ? request_.source.picture : nullptr;
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      const float* in = rgba + static_cast<ptrdiff_t>(y - rect.top) * stride;
      for (int32_t x = rect.left; x < rect.right; ++x, in += 4) {
        const float coverage = source ? source->readPicturePixel(x, y, 0).alpha : 1.0f;
        output_.writeFloat(x, y, 0, {in[0], in[1], in[2], in[3] * coverage});
      }
    }
  }
  bool cancelled() override { return request_.cancel && request_.cancel->load(); }
  void progress(double fraction) override {
    if (request_.progress) request_.progress(PsdExportStage::rendering, fraction);
  }
  FinishContext finishContext() const override { return context_; }

 private:
  const PsdExportRequest& request_;
  Picture& output_;
  FinishContext context_;
};

std::string textOf(const char (&field)[kTextCapacity]) {
  return std::string(field, strnlen(field, kTextCapacity));
}

}  // namespace

PictureKind psdPictureKind(int bytesPerChannel) {
  switch (bytesPerChannel) {
    case 2: return PictureKind::rgba16;
    case 4: return PictureKind::rgbaFloat;
    default: return PictureKind::rgba8;
  }
}

std::vector<std::string> psdKeywords(const EffectSettings& settings, int bytesPerChannel) {
  std::vector<std::string> keywords;
  const auto add = [&keywords](std::string keyword) {
    if (!keyword.empty() && keywords.size() < kMaxPsdKeywords)
      keywords.push_back(std::move(keyword));
  };
  const auto addPicture = [&add](const std::string& name) {
    if (!noPictureWanted(name)) add(name);
  };
  if (bytesPerChannel == 4) {
    add("HDR");
    add("high dynamic range");
  }
  add("QXV");
  addPicture(textOf(settings.environmentName));
  if (settings.textureChoice == kTextureChoiceFile) addPicture(textOf(settings.textureName));
  if (settings.glue != kNormalGlue)
    add(std::string(enumName(Enumeration::glueMode, settings.glue)));
  return keywords;
}

std::string psdLayerFileName(const std::string& chosen) {
  const std::filesystem::path path(chosen);
  std::filesystem::path named =
      path.parent_path() / (path.stem().string() + " " + kPsdLayerName + path.extension().string());
  return named.string();
}

Result<std::unique_ptr<Picture>> renderPsdPicture(const EffectSettings& settings,
                                                  const EffectPictures& pictures,
                                                  RandomGenerator& random,
                                                  const PsdExportRequest& request) {
  PsdOptions options;
  options.width = request.width;
  options.height = request.height;
  options.bytesPerChannel = request.bytesPerChannel;
  if (Status valid = checkPsdOptions(options); !valid) return valid;
  const size_t pixels = size_t(request.width) * size_t(request.height);
  if (!request.source.mask.empty() && request.source.mask.size() != pixels)
    return Status{StatusCode::invalidArgument, "the selection does not cover the image"};
  const Picture* source = request.source.picture;
  if (source && (source->width() != request.width || source->height() != request.height))
    return Status{StatusCode::invalidArgument, "the source picture does not match the image"};

  std::unique_ptr<Picture> output = createPicture(
      request.width, request.height, psdPictureKind(request.bytesPerChannel), WrapMode::noPyramid);
  if (!output) return Status{StatusCode::ioError, "not enough memory for the export picture"};
  const std::unique_ptr<RenderInputs> inputs = makeRenderInputs(settings, pictures, random);
  if (!inputs) return Status{StatusCode::ioError, "not enough memory for the export"};
  PsdRenderTarget target(request, *output);
  RenderOptions renderOptions;
  renderOptions.processors = request.processors;
  switch (renderEffect(*inputs, target, renderOptions)) {
    case RenderStatus::done: break;
    case RenderStatus::cancelled: return Status{StatusCode::cancelled, "cancelled"};
    default: return Status{StatusCode::ioError, "the export could not be rendered"};
  }
  return output;
}

Status exportPsd(const std::string& path, const EffectSettings& settings,
                 const EffectPictures& pictures, RandomGenerator& random,
                 const PsdExportRequest& request) {
  Result<std::unique_ptr<Picture>> picture = renderPsdPicture(settings, pictures, random, request);
  if (!picture) return picture.status();
  PsdOptions options;
  options.width = request.width;
  options.height = request.height;
  options.bytesPerChannel = request.bytesPerChannel;
  options.keywords = psdKeywords(settings, request.bytesPerChannel);
  options.iccProfile = request.iccProfile;
  options.created = request.created;
  const PsdProgress progress = [&request](double fraction) {
    if (request.progress) request.progress(PsdExportStage::writing, fraction);
    return !(request.cancel && request.cancel->load());
  };
  return writePsdFile(path, options, **picture, progress, request.processors);
}

}  // namespace orichalcumite
