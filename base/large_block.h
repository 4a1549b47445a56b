// Memory for the large pixel buffers of a render (the height field, band buffers, whole
// images): taken straight from the system so that it arrives zero-filled without a pass over
// it, aligned to 64 bytes, and — when it is big enough to matter — backed by transparent huge
// pages, which cuts the page faults of first touching it by a factor of up to 512.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace orichalcumite {

// Blocks from this size on are advised to use huge pages (one huge page on x86-64).
inline constexpr size_t kHugePageBytes = size_t{2} << 20;

// `bytes` (at least 1) of zero-filled memory aligned to 64 bytes, or null when it cannot be
// had. Blocks of kHugePageBytes or more start on a huge-page boundary. Release with
// releaseLargeBlock and the same size. Any thread.
void* allocateLargeBlock(size_t bytes) noexcept;
void releaseLargeBlock(void* block, size_t bytes) noexcept;

// An owned array of trivially copyable T in one large block. A fresh block is zero-filled;
// resizing keeps the block when it is already large enough, and then keeps its contents too
// (nothing is cleared), so callers that overwrite everything pay for no fill.
template <typename T> class LargeArray {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

 public:
  LargeArray() = default;
  LargeArray(LargeArray&& other) noexcept { swap(other); }
  LargeArray& operator=(LargeArray&& other) noexcept {
    LargeArray(std::move(other)).swap(*this);
    return *this;
  }
  LargeArray(const LargeArray&) = delete;
  LargeArray& operator=(const LargeArray&) = delete;
  ~LargeArray() { releaseLargeBlock(data_, capacity_ * sizeof(T)); }

  // Makes the array `count` elements long. Returns false (and leaves the array empty) when
  // the size overflows or memory runs out. Elements past the old size hold what the block
  // held: zero for a fresh block.
  bool resize(size_t count) noexcept {
    if (count <= capacity_) {
      size_ = count;
      return true;
    }
    *this = LargeArray();
    if (count > SIZE_MAX / sizeof(T)) return false;
    void* block = allocateLargeBlock(count * sizeof(T));
    if (!block) return false;
    data_ = static_cast<T*>(block);
    size_ = capacity_ = count;
    return true;
  }

  // Sets every element to zero bytes.
  void clear() noexcept {
    if (data_) std::memset(static_cast<void*>(data_), 0, size_ * sizeof(T));
  }

  T* data() { return data_; }
  const T* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }

  void swap(LargeArray& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

 private:
  T* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// A standard allocator over large blocks, for containers that must stay copyable and
// comparable (a vector of image bytes). Its blocks come zero-filled, so it leaves elements
// made without a value uninitialised: resize() on a fresh vector costs no fill pass and still
// gives zeros. Only for trivially constructible T.
template <typename T> struct LargeBlockAllocator {
  using value_type = T;
  LargeBlockAllocator() = default;
  template <typename U> LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

  T* allocate(size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    void* block = allocateLargeBlock(count * sizeof(T));
    if (!block) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* p, size_t count) noexcept { releaseLargeBlock(p, count * sizeof(T)); }
  // Default initialisation: nothing for trivial T. Values given are constructed as usual.
  template <typename U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
  template <typename U, typename... Args> void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  friend bool operator==(const LargeBlockAllocator&, const LargeBlockAllocator&) { return true; }
};

// Bytes of a whole image, plane or mask in large blocks. An ordinary vector of that size
// comes from small pages, and first touching it costs thousands of page faults.
using LargeBytes = std::vector<uint8_t, LargeBlockAllocator<uint8_t>>;

}  // namespace orichalcumite
