// Temporary stand-in; the picture-file work replaces this file.
#include "settings/picture_search.h"

namespace orichalcumite {

int32_t loadSettingsPicture(PictureSearch&, const std::string&, PictureWhich, bool, bool) {
  return kPictureNotFound;
}

}  // namespace orichalcumite
