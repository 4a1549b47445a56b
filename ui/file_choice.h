// What the file choosers offer, decided without a toolkit: the filter of each file type (its
// name, its patterns and the extension a saved name gets), how a typed name is matched and
// completed, and the texture list's rule for the picture-file item.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orichalcumite {

class Picture;
struct PreviewPixels;

// The picture files environments and textures are read from.
constexpr const char* kPicturePattern =
    "*.bmp;*.dib;*.wdp;*.mdp;*.hdp;*.gif;*.png;*.jpg;*.jpeg;*.tif;*.ico";

struct FileFilter {
  std::string_view name;      // what the chooser's filter list shows
  std::string_view patterns;  // ';'-separated, e.g. "*.q9q;*.q5q"
};

// The filter of file type `type` (the FileType numbers 0..7) in a save or an open chooser;
// nothing for a type that chooser does not offer (save: 0..4 and 6; open: 0, 1, 5 and 7).
std::optional<FileFilter> fileFilter(int type, bool save);

// The patterns of a filter one by one ("*.q9q;*.q5q" → "*.q9q", "*.q5q").
std::vector<std::string> splitPatterns(std::string_view patterns);

// The extension a saved name gets when it has none: the first pattern's (".q5q" for
// "*.q5q"); empty for "*.*".
std::string defaultExtension(std::string_view patterns);

// The name typed into a save chooser with the filter's default extension added when the
// file name has no extension of its own. A name ending in '.' or naming a folder stays as it is.
std::string withDefaultExtension(const std::string& path, std::string_view patterns);

// Whether a file name matches one of the patterns ("*.ext" or "*.*"), letters compared
// without regard to case, as the pictures of other systems often have upper-case endings.
bool matchesPatterns(std::string_view fileName, std::string_view patterns);

// The texture list's picture-file item: choosing it asks for a picture, and a cancelled
// chooser puts back the choice the list had before.
constexpr int32_t kTexturePictureItem = 13;

struct TextureListChoice {
  int32_t previous = 1;  // the choice last confirmed
};

// What a new selection in the texture list asks for.
enum class TextureListStep {
  keep,           // an ordinary choice: it stands and becomes the previous one
  askForPicture,  // the picture-file item: open the texture picture chooser first
};
TextureListStep textureListSelected(const TextureListChoice& choice, int32_t selected);
// The outcome of the picture chooser after askForPicture: the choice that stands (13 when a
// picture was chosen, the previous choice when the chooser was cancelled), which is also
// remembered as the previous choice.
int32_t texturePictureChosen(TextureListChoice& choice, bool chosen);
// An ordinary choice (or one the effect took from elsewhere) becomes the previous one.
void rememberTextureChoice(TextureListChoice& choice, int32_t selected);

// The largest centred square of a picture of width × height: its left, top and side.
struct CentredSquare {
  int32_t left = 0, top = 0, side = 0;
};
CentredSquare largestCentredSquare(int32_t width, int32_t height);

// The thumbnail a preset is saved with: the largest centred square of the last preview,
// reduced (or enlarged) to `side` × `side` by averaging, as an 8-bit colour picture. Null
// when there is no preview.
std::unique_ptr<Picture> presetThumbnail(const PreviewPixels& preview, int side = 128);

// After a preset is saved or opened in `presetFolder`: the pictures folder to remember when
// none is remembered yet and the preset sits in an "environments and textures" folder (the
// folder's path up to and including that name); empty otherwise.
std::string picturesFolderBesidePresets(const std::string& picturesFolder,
                                        const std::string& presetFolder);

// The progress window's percentage text ("37%") for a fraction 0..1 (clamped).
std::string progressPercent(double fraction);

}  // namespace orichalcumite
