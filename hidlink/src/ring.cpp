// The receive ring: a fixed-capacity byte ring that drops what does not fit.
#include "ring.h"

#include <cstring>
#include <new>

namespace hidlink {

ByteRing::ByteRing(size_t capacity)
    : storage_(capacity ? new (std::nothrow) uint8_t[capacity] : nullptr), capacity_(storage_ ? capacity : 0) {}

void ByteRing::reset() {
  write_ = read_ = count_ = 0;
}

size_t ByteRing::append(const uint8_t* data, size_t size) {
  size_t n = size < room() ? size : room();
  for (size_t done = 0; done < n;) {
    size_t run = capacity_ - write_;
    if (run > n - done) run = n - done;
    std::memcpy(storage_.get() + write_, data + done, run);
    write_ = (write_ + run) % capacity_;
    done += run;
  }
  count_ += n;
  return n;
}

size_t ByteRing::take(uint8_t* out, size_t capacity) {
  size_t n = capacity < count_ ? capacity : count_;
  for (size_t done = 0; done < n;) {
    size_t run = capacity_ - read_;
    if (run > n - done) run = n - done;
    std::memcpy(out + done, storage_.get() + read_, run);
    read_ = (read_ + run) % capacity_;
    done += run;
  }
  count_ -= n;
  return n;
}

}  // namespace hidlink
