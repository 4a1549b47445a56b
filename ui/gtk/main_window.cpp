#include "ui/gtk/main_window.h"

#include <gtk/gtk.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "protocol/filter_protocol.h"
#include "render/preview.h"
#include "settings/effect_settings.h"
#include "settings/enumerations.h"
#include "settings/user_state.h"
#include "ui/commands.h"
#include "ui/control_transfer.h"
#include "ui/controls.h"
#include "ui/edit_box.h"
#include "ui/file_choice.h"
#include "ui/gtk/dialog_widgets.h"
#include "ui/gtk/file_commands.h"
#include "ui/gtk/secondary_windows.h"
#include "ui/gtk/skin.h"
#include "ui/light_ball.h"
#include "ui/pointer.h"
#include "ui/preview_view.h"
#include "ui/secondary_dialogs.h"
#include "ui/slider.h"
#include "ui/tracking_tooltip.h"

namespace orichalcumite {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kWindowTitle = "Orichalcumite";
// Labels are 8 points at 96 dots per inch (11 pixels) in a font with Arial's widths, so that
// the longest label fits its 58 pixels; DejaVu Sans Condensed when that font is missing.
constexpr const char* kLabelFont = "Liberation Sans,Arimo,Arial,DejaVu Sans Condensed";
constexpr int kPaneLeft = 460, kPaneTop = 12, kPaneWidth = 532, kPaneHeight = 351;

// The native controls are small and sit on a drawn skin: the theme's paddings and minimum
// sizes would push them out of their places, and its colours would fight the skin.
constexpr const char* kDialogCss = R"(
#orichalcumite-dialog entry { min-height: 0; min-width: 0; padding: 0 2px; margin: 0;
  border-width: 1px; border-radius: 0; font: 11px "Liberation Sans", "DejaVu Sans Condensed", Sans; }
#orichalcumite-dialog button { min-height: 0; min-width: 0; padding: 0; margin: 0;
  border-radius: 3px; font: 11px "Liberation Sans", "DejaVu Sans Condensed", Sans; }
#orichalcumite-dialog combobox button { padding: 0 2px; }
#orichalcumite-dialog combobox cellview { font: 10px "Liberation Sans", "DejaVu Sans Condensed", Sans; }
#orichalcumite-dialog checkbutton { padding: 0; margin: 0; min-height: 0; min-width: 0; }
#orichalcumite-dialog check { min-width: 12px; min-height: 12px; margin: 0; padding: 0; }
#orichalcumite-dialog arrow { min-width: 8px; min-height: 8px; -gtk-icon-transform: scale(0.8); }
)";

