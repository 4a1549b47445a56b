// How a render ended. The host layer turns it into the protocol's result codes; the renderer
// itself knows nothing of them.
#pragma once

namespace orichalcumite {

enum class RenderStatus {
  done,
  cancelled,     // the user asked to stop; nothing more was written
  outOfMemory,   // a buffer of the render could not be had
  sourceFailed,  // the target could not hand over its pixels; the target knows why
};

}  // namespace orichalcumite
