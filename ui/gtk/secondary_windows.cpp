#include "ui/gtk/secondary_windows.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/secondary_dialogs.h"

namespace orichalcumite {
namespace {

// The maker's page, opened by the About box's button.
constexpr const char* kMakerWebsite = "https://orichalcumite.org/";
constexpr const char* kResourcePrefix = "/org/orichalcumite/dialog/";
constexpr guint kInfoCheckMs = 1000;  // how often the Info box looks for the main dialog

// Dialog-unit positions and sizes of the About and Info boxes.
constexpr int kAboutWidthUnits = 191, kAboutHeightUnits = 174;
constexpr int kInfoWidthUnits = 471, kInfoHeightUnits = 427;
constexpr int kPresetWidthUnits = 239, kPresetHeightUnits = 100;
constexpr int kAboutButtonId = 5;

bool debugOutput() { return std::getenv("ORICHALCUMITE_DEBUG") != nullptr; }

int px(int unitsX) { return dialogUnitsToPixelsX(unitsX); }
int py(int unitsY) { return dialogUnitsToPixelsY(unitsY); }

// The parent's client area on the screen, or the screen's work area without a parent; and the
// size of the screen the window opens on.
void placementFrame(GtkWindow* parent, WindowRect& frame, int& screenWidth, int& screenHeight) {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = nullptr;
  GdkWindow* parentWindow = parent ? gtk_widget_get_window(GTK_WIDGET(parent)) : nullptr;
  if (display && parentWindow) monitor = gdk_display_get_monitor_at_window(display, parentWindow);
  if (display && !monitor) monitor = gdk_display_get_primary_monitor(display);
  if (display && !monitor) monitor = gdk_display_get_monitor(display, 0);
  GdkRectangle screen{0, 0, 1024, 768};
  if (monitor) gdk_monitor_get_geometry(monitor, &screen);
  screenWidth = screen.x + screen.width;
  screenHeight = screen.y + screen.height;
  if (parentWindow && gtk_widget_get_realized(GTK_WIDGET(parent))) {
    int x = 0, y = 0;
    gdk_window_get_origin(parentWindow, &x, &y);
    frame = {x, y, gdk_window_get_width(parentWindow), gdk_window_get_height(parentWindow)};
  } else {
    GdkRectangle work = screen;
    if (monitor) gdk_monitor_get_workarea(monitor, &work);
    frame = {work.x, work.y, work.width, work.height};
  }
}

// Moves `window` (about to be shown at width × height) to its place over `parent`.
void placeOver(GtkWindow* window, GtkWindow* parent, int width, int height) {
  WindowRect frame;
  int screenWidth = 0, screenHeight = 0;
  placementFrame(parent, frame, screenWidth, screenHeight);
  const WindowRect at = placeWindow(frame, width, height, true, screenWidth, screenHeight);
  gtk_window_set_position(window, GTK_WIN_POS_NONE);
  gtk_window_move(window, at.x, at.y);
}

// The secondary windows stand beside the main dialog, which holds a modal grab; a window group
// of their own keeps them usable.
GtkWidget* newCompanionWindow(const char* title, const char* name) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), title);
  gtk_widget_set_name(window, name);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
  GtkWindowGroup* group = gtk_window_group_new();
  gtk_window_group_add_window(group, GTK_WINDOW(window));
  g_object_unref(group);  // the window keeps its group
  return window;
}

void makeWhite(GtkWidget* window) {
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, "window { background-color: #ffffff; }", -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(window), GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

GtkWidget* artworkImage(const char* name) {
  return gtk_image_new_from_resource((std::string(kResourcePrefix) + name).c_str());
}

// Clears the owner's pointer when the window goes, however it goes.
void forgetOnDestroy(GtkWidget* window, GtkWidget** slot) {
  g_signal_connect(window, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer data) {
                     *static_cast<GtkWidget**>(data) = nullptr;
                   }),
                   slot);
}

// Enter and Esc close the About and Info boxes.
gboolean closeOnEnterOrEscape(GtkWidget* window, GdkEventKey* event, gpointer) {
  switch (event->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_Escape: gtk_widget_destroy(window); return TRUE;
    default: return FALSE;
  }
}

void openMakerWebsite(GtkWidget* button, gpointer window) {
  // A browser that cannot be started is not the user's problem here: nothing is reported. No
  // parent window: the toolkit finishes the launch after the box is gone.
  gtk_show_uri_on_window(nullptr, kMakerWebsite, GDK_CURRENT_TIME, nullptr);
  (void)button;
  gtk_widget_destroy(GTK_WIDGET(window));
}

// The Info box's watch over the main dialog: the parent's pointer is cleared by a weak
// reference when the main dialog goes, and the next tick closes the box.
struct InfoWatch {
  GtkWidget* info;
  GtkWindow* mainDialog;
  guint timer = 0;
};

gboolean infoTick(gpointer data) {
  auto* watch = static_cast<InfoWatch*>(data);
  if (watch->mainDialog && gtk_widget_get_visible(GTK_WIDGET(watch->mainDialog)))
    return G_SOURCE_CONTINUE;
  watch->timer = 0;
  gtk_widget_destroy(watch->info);
  return G_SOURCE_REMOVE;
}

