#include "ui/gtk/file_dialogs.h"

#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "pictures/picture.h"
#include "settings/effect_settings.h"
#include "settings/settings_file.h"
#include "ui/file_choice.h"
#include "ui/gtk/picture_pixbuf.h"

namespace orichalcumite {
namespace {

// The preset chooser's preview area: 87 × 80 dialog units are about 130 × 130 pixels, room for
// the 128 × 128 thumbnails presets carry.
constexpr int kPreviewSide = 130;

// Only one chooser at a time: a second request while one is open is answered as cancelled.
bool gChooserOpen = false;

struct ChooserGuard {
  bool acquired = false;
  ChooserGuard() {
    if (!gChooserOpen) acquired = gChooserOpen = true;
  }
  ~ChooserGuard() {
    if (acquired) gChooserOpen = false;
  }
};

bool isFolder(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

gboolean matchFilter(const GtkFileFilterInfo* info, gpointer patterns) {
  const char* name = info->display_name ? info->display_name : info->filename;
  return name && matchesPatterns(name, static_cast<const char*>(patterns));
}

// The filter of `type`, matched without regard to case (GTK's own patterns are case-sensitive
// on Linux, and pictures often carry upper-case endings).
void addFilter(GtkWidget* chooser, int type, bool save) {
  const std::optional<FileFilter> entry = fileFilter(type, save);
  if (!entry) return;
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, std::string(entry->name).c_str());
  gtk_file_filter_add_custom(filter, GTK_FILE_FILTER_DISPLAY_NAME, matchFilter,
                             g_strdup(std::string(entry->patterns).c_str()), g_free);
  gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);
}

// The chooser sizes itself from what the toolkit remembers, which can be larger than a small
// screen; once it is shown it is brought to a size that fits the screen's work area.
void fitChooser(GtkWidget* chooser, gpointer) {
  int width = 760, height = 500;
  GdkDisplay* display = gtk_widget_get_display(chooser);
  GdkWindow* window = gtk_widget_get_window(chooser);
  if (GdkMonitor* monitor =
          display && window ? gdk_display_get_monitor_at_window(display, window) : nullptr) {
    GdkRectangle area{};
    gdk_monitor_get_workarea(monitor, &area);
    width = std::min(width, area.width);
    height = std::min(height, area.height);
  }
  gtk_window_resize(GTK_WINDOW(chooser), width, height);
}

GtkWidget* newChooser(GtkWindow* parent, const char* title, GtkFileChooserAction action,
                      const char* acceptLabel) {
  GtkWidget* chooser =
      gtk_file_chooser_dialog_new(title, parent, action, "_Cancel", GTK_RESPONSE_CANCEL,
                                  acceptLabel, GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
  gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
  gtk_window_set_position(GTK_WINDOW(chooser), GTK_WIN_POS_CENTER_ON_PARENT);
  gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser), TRUE);
  // A size that fits beside the dialog on small screens, whatever the toolkit remembers.
  gtk_window_set_default_size(GTK_WINDOW(chooser), 760, 500);
  g_signal_connect(chooser, "map", G_CALLBACK(fitChooser), nullptr);
  return chooser;
}

void startIn(GtkWidget* chooser, const std::string& folder) {
  if (isFolder(folder))
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), folder.c_str());
}

std::optional<std::string> chosenFile(GtkWidget* chooser) {
  gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
  if (!name) return std::nullopt;
  std::string path(name);
  g_free(name);
  return path;
}

// Asks before an existing file is replaced; true to replace it.
bool replaceConfirmed(GtkWidget* chooser, const std::string& path) {
  const std::string name = path.substr(path.rfind('/') + 1);
  GtkWidget* ask = gtk_message_dialog_new(
      GTK_WINDOW(chooser), GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING, GTK_BUTTONS_YES_NO,
      "%s already exists.\nDo you want to replace it?", name.c_str());
  gtk_window_set_title(GTK_WINDOW(ask), "Confirm Save As");
  gtk_dialog_set_default_response(GTK_DIALOG(ask), GTK_RESPONSE_NO);
  const int answer = gtk_dialog_run(GTK_DIALOG(ask));
  gtk_widget_destroy(ask);
  return answer == GTK_RESPONSE_YES;
}

