// Linked into the test programs that read and write image files in their own process: points
// the image-file code at the general library built with them (it lives beside the program in
// the build, not beside the tests), unless the environment already names one.
#include <cstdlib>

namespace {

const bool gUseBuiltLibrary = [] {
  setenv("ORICHALCUMITE_IMAGE_FILES_LIBRARY", ORICHALCUMITE_IMAGE_FILES_LIBRARY_FILE, 0);
  return true;
}();

}  // namespace
