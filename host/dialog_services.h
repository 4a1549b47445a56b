// What the dialog's commands reach in the module besides the preview: the host's colour
// picker, the host's image for the PSD export and the gallery pages, and the export itself.
// The dialog gets them as the hooks of its session (ui/dialog_session.h).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/plugin_state.h"
#include "pictures/picture.h"
#include "protocol/filter_protocol.h"
#include "ui/dialog_session.h"

namespace orichalcumite {

class EffectPictures;
class RandomGenerator;
struct EffectSettings;

// The colour picker's prompt: a length byte and at most 255 characters of `title`.
std::array<unsigned char, 256> pickerPrompt(const std::string& title);
// What a colour-picker call's result means: picked (noErr), cancelled (userCanceledErr), or
// unavailable (the host has no picker, or it failed).
HostColourAnswer hostColourAnswer(ps::OSErr result);
// The host's colour picker over `rgb` (8-bit red, green, blue), which it replaces when the user
// picked a colour.
HostColourAnswer chooseColourWithHost(const ps::FilterRecord& rec, const std::string& title,
                                      uint8_t rgb[3]);

// The host's whole filter rectangle at the image's own depth (psdPictureKind: rgba8, rgba16
// or rgbaFloat; grey in all three colours; alpha from editable transparency, else opaque),
// and, when `mask` is given, the host's selection as one byte a pixel (left empty without a
// selection). Null when the host cannot deliver it or memory runs out.
std::unique_ptr<Picture> readHostPicture(ps::FilterRecord& rec, PluginState& state,
                                         std::vector<uint8_t>* mask);

// `picture` reduced in proportion (by averaging) so that its larger side is at most `maxSide`,
// as an 8-bit RGBA picture; a smaller picture keeps its size. Null for an empty picture.
std::unique_ptr<Picture> reducedRgba8(const Picture& picture, int maxSide);

// The dialog's PSD export: the effect over the host's image at the image's depth, written to
// `path`. Empty text on success or cancel; otherwise what went wrong.
std::string exportPsdOverHost(ps::FilterRecord& rec, PluginState& state,
                              const EffectSettings& settings, const EffectPictures& pictures,
                              RandomGenerator& random, const std::string& path,
                              const JobProgress& progress, const std::atomic<bool>& cancel);

}  // namespace orichalcumite