bool debugOutput() { return std::getenv("ORICHALCUMITE_DEBUG") != nullptr; }

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// "&Factory" → "Factory" (the accessible name) and 'f' (the mnemonic key).
std::string withoutAmpersand(std::string_view caption) {
  std::string out;
  for (char c : caption)
    if (c != '&') out += c;
  return out;
}
char mnemonicOf(std::string_view caption) {
  const size_t at = caption.find('&');
  if (at == std::string_view::npos || at + 1 >= caption.size()) return 0;
  const char c = caption[at + 1];
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
// "&OK" → "_OK", for GTK's own mnemonic labels.
std::string gtkMnemonic(std::string_view caption) {
  std::string out;
  for (char c : caption) out += c == '&' ? '_' : c;
  return out;
}

void setSourceRgb(cairo_t* cr, int r, int g, int b) {
  cairo_set_source_rgb(cr, r / 255.0, g / 255.0, b / 255.0);
}

void fillRect(cairo_t* cr, const ControlRect& r) {
  cairo_rectangle(cr, r.x, r.y, r.width, r.height);
  cairo_fill(cr);
}

// A 1-pixel frame inside `r`: `topLeft` on the top and left edges, `bottomRight` on the others.
void frame3d(cairo_t* cr, const ControlRect& r, RgbColour topLeft, RgbColour bottomRight) {
  cairo_set_line_width(cr, 1);
  setSourceRgb(cr, topLeft.red, topLeft.green, topLeft.blue);
  cairo_move_to(cr, r.x + 0.5, r.y + r.height - 0.5);
  cairo_line_to(cr, r.x + 0.5, r.y + 0.5);
  cairo_line_to(cr, r.x + r.width - 0.5, r.y + 0.5);
  cairo_stroke(cr);
  setSourceRgb(cr, bottomRight.red, bottomRight.green, bottomRight.blue);
  cairo_move_to(cr, r.x + r.width - 0.5, r.y + 0.5);
  cairo_line_to(cr, r.x + r.width - 0.5, r.y + r.height - 0.5);
  cairo_line_to(cr, r.x + 0.5, r.y + r.height - 0.5);
  cairo_stroke(cr);
}

std::string textOf(const char* field) {
  std::string text(field, strnlen(field, kTextCapacity));
  return text == kNoPictureName ? std::string() : text;
}

class MainWindow {
 public:
  explicit MainWindow(DialogSession& session)
      : session_(session),
        settings_(*session.settings),
        service_(*session.preview),
        cancelCopy_(*session.settings) {}
  ~MainWindow();

  DialogOutcome run();

 private:
  // ---- building
  void build();
  void place(GtkWidget* widget, int id);
  void addEditBox(int sliderId);
  void addCheckBox(int id);
  void addIconList(int id, const char* picturePrefix, int count);
  void addGlueList();
  void addButton(int id, ControlKind kind);
  void addSwatchButton(int id);

  // ---- model and widgets
  void showControls();  // controls from settings, then every native control and the skin
  void pushNative(int id);
  void readBack();  // settings from controls; rewritten edit boxes are updated
  void snapshot(SnapshotKind kind);
  void apply(const DialogRequests& requests);
  void setSettleTimer(bool armed);
  void refreshZoomButtons();
  void redrawControl(int id);

  // ---- preview
  void renderPreview();
  void showSource();
  void paintPane();

  // ---- events
  void command(int id);
  void listChanged(int id);
  void checkToggled(int id);
  void editChanged(int editId);
  void settleTimerFired();
  void press(GdkEventButton* event);
  void move(int32_t x, int32_t y);
  void release();
  void setCursor(const char* name);
  void finish(DialogOutcome outcome);
  // Commands that go through choosers and files (ui/gtk/file_commands.h); false for others.
  bool fileCommand(int id);
  void textureFileChosen();
  bool secondaryCommand(int id);  // About, Info and Preset Management
  // the drawn widgets (ui/gtk/dialog_widgets.h)
  void turnLight(int id, int32_t x, int32_t y);
  void panTexture(int32_t dx, int32_t dy);
  void trackMemoryDot(int id, int32_t x, int32_t y);
  void hoverMemoryDots(int32_t x, int32_t y);
  void memoryDotCommand(int id);
  void ctrlChanged(bool ctrl);
  void demoteCurrentDot();

  // ---- drawing
  void drawSkin(cairo_t* cr);
  void drawSlider(cairo_t* cr, int id);
  void drawText(cairo_t* cr, const ControlRect& r, const std::string& text, RgbColour colour,
                bool centred);
  void drawLightBall(cairo_t* cr, int id);
  void drawMemoryDot(cairo_t* cr, int id);
  void drawSwatch(GtkWidget* widget, cairo_t* cr, int id);
  int controlUnder(int32_t x, int32_t y) const;

  // ---- GTK signal trampolines
  static gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer self);
  static gboolean onSwatchDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
  static gboolean onPress(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean onMotion(GtkWidget*, GdkEventMotion* event, gpointer self);
  static gboolean onRelease(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onKey(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean onTooltip(GtkWidget*, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                            gpointer self);
  static gboolean onSettleTimer(gpointer self);
  static void onClicked(GtkButton* button, gpointer self);
  static void onListChanged(GtkComboBox* box, gpointer self);
  static void onToggled(GtkToggleButton* box, gpointer self);
  static void onEditChanged(GtkEditable* entry, gpointer self);

  static int idOf(gpointer widget) {
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "control-id"));
  }

  DialogSession& session_;
  EffectSettings& settings_;
  PreviewService& service_;
  const EffectSettings cancelCopy_;
  DialogControls controls_;
  PointerCapture capture_;
  PreviewState preview_;
  Skin skin_;
  SecondaryWindows secondary_;
  std::unique_ptr<WindowMessages> messages_;  // the session's messages while the window is open
  UserMessages* hostMessages_ = nullptr;
  DialogWidgets widgets_{session_, skin_};
  bool pointerCtrl_ = false;  // Ctrl at the last pointer message
  int pressedDot_ = -1;       // the captured memory dot while it shows pressed
  TrackingTooltip tip_;

  GtkWidget* window_ = nullptr;
  GtkWidget* fixed_ = nullptr;
  GtkWidget* canvas_ = nullptr;
  GtkAccelGroup* accelerators_ = nullptr;
  std::array<GtkWidget*, kControlCount> natives_{};
  cairo_surface_t* pane_ = nullptr;  // the preview pane's pixels, written by the host's display
  Rect32 drawn_;                     // where the preview's pixels sit on the client area
  bool havePicture_ = false;

  guint settleTimer_ = 0;
  bool updating_ = false;  // the dialog itself is writing into native controls
  int preparedTexture_ = 0;
  bool firstRender_ = true;
  bool panning_ = false;
  Clock::time_point drawRequested_{};
  bool drawPending_ = false;
  bool firstShown_ = false;
  GMainLoop* loop_ = nullptr;
  DialogOutcome outcome_ = DialogOutcome::cancelled;
};

MainWindow::~MainWindow() {
  if (session_.pictures) session_.pictures->missing = nullptr;
  secondary_.closeAll();
  if (messages_) session_.messages = hostMessages_;
  if (settleTimer_) g_source_remove(settleTimer_);
  if (window_) gtk_widget_destroy(window_);
  if (pane_) cairo_surface_destroy(pane_);
  if (accelerators_) g_object_unref(accelerators_);
  if (loop_) g_main_loop_unref(loop_);
  // Let the window system take the window away before the host goes on.
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

// ---- building -------------------------------------------------------------------------------

void MainWindow::place(GtkWidget* widget, int id) {
  const ControlRect r = windowRect(id);
  g_object_set_data(G_OBJECT(widget), "control-id", GINT_TO_POINTER(id));
  gtk_widget_set_size_request(widget, r.width, r.height);
  gtk_fixed_put(GTK_FIXED(fixed_), widget, r.x, r.y);
  if (const std::string_view tip = tooltipText(id); !tip.empty())
    gtk_widget_set_tooltip_text(widget, std::string(tip).c_str());
  natives_[id] = widget;
}

void MainWindow::addEditBox(int sliderId) {
  const int editId = editBoxOf(sliderId);
  if (editId < 0) return;
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
  gtk_entry_set_max_length(GTK_ENTRY(entry), 12);
  gtk_entry_set_alignment(GTK_ENTRY(entry), 1.0f);
  gtk_entry_set_has_frame(GTK_ENTRY(entry), TRUE);
  // Enter in a box is OK, as in any dialog with a default button; OK reads the box first.
  gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
  place(entry, editId);
  // The edit box shows its slider's tooltip.
  if (const std::string_view tip = tooltipText(sliderId); !tip.empty())
    gtk_widget_set_tooltip_text(entry, std::string(tip).c_str());
  g_signal_connect(entry, "changed", G_CALLBACK(onEditChanged), this);
}

void MainWindow::addCheckBox(int id) {
  GtkWidget* box = gtk_check_button_new();
  place(box, id);
  g_signal_connect(box, "toggled", G_CALLBACK(onToggled), this);
}

void MainWindow::addIconList(int id, const char* picturePrefix, int count) {
  GtkListStore* store = gtk_list_store_new(2, GDK_TYPE_PIXBUF, G_TYPE_STRING);
  for (int item = 1; item <= count; ++item) {
    const std::string path =
        std::string("/org/orichalcumite/dialog/") + picturePrefix + std::to_string(item) + ".png";
    GdkPixbuf* icon = gdk_pixbuf_new_from_resource(path.c_str(), nullptr);
    // The texture list's last item is the picture file.
    const std::string text =
        id == control::textureChoice && item == count ? "file" : std::to_string(item);
    GtkTreeIter iter;
    gtk_list_store_append(store, &iter);
    gtk_list_store_set(store, &iter, 0, icon, 1, text.c_str(), -1);
    if (icon) g_object_unref(icon);
  }
  GtkWidget* box = gtk_combo_box_new_with_model(GTK_TREE_MODEL(store));
  g_object_unref(store);
  GtkCellRenderer* picture = gtk_cell_renderer_pixbuf_new();
  gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(box), picture, FALSE);
  gtk_cell_layout_add_attribute(GTK_CELL_LAYOUT(box), picture, "pixbuf", 0);
  GtkCellRenderer* text = gtk_cell_renderer_text_new();
  gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(box), text, TRUE);
  gtk_cell_layout_add_attribute(GTK_CELL_LAYOUT(box), text, "text", 1);
  if (id == control::shape) gtk_combo_box_set_wrap_width(GTK_COMBO_BOX(box), 2);
  place(box, id);
  g_signal_connect(box, "changed", G_CALLBACK(onListChanged), this);
}

