// The host's descriptor procedures: all 18 read and 16 write procedures of the filter protocol
// over the in-memory Descriptor.
//
// Reading: opening takes a descriptor handle and the filter's zero-terminated key array; each
// key getKey returns is zeroed in that array. The get procedures read the item getKey returned
// last and convert between integer, float and boolean values numerically (floats round to the
// nearest integer; any non-zero number is true); other types must match. The first error of a
// reader is returned again by closing it, and closing disposes the descriptor handle.
// Writing: each put replaces an item of the same key or appends one; closing hands back a new
// handle holding the descriptor.
//
// Readers and writers that the filter never closes are released with the DescriptorSuite. The
// tables reach the suite made active with activate(); every procedure is noexcept and refuses
// unknown readers, writers and handles.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "app/descriptor.h"
#include "app/host_memory.h"
#include "protocol/filter_protocol.h"

namespace orichalcumite {

class DescriptorSuite {
 public:
  explicit DescriptorSuite(HostMemory& memory);
  ~DescriptorSuite();
  DescriptorSuite(const DescriptorSuite&) = delete;
  DescriptorSuite& operator=(const DescriptorSuite&) = delete;

  void activate();
  void deactivate();
  static DescriptorSuite* active();

  static ps::ReadDescriptorProcs* readProcs();
  static ps::WriteDescriptorProcs* writeProcs();

  // A new handle holding `descriptor`, or null when memory is short.
  ps::Handle newDescriptorHandle(const Descriptor& descriptor);
  // The descriptor held by a live handle; nothing (with the reason) for a dead handle or
  // bytes that are not a descriptor.
  std::optional<Descriptor> descriptorOf(ps::Handle handle, std::string* error) const;

  HostMemory& memory() { return memory_; }

  struct ReadState;
  struct WriteState;

  ReadState* findReader(ps::PIReadDescriptor reader);
  WriteState* findWriter(ps::PIWriteDescriptor writer);
  ps::PIReadDescriptor openReader(ps::PIDescriptorHandle handle, ps::DescriptorKeyIDArray keys);
  ps::OSErr closeReader(ps::PIReadDescriptor reader);
  ps::PIWriteDescriptor openWriter();
  ps::OSErr closeWriter(ps::PIWriteDescriptor writer, ps::PIDescriptorHandle* handle);

 private:
  HostMemory& memory_;
  std::mutex mutex_;
  std::unordered_map<ps::PIReadDescriptor, std::unique_ptr<ReadState>> readers_;
  std::unordered_map<ps::PIWriteDescriptor, std::unique_ptr<WriteState>> writers_;
};

}  // namespace orichalcumite
