// The dialog's small windows besides the main one: the message dialogs ("Not Enough Memory",
// "Can't open file"), and the About box, the Info box and Preset Management, which stay open
// beside the main dialog (each at most once) until they end or the main dialog closes them.
#pragma once

#include <gtk/gtk.h>

#include <array>
#include <functional>
#include <string>

#include "base/user_messages.h"

namespace orichalcumite {

struct DialogSession;

enum class MessageDialog { notEnoughMemory, cantOpenFile };
// The ids of the buttons that close the message dialogs.
constexpr int kMessageCancel = 2;      // "Not Enough Memory": Cancel
constexpr int kMessageIgnore = 1;      // "Can't open file": Ignore
constexpr int kMessageFindFolder = 2;  // "Can't open file": Find folder...

// Shows a message dialog modally over `parent` with "^0".."^3" in its texts replaced by
// `substitutions`; returns the id of the button that closed it (closing the window counts as
// the default button).
int showMessageDialog(GtkWindow* parent, MessageDialog which,
                      const std::array<std::string, 4>& substitutions);

class SecondaryWindows {
 public:
  SecondaryWindows() = default;
  SecondaryWindows(const SecondaryWindows&) = delete;
  SecondaryWindows& operator=(const SecondaryWindows&) = delete;
  ~SecondaryWindows() { closeAll(); }

  // The About box; nothing when one is open.
  void showAbout(GtkWindow* parent);
  // The Info box; nothing when one is open. It closes itself when the main dialog is gone.
  void showInfo(GtkWindow* parent);
  // Preset Management, or the open one brought to the front. `lastAction` (0..2) is
  // preselected; when the user confirms, it takes the chosen action and `chosen` runs with it.
  void showPresetManagement(GtkWindow* parent, int& lastAction,
                            std::function<void(int action)> chosen);
  bool presetManagementOpen() const { return presetManagement_ != nullptr; }
  bool aboutOpen() const { return about_ != nullptr; }
  // Closes every window still open (the main dialog is ending).
  void closeAll();

 private:
  GtkWidget* about_ = nullptr;
  GtkWidget* info_ = nullptr;
  GtkWidget* presetManagement_ = nullptr;
};

// The Preset Management actions and the memory-dots page, run over the dialog's session:
// 0 the presets page, 1 the pictures page, 2 previews added to the presets of a folder. Each
// asks for its folder first and tells the user how it went.
void runGalleryAction(GtkWindow* parent, int action, DialogSession& session);
void writeMemoryDotsPage(GtkWindow* parent, DialogSession& session);

// The session's messages while the dialog is open: each one a message box over `parent`.
class WindowMessages final : public UserMessages {
 public:
  explicit WindowMessages(GtkWindow* parent) : parent_(parent) {}
  void tell(const char* title, const char* text) override;

 private:
  GtkWindow* parent_;
};

}  // namespace orichalcumite