void MainWindow::addGlueList() {
  GtkWidget* box = gtk_combo_box_text_new();
  for (int mode = 1; mode <= kGlueModeCount; ++mode)
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(box),
                                   std::string(enumName(Enumeration::glueMode, mode)).c_str());
  // 74 modes in one column would run off the screen; three columns fit beside the dialog.
  gtk_combo_box_set_wrap_width(GTK_COMBO_BOX(box), 3);
  place(box, control::glueMode);
  g_signal_connect(box, "changed", G_CALLBACK(onListChanged), this);
}

void MainWindow::addButton(int id, ControlKind kind) {
  const std::string_view caption = buttonCaption(id);
  GtkWidget* button = nullptr;
  if (kind == ControlKind::DialogButton) {
    button = gtk_button_new_with_mnemonic(gtkMnemonic(caption).c_str());
  } else if (id == control::zoomPercent) {
    button = gtk_button_new_with_label("100%");
  } else {
    button = gtk_button_new();
    const ControlDescriptor d = controlDescriptor(id);
    const std::string path = "/org/orichalcumite/dialog/icon-" + std::to_string(d.bitmap) + ".png";
    GtkWidget* image = gtk_image_new_from_resource(path.c_str());
    gtk_button_set_image(GTK_BUTTON(button), image);
    gtk_button_set_always_show_image(GTK_BUTTON(button), TRUE);
    // The icon buttons show only their icons; their captions stay their names and mnemonics.
    if (const char key = mnemonicOf(caption); key != 0)
      gtk_widget_add_accelerator(button, "clicked", accelerators_, gdk_unicode_to_keyval(key),
                                 GDK_MOD1_MASK, GTK_ACCEL_VISIBLE);
  }
  AtkObject* accessible = gtk_widget_get_accessible(button);
  if (accessible && !caption.empty())
    atk_object_set_name(accessible, withoutAmpersand(caption).c_str());
  place(button, id);
  g_signal_connect(button, "clicked", G_CALLBACK(onClicked), this);
}

// Colour swatches and the environment swatch are buttons the dialog draws itself.
void MainWindow::addSwatchButton(int id) {
  GtkWidget* button = gtk_button_new();
  gtk_widget_set_app_paintable(button, TRUE);
  place(button, id);
  g_signal_connect(button, "draw", G_CALLBACK(onSwatchDraw), this);
  g_signal_connect(button, "clicked", G_CALLBACK(onClicked), this);
}

void MainWindow::build() {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_widget_set_name(window_, "orichalcumite-dialog");
  gtk_window_set_title(GTK_WINDOW(window_), kWindowTitle);
  gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
  gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
  gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
  // A dialog larger than the screen starts at its top-left corner; otherwise it is centred.
  GdkScreen* screen = gtk_widget_get_screen(window_);
  GdkRectangle area{0, 0, kClientWidth, kClientHeight};
  GdkDisplay* display = gdk_screen_get_display(screen);
  if (GdkMonitor* monitor = display ? gdk_display_get_monitor(display, 0) : nullptr)
    gdk_monitor_get_workarea(monitor, &area);
  if (area.width < kClientWidth || area.height < kClientHeight)
    gtk_window_move(GTK_WINDOW(window_), 0, 0);
  else
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  accelerators_ = gtk_accel_group_new();
  gtk_window_add_accel_group(GTK_WINDOW(window_), accelerators_);

  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, kDialogCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);

  fixed_ = gtk_fixed_new();
  gtk_widget_set_size_request(fixed_, kClientWidth, kClientHeight);
  gtk_container_add(GTK_CONTAINER(window_), fixed_);

  canvas_ = gtk_drawing_area_new();
  gtk_widget_set_size_request(canvas_, kClientWidth, kClientHeight);
  gtk_widget_add_events(canvas_,
                        GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
  gtk_widget_set_has_tooltip(canvas_, TRUE);
  gtk_fixed_put(GTK_FIXED(fixed_), canvas_, 0, 0);
  g_signal_connect(canvas_, "draw", G_CALLBACK(onDraw), this);
  g_signal_connect(canvas_, "button-press-event", G_CALLBACK(onPress), this);
  g_signal_connect(canvas_, "motion-notify-event", G_CALLBACK(onMotion), this);
  g_signal_connect(canvas_, "button-release-event", G_CALLBACK(onRelease), this);
  g_signal_connect(canvas_, "query-tooltip", G_CALLBACK(onTooltip), this);

  // Native controls, in id order so that Tab walks them in a stable order.
  for (int id = 0; id < kControlCount; ++id) {
    const ControlDescriptor d = controlDescriptor(id);
    if (d.isPartner) continue;
    switch (d.kind) {
      case ControlKind::Slider: addEditBox(id); break;
      case ControlKind::CheckBox: addCheckBox(id); break;
      case ControlKind::IconChoiceList:
        addIconList(id, id == control::shape ? "shape-" : "texture-",
                    id == control::shape ? kBevelShapeCount : kTextureChoiceCount);
        break;
      case ControlKind::ModeList: addGlueList(); break;
      case ControlKind::IconButton:
      case ControlKind::DialogButton: addButton(id, d.kind); break;
      case ControlKind::ColourSwatch:
      case ControlKind::EnvironmentSwatch: addSwatchButton(id); break;
      default: break;
    }
  }
  if (natives_[control::ok]) {
    gtk_widget_set_can_default(natives_[control::ok], TRUE);
    gtk_window_set_default(GTK_WINDOW(window_), natives_[control::ok]);
  }

  pane_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPaneWidth, kPaneHeight);
  g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(onKey), this);
  g_signal_connect(window_, "key-release-event", G_CALLBACK(onKey), this);
}

// ---- model and widgets ----------------------------------------------------------------------

void MainWindow::pushNative(int id) {
  GtkWidget* w = natives_[id];
  if (!w) return;
  updating_ = true;
  const ControlKind kind = controlDescriptor(id).kind;
  if (isSliderPartner(id)) {
    gtk_entry_set_text(GTK_ENTRY(w), controls_.texts[id].c_str());
  } else if (kind == ControlKind::CheckBox) {
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), controls_.values[id] != 0);
  } else if (kind == ControlKind::IconChoiceList || kind == ControlKind::ModeList) {
    gtk_combo_box_set_active(GTK_COMBO_BOX(w), controls_.values[id] - 1);
  } else if (kind == ControlKind::ColourSwatch || kind == ControlKind::EnvironmentSwatch) {
    gtk_widget_queue_draw(w);
  }
  gtk_widget_set_sensitive(w, controls_.enabled[id]);
  updating_ = false;
}

