// A bounds-checked little-endian reader over bytes in memory, for every reader of outside data.
// A read past the end returns zero and sets the error flag, which stays set: a parser reads all
// its fields and checks ok() once, and never reads outside the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace runtime {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t U8() {
    uint8_t value = 0;
    Read(&value, 1);
    return value;
  }
  uint16_t U16() {
    uint8_t b[2] = {};
    Read(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
  }
  uint32_t U32() {
    uint8_t b[4] = {};
    Read(b, 4);
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
  }
  int32_t S32() { return static_cast<int32_t>(U32()); }

  // Copies `count` bytes; on a short read copies nothing, zero-fills and sets the error.
  bool Read(void* out, size_t count) {
    if (!ok_ || count > size_ - offset_) {
      ok_ = false;
      std::memset(out, 0, count);
      return false;
    }
    std::memcpy(out, data_ + offset_, count);
    offset_ += count;
    return true;
  }

  // Moves to an absolute offset; past the end sets the error.
  void Seek(size_t offset) {
    if (offset > size_) {
      ok_ = false;
      return;
    }
    offset_ = offset;
  }

  bool ok() const { return ok_; }
  size_t offset() const { return offset_; }
  size_t remaining() const { return size_ - offset_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  bool ok_ = true;
};

}  // namespace runtime
