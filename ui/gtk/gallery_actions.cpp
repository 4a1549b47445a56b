// The Preset Management actions and the memory-dots page as the dialog runs them: the folder
// and page choosers, the wait cursor, the batch's progress window, and the report to the user.
// The pages and the batch themselves are the gallery's (gallery/).
#include <gtk/gtk.h>

#include <atomic>
#include <string>

#include "base/random_generator.h"
#include "gallery/gallery_pages.h"
#include "gallery/preset_refresh.h"
#include "host/effect_thumbnail.h"
#include "pictures/effect_pictures.h"
#include "settings/effect_settings.h"
#include "settings/user_state.h"
#include "ui/dialog_session.h"
#include "ui/gtk/file_dialogs.h"
#include "ui/gtk/secondary_windows.h"
#include "ui/secondary_dialogs.h"

namespace orichalcumite {
namespace {

constexpr const char* kReportTitle = "Orichalcumite";
constexpr int kPreviewSourceSide = kEffectThumbnailSide;  // presets get 128 × 128 previews
constexpr int kProblemLinesShown = 12;

// The wait cursor over the main dialog while a page is written.
class WaitCursor {
 public:
  explicit WaitCursor(GtkWindow* parent)
      : window_(parent ? gtk_widget_get_window(GTK_WIDGET(parent)) : nullptr) {
    set("wait");
  }
  ~WaitCursor() { set(nullptr); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  void set(const char* name) {
    if (!window_) return;
    GdkDisplay* display = gdk_window_get_display(window_);
    GdkCursor* cursor = name ? gdk_cursor_new_from_name(display, name) : nullptr;
    gdk_window_set_cursor(window_, cursor);
    if (cursor) g_object_unref(cursor);
    gdk_display_flush(display);
  }
  GdkWindow* window_;
};

void tell(GtkWindow* parent, GtkMessageType type, const std::string& text) {
  GtkWidget* box =
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(box), kReportTitle);
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
}

std::string problemLines(const std::vector<std::string>& problems) {
  std::string text;
  int shown = 0;
  for (const std::string& p : problems) {
    if (shown++ == kProblemLinesShown) {
      text += "\n(" + std::to_string(problems.size() - kProblemLinesShown) + " more)";
      break;
    }
    text += "\n" + p;
  }
  return text;
}

// Opens a written page in the user's browser; false when none could be started.
bool openInBrowser(const std::string& path) {
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  if (!uri) return false;
  // No parent window: the toolkit may finish the launch after the dialog has closed.
  const gboolean opened = gtk_show_uri_on_window(nullptr, uri, GDK_CURRENT_TIME, nullptr);
  g_free(uri);
  return opened;
}

void reportPage(GtkWindow* parent, const Result<PageReport>& result, const std::string& page,
                const char* what) {
  if (!result.ok()) {
    tell(parent, GTK_MESSAGE_WARNING,
         std::string("The page could not be written.\n") + result.message());
    return;
  }
  const PageReport& report = result.value();
  const bool opened = openInBrowser(page);
  std::string text = "The page shows " + std::to_string(report.cells) + " " + what + ".";
  if (!opened) text += "\nIt is at " + page;
  if (!report.problems.empty()) {
    text += "\nSome could not be shown:" + problemLines(report.problems);
    tell(parent, GTK_MESSAGE_WARNING, text);
  } else if (!opened || report.cells == 0) {
    tell(parent, GTK_MESSAGE_INFO, text);
  }
}

std::string folderOf(const char* field) {
  return std::string(field, strnlen(field, kTextCapacity));
}

// The host's picture as the preset previews use it: its centre square at 128 × 128, or none.
std::unique_ptr<Picture> previewSource(DialogSession& session) {
  if (!session.hostImage) return nullptr;
  std::unique_ptr<Picture> image = session.hostImage(kPreviewSourceSide);
  if (!image) return nullptr;
  const int larger = largerSideForSquare(image->width(), image->height(), kPreviewSourceSide);
  if (larger > kPreviewSourceSide) {
    if (std::unique_ptr<Picture> bigger = session.hostImage(larger)) image = std::move(bigger);
  }
  return centredSquarePicture(*image, kPreviewSourceSide);
}

// A small window over the dialog that names the preset being updated and can stop the batch.
class RefreshProgress {
 public:
  explicit RefreshProgress(GtkWindow* parent) {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), "Preset Management");
    gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_deletable(GTK_WINDOW(window_), FALSE);
    if (parent) gtk_window_set_transient_for(GTK_WINDOW(window_), parent);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER_ON_PARENT);
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_set_border_width(GTK_CONTAINER(column), 12);
    gtk_container_add(GTK_CONTAINER(window_), column);
    label_ = gtk_label_new("Updating presets...");
    gtk_label_set_width_chars(GTK_LABEL(label_), 44);
    gtk_label_set_ellipsize(GTK_LABEL(label_), PANGO_ELLIPSIZE_MIDDLE);
    gtk_box_pack_start(GTK_BOX(column), label_, FALSE, FALSE, 0);
    GtkWidget* stop = gtk_button_new_with_label("Cancel");
    gtk_widget_set_halign(stop, GTK_ALIGN_END);
    gtk_box_pack_start(GTK_BOX(column), stop, FALSE, FALSE, 0);
    g_signal_connect(stop, "clicked", G_CALLBACK(+[](GtkWidget*, gpointer flag) {
                       static_cast<std::atomic<bool>*>(flag)->store(true);
                     }),
                     &stopped_);
    gtk_widget_show_all(window_);
    pump();
  }
  ~RefreshProgress() { gtk_widget_destroy(window_); }
  RefreshProgress(const RefreshProgress&) = delete;
  RefreshProgress& operator=(const RefreshProgress&) = delete;

  // Shows the event and lets the window system catch up; false once the user stopped it.
  bool step(const PresetRefreshEvent& event) {
    if (event.step == PresetRefreshStep::refreshed)
      gtk_label_set_text(GTK_LABEL(label_), ("Updating " + event.name).c_str());
    pump();
    return !stopped_.load();
  }

 private:
  static void pump() {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  }
  GtkWidget* window_ = nullptr;
  GtkWidget* label_ = nullptr;
  std::atomic<bool> stopped_{false};
};