void MainWindow::showControls() {
  controlsFromSettings(settings_, controls_);
  for (int id = 0; id < kControlCount; ++id) pushNative(id);
  // Writing into the edit boxes is not typing: it must not leave the settle timer armed.
  setSettleTimer(false);
  if (canvas_) gtk_widget_queue_draw(canvas_);
}

void MainWindow::readBack() {
  for (int id : settingsFromControls(controls_, settings_)) pushNative(id);
}

void MainWindow::snapshot(SnapshotKind kind) {
  if (kind == SnapshotKind::none || !session_.user) return;
  takeUndoStep(settings_, *session_.user, kind == SnapshotKind::full);
  // Every change that takes a snapshot leaves the stored dots behind: none is current any
  // more. Memory-dot clicks take theirs without coming here.
  demoteCurrentDot();
}

void MainWindow::setSettleTimer(bool armed) {
  if (settleTimer_) {
    g_source_remove(settleTimer_);
    settleTimer_ = 0;
  }
  if (armed) settleTimer_ = g_timeout_add(kSettleTimerMs, onSettleTimer, this);
}

void MainWindow::redrawControl(int id) {
  const ControlRect r = layoutRect(id);
  if (!r.isEmpty())
    gtk_widget_queue_draw_area(canvas_, r.x - 1, r.y - 1, r.width + 2, r.height + 2);
}

void MainWindow::apply(const DialogRequests& requests) {
  for (int id : requests.updateText) pushNative(id);
  for (int id : requests.redraw) redrawControl(id);
  if (requests.settleTimer == TimerRequest::start) setSettleTimer(true);
  if (requests.settleTimer == TimerRequest::stop) setSettleTimer(false);
  if (requests.settingsFromControls) readBack();
  if (requests.undo != UndoSnapshot::none)
    snapshot(requests.undo == UndoSnapshot::full ? SnapshotKind::full : SnapshotKind::light);
  if (requests.renderPreview) renderPreview();
  if (requests.postClick >= 0) {
    struct Posted {
      MainWindow* window;
      int id;
    };
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
          auto* posted = static_cast<Posted*>(data);
          posted->window->command(posted->id);
          return G_SOURCE_REMOVE;
        },
        new Posted{this, requests.postClick},
        [](gpointer data) { delete static_cast<Posted*>(data); });
  }
}

void MainWindow::refreshZoomButtons() {
  const ZoomButtons buttons = zoomButtons(preview_);
  controls_.enabled[command_id::kZoomOut] = buttons.zoomOut;
  controls_.enabled[command_id::kZoomIn] = buttons.zoomIn;
  controls_.enabled[command_id::kZoomActualSize] = buttons.actualSize;
  for (int id : {command_id::kZoomOut, command_id::kZoomIn, command_id::kZoomActualSize})
    if (natives_[id]) gtk_widget_set_sensitive(natives_[id], controls_.enabled[id]);
  if (GtkWidget* percent = natives_[command_id::kZoomActualSize])
    gtk_button_set_label(GTK_BUTTON(percent), buttons.caption.c_str());
}

// ---- preview --------------------------------------------------------------------------------

void MainWindow::paintPane() {
  cairo_t* cr = cairo_create(pane_);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(pane_);
  havePicture_ = false;
  const PreviewPixels pixels = service_.previewPixels();
  if (preview_.shown && pixels.planes && pixels.width > 0 && pixels.height > 0) {
    drawn_ = previewDrawRect(pixels.width, pixels.height);
    ps::PlatformDisplaySurface surface{ps::kPlatformDisplaySurfaceVersion, kPaneWidth, kPaneHeight,
                                       cairo_image_surface_get_stride(pane_),
                                       cairo_image_surface_get_data(pane_)};
    havePicture_ = service_.display(surface, drawn_.left - kPaneLeft, drawn_.top - kPaneTop);
  }
  cairo_surface_mark_dirty(pane_);
  gtk_widget_queue_draw_area(canvas_, kPaneLeft, kPaneTop, kPaneWidth, kPaneHeight);
}

void MainWindow::renderPreview() {
  if (!preview_.shown) return;
  readBack();
  if (settings_.textureChoice != preparedTexture_ && session_.prepareTexture) {
    session_.prepareTexture(settings_);
    preparedTexture_ = settings_.textureChoice;
  }
  const Clock::time_point start = Clock::now();
  if (gtk_widget_get_realized(window_)) setCursor("wait");
  const RenderStatus status = service_.renderPreview(settings_, preview_.view);
  if (status != RenderStatus::done) {
    // A failed first render switches the preview off for the rest of the dialog; a later one
    // leaves the previous picture on screen.
    if (firstRender_) {
      switchPreviewOff(preview_);
      refreshZoomButtons();
      paintPane();
    }
  } else {
    paintPane();
    drawRequested_ = start;
    drawPending_ = true;
  }
  firstRender_ = false;
  if (gtk_widget_get_realized(window_)) setCursor(nullptr);
  if (debugOutput()) {
    const PreviewPixels p = service_.previewPixels();
    std::fprintf(stderr, "dialog: preview rendered %dx%d at zoom %d pan %d,%d in %.1f ms\n",
                 p.width, p.height, preview_.view.zoom, preview_.view.panX, preview_.view.panY,
                 millisecondsSince(start));
  }
}

void MainWindow::showSource() {
  if (!preview_.shown) return;
  if (service_.showSource(preview_.view) == RenderStatus::done) paintPane();
  if (debugOutput())
    std::fprintf(stderr, "dialog: source shown at zoom %d pan %d,%d\n", preview_.view.zoom,
                 preview_.view.panX, preview_.view.panY);
}

// ---- events ---------------------------------------------------------------------------------

