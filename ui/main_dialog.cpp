#include "ui/main_dialog.h"

namespace orichalcumite {

// A stand-in until the dialog is built: a request for the dialog is answered as if the user
// pressed OK on the effect as it stands.
bool runMainDialog(PreviewService& /*preview*/, UserMessages& /*messages*/,
                   EffectSettings& /*settings*/) {
  return true;
}

}  // namespace orichalcumite
