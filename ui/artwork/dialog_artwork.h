// The dialog's artwork as one GLib resource bundle, built into the program: every picture of
// artwork_catalogue.h under /org/orichalcumite/dialog/ (for example
// /org/orichalcumite/dialog/background.png). Light on purpose: no GLib header comes with it.
#pragma once

typedef struct _GResource GResource;

#ifdef __cplusplus
extern "C" {
#endif

// The bundle, made on the first call (thread-safe) and kept for the process's lifetime; the
// caller does not own it. It is not registered: a caller that wants to reach it through
// g_resources_lookup_data or resource:// URIs calls g_resources_register on it once. Null
// only if the built-in data were damaged.
GResource* orichalcumiteDialogResource(void);

#ifdef __cplusplus
}
#endif