void MainWindow::command(int id) {
  CommandContext context;
  context.random = session_.random;
  context.preview = &preview_;
  context.user = session_.user;
  context.pictures = session_.pictures;
  context.cancelCopy = &cancelCopy_;
  context.presetManagementOpen = secondary_.presetManagementOpen();
  if (id == command_id::kOk || id == command_id::kCancel) {
    setSettleTimer(false);
    if (id == command_id::kOk) readBack();
    const CommandResult r = applyCommand(id, settings_, context);
    if (r.outcome == CommandOutcome::accepted) finish(DialogOutcome::accepted);
    if (r.outcome == CommandOutcome::cancelled) finish(DialogOutcome::cancelled);
    return;
  }
  if ((id >= command_id::kFirstMemoryDot && id <= command_id::kLastMemoryDot) ||
      id == command_id::kMemoryDotPreview) {
    memoryDotCommand(id);
    return;
  }
  if (fileCommand(id)) return;
  CommandResult r = applyCommand(id, settings_, context);
  if (r.outcome == CommandOutcome::notHandledYet && secondaryCommand(id))
    r.outcome = CommandOutcome::done;
  // Ids that are no command of this dialog change nothing.
  if (r.outcome == CommandOutcome::unknown || r.outcome == CommandOutcome::notHandledYet ||
      r.outcome == CommandOutcome::blocked)
    return;
  if (r.controlsFromSettings) showControls();
  if (r.zoomChanged) refreshZoomButtons();
  readBack();
  SnapshotContext snapshotContext;
  const ControlKind kind = controlDescriptor(id).kind;
  snapshotContext.effectControl =
      kind == ControlKind::Slider || kind == ControlKind::CheckBox ||
      kind == ControlKind::IconButton || kind == ControlKind::ColourSwatch ||
      kind == ControlKind::LightBall || kind == ControlKind::TextureSwatch ||
      kind == ControlKind::PictureFrame || kind == ControlKind::IconChoiceList ||
      kind == ControlKind::ModeList;
  if (r.outcome == CommandOutcome::done) snapshot(snapshotKind(id, snapshotContext));
  if (id == command_id::kUndo) demoteCurrentDot();
  setSettleTimer(false);
  if (r.redrawPresetName) redrawControl(23);
  if (r.redrawEnvironmentSwatch && natives_[command_id::kEnvironmentSwatch])
    gtk_widget_queue_draw(natives_[command_id::kEnvironmentSwatch]);
  if (r.render) renderPreview();
}

void MainWindow::listChanged(int id) {
  GtkWidget* box = natives_[id];
  const int selected = gtk_combo_box_get_active(GTK_COMBO_BOX(box)) + 1;
  if (selected < 1) return;
  if (id == control::textureChoice &&
      textureListSelected({settings_.textureChoice}, selected) == TextureListStep::askForPicture) {
    // The chooser opens once the list has closed its popup; the settings keep the previous
    // choice until a picture is chosen.
    g_idle_add(
        [](gpointer self) -> gboolean {
          static_cast<MainWindow*>(self)->textureFileChosen();
          return G_SOURCE_REMOVE;
        },
        this);
    return;
  }
  controls_.values[id] = selected;
  readBack();
  snapshot(snapshotKind(id, {.effectControl = true}));
  setSettleTimer(false);
  renderPreview();
  if (id == control::textureChoice) redrawControl(50);
}

void MainWindow::checkToggled(int id) {
  controls_.values[id] = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(natives_[id])) ? 1 : 0;
  readBack();
  snapshot(SnapshotKind::light);
  setSettleTimer(false);
  renderPreview();
}

void MainWindow::editChanged(int editId) {
  const char* text = gtk_entry_get_text(GTK_ENTRY(natives_[editId]));
  apply(editBoxTyped(controls_, editId, text ? text : ""));
}

void MainWindow::settleTimerFired() {
  settleTimer_ = 0;
  apply(orichalcumite::settleTimerFired(controls_, settings_));
}

void MainWindow::setCursor(const char* name) {
  GdkWindow* window = gtk_widget_get_window(canvas_);
  if (!window) return;
  GdkCursor* cursor =
      name ? gdk_cursor_new_from_name(gtk_widget_get_display(canvas_), name) : nullptr;
  gdk_window_set_cursor(window, cursor);
  if (cursor) g_object_unref(cursor);
  gdk_display_flush(gtk_widget_get_display(canvas_));
}

void MainWindow::press(GdkEventButton* event) {
  if (event->type != GDK_BUTTON_PRESS || (event->button != 1 && event->button != 3)) return;
  const auto x = static_cast<int32_t>(event->x), y = static_cast<int32_t>(event->y);
  const bool ctrl = (event->state & GDK_CONTROL_MASK) != 0;
  pointerCtrl_ = ctrl;
  const PressResult r = pointerPressed(capture_, controls_, x, y, ctrl, event->button == 3,
                                       event->time, !canPan(preview_));
  panning_ = r.startPreviewPan;
  if (r.postMove) move(x, y);
}

void MainWindow::move(int32_t x, int32_t y) {
  const int32_t previousX = capture_.previousX, previousY = capture_.previousY;
  const MoveResult r = pointerMoved(capture_, controls_, x, y, canPan(preview_));
  if (r.updateMemoryDotHover) hoverMemoryDots(x, y);
  setCursor(r.cursor == DialogCursor::grabbing ? "grabbing"
            : r.cursor == DialogCursor::grab   ? "grab"
                                               : nullptr);
  switch (r.action) {
    case MoveAction::panPreview:
      if (previousX != -999 && panByPointer(preview_, x - previousX, y - previousY)) showSource();
      break;
    case MoveAction::dragSlider: apply(r.requests); break;
    case MoveAction::turnLight: turnLight(capture_.capturedId, x, y); break;
    case MoveAction::panTexture:
      if (previousX != -999) panTexture(x - previousX, y - previousY);
      break;
    case MoveAction::trackMemoryDot: trackMemoryDot(capture_.capturedId, x, y); break;
    default: break;
  }
}

void MainWindow::release() {
  panning_ = false;
  if (pressedDot_ >= 0) redrawControl(pressedDot_);
  pressedDot_ = -1;
  apply(pointerReleased(capture_));
}

void MainWindow::finish(DialogOutcome outcome) {
  secondary_.closeAll();
  outcome_ = outcome;
  if (loop_ && g_main_loop_is_running(loop_)) g_main_loop_quit(loop_);
}