void endInfoWatch(GtkWidget*, gpointer data) {
  auto* watch = static_cast<InfoWatch*>(data);
  if (watch->timer) g_source_remove(watch->timer);
  if (watch->mainDialog)
    g_object_remove_weak_pointer(G_OBJECT(watch->mainDialog),
                                 reinterpret_cast<gpointer*>(&watch->mainDialog));
  delete watch;
}

// What Preset Management's buttons need after the window is gone.
struct PresetChoice {
  std::array<GtkWidget*, kPresetActionCount> radios{};
  int* lastAction = nullptr;
  std::function<void(int)> chosen;
};

}  // namespace

int showMessageDialog(GtkWindow* parent, MessageDialog which,
                      const std::array<std::string, 4>& substitutions) {
  const MessageTemplate& t =
      messageTemplate(which == MessageDialog::notEnoughMemory ? MessageKind::notEnoughMemory
                                                              : MessageKind::cantOpenFile);
  GtkWidget* dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(dialog), t.title);
  gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  if (parent) gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
  const int width = px(t.widthUnits), height = py(t.heightUnits);
  gtk_widget_set_size_request(dialog, width, -1);

  GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 14);
  gtk_container_set_border_width(GTK_CONTAINER(row), 12);
  GtkWidget* icon = gtk_image_new_from_icon_name("dialog-warning", GTK_ICON_SIZE_DIALOG);
  gtk_widget_set_valign(icon, GTK_ALIGN_START);
  gtk_box_pack_start(GTK_BOX(row), icon, FALSE, FALSE, 0);
  GtkWidget* texts = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
  for (const char* text : t.texts) {
    GtkWidget* label = gtk_label_new(substituteMarkers(text, substitutions).c_str());
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 50);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_box_pack_start(GTK_BOX(texts), label, FALSE, FALSE, 0);
  }
  gtk_box_pack_start(GTK_BOX(row), texts, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(area), row, TRUE, TRUE, 0);
  for (const MessageButton& b : t.buttons) {
    GtkWidget* button = gtk_dialog_add_button(GTK_DIALOG(dialog), b.label, b.id);
    if (b.isDefault) {
      gtk_widget_set_can_default(button, TRUE);
      gtk_widget_grab_default(button);
      gtk_widget_grab_focus(button);
    }
  }
  for (const MessageButton& b : t.buttons)
    if (b.isDefault) gtk_dialog_set_default_response(GTK_DIALOG(dialog), b.id);

  gtk_widget_show_all(area);
  int naturalHeight = height;
  gtk_widget_get_preferred_height(dialog, nullptr, &naturalHeight);
  placeOver(GTK_WINDOW(dialog), parent, width, std::max(height, naturalHeight));
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  for (const MessageButton& b : t.buttons)
    if (b.id == response) return response;
  return t.closeAnswer;  // the window was closed
}

void SecondaryWindows::showAbout(GtkWindow* parent) {
  if (about_) return;
  GtkWidget* window = newCompanionWindow("About", "orichalcumite-about");
  makeWhite(window);
  const int width = px(kAboutWidthUnits), height = py(kAboutHeightUnits);
  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, width, height);
  gtk_container_add(GTK_CONTAINER(window), fixed);
  gtk_fixed_put(GTK_FIXED(fixed), artworkImage("about-282.png"), px(18), py(28));
  gtk_fixed_put(GTK_FIXED(fixed), artworkImage("about-title-127.png"), px(37), py(11));
  gtk_fixed_put(GTK_FIXED(fixed), artworkImage("about-emblem-291.png"), px(19), py(8));
  GtkWidget* button = gtk_button_new_with_label("Visit Ferrovantine's website...");
  g_object_set_data(G_OBJECT(button), "control-id", GINT_TO_POINTER(kAboutButtonId));
  gtk_widget_set_size_request(button, px(155), py(14));
  gtk_fixed_put(GTK_FIXED(fixed), button, px(19), py(153));
  g_signal_connect(button, "clicked", G_CALLBACK(openMakerWebsite), window);
  g_signal_connect(window, "key-press-event", G_CALLBACK(closeOnEnterOrEscape), nullptr);
  about_ = window;
  forgetOnDestroy(window, &about_);
  placeOver(GTK_WINDOW(window), parent, width, height);
  gtk_widget_show_all(window);
  gtk_window_present(GTK_WINDOW(window));
}

void SecondaryWindows::showInfo(GtkWindow* parent) {
  if (info_) return;
  GtkWidget* window = newCompanionWindow("Info", "orichalcumite-info");
  makeWhite(window);
  const int width = px(kInfoWidthUnits), height = py(kInfoHeightUnits);
  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, width, height);
  gtk_container_add(GTK_CONTAINER(window), fixed);
  gtk_fixed_put(GTK_FIXED(fixed), artworkImage("info-332.png"), px(7), py(7));
  g_signal_connect(window, "key-press-event", G_CALLBACK(closeOnEnterOrEscape), nullptr);
  info_ = window;
  forgetOnDestroy(window, &info_);

  auto* watch = new InfoWatch{window, parent};
  if (parent)
    g_object_add_weak_pointer(G_OBJECT(parent), reinterpret_cast<gpointer*>(&watch->mainDialog));
  watch->timer = g_timeout_add(kInfoCheckMs, infoTick, watch);
  g_signal_connect(window, "destroy", G_CALLBACK(endInfoWatch), watch);

  placeOver(GTK_WINDOW(window), parent, width, height);
  gtk_widget_show_all(window);
  gtk_window_present(GTK_WINDOW(window));
}

