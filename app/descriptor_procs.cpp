#include "app/descriptor_procs.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <unordered_map>

#include "base/utf8_text.h"

namespace orichalcumite {

struct DescriptorSuite::ReadState {
  Descriptor descriptor;
  size_t next = 0;  // index of the item getKey returns next
  const DescriptorItem* current = nullptr;
  ps::DescriptorKeyID* keys = nullptr;  // the filter's key array, or null
  ps::OSErr firstError = ps::noErr;
  ps::Handle source = nullptr;

  ps::OSErr fail(ps::OSErr error) {
    if (firstError == ps::noErr) firstError = error;
    return error;
  }
};

struct DescriptorSuite::WriteState {
  Descriptor descriptor;
  // Where each key's item is, so that a filter writing many keys takes time in step with
  // their number rather than its square.
  std::unordered_map<uint32_t, size_t> indexOfKey;
};

namespace {

std::atomic<DescriptorSuite*> gActive{nullptr};

// A filter's key array is zero-terminated; a longer run than this means it is not, and the
// search stops rather than walking through memory.
constexpr size_t kMaxKeyArrayLength = 65536;

using ReadState = DescriptorSuite::ReadState;
using WriteState = DescriptorSuite::WriteState;

bool isNumeric(uint32_t type) {
  return type == ps::typeInteger || type == ps::typeFloat || type == ps::typeBoolean ||
         type == ps::typeUnitFloat;
}

double numberOf(const DescriptorItem& item) {
  return item.type == ps::typeFloat || item.type == ps::typeUnitFloat ? item.number
                                                                      : double(item.integer);
}

// The current item of an open reader, with the failure to report when there is none.
struct Current {
  ReadState* state = nullptr;
  const DescriptorItem* item = nullptr;
  ps::OSErr error = ps::noErr;
};

Current currentOf(ps::PIReadDescriptor reader) {
  DescriptorSuite* suite = DescriptorSuite::active();
  ReadState* state = suite ? suite->findReader(reader) : nullptr;
  if (!state) return {nullptr, nullptr, ps::paramErr};
  if (!state->current) return {state, nullptr, state->fail(ps::paramErr)};
  return {state, state->current, ps::noErr};
}

ps::OSErr readInteger(ps::PIReadDescriptor reader, int32_t* value) {
  Current c = currentOf(reader);
  if (!c.item) return c.error;
  if (!value || !isNumeric(c.item->type)) return c.state->fail(ps::paramErr);
  if (c.item->type == ps::typeInteger || c.item->type == ps::typeBoolean) {
    *value = c.item->integer;
    return ps::noErr;
  }
  const double v = c.item->number;
  if (std::isnan(v)) return c.state->fail(ps::paramErr);
  *value =
      static_cast<int32_t>(std::clamp(std::round(v), double(std::numeric_limits<int32_t>::min()),
                                      double(std::numeric_limits<int32_t>::max())));
  return ps::noErr;
}

ps::OSErr readFloat(ps::PIReadDescriptor reader, double* value, ps::DescriptorUnitID* unit) {
  Current c = currentOf(reader);
  if (!c.item) return c.error;
  if (!value || !isNumeric(c.item->type)) return c.state->fail(ps::paramErr);
  *value = numberOf(*c.item);
  if (unit) *unit = c.item->type == ps::typeUnitFloat ? c.item->code : kUnitNone;
  return ps::noErr;
}

// Pins `*value` into [min, max]; coercedParamErr tells the filter it was pinned.
template <typename T> ps::OSErr pin(T* value, const T* min, const T* max) {
  if (min && *value < *min) {
    *value = *min;
    return ps::coercedParamErr;
  }
  if (max && *value > *max) {
    *value = *max;
    return ps::coercedParamErr;
  }
  return ps::noErr;
}

// Gives a new handle with `bytes`, or fails the reader.
ps::OSErr handleWith(ReadState* state, const std::string& bytes, ps::Handle* out) {
  DescriptorSuite* suite = DescriptorSuite::active();
  *out = suite ? suite->memory().newHandle(
                     std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
               : nullptr;
  return *out ? ps::noErr : state->fail(ps::memFullErr);
}

// ---- Read procedures

ps::PIReadDescriptor openReadProc(ps::PIDescriptorHandle handle,
                                  ps::DescriptorKeyIDArray keys) noexcept {
  DescriptorSuite* suite = DescriptorSuite::active();
  return suite ? suite->openReader(handle, keys) : nullptr;
}

ps::OSErr closeReadProc(ps::PIReadDescriptor reader) noexcept {
  DescriptorSuite* suite = DescriptorSuite::active();
  return suite ? suite->closeReader(reader) : ps::paramErr;
}

ps::Boolean getKeyProc(ps::PIReadDescriptor reader, ps::DescriptorKeyID* key,
                       ps::DescriptorTypeID* type, int32_t* flags) noexcept {
  DescriptorSuite* suite = DescriptorSuite::active();
  ReadState* state = suite ? suite->findReader(reader) : nullptr;
  if (!state) return false;
  if (state->next >= state->descriptor.items.size()) {
    state->current = nullptr;
    return false;
  }
  const DescriptorItem& item = state->descriptor.items[state->next++];
  state->current = &item;
  if (key) *key = item.key;
  if (type) *type = item.type;
  if (flags) *flags = ps::actionSimpleParameter;
  if (state->keys) {
    for (size_t i = 0; i < kMaxKeyArrayLength && state->keys[i] != 0; ++i) {
      if (state->keys[i] == item.key) {
        state->keys[i] = 0;
        break;
      }
    }
  }
  return true;
}

ps::OSErr getIntegerProc(ps::PIReadDescriptor reader, int32_t* value) noexcept {
  return readInteger(reader, value);
}

ps::OSErr getFloatProc(ps::PIReadDescriptor reader, double* value) noexcept {
  return readFloat(reader, value, nullptr);
}

ps::OSErr getUnitFloatProc(ps::PIReadDescriptor reader, ps::DescriptorUnitID* unit,
                           double* value) noexcept {
  if (!unit) {
    Current c = currentOf(reader);
    return c.state ? c.state->fail(ps::paramErr) : ps::paramErr;
  }
  return readFloat(reader, value, unit);
}

ps::OSErr getBooleanProc(ps::PIReadDescriptor reader, ps::Boolean* value) noexcept {
  Current c = currentOf(reader);
  if (!c.item) return c.error;
  if (!value || !isNumeric(c.item->type)) return c.state->fail(ps::paramErr);
  *value = numberOf(*c.item) != 0.0 ? 1 : 0;
  return ps::noErr;
}

ps::OSErr getBytesAsHandle(ps::PIReadDescriptor reader, ps::Handle* out, uint32_t type) {
  Current c = currentOf(reader);
  if (!c.item) return c.error;
  if (!out || c.item->type != type) return c.state->fail(ps::paramErr);
  return handleWith(c.state, c.item->bytes, out);
}

ps::OSErr getTextProc(ps::PIReadDescriptor reader, ps::Handle* text) noexcept {
  return getBytesAsHandle(reader, text, ps::typeText);
}

ps::OSErr getAliasProc(ps::PIReadDescriptor reader, ps::Handle* alias) noexcept {
  return getBytesAsHandle(reader, alias, ps::typeAlias);
}

ps::OSErr getEnumeratedProc(ps::PIReadDescriptor reader, ps::DescriptorEnumID* value) noexcept {
  Current c = currentOf(reader);
  if (!c.item) return c.error;
  if (!value || c.item->type != ps::typeEnumerated) return c.state->fail(ps::paramErr);
  *value = c.item->enumValue;
  return ps::noErr;
}

ps::OSErr getClassProc(ps::PIReadDescriptor reader, ps::DescriptorTypeID* type) noexcept {
  Current c = currentOf(reader);
  if (!c.item) return c.error;
  if (!type || (c.item->type != ps::typeClass && c.item->type != kTypeScopedClass))
    return c.state->fail(ps::paramErr);
  *type = c.item->code;
  return ps::noErr;
}

ps::OSErr getSimpleReferenceProc(ps::PIReadDescriptor reader,
                                 ps::PIDescriptorSimpleReference* reference) noexcept {
  Current c = currentOf(reader);
  if (!c.item) return c.error;
  if (!reference || c.item->type != kTypeReference ||
      c.item->bytes.size() != sizeof(ps::PIDescriptorSimpleReference))
    return c.state->fail(ps::paramErr);
  std::memcpy(reference, c.item->bytes.data(), sizeof *reference);
  return ps::noErr;
}

ps::OSErr getObjectProc(ps::PIReadDescriptor reader, ps::DescriptorTypeID* type,
                        ps::PIDescriptorHandle* object) noexcept {
  Current c = currentOf(reader);
  if (!c.item) return c.error;
  if (!object || (c.item->type != ps::typeObject && c.item->type != kTypeScopedObject))
    return c.state->fail(ps::paramErr);
  if (type) *type = c.item->code;
  return handleWith(c.state, c.item->bytes, object);
}

ps::OSErr getCountProc(ps::PIReadDescriptor reader, uint32_t* count) noexcept {
  Current c = currentOf(reader);
  if (!c.item) return c.error;
  if (!count || c.item->type != ps::typeInteger || c.item->integer < 0)
    return c.state->fail(ps::paramErr);
  *count = static_cast<uint32_t>(c.item->integer);
  return ps::noErr;
}

ps::OSErr getStringProc(ps::PIReadDescriptor reader, ps::Str255* text) noexcept {
  Current c = currentOf(reader);
  if (!c.item) return c.error;
  if (!text || c.item->type != ps::typeText) return c.state->fail(ps::paramErr);
  // A Pascal string holds at most 255 bytes; longer text is cut on the last character boundary
  // before that, so that what the filter hands back is still UTF-8.
  const size_t n = utf8PrefixLength(c.item->bytes, 255);
  (*text)[0] = static_cast<unsigned char>(n);
  std::memcpy(*text + 1, c.item->bytes.data(), n);
  return ps::noErr;
}

ps::OSErr getPinnedIntegerProc(ps::PIReadDescriptor reader, int32_t min, int32_t max,
                               int32_t* value) noexcept {
  const ps::OSErr error = readInteger(reader, value);
  return error != ps::noErr ? error : pin(value, &min, &max);
}

ps::OSErr getPinnedFloatProc(ps::PIReadDescriptor reader, const double* min, const double* max,
                             double* value) noexcept {
  const ps::OSErr error = readFloat(reader, value, nullptr);
  return error != ps::noErr ? error : pin(value, min, max);
}

ps::OSErr getPinnedUnitFloatProc(ps::PIReadDescriptor reader, const double* min, const double* max,
                                 ps::DescriptorUnitID* unit, double* value) noexcept {
  const ps::OSErr error = getUnitFloatProc(reader, unit, value);
  return error != ps::noErr ? error : pin(value, min, max);
}

// ---- Write procedures

ps::OSErr put(ps::PIWriteDescriptor writer, DescriptorItem item) {
  DescriptorSuite* suite = DescriptorSuite::active();
  WriteState* state = suite ? suite->findWriter(writer) : nullptr;
  if (!state) return ps::paramErr;
  try {
    // A key written again replaces its item in place, as Descriptor::set does.
    auto [at, added] = state->indexOfKey.try_emplace(item.key, state->descriptor.items.size());
    if (added)
      state->descriptor.items.push_back(std::move(item));
    else
      state->descriptor.items[at->second] = std::move(item);
  } catch (const std::bad_alloc&) {
    return ps::memFullErr;
  }
  return ps::noErr;
}

ps::PIWriteDescriptor openWriteProc() noexcept {
  DescriptorSuite* suite = DescriptorSuite::active();
  return suite ? suite->openWriter() : nullptr;
}

ps::OSErr closeWriteProc(ps::PIWriteDescriptor writer, ps::PIDescriptorHandle* handle) noexcept {
  DescriptorSuite* suite = DescriptorSuite::active();
  return suite ? suite->closeWriter(writer, handle) : ps::paramErr;
}

ps::OSErr putIntegerProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                         int32_t value) noexcept {
  return put(writer, DescriptorItem::integerItem(key, value));
}

ps::OSErr putFloatProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                       const double* value) noexcept {
  if (!value) return ps::paramErr;
  return put(writer, DescriptorItem::floatItem(key, *value));
}

ps::OSErr putUnitFloatProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                           ps::DescriptorUnitID unit, const double* value) noexcept {
  if (!value) return ps::paramErr;
  DescriptorItem item = DescriptorItem::floatItem(key, *value);
  item.type = ps::typeUnitFloat;
  item.code = unit;
  return put(writer, std::move(item));
}

