// A Picture as a GdkPixbuf for the dialog's small windows (thumbnails, swatches).
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

namespace orichalcumite {

class Picture;

// An 8-bit RGB copy of `picture`'s full-size level; null for an empty picture. The caller
// owns the reference.
GdkPixbuf* pictureToPixbuf(const Picture& picture);

}  // namespace orichalcumite
