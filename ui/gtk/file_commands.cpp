#include "ui/gtk/file_commands.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/user_messages.h"
#include "host/psd_export.h"
#include "pictures/effect_pictures.h"
#include "pictures/picture_files.h"
#include "render/preview.h"
#include "settings/effect_settings.h"
#include "settings/registry.h"
#include "settings/settings_file.h"
#include "settings/user_state.h"
#include "ui/commands.h"
#include "ui/dialog_session.h"
#include "ui/file_choice.h"
#include "ui/gtk/file_dialogs.h"
#include "ui/gtk/secondary_windows.h"

namespace orichalcumite {
namespace {

constexpr int kCustomColourCount = 16;

std::string textOf(const char (&field)[kTextCapacity]) {
  return std::string(field, strnlen(field, kTextCapacity));
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

void tell(DialogSession& session, const char* title, const std::string& text) {
  if (session.messages) session.messages->tell(title, text.c_str());
}

// ---- colours

// The custom colours the colour chooser offers, kept while the program is loaded; the most
// recently picked first.
std::array<GdkRGBA, kCustomColourCount>& customColours() {
  static std::array<GdkRGBA, kCustomColourCount> colours = [] {
    std::array<GdkRGBA, kCustomColourCount> white{};
    for (GdkRGBA& c : white) c = {1, 1, 1, 1};
    return white;
  }();
  return colours;
}

void rememberCustomColour(const GdkRGBA& picked) {
  auto& colours = customColours();
  auto found = std::find_if(colours.begin(), colours.end(),
                            [&](const GdkRGBA& c) { return gdk_rgba_equal(&c, &picked); });
  if (found == colours.end()) found = colours.end() - 1;
  std::rotate(colours.begin(), found, found + 1);
  colours[0] = picked;
}

// A basic palette of the toolkit's own kind (it is replaced once a palette is added), then
// the custom colours.
void addPalettes(GtkColorChooser* chooser) {
  static const char* const kBasic[] = {
      "#ef2929", "#fcaf3e", "#fce94f", "#8ae234", "#729fcf", "#ad7fa8", "#e9b96e", "#888a85",
      "#cc0000", "#f57900", "#edd400", "#73d216", "#3465a4", "#75507b", "#c17d11", "#555753",
      "#a40000", "#ce5c00", "#c4a000", "#4e9a06", "#204a87", "#5c3566", "#8f5902", "#2e3436",
      "#ffffff", "#eeeeec", "#d3d7cf", "#babdb6", "#969696", "#646464", "#323232", "#000000"};
  std::array<GdkRGBA, std::size(kBasic)> basic{};
  for (size_t i = 0; i < basic.size(); ++i) gdk_rgba_parse(&basic[i], kBasic[i]);
  gtk_color_chooser_add_palette(chooser, GTK_ORIENTATION_HORIZONTAL, 8, basic.size(), basic.data());
  gtk_color_chooser_add_palette(chooser, GTK_ORIENTATION_HORIZONTAL, 8, kCustomColourCount,
                                customColours().data());
}

uint8_t colourByte(double v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

// ---- progress window

struct ProgressWindow {
  GtkWidget* window = nullptr;
  GtkWidget* stage = nullptr;
  GtkWidget* percent = nullptr;
  GtkWidget* bar = nullptr;
  std::atomic<bool> cancel{false};
};

void onProgressCancel(GtkButton*, gpointer data) {
  static_cast<ProgressWindow*>(data)->cancel = true;
}

gboolean onProgressDelete(GtkWidget*, GdkEvent*, gpointer data) {
  static_cast<ProgressWindow*>(data)->cancel = true;
  return TRUE;  // the window goes when the export has stopped
}

void buildProgressWindow(ProgressWindow& p, GtkWindow* parent) {
  p.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(p.window), "PSD file progress");
  gtk_window_set_modal(GTK_WINDOW(p.window), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(p.window), FALSE);
  gtk_window_set_type_hint(GTK_WINDOW(p.window), GDK_WINDOW_TYPE_HINT_DIALOG);
  if (parent) gtk_window_set_transient_for(GTK_WINDOW(p.window), parent);
  gtk_window_set_position(GTK_WINDOW(p.window), GTK_WIN_POS_CENTER_ON_PARENT);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
  gtk_container_set_border_width(GTK_CONTAINER(box), 12);
  GtkWidget* texts = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  p.stage = gtk_label_new("Rendering...");
  p.percent = gtk_label_new("0%");
  gtk_box_pack_start(GTK_BOX(texts), p.stage, FALSE, FALSE, 0);
  gtk_box_pack_end(GTK_BOX(texts), p.percent, FALSE, FALSE, 0);
  p.bar = gtk_progress_bar_new();
  gtk_widget_set_size_request(p.bar, 260, -1);
  GtkWidget* cancel = gtk_button_new_with_mnemonic("_Cancel");
  gtk_widget_set_halign(cancel, GTK_ALIGN_END);
  g_signal_connect(cancel, "clicked", G_CALLBACK(onProgressCancel), &p);
  g_signal_connect(p.window, "delete-event", G_CALLBACK(onProgressDelete), &p);
  gtk_box_pack_start(GTK_BOX(box), texts, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), p.bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), cancel, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(p.window), box);
  gtk_widget_show_all(p.window);
}

void pumpEvents() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

void setWaitCursor(GtkWidget* widget, bool wait) {
  GdkWindow* window = widget ? gtk_widget_get_window(widget) : nullptr;
  if (!window) return;
  GdkCursor* cursor =
      wait ? gdk_cursor_new_from_name(gtk_widget_get_display(widget), "wait") : nullptr;
  gdk_window_set_cursor(window, cursor);
  if (cursor) g_object_unref(cursor);
}

// The folder of the last PSD export, for the next one while the program is loaded.
std::string& lastPsdFolder() {
  static std::string folder;
  return folder;
}

// The preset folder and name the registry remembers, and the pictures folder when the presets
// sit beside the pictures.
void rememberPreset(EffectSettings& s, const std::string& path) {
  const std::string folder = folderOf(path);
  setText(s.presetFolder, folder.c_str());
  writeRegistryValue(kCurrentDirectoryValue, folder);
  writeRegistryValue(kPresetNameValue, textOf(s.settingsName));
  const std::string pictures =
      picturesFolderBesidePresets(readRegistryValue(kEnviroPathValue).value_or(""), folder);
  if (!pictures.empty()) {
    writeRegistryValue(kEnviroPathValue, pictures);
    setText(s.picturesFolder, pictures.c_str());
  }
}

}  // namespace