ps::OSErr putBooleanProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                         ps::Boolean value) noexcept {
  return put(writer, DescriptorItem::booleanItem(key, value != 0));
}

ps::OSErr putHandleBytes(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key, ps::Handle h,
                         uint32_t type) {
  DescriptorSuite* suite = DescriptorSuite::active();
  if (!suite) return ps::paramErr;
  try {
    auto bytes = suite->memory().contents(h);
    if (!bytes) return ps::nilHandleErr;
    DescriptorItem item = DescriptorItem::textItem(key, std::string(bytes->begin(), bytes->end()));
    item.type = type;
    return put(writer, std::move(item));
  } catch (const std::bad_alloc&) {
    return ps::memFullErr;
  }
}

ps::OSErr putTextProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                      ps::Handle text) noexcept {
  return putHandleBytes(writer, key, text, ps::typeText);
}

ps::OSErr putAliasProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                       ps::Handle alias) noexcept {
  return putHandleBytes(writer, key, alias, ps::typeAlias);
}

ps::OSErr putEnumeratedProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                            ps::DescriptorTypeID type, ps::DescriptorEnumID value) noexcept {
  return put(writer, DescriptorItem::enumItem(key, type, value));
}

ps::OSErr putClassLike(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                       ps::DescriptorTypeID type, uint32_t itemType) {
  DescriptorItem item;
  item.key = key;
  item.type = itemType;
  item.code = type;
  return put(writer, std::move(item));
}