bool MainWindow::fileCommand(int id) {
  GtkWindow* parent = GTK_WINDOW(window_);
  const std::optional<int> colourSlot = colourSlotOfSwatch(id);
  if (!colourSlot && id != command_id::kEnvironmentSwatch && id != command_id::kEnvironmentFrame &&
      id != command_id::kSavePreset && id != command_id::kLoadPreset &&
      id != command_id::kExportPsd)
    return false;
  setSettleTimer(false);
  readBack();
  bool changed = false;
  if (colourSlot) {
    const std::string title(labelText(controlDescriptor(id).labelIndex));
    changed = chooseSwatchColour(parent, session_, *colourSlot, title);
  } else if (id == command_id::kEnvironmentSwatch || id == command_id::kEnvironmentFrame) {
    changed = openEffectPicture(parent, session_, PictureWhich::environment);
    if (changed) showNewEnvironment(settings_);
  } else if (id == command_id::kSavePreset) {
    // Saving changes no setting, only the name it was saved under.
    if (savePresetFile(parent, session_)) redrawControl(23);
    return true;
  } else if (id == command_id::kLoadPreset) {
    changed = loadPresetFile(parent, session_);
    preparedTexture_ = 0;  // the file may bring another texture picture
  } else {
    exportPsdFile(parent, session_);
    snapshot(snapshotKind(id, {}));
    return true;
  }
  if (!changed) return true;
  showControls();
  readBack();
  const ControlKind kind = controlDescriptor(id).kind;
  snapshot(snapshotKind(id, {.effectControl = kind == ControlKind::ColourSwatch ||
                                              kind == ControlKind::PictureFrame}));
  if (colourSlot && natives_[id]) gtk_widget_queue_draw(natives_[id]);
  if (natives_[command_id::kEnvironmentSwatch])
    gtk_widget_queue_draw(natives_[command_id::kEnvironmentSwatch]);
  for (int line : {23, 163, 164, 50}) redrawControl(line);
  renderPreview();
  return true;
}

// The texture list's "file" item: the picture chooser, and the previous choice back when it
// is cancelled.
void MainWindow::textureFileChosen() {
  TextureListChoice choice{settings_.textureChoice};
  const bool chosen = openEffectPicture(GTK_WINDOW(window_), session_, PictureWhich::texture);
  controls_.values[control::textureChoice] = texturePictureChosen(choice, chosen);
  pushNative(control::textureChoice);
  if (!chosen) return;
  readBack();
  snapshot(snapshotKind(control::textureChoice, {.effectControl = true}));
  preparedTexture_ = 0;  // a new picture makes a new tile even when the choice was the file
  renderPreview();
  for (int line : {50, 163, 164}) redrawControl(line);
}

bool MainWindow::secondaryCommand(int id) {
  GtkWindow* parent = GTK_WINDOW(window_);
  switch (id) {
    case command_id::kAboutStrip: secondary_.showAbout(parent); return true;
    case command_id::kInfo: secondary_.showInfo(parent); return true;
    case command_id::kPresetManagement:
      secondary_.showPresetManagement(parent, lastPresetAction(), [this](int action) {
        runGalleryAction(GTK_WINDOW(window_), action, session_);
      });
      return true;
    default: return false;
  }
}

int MainWindow::controlUnder(int32_t x, int32_t y) const { return trackingTooltipControl(x, y); }

// ---- the drawn widgets ----------------------------------------------------------------------

void MainWindow::turnLight(int id, int32_t x, int32_t y) {
  controls_.lights[id] = turnedLight(layoutRect(id), x, y, pointerCtrl_);
  redrawControl(id);
}

// Ctrl pressed or let go while a light ball is held turns the light as a move would.
void MainWindow::ctrlChanged(bool ctrl) {
  if (ctrl == pointerCtrl_) return;
  pointerCtrl_ = ctrl;
  const int id = capture_.capturedId;
  if (id >= 0 && controlDescriptor(id).kind == ControlKind::LightBall)
    turnLight(id, capture_.x, capture_.y);
}

void MainWindow::panTexture(int32_t dx, int32_t dy) {
  int32_t width = 0, height = 0;
  widgets_.textureTileSize(width, height, settings_.textureWidth, settings_.textureHeight);
  const TexturePan pan =
      pannedTexture({settings_.texturePanX, settings_.texturePanY}, width, height, dx, dy);
  settings_.texturePanX = pan.x;
  settings_.texturePanY = pan.y;
  redrawControl(control::textureSwatch);
}

void MainWindow::trackMemoryDot(int id, int32_t x, int32_t y) {
  const int pressed = layoutRect(id).contains(x, y) ? id : -1;
  if (pressed == pressedDot_) return;
  pressedDot_ = pressed;
  redrawControl(id);
}

void MainWindow::hoverMemoryDots(int32_t x, int32_t y) {
  MemoryDots* dots = widgets_.dots();
  const int id = memoryDotAt(x, y);
  if (dots && id >= 0 && dots->hover(id - control::firstMemoryDot))
    redrawControl(control::memoryDotPreview);
}

void MainWindow::demoteCurrentDot() {
  if (MemoryDots* dots = widgets_.dots(); dots && dots->demoteCurrent())
    for (int id = control::firstMemoryDot; id <= control::lastMemoryDot; ++id) redrawControl(id);
}

// A click on a memory dot or on the preview square (the release of its press).
void MainWindow::memoryDotCommand(int id) {
  MemoryDots* dots = widgets_.dots();
  const bool square = id == command_id::kMemoryDotPreview;
  const bool ctrl = capture_.ctrl, right = capture_.rightButton;
  setSettleTimer(false);
  readBack();
  SnapshotContext context;
  context.ctrlHeld = ctrl;
  context.dotHovered = dots && dots->hovered() >= 0;
  DotClickOutcome o;
  if (square && right) {
    writeMemoryDotsPage(GTK_WINDOW(window_), session_);
  } else if (square && ctrl) {
    runGalleryAction(GTK_WINDOW(window_), 2, session_);
  } else if (!dots) {
    return;
  } else if (square) {
    o = dots->recallHovered(settings_);
  } else {
    const DotButton button = right  ? DotButton::right
                             : ctrl ? DotButton::ctrlLeft
                                    : DotButton::left;
    o = dots->click(id - control::firstMemoryDot, button, settings_);
  }
  context.dotHoldsEffect = o.holdsEffect;
  if (debugOutput())
    std::fprintf(stderr, "dialog: memory dot %d clicked, code %d, hovered %d, effect \"%s\"\n", id,
                 o.code, dots ? dots->hovered() : -1, textOf(settings_.settingsName).c_str());
  for (int dot = control::firstMemoryDot; dot <= control::lastMemoryDot; ++dot) redrawControl(dot);
  redrawControl(control::memoryDotPreview);
  if (o.settingsReplaced) showControls();
  // The dot's own snapshot: it sets the current mark itself, so no demotion here.
  const SnapshotKind kind = snapshotKind(id, context);
  if (kind != SnapshotKind::none && session_.user)
    takeUndoStep(settings_, *session_.user, kind == SnapshotKind::full);
  if (o.settingsReplaced) {
    redrawControl(23);
    renderPreview();
  }
}