std::string refreshSummary(const PresetRefreshSummary& s,
                           const std::vector<std::string>& problems) {
  if (s.code != 0) return "The presets could not be updated.\n" + s.problem;
  std::string text = std::to_string(s.refreshed) + (s.refreshed == 1 ? " preset" : " presets") +
                     " updated with new previews";
  if (s.renamed > 0) text.append(", ").append(std::to_string(s.renamed)).append(" renamed to .q5q");
  text += ".";
  if (s.skipped > 0)
    text.append("\n").append(std::to_string(s.skipped)).append(" left as they were.");
  if (s.cancelled) text += "\nStopped before the end.";
  if (!problems.empty()) text += problemLines(problems);
  return text;
}

void refreshPresetsOf(GtkWindow* parent, const std::string& folder, DialogSession& session) {
  if (!session.settings) return;
  const std::unique_ptr<Picture> source = previewSource(session);
  EffectPictures ownPictures;
  const EffectPictures& pictures = session.pictures ? session.pictures->pictures : ownPictures;
  RandomGenerator ownRandom;
  RandomGenerator& random = session.random ? *session.random : ownRandom;
  std::vector<std::string> problems;
  PresetRefreshSummary summary;
  {
    RefreshProgress progress(parent);
    WaitCursor wait(parent);
    summary = refreshPresetsKeepingEffect(folder, *session.settings, pictures, source.get(), random,
                                          [&](const PresetRefreshEvent& event) {
                                            if (event.failed)
                                              problems.push_back(event.name + ": " + event.reason);
                                            return progress.step(event);
                                          });
  }
  tell(parent, summary.code != 0 || summary.failed > 0 ? GTK_MESSAGE_WARNING : GTK_MESSAGE_INFO,
       refreshSummary(summary, problems));
}

}  // namespace

void runGalleryAction(GtkWindow* parent, int action, DialogSession& session) {
  if (action < 0 || action >= kPresetActionCount) return;
  const auto kind = static_cast<GalleryAction>(action);
  const std::string startFolder = !session.settings ? std::string()
                                  : kind == GalleryAction::picturesPage
                                      ? folderOf(session.settings->picturesFolder)
                                      : folderOf(session.settings->presetFolder);
  const std::optional<std::string> folder = chooseFolder(parent, kSourceFolderTitle, startFolder);
  if (!folder) return;
  if (kind == GalleryAction::refreshPresets) {
    refreshPresetsOf(parent, *folder, session);
    return;
  }
  const std::optional<std::string> page = chooseFileToSave(
      parent, kSavePageTitle, FileType::html, pageFolder(*folder), suggestedPageName(kind));
  if (!page) return;
  rememberPageFolder(*page);
  Result<PageReport> result = Status(StatusCode::ioError, "");
  {
    WaitCursor wait(parent);
    result = kind == GalleryAction::presetsPage ? writePresetsPage(*folder, *page)
                                                : writePicturesPage(*folder, *page);
  }
  reportPage(parent, result, *page, kind == GalleryAction::presetsPage ? "presets" : "pictures");
}

void writeMemoryDotsPage(GtkWindow* parent, DialogSession& session) {
  const std::string start = session.settings ? folderOf(session.settings->presetFolder) : "";
  const std::optional<std::string> page = chooseFileToSave(parent, kSavePageTitle, FileType::html,
                                                           pageFolder(start), kMemoryDotsPageName);
  if (!page) return;
  rememberPageFolder(*page);

  MemoryDotsPageRequest request;
  if (session.user)
    for (size_t i = 0; i < kMemoryDotCount; ++i)
      request.stored[i] =
          session.user->dotDisplay[i] != DotDisplay::empty || session.user->dotMap[i] != 0;
  std::unique_ptr<Picture> image = session.hostImage ? session.hostImage(kDotPictureSide) : nullptr;
  if (!image) {
    // Without the host's picture the dots are shown over neutral grey.
    image = createPicture(kDotPictureSide, kDotPictureSide * 2 / 3, PictureKind::rgba8,
                          WrapMode::noPyramid);
    if (image) image->fill(128, 128, 128, 255);
  }
  if (!image) {
    tell(parent, GTK_MESSAGE_WARNING, "There is not enough memory for the page.");
    return;
  }
  request.image = image.get();
  RandomGenerator ownRandom;
  RandomGenerator& random = session.random ? *session.random : ownRandom;
  request.render = [&random](const EffectSettings& effect, EffectPictures& pictures,
                             const Picture& source) {
    return renderEffectPicture(effect, pictures, random, source.width(), source.height(), &source);
  };
  request.messages = session.messages;
  Result<PageReport> result = Status(StatusCode::ioError, "");
  {
    WaitCursor wait(parent);
    result = orichalcumite::writeMemoryDotsPage(*page, request);
  }
  reportPage(parent, result, *page, "memory dots");
}

}  // namespace orichalcumite