ps::OSErr putClassProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                       ps::DescriptorTypeID type) noexcept {
  return putClassLike(writer, key, type, ps::typeClass);
}

ps::OSErr putScopedClassProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                             ps::DescriptorTypeID type) noexcept {
  return putClassLike(writer, key, type, kTypeScopedClass);
}

ps::OSErr putSimpleReferenceProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                                 const ps::PIDescriptorSimpleReference* reference) noexcept {
  if (!reference) return ps::paramErr;
  try {
    DescriptorItem item;
    item.key = key;
    item.type = kTypeReference;
    item.bytes.assign(reinterpret_cast<const char*>(reference), sizeof *reference);
    return put(writer, std::move(item));
  } catch (const std::bad_alloc&) {
    return ps::memFullErr;
  }
}

ps::OSErr putObjectLike(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                        ps::DescriptorTypeID type, ps::PIDescriptorHandle object,
                        uint32_t itemType) {
  DescriptorSuite* suite = DescriptorSuite::active();
  if (!suite) return ps::paramErr;
  try {
    auto bytes = suite->memory().contents(object);
    if (!bytes) return ps::nilHandleErr;
    // Only a descriptor made by this host can be nested.
    if (!decodeDescriptor(*bytes, nullptr)) return ps::paramErr;
    DescriptorItem item;
    item.key = key;
    item.type = itemType;
    item.code = type;
    item.bytes.assign(bytes->begin(), bytes->end());
    return put(writer, std::move(item));
  } catch (const std::bad_alloc&) {
    return ps::memFullErr;
  }
}