// ---- drawing --------------------------------------------------------------------------------

void MainWindow::drawText(cairo_t* cr, const ControlRect& r, const std::string& text,
                          RgbColour colour, bool centred) {
  if (text.empty()) return;
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string(kLabelFont);
  pango_font_description_set_absolute_size(font, 11 * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_text(layout, text.c_str(), -1);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  cairo_save(cr);
  // Text lines are clipped to their rectangle; a right-aligned label a little wider than its
  // rectangle may reach to the left, where the skin leaves room.
  if (centred) {
    cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    cairo_clip(cr);
  }
  // Right-aligned labels, centred text lines; both centred vertically in the rectangle less
  // 2 pixels.
  const double x = centred ? r.x + (r.width - width) / 2.0 : r.x + r.width - width;
  const double y = r.y + (r.height - 2 - height) / 2.0;
  setSourceRgb(cr, colour.red, colour.green, colour.blue);
  cairo_move_to(cr, std::floor(x), std::floor(y));
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
  g_object_unref(layout);
}

void MainWindow::drawSlider(cairo_t* cr, int id) {
  const SliderAppearance a = sliderAppearance(controls_, id);
  const ControlRect& t = a.track;
  if (a.trackBitmap == 0 || !skin_.draw(cr, "track-" + std::to_string(a.trackBitmap), t.x, t.y)) {
    setSourceRgb(cr, a.fill.red, a.fill.green, a.fill.blue);
    fillRect(cr, t);
    frame3d(cr, t, a.trackBitmap ? RgbColour{255, 255, 255} : a.frame, a.frame);
  }
  if (!a.thumb) return;
  const ControlRect& th = *a.thumb;
  if (!skin_.draw(cr, "thumb-" + std::to_string(a.thumbBitmap), th.x, th.y)) {
    setSourceRgb(cr, 90, 90, 110);
    fillRect(cr, th);
  }
}

void MainWindow::drawLightBall(cairo_t* cr, int id) {
  widgets_.drawLightBall(cr, id, controls_.lights[id], controls_.enabled[id]);
}

void MainWindow::drawMemoryDot(cairo_t* cr, int id) {
  widgets_.drawMemoryDot(cr, id, id == pressedDot_);
}

void MainWindow::drawSwatch(GtkWidget* widget, cairo_t* cr, int id) {
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  const ControlRect r{0, 0, width, height};
  const bool enabled = gtk_widget_is_sensitive(widget);
  const bool pressed = (gtk_widget_get_state_flags(widget) & GTK_STATE_FLAG_ACTIVE) != 0;
  setSourceRgb(cr, 222, 222, 222);
  fillRect(cr, r);
  if (!enabled) {
    frame3d(cr, r, {140, 140, 140}, {140, 140, 140});
  } else {
    frame3d(cr, r, pressed ? RgbColour{128, 128, 128} : RgbColour{255, 255, 255}, {128, 128, 128});
  }
  const ControlRect inside{2, 2, width - 4, height - 4};
  if (const std::optional<int> slot = colourSlotOfSwatch(id)) {
    const SettingsColour c = settings_.colours[*slot];
    setSourceRgb(cr, c.red >> 8, c.green >> 8, c.blue >> 8);
    fillRect(cr, inside);
  } else {
    // The environment swatch: the environment picture on a lit sphere, pressed in by a
    // pixel, inside the frame.
    cairo_save(cr);
    cairo_rectangle(cr, 1, 1, width - 2, height - 2);
    cairo_clip(cr);
    widgets_.drawEnvironmentSphere(cr, pressed ? 1 : 0, pressed ? 1 : 0, settings_.environmentSpin);
    cairo_restore(cr);
    frame3d(cr, r, pressed ? RgbColour{128, 128, 128} : RgbColour{255, 255, 255}, {128, 128, 128});
  }
  if (gtk_widget_has_focus(widget)) {
    const double dash = 1;
    cairo_set_dash(cr, &dash, 1, 0);
    setSourceRgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, 4.5, 4.5, width - 9, height - 9);
    cairo_stroke(cr);
  }
}

void MainWindow::drawSkin(cairo_t* cr) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  if (!skin_.draw(cr, "background", 0, 0)) {
    setSourceRgb(cr, 214, 214, 220);
    cairo_paint(cr);
  }

  // The preview pane: the host's pixels on white, a black frame just outside the picture.
  cairo_set_source_surface(cr, pane_, kPaneLeft, kPaneTop);
  cairo_paint(cr);
  if (havePicture_) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, drawn_.left - 0.5, drawn_.top - 0.5, drawn_.width() + 1,
                    drawn_.height() + 1);
    cairo_stroke(cr);
  }

  for (int id = 0; id < kControlCount; ++id) {
    const ControlDescriptor d = controlDescriptor(id);
    if (d.isPartner) continue;
    const ControlRect r = layoutRect(id);
    switch (d.kind) {
      case ControlKind::Slider: drawSlider(cr, id); break;
      case ControlKind::Label:
        drawText(cr, r, std::string(labelText(d.labelIndex)),
                 labelTextColour(controls_.enabled[id]), false);
        break;
      case ControlKind::TextLine: {
        const std::string text = id == 23    ? textOf(settings_.settingsName)
                                 : id == 163 ? textOf(settings_.textureName)
                                             : textOf(settings_.environmentName);
        drawText(cr, r, text, {0, 0, 0}, true);
        break;
      }
      case ControlKind::LightBall: drawLightBall(cr, id); break;
      case ControlKind::MemoryDot: drawMemoryDot(cr, id); break;
      case ControlKind::MemoryDotPreview: widgets_.drawDotPreviewSquare(cr); break;
      case ControlKind::TextureSwatch:
        widgets_.drawTextureSwatch(cr, {settings_.texturePanX, settings_.texturePanY});
        break;
      default: break;
    }
  }
  // Small decorative pictures beside the three check boxes.
  skin_.draw(cr, "check-deco-1", 314, 313);
  skin_.draw(cr, "check-deco-2", 316, 566);
  skin_.draw(cr, "check-deco-3", 434, 325);
}

// ---- GTK signal trampolines -----------------------------------------------------------------

gboolean MainWindow::onDraw(GtkWidget*, cairo_t* cr, gpointer self) {
  auto* w = static_cast<MainWindow*>(self);
  w->drawSkin(cr);
  if (w->drawPending_) {
    w->drawPending_ = false;
    if (debugOutput()) {
      std::fprintf(stderr, "dialog: preview drawn %.1f ms after the render began\n",
                   millisecondsSince(w->drawRequested_));
      if (!w->firstShown_)
        std::fprintf(stderr, "dialog: first preview shown %.1f ms after Start\n",
                     millisecondsSince(w->session_.started));
    }
    w->firstShown_ = true;
  }
  return TRUE;
}

