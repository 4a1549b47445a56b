// The dialog's small windows as plain data: where a window opens (the placement rule), the
// message dialogs' texts with their "^0".."^3" markers, Preset Management's radio buttons and
// the action the user chose last, and the names the gallery actions ask with. No toolkit: the
// GTK side (ui/gtk/secondary_windows.cpp) carries these out.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orichalcumite {

class Picture;

// ---- placement ------------------------------------------------------------------------------

struct WindowRect {
  int x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

// The width of a title bar's close button, by which a window with one is moved left so that
// it sits visually centred under the parent's own buttons.
constexpr int kCaptionButtonWidth = 18;

// Where a new width × height window opens over `parent` (the parent's client area in screen
// coordinates, or the whole screen when there is no parent): centred across, a third of the
// free room down, moved left by the caption-button width (with a close button) or by two
// thirds of it (without), and then kept on a screenWidth × screenHeight screen. A window
// larger than the screen opens at its top-left corner.
WindowRect placeWindow(const WindowRect& parent, int width, int height, bool hasCloseButton,
                       int screenWidth, int screenHeight);

// Window sizes are given in dialog units of an 8-point interface font: 4 units across are 6
// pixels, 8 units down are 13.
int dialogUnitsToPixelsX(int units);
int dialogUnitsToPixelsY(int units);

// ---- message dialogs ------------------------------------------------------------------------

// The four texts the markers "^0".."^3" stand for; the caller fills them before a message
// dialog opens.
using MessageSubstitutions = std::array<std::string, 4>;

// `text` with every "^0".."^3" replaced by its substitution. Inserted texts are not searched
// again; "^" before anything but 0..3, or at the end, stays as it is.
std::string substituteMarkers(std::string_view text, const MessageSubstitutions& substitutions);

enum class MessageKind { notEnoughMemory, cantOpenFile };

struct MessageButton {
  int id;
  const char* label;
  bool isDefault;
};

struct MessageTemplate {
  const char* title;
  int widthUnits, heightUnits;         // dialog units
  std::vector<const char*> texts;      // the static texts, top to bottom, with their markers
  std::vector<MessageButton> buttons;  // left to right
  int closeAnswer;                     // the id a closed window answers (the default button)
};

const MessageTemplate& messageTemplate(MessageKind kind);

// ---- Preset Management ----------------------------------------------------------------------

constexpr int kPresetActionCount = 3;
constexpr int kFirstPresetRadioId = 3;  // radio buttons 3, 4 and 5 are actions 0, 1 and 2

struct PresetActionChoice {
  int radioId;
  const char* label;
};
// The three radio buttons in order (their texts as the window shows them).
const std::array<PresetActionChoice, kPresetActionCount>& presetActionChoices();
// The action a radio button stands for, or -1 for another id.
int presetActionOfRadio(int radioId);
// A stored action brought into 0..2 (anything else preselects the first).
int validPresetAction(int action);

// The action chosen last, preselected when Preset Management opens again. The settings record
// has no field for it, so the dialog keeps it for as long as the program runs.
int& lastPresetAction();

// ---- gallery actions ------------------------------------------------------------------------

enum class GalleryAction : int { presetsPage = 0, picturesPage = 1, refreshPresets = 2 };

constexpr const char* kSourceFolderTitle = "Choose the source folder";
constexpr const char* kSavePageTitle = "Save an HTML page";
constexpr const char* kPresetsPageName = "Page of presets.html";
constexpr const char* kPicturesPageName = "Page of images.html";
constexpr const char* kMemoryDotsPageName = "Orichalcumite memory dots.html";

// The name proposed for the page of `action` (the presets or the pictures page).
const char* suggestedPageName(GalleryAction action);
// The folder a page chooser starts in: the folder of the last page written, else `fallback`.
std::string pageFolder(const std::string& fallback);
// Notes the folder of a page just chosen (the part of `pagePath` before its last slash).
void rememberPageFolder(const std::string& pagePath);

// The largest centred square of a width × height picture: x, y and side (width and height).
WindowRect centredSquare(int width, int height);
// The larger side a picture must be asked for so that its smaller side reaches `side`.
int largerSideForSquare(int width, int height, int side);
// The largest centred square of an 8-bit RGBA `source` brought to side × side (nearest
// pixel), opaque: the picture the preset previews are rendered over. Null when `source` is
// empty or memory runs out.
std::unique_ptr<Picture> centredSquarePicture(const Picture& source, int side);

}  // namespace orichalcumite