ps::OSErr putObjectProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                        ps::DescriptorTypeID type, ps::PIDescriptorHandle object) noexcept {
  return putObjectLike(writer, key, type, object, ps::typeObject);
}

ps::OSErr putScopedObjectProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                              ps::DescriptorTypeID type, ps::PIDescriptorHandle object) noexcept {
  return putObjectLike(writer, key, type, object, kTypeScopedObject);
}

ps::OSErr putCountProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                       uint32_t count) noexcept {
  if (count > uint32_t(std::numeric_limits<int32_t>::max())) return ps::paramErr;
  return put(writer, DescriptorItem::integerItem(key, static_cast<int32_t>(count)));
}

ps::OSErr putStringProc(ps::PIWriteDescriptor writer, ps::DescriptorKeyID key,
                        ps::ConstStr255Param text) noexcept {
  if (!text) return ps::paramErr;
  try {
    return put(writer, DescriptorItem::textItem(
                           key, std::string(reinterpret_cast<const char*>(text + 1), text[0])));
  } catch (const std::bad_alloc&) {
    return ps::memFullErr;
  }
}

ps::ReadDescriptorProcs gReadProcs = {
    ps::kCurrentReadDescriptorProcsVersion,
    ps::kCurrentReadDescriptorProcsCount,
    openReadProc,
    closeReadProc,
    getKeyProc,
    getIntegerProc,
    getFloatProc,
    getUnitFloatProc,
    getBooleanProc,
    getTextProc,
    getAliasProc,
    getEnumeratedProc,
    getClassProc,
    getSimpleReferenceProc,
    getObjectProc,
    getCountProc,
    getStringProc,
    getPinnedIntegerProc,
    getPinnedFloatProc,
    getPinnedUnitFloatProc,
};

