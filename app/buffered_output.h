// Gathers the many small writes of a file format into large ones before they reach a
// TemporaryFile, so that a format library writing a few bytes at a time costs one system call
// per megabyte instead of one per call. Every byte is still checked: the first failure is kept
// and every later write is dropped, so the caller learns of it once, at the end.
#pragma once

#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

#include "base/replace_file.h"
#include "base/status.h"

namespace orichalcumite {

class BufferedOutput {
 public:
  static constexpr size_t kDefaultBufferBytes = size_t(1) << 20;

  explicit BufferedOutput(TemporaryFile& file, size_t bufferBytes = kDefaultBufferBytes);
  ~BufferedOutput() = default;  // unflushed bytes are dropped: call flush() to keep them
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;

  // Writes `bytes` at byte `offset` of the file. Bytes that continue the ones held are added to
  // them; any other offset first sends the held bytes to the file. Safe from several threads.
  void writeAt(uint64_t offset, std::string_view bytes);
  // Writes at the end of the last write (the start of the file at first).
  void append(std::string_view bytes);
  // Sends the held bytes to the file. The status of everything written so far.
  Status flush();
  // From now on nothing more reaches the file: for output that will not be kept.
  void discard();
  Status status() const;
  // One past the last byte ever written.
  uint64_t end() const;

 private:
  void sendLocked();

  TemporaryFile& file_;
  const size_t bufferBytes_;
  mutable std::mutex mutex_;
  std::vector<char> held_;
  uint64_t heldOffset_ = 0;  // where held_ goes in the file
  uint64_t end_ = 0;
  bool discarding_ = false;
  Status status_;
};

}  // namespace orichalcumite