// The preset chooser's preview: the thumbnail the selected preset stores.
void updatePresetPreview(GtkFileChooser* chooser, gpointer image) {
  gchar* name = gtk_file_chooser_get_preview_filename(chooser);
  GdkPixbuf* pixbuf = nullptr;
  if (name && !isFolder(name)) {
    // Thumbnail mode changes nothing; the record only gives the reader somewhere to look.
    auto untouched = std::make_unique<EffectSettings>();
    const SettingsFileResult read = readSettingsFile(name, SettingsReadMode::thumbnail, *untouched);
    if (read.code == 0 && read.thumbnail) pixbuf = pictureToPixbuf(*read.thumbnail);
  }
  g_free(name);
  gtk_image_set_from_pixbuf(GTK_IMAGE(image), pixbuf);
  if (pixbuf) g_object_unref(pixbuf);
  // The area stays in place without a thumbnail, so that the list does not jump.
  gtk_file_chooser_set_preview_widget_active(chooser, TRUE);
}

}  // namespace

std::optional<std::string> chooseFileToSave(GtkWindow* parent, const char* title, FileType type,
                                            const std::string& folder,
                                            const std::string& suggestedName) {
  ChooserGuard guard;
  if (!guard.acquired) return std::nullopt;
  const std::optional<FileFilter> filter = fileFilter(static_cast<int>(type), true);
  const std::string patterns = filter ? std::string(filter->patterns) : std::string("*.*");
  GtkWidget* chooser = newChooser(parent, title, GTK_FILE_CHOOSER_ACTION_SAVE, "_Save");
  addFilter(chooser, static_cast<int>(type), true);
  startIn(chooser, folder);
  if (!suggestedName.empty())
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), suggestedName.c_str());
  // The default extension is added after the chooser closes, so the question about replacing
  // a file is asked here, about the name that will really be written.
  std::optional<std::string> result;
  while (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    const std::optional<std::string> typed = chosenFile(chooser);
    if (!typed || isFolder(*typed)) continue;
    const std::string path = withDefaultExtension(*typed, patterns);
    if (exists(path) && !replaceConfirmed(chooser, path)) continue;
    result = path;
    break;
  }
  gtk_widget_destroy(chooser);
  return result;
}

std::optional<std::string> chooseFileToOpen(GtkWindow* parent, const char* title, FileType type,
                                            const std::string& folder) {
  ChooserGuard guard;
  if (!guard.acquired) return std::nullopt;
  GtkWidget* chooser = newChooser(parent, title, GTK_FILE_CHOOSER_ACTION_OPEN, "_Open");
  addFilter(chooser, static_cast<int>(type), false);
  startIn(chooser, folder);
  if (type == FileType::preset) {
    GtkWidget* image = gtk_image_new();
    gtk_widget_set_size_request(image, kPreviewSide, kPreviewSide);
    gtk_file_chooser_set_preview_widget(GTK_FILE_CHOOSER(chooser), image);
    gtk_file_chooser_set_use_preview_label(GTK_FILE_CHOOSER(chooser), FALSE);
    g_signal_connect(chooser, "update-preview", G_CALLBACK(updatePresetPreview), image);
  }
  std::optional<std::string> result;
  while (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    const std::optional<std::string> path = chosenFile(chooser);
    // The file must exist and be a file.
    if (!path || isFolder(*path) || !exists(*path)) continue;
    result = path;
    break;
  }
  gtk_widget_destroy(chooser);
  return result;
}

std::optional<std::string> chooseFolder(GtkWindow* parent, const char* title,
                                        const std::string& folder) {
  ChooserGuard guard;
  if (!guard.acquired) return std::nullopt;
  GtkWidget* chooser = newChooser(parent, title, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Select");
  startIn(chooser, folder);
  std::optional<std::string> result;
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) result = chosenFile(chooser);
  gtk_widget_destroy(chooser);
  return result;
}

}  // namespace orichalcumite
