// RAII ownership of zero-filled process-heap blocks.
#pragma once

#include <windows.h>

namespace support {

// A zero-filled block from the process heap, freed when the owner goes.
// Allocation failure leaves it empty (test with operator bool).
template <class T>
class HeapBlock {
 public:
  explicit HeapBlock(SIZE_T bytes)
      : p_(static_cast<T*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes))), size_(p_ ? bytes : 0) {}
  ~HeapBlock() { reset(); }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;

  explicit operator bool() const { return p_ != nullptr; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  SIZE_T size() const { return size_; }
  // Gives up ownership.
  T* release() {
    T* p = p_;
    p_ = nullptr;
    size_ = 0;
    return p;
  }
  void reset() {
    if (p_) HeapFree(GetProcessHeap(), 0, p_);
    p_ = nullptr;
    size_ = 0;
  }

 private:
  T* p_;
  SIZE_T size_;
};

// Frees a block taken with HeapAlloc and clears the pointer.
template <class T>
void heapFree(T*& p) {
  if (p) HeapFree(GetProcessHeap(), 0, p);
  p = nullptr;
}

}  // namespace support
