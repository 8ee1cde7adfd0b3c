// The receive ring: a fixed-capacity byte ring that drops what does not fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace hidlink {

// 8 MiB, the capacity of the receive ring.
constexpr size_t kRingCapacity = 0x800000;

class ByteRing {
 public:
  // Allocates `capacity` bytes; valid() is false when that failed.
  explicit ByteRing(size_t capacity);
  bool valid() const { return storage_ != nullptr; }
  // Empties the ring.
  void reset();
  // Appends up to the free room; returns how many bytes were taken (the
  // rest is dropped).
  size_t append(const uint8_t* data, size_t size);
  // Copies out up to `capacity` bytes from the read index, wrapping at the
  // ring's capacity. Returns the count.
  size_t take(uint8_t* out, size_t capacity);

  size_t size() const { return count_; }
  size_t room() const { return capacity_ - count_; }
  size_t capacity() const { return capacity_; }
  bool hasData() const { return count_ != 0; }
  // An invalid ring (capacity 0) is empty, not full.
  bool full() const { return count_ != 0 && count_ == capacity_; }

 private:
  std::unique_ptr<uint8_t[]> storage_;
  size_t capacity_;
  size_t write_ = 0;
  size_t read_ = 0;
  size_t count_ = 0;
};

}  // namespace hidlink
