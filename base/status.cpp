#include "base/status.h"

#include <cerrno>
#include <cstring>

namespace orichalcumite {

Status Status::fromErrno(int error, const std::string& context) {
  StatusCode code = StatusCode::ioError;
  if (error == ENOENT) code = StatusCode::notFound;
  if (error == EACCES || error == EPERM) code = StatusCode::permissionDenied;
  return {code, context + ": " + std::strerror(error)};
}

}  // namespace orichalcumite
