// The PSD export: the effect with the settings in force rendered at scale 1 over the source
// image and its selection into an internal picture of the document's depth, then written as a
// layered PSD document (pictures/psd_writer.h). The dialog runs it behind its progress window;
// the host program runs it for --psd.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "pictures/picture.h"
#include "pictures/psd_writer.h"

namespace orichalcumite {

struct EffectSettings;
class EffectPictures;
class RandomGenerator;

// The image the effect is laid over, of the export's size.
struct PsdExportSource {
  const Picture* picture = nullptr;  // the source pixels; none reads transparent black
  // One byte per pixel, row by row (0 = unselected, 255 = selected); empty selects all.
  std::span<const uint8_t> mask;
  // False when the mask is the layer's coverage rather than a selection (a layer with
  // transparency and no selection): the bevel follows it, the material is laid on fully.
  bool maskIsSelection = true;
  bool greyscale = false;
  bool editableTransparency = false;
  // The layer keeps the source's transparency: each result alpha is multiplied by the source
  // pixel's, so that what was transparent stays so (the host program writes an image's alpha
  // back unchanged, and its document shows the same).
  bool keepSourceAlpha = false;
};

enum class PsdExportStage { rendering, writing };
// Told how far the export has come: the stage and its share done (0..1). The dialog's
// progress window shows "Rendering..." and the percentage; the program its progress line.
using PsdExportProgress = std::function<void(PsdExportStage stage, double fraction)>;

struct PsdExportRequest {
  int width = 0;
  int height = 0;
  int bytesPerChannel = 1;  // 1, 2 or 4, as the image's depth
  PsdExportSource source;
  std::vector<uint8_t> iccProfile;            // the image's colour profile, or empty
  std::optional<CalendarDate> created;        // the IPTC date; none takes today
  PsdExportProgress progress;                 // may be empty
  const std::atomic<bool>* cancel = nullptr;  // set to stop the export
  int processors = 0;                         // worker threads; 0 asks the system
};

// The picture kind of a document with `bytesPerChannel`: rgba8, rgba16 or rgbaFloat.
PictureKind psdPictureKind(int bytesPerChannel);

// The IPTC keywords of an export after "Orichalcumite": "HDR" and "high dynamic range" for
// 32 bits, "QXV", the environment picture's name, the texture picture's name when the texture
// choice is "texture file", and the glue mode's name unless it is "normal". Names that ask for
// no picture ("<none>") are left out.
std::vector<std::string> psdKeywords(const EffectSettings& settings, int bytesPerChannel);

// The file the dialog writes for the name the user chose: the layer name goes before the
// extension ("Orichalcumite result.psd" becomes "Orichalcumite result layer 1.psd").
std::string psdLayerFileName(const std::string& chosen);

// Renders `settings` with `pictures` over `request.source` into a new picture of the
// request's size and depth. Runs on the calling thread as dispatcher with the worker pool.
Result<std::unique_ptr<Picture>> renderPsdPicture(const EffectSettings& settings,
                                                  const EffectPictures& pictures,
                                                  RandomGenerator& random,
                                                  const PsdExportRequest& request);

// The whole export to `path`, which is replaced only when everything was written. The export
// picture exists only while this runs.
Status exportPsd(const std::string& path, const EffectSettings& settings,
                 const EffectPictures& pictures, RandomGenerator& random,
                 const PsdExportRequest& request);

}  // namespace orichalcumite