void SecondaryWindows::showPresetManagement(GtkWindow* parent, int& lastAction,
                                            std::function<void(int action)> chosen) {
  if (presetManagement_) {
    gtk_window_present(GTK_WINDOW(presetManagement_));
    return;
  }
  GtkWidget* window = newCompanionWindow("Preset Management", "orichalcumite-presets");
  const int width = px(kPresetWidthUnits), height = py(kPresetHeightUnits);
  gtk_widget_set_size_request(window, width, height);
  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
  gtk_container_set_border_width(GTK_CONTAINER(column), 10);
  gtk_container_add(GTK_CONTAINER(window), column);
  GtkWidget* prompt = gtk_label_new("Please choose an action:");
  gtk_label_set_xalign(GTK_LABEL(prompt), 0.0f);
  gtk_box_pack_start(GTK_BOX(column), prompt, FALSE, FALSE, 0);

  auto* choice = new PresetChoice;
  choice->lastAction = &lastAction;
  choice->chosen = std::move(chosen);
  GSList* group = nullptr;
  const int preselected = validPresetAction(lastAction);
  if (debugOutput())
    std::fprintf(stderr, "dialog: preset management opened with action %d\n", preselected);
  for (const PresetActionChoice& c : presetActionChoices()) {
    GtkWidget* radio = gtk_radio_button_new_with_label(group, c.label);
    group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(radio));
    const int action = presetActionOfRadio(c.radioId);
    choice->radios[static_cast<size_t>(action)] = radio;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(radio), action == preselected);
    gtk_widget_set_margin_start(radio, 12);
    gtk_box_pack_start(GTK_BOX(column), radio, FALSE, FALSE, 0);
  }

  GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  gtk_box_set_spacing(GTK_BOX(buttons), 8);
  GtkWidget* confirm = gtk_button_new_with_label("Choose source folder...");
  GtkWidget* cancel = gtk_button_new_with_label("Cancel");
  gtk_container_add(GTK_CONTAINER(buttons), confirm);
  gtk_container_add(GTK_CONTAINER(buttons), cancel);
  gtk_widget_set_margin_top(buttons, 6);
  gtk_box_pack_end(GTK_BOX(column), buttons, FALSE, FALSE, 0);
  gtk_widget_set_can_default(confirm, TRUE);
  gtk_window_set_default(GTK_WINDOW(window), confirm);

  g_object_set_data(G_OBJECT(confirm), "choice", choice);
  g_signal_connect(
      confirm, "clicked", G_CALLBACK(+[](GtkWidget* button, gpointer win) {
        auto* c = static_cast<PresetChoice*>(g_object_get_data(G_OBJECT(button), "choice"));
        int action = 0;
        for (int i = 0; i < kPresetActionCount; ++i)
          if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(c->radios[static_cast<size_t>(i)])))
            action = i;
        // The action is kept before anything is asked, so that it is preselected next time
        // even when the folder chooser is cancelled.
        *c->lastAction = action;
        if (debugOutput()) std::fprintf(stderr, "dialog: preset action %d chosen\n", action);
        std::function<void(int)> chosenAction = c->chosen;
        gtk_widget_destroy(GTK_WIDGET(win));  // frees `c`
        if (chosenAction) chosenAction(action);
      }),
      window);
  g_signal_connect_swapped(cancel, "clicked", G_CALLBACK(gtk_widget_destroy), window);
  g_signal_connect(window, "key-press-event",
                   G_CALLBACK(+[](GtkWidget* w, GdkEventKey* event, gpointer) -> gboolean {
                     if (event->keyval != GDK_KEY_Escape) return FALSE;
                     gtk_widget_destroy(w);
                     return TRUE;
                   }),
                   nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer data) {
                     delete static_cast<PresetChoice*>(data);
                   }),
                   choice);
  presetManagement_ = window;
  forgetOnDestroy(window, &presetManagement_);
  placeOver(GTK_WINDOW(window), parent, width, height);
  gtk_widget_show_all(window);
  gtk_window_present(GTK_WINDOW(window));
}

void WindowMessages::tell(const char* title, const char* text) {
  GtkWidget* box = gtk_message_dialog_new(parent_, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                          GTK_BUTTONS_OK, "%s", text ? text : "");
  gtk_window_set_title(GTK_WINDOW(box), title ? title : "Orichalcumite");
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
}

void SecondaryWindows::closeAll() {
  // Destroying a window clears its pointer through its destroy handler.
  for (GtkWidget** slot : {&about_, &info_, &presetManagement_})
    if (*slot) gtk_widget_destroy(*slot);
}

}  // namespace orichalcumite
