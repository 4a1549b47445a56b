#include "app/buffered_output.h"

#include <algorithm>

namespace orichalcumite {

BufferedOutput::BufferedOutput(TemporaryFile& file, size_t bufferBytes)
    : file_(file), bufferBytes_(std::max<size_t>(1, bufferBytes)) {
  held_.reserve(bufferBytes_);
}

void BufferedOutput::sendLocked() {
  if (!held_.empty() && status_.ok() && !discarding_)
    status_ = file_.writeAt(heldOffset_, {held_.data(), held_.size()});
  heldOffset_ += held_.size();
  held_.clear();
}

void BufferedOutput::writeAt(uint64_t offset, std::string_view bytes) {
  std::lock_guard lock(mutex_);
  end_ = std::max(end_, offset + bytes.size());
  if (!status_.ok() || discarding_) return;
  if (offset != heldOffset_ + held_.size()) {
    sendLocked();
    heldOffset_ = offset;
  }
  // Large writes go straight through once the held bytes are out of their way.
  if (held_.size() + bytes.size() > bufferBytes_) {
    sendLocked();
    if (bytes.size() >= bufferBytes_) {
      if (status_.ok()) status_ = file_.writeAt(offset, bytes);
      heldOffset_ = offset + bytes.size();
      return;
    }
  }
  held_.insert(held_.end(), bytes.begin(), bytes.end());
}

void BufferedOutput::append(std::string_view bytes) {
  uint64_t offset = 0;
  {
    std::lock_guard lock(mutex_);
    offset = heldOffset_ + held_.size();
  }
  writeAt(offset, bytes);
}

Status BufferedOutput::flush() {
  std::lock_guard lock(mutex_);
  sendLocked();
  return status_;
}

void BufferedOutput::discard() {
  std::lock_guard lock(mutex_);
  discarding_ = true;
  held_.clear();
}

Status BufferedOutput::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

uint64_t BufferedOutput::end() const {
  std::lock_guard lock(mutex_);
  return end_;
}

}  // namespace orichalcumite
