#include "ui/artwork/dialog_artwork.h"

// glib-compile-resources writes the bundle's bytes as orichalcumite_dialog_resource_data (its
// --c-name followed by _resource_data). The file is included rather than compiled alone so
// that the bundle can be handed out without registering it: the generated accessors register
// it process-wide as a side effect.
#include "dialog_resources.c"

GResource* orichalcumiteDialogResource(void) {
  static GResource* resource = NULL;
  static gsize made_once = 0;
  if (g_once_init_enter(&made_once)) {
    // The data are static and 8-byte aligned, as g_resource_new_from_data wants; the bytes
    // end with a terminating zero that is not part of the bundle.
    GBytes* bytes = g_bytes_new_static(orichalcumite_dialog_resource_data.data,
                                       sizeof(orichalcumite_dialog_resource_data.data) - 1);
    resource = g_resource_new_from_data(bytes, NULL);
    g_bytes_unref(bytes);
    g_once_init_leave(&made_once, 1);
  }
  return resource;
}