bool chooseSwatchColour(GtkWindow* parent, DialogSession& session, int slot,
                        const std::string& title) {
  if (slot < 0 || slot >= kColourCount) return false;
  SettingsColour& colour = session.settings->colours[slot];
  uint8_t rgb[3] = {static_cast<uint8_t>(colour.red >> 8), static_cast<uint8_t>(colour.green >> 8),
                    static_cast<uint8_t>(colour.blue >> 8)};
  if (session.chooseHostColour) {
    switch (session.chooseHostColour(title, rgb)) {
      case HostColourAnswer::picked:
        colour.red = static_cast<uint16_t>(rgb[0] * 256);
        colour.green = static_cast<uint16_t>(rgb[1] * 256);
        colour.blue = static_cast<uint16_t>(rgb[2] * 256);
        return true;
      case HostColourAnswer::cancelled: return false;
      case HostColourAnswer::unavailable: break;
    }
  }
  GtkWidget* chooser = gtk_color_chooser_dialog_new(title.c_str(), parent);
  gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
  gtk_window_set_position(GTK_WINDOW(chooser), GTK_WIN_POS_CENTER_ON_PARENT);
  gtk_color_chooser_set_use_alpha(GTK_COLOR_CHOOSER(chooser), FALSE);
  addPalettes(GTK_COLOR_CHOOSER(chooser));
  const GdkRGBA current{rgb[0] / 255.0, rgb[1] / 255.0, rgb[2] / 255.0, 1.0};
  gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(chooser), &current);
  bool picked = false;
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_OK) {
    GdkRGBA chosen{};
    gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(chooser), &chosen);
    chosen.alpha = 1.0;
    rememberCustomColour(chosen);
    colour.red = static_cast<uint16_t>(colourByte(chosen.red) * 256);
    colour.green = static_cast<uint16_t>(colourByte(chosen.green) * 256);
    colour.blue = static_cast<uint16_t>(colourByte(chosen.blue) * 256);
    picked = true;
  }
  gtk_widget_destroy(chooser);
  return picked;
}

bool openEffectPicture(GtkWindow* parent, DialogSession& session, PictureWhich which) {
  EffectSettings& s = *session.settings;
  if (!session.pictures) return false;
  const bool environment = which == PictureWhich::environment;
  // The chooser starts in the pictures folder the registry remembers.
  if (const auto folder = readRegistryValue(kEnviroPathValue); folder && !folder->empty())
    setText(s.picturesFolder, folder->c_str());
  const std::optional<std::string> path = chooseFileToOpen(
      parent, environment ? "Open an environment picture" : "Open a texture picture",
      FileType::pictures, textOf(s.picturesFolder));
  if (!path) return false;
  Result<std::unique_ptr<Picture>> picture = decodePictureFile(
      *path, environment ? PictureFileSlot::environment : PictureFileSlot::texture);
  if (!picture || !*picture) {
    // Nothing changes: the effect keeps naming the picture it shows.
    tell(session, "Can't open file",
         "The picture \"" + fileNameOf(*path) +
             "\" could not be read: " + (picture ? std::string("no picture") : picture.message()));
    return false;
  }
  const std::string stored = path->size() < kTextCapacity ? *path : std::string();
  const std::string name = pictureBaseName(*path);
  if (environment) {
    setText(s.environmentPath, stored.c_str());
    setText(s.environmentName, name.c_str());
    session.pictures->pictures.setEnvironment(std::move(*picture));
  } else {
    setText(s.texturePath, stored.c_str());
    setText(s.textureName, name.c_str());
    s.textureWidth = (*picture)->width();
    s.textureHeight = (*picture)->height();
    s.texturePanX = s.texturePanY = 0;
    session.pictures->pictures.setTexturePicture(std::move(*picture));
  }
  const std::string folder = folderOf(*path);
  setText(s.picturesFolder, folder.c_str());
  writeRegistryValue(kEnviroPathValue, folder);
  return true;
}