ps::WriteDescriptorProcs gWriteProcs = {
    ps::kCurrentWriteDescriptorProcsVersion,
    ps::kCurrentWriteDescriptorProcsCount,
    openWriteProc,
    closeWriteProc,
    putIntegerProc,
    putFloatProc,
    putUnitFloatProc,
    putBooleanProc,
    putTextProc,
    putAliasProc,
    putEnumeratedProc,
    putClassProc,
    putSimpleReferenceProc,
    putObjectProc,
    putCountProc,
    putStringProc,
    putScopedClassProc,
    putScopedObjectProc,
};

}  // namespace

DescriptorSuite::DescriptorSuite(HostMemory& memory) : memory_(memory) {}

DescriptorSuite::~DescriptorSuite() { deactivate(); }

void DescriptorSuite::activate() { gActive.store(this); }

void DescriptorSuite::deactivate() {
  DescriptorSuite* self = this;
  gActive.compare_exchange_strong(self, nullptr);
}

DescriptorSuite* DescriptorSuite::active() { return gActive.load(); }

ps::ReadDescriptorProcs* DescriptorSuite::readProcs() { return &gReadProcs; }
ps::WriteDescriptorProcs* DescriptorSuite::writeProcs() { return &gWriteProcs; }

ps::Handle DescriptorSuite::newDescriptorHandle(const Descriptor& descriptor) {
  try {
    return memory_.newHandle(encodeDescriptor(descriptor));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::optional<Descriptor> DescriptorSuite::descriptorOf(ps::Handle handle,
                                                        std::string* error) const {
  auto bytes = memory_.contents(handle);
  if (!bytes) {
    if (error) *error = "the descriptor handle is not a live handle of this host";
    return std::nullopt;
  }
  return decodeDescriptor(*bytes, error);
}

DescriptorSuite::ReadState* DescriptorSuite::findReader(ps::PIReadDescriptor reader) {
  std::lock_guard lock(mutex_);
  auto it = readers_.find(reader);
  return it == readers_.end() ? nullptr : it->second.get();
}

DescriptorSuite::WriteState* DescriptorSuite::findWriter(ps::PIWriteDescriptor writer) {
  std::lock_guard lock(mutex_);
  auto it = writers_.find(writer);
  return it == writers_.end() ? nullptr : it->second.get();
}

ps::PIReadDescriptor DescriptorSuite::openReader(ps::PIDescriptorHandle handle,
                                                 ps::DescriptorKeyIDArray keys) {
  try {
    auto descriptor = descriptorOf(handle, nullptr);
    if (!descriptor) return nullptr;
    auto state = std::make_unique<ReadState>();
    state->descriptor = std::move(*descriptor);
    state->keys = keys;
    state->source = handle;
    auto id = reinterpret_cast<ps::PIReadDescriptor>(state.get());
    std::lock_guard lock(mutex_);
    readers_.emplace(id, std::move(state));
    return id;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

ps::OSErr DescriptorSuite::closeReader(ps::PIReadDescriptor reader) {
  std::unique_ptr<ReadState> state;
  {
    std::lock_guard lock(mutex_);
    auto it = readers_.find(reader);
    if (it == readers_.end()) return ps::paramErr;
    state = std::move(it->second);
    readers_.erase(it);
  }
  memory_.dispose(state->source);
  return state->firstError;
}

ps::PIWriteDescriptor DescriptorSuite::openWriter() {
  try {
    auto state = std::make_unique<WriteState>();
    auto id = reinterpret_cast<ps::PIWriteDescriptor>(state.get());
    std::lock_guard lock(mutex_);
    writers_.emplace(id, std::move(state));
    return id;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

ps::OSErr DescriptorSuite::closeWriter(ps::PIWriteDescriptor writer,
                                       ps::PIDescriptorHandle* handle) {
  std::unique_ptr<WriteState> state;
  {
    std::lock_guard lock(mutex_);
    auto it = writers_.find(writer);
    if (it == writers_.end()) return ps::paramErr;
    state = std::move(it->second);
    writers_.erase(it);
  }
  if (!handle) return ps::paramErr;
  *handle = newDescriptorHandle(state->descriptor);
  return *handle ? ps::noErr : ps::memFullErr;
}

}  // namespace orichalcumite