gboolean MainWindow::onSwatchDraw(GtkWidget* widget, cairo_t* cr, gpointer self) {
  static_cast<MainWindow*>(self)->drawSwatch(widget, cr, idOf(widget));
  return TRUE;
}

gboolean MainWindow::onPress(GtkWidget*, GdkEventButton* event, gpointer self) {
  static_cast<MainWindow*>(self)->press(event);
  return TRUE;
}

gboolean MainWindow::onMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self) {
  auto* w = static_cast<MainWindow*>(self);
  w->pointerCtrl_ = (event->state & GDK_CONTROL_MASK) != 0;
  // The shared tooltip follows the control under the pointer: a new control hides the tip
  // that shows, so that its own text comes up.
  if (w->tip_.moveTo(
          trackingTooltipControl(static_cast<int32_t>(event->x), static_cast<int32_t>(event->y))))
    gtk_widget_trigger_tooltip_query(widget);
  static_cast<MainWindow*>(self)->move(static_cast<int32_t>(event->x),
                                       static_cast<int32_t>(event->y));
  return TRUE;
}

gboolean MainWindow::onRelease(GtkWidget*, GdkEventButton* event, gpointer self) {
  if (event->button == 1 || event->button == 3) static_cast<MainWindow*>(self)->release();
  return TRUE;
}

gboolean MainWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<MainWindow*>(self)->command(command_id::kCancel);
  return TRUE;  // the window is destroyed when the dialog ends, not by the window system
}

gboolean MainWindow::onKey(GtkWidget*, GdkEventKey* event, gpointer self) {
  if (event->keyval == GDK_KEY_Control_L || event->keyval == GDK_KEY_Control_R) {
    static_cast<MainWindow*>(self)->ctrlChanged(event->type == GDK_KEY_PRESS);
    return FALSE;
  }
  if (event->type != GDK_KEY_PRESS || event->keyval != GDK_KEY_Escape) return FALSE;
  static_cast<MainWindow*>(self)->command(command_id::kCancel);
  return TRUE;
}

gboolean MainWindow::onTooltip(GtkWidget*, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                               gpointer self) {
  if (keyboard) return FALSE;
  const int id = static_cast<MainWindow*>(self)->controlUnder(x, y);
  if (id <= 0 || tooltipText(id).empty()) return FALSE;
  gtk_tooltip_set_text(tooltip, std::string(tooltipText(id)).c_str());
  // The tip belongs to this control's rectangle: leaving it hides the tip and asks again.
  const ControlRect r = layoutRect(id);
  const GdkRectangle area{r.x, r.y, r.width, r.height};
  gtk_tooltip_set_tip_area(tooltip, &area);
  return TRUE;
}

gboolean MainWindow::onSettleTimer(gpointer self) {
  static_cast<MainWindow*>(self)->settleTimerFired();
  return G_SOURCE_REMOVE;
}

void MainWindow::onClicked(GtkButton* button, gpointer self) {
  static_cast<MainWindow*>(self)->command(idOf(button));
}

void MainWindow::onListChanged(GtkComboBox* box, gpointer self) {
  auto* w = static_cast<MainWindow*>(self);
  if (!w->updating_) w->listChanged(idOf(box));
}

void MainWindow::onToggled(GtkToggleButton* box, gpointer self) {
  auto* w = static_cast<MainWindow*>(self);
  if (!w->updating_) w->checkToggled(idOf(box));
}

void MainWindow::onEditChanged(GtkEditable* entry, gpointer self) {
  auto* w = static_cast<MainWindow*>(self);
  if (!w->updating_) w->editChanged(idOf(entry));
}

// ---- running --------------------------------------------------------------------------------

DialogOutcome MainWindow::run() {
  if (debugOutput())
    std::fprintf(stderr, "dialog: toolkit ready %.1f ms after Start\n",
                 millisecondsSince(session_.started));
  build();
  messages_ = std::make_unique<WindowMessages>(GTK_WINDOW(window_));
  hostMessages_ = session_.messages;
  session_.messages = messages_.get();
  if (debugOutput())
    std::fprintf(stderr, "dialog: window built %.1f ms after Start\n",
                 millisecondsSince(session_.started));
  // Every setting is brought into its control's range at the start.
  showControls();
  readBack();
  applyImageEnables(controls_, session_.highDynamicRange);
  for (int id : {control::glueMode, control::nextGlueMode}) pushNative(id);

  preview_ = openPreview(service_.imageRect(), service_.canDisplay());
  refreshZoomButtons();
  paintPane();
  preparedTexture_ = settings_.textureChoice;  // the module prepared it before the dialog
  readPresetFolder(settings_);
  // A picture a preset or an undo names that cannot be found is asked about while the dialog
  // is open.
  if (session_.pictures) session_.pictures->missing = missingPictureQuestion(GTK_WINDOW(window_));
  renderPreview();
  // The memory dots show what the map keeps and take the incoming effect.
  if (MemoryDots* dots = widgets_.dots()) dots->startDialog(settings_);

  if (debugOutput()) {
    // The keyboard checks follow the focus through the debug output: the control that holds
    // the focused widget (a list's focus sits on a button inside it).
    g_signal_connect(window_, "set-focus",
                     G_CALLBACK(+[](GtkWindow*, GtkWidget* focused, gpointer) {
                       for (GtkWidget* w = focused; w; w = gtk_widget_get_parent(w))
                         if (const int id = idOf(w); id > 0) {
                           std::fprintf(stderr, "dialog: focus on control %d\n", id);
                           return;
                         }
                     }),
                     nullptr);
    int enabled = 0;
    for (GtkWidget* w : natives_)
      if (w && gtk_widget_get_sensitive(w)) ++enabled;
    std::fprintf(stderr, "dialog: %d native controls enabled\n", enabled);
  }
  gtk_widget_show_all(window_);
  gtk_window_present(GTK_WINDOW(window_));
  if (debugOutput())
    std::fprintf(stderr, "dialog: window shown %.1f ms after Start\n",
                 millisecondsSince(session_.started));
  loop_ = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(loop_);
  return outcome_;
}

}  // namespace

DialogOutcome showMainWindow(DialogSession& session) {
  MainWindow window(session);
  return window.run();
}

}  // namespace orichalcumite