void readPresetFolder(EffectSettings& settings) {
  if (const auto folder = readRegistryValue(kCurrentDirectoryValue); folder && !folder->empty())
    setText(settings.presetFolder, folder->c_str());
}

bool savePresetFile(GtkWindow* parent, DialogSession& session) {
  EffectSettings& s = *session.settings;
  setPresetFileName(s);
  const std::optional<std::string> path =
      chooseFileToSave(parent, "Save a settings file", FileType::preset, textOf(s.presetFolder),
                       textOf(s.settingsName));
  if (!path) return false;
  std::unique_ptr<Picture> thumbnail;
  if (session.preview) thumbnail = presetThumbnail(session.preview->previewPixels());
  if (writeSettingsFile(*path, s, thumbnail.get()) != 0) {
    tell(session, "Save a settings file",
         "The settings file \"" + *path + "\" could not be written.");
    return false;
  }
  setText(s.settingsName, fileNameOf(*path).c_str());
  rememberPreset(s, *path);
  return true;
}

bool loadPresetFile(GtkWindow* parent, DialogSession& session) {
  EffectSettings& s = *session.settings;
  if (!session.pictures) return false;
  const std::optional<std::string> path =
      chooseFileToOpen(parent, "Open a settings file", FileType::preset, textOf(s.presetFolder));
  if (!path) return false;
  // The file is read over the factory values; the effect is replaced only when the whole file
  // was read.
  auto loaded = std::make_unique<EffectSettings>(s);
  loadFactoryDefaults(*loaded);
  const int32_t code = loadSettingsFileWithPictures(*path, *loaded, *session.pictures);
  if (code != 0) {
    tell(session, "Open a settings file",
         "The settings file \"" + fileNameOf(*path) + "\" could not be read, so nothing changed.");
    return false;
  }
  s = *loaded;
  setText(s.settingsName, fileNameOf(*path).c_str());
  rememberPreset(s, *path);
  return true;
}

void exportPsdFile(GtkWindow* parent, DialogSession& session) {
  if (!session.exportPsd) {
    tell(session, "Save a PSD file", "The PSD export is not available here.");
    return;
  }
  static bool running = false;
  if (running) return;  // the progress window is modal; nothing reaches here while it shows
  std::string folder = lastPsdFolder();
  if (folder.empty()) folder = textOf(session.settings->presetFolder);
  const std::optional<std::string> chosen =
      chooseFileToSave(parent, "Save a PSD file", FileType::photoshop, folder, kSuggestedPsdName);
  if (!chosen) return;
  lastPsdFolder() = folderOf(*chosen);
  const std::string path = psdLayerFileName(*chosen);

  running = true;
  ProgressWindow progress;
  buildProgressWindow(progress, parent);
  setWaitCursor(progress.window, true);
  pumpEvents();
  const JobProgress report = [&progress](const char* stage, double fraction) {
    gtk_label_set_text(GTK_LABEL(progress.stage), stage);
    gtk_label_set_text(GTK_LABEL(progress.percent), progressPercent(fraction).c_str());
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(progress.bar), std::clamp(fraction, 0.0, 1.0));
    pumpEvents();
  };
  const std::string error = session.exportPsd(path, report, progress.cancel);
  setWaitCursor(progress.window, false);
  gtk_widget_destroy(progress.window);
  pumpEvents();
  running = false;
  if (!error.empty()) tell(session, "Save a PSD file", error);
}

MissingPictureHook missingPictureQuestion(GtkWindow* parent) {
  return [parent](PictureWhich which, const std::string& baseName, bool askForFile) {
    const bool environment = which == PictureWhich::environment;
    if (std::getenv("ORICHALCUMITE_DEBUG"))
      std::fprintf(stderr, "dialog: missing %s picture \"%s\" asked about\n",
                   environment ? "environment" : "texture", baseName.c_str());
    const int answer =
        showMessageDialog(parent, MessageDialog::cantOpenFile,
                          {environment ? "environment" : "texture", baseName, "", ""});
    if (answer != kMessageFindFolder) return std::string();
    const std::string folder = readRegistryValue(kEnviroPathValue).value_or("");
    const std::optional<std::string> chosen = chooseFileToOpen(
        parent,
        askForFile ? "Please find the missing file"
                   : "Choose any file in the 'environments and textures' directory",
        FileType::pictures, folder);
    return chosen.value_or(std::string());
  };
}

}  // namespace orichalcumite
