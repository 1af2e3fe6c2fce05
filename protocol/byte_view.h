#pragma once
// A read-only window on received bytes. Every read checks the bound and reports
// failure instead of reading past the end.
#include <cstddef>
#include <cstdint>

namespace tavrin {

class byte_view {
  public:
    byte_view(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    size_t size() const { return size_; }
    const uint8_t* data() const { return data_; }

    bool u8(size_t at, uint8_t& out) const {
        if (at >= size_)
            return false;
        out = data_[at];
        return true;
    }
    bool be16(size_t at, uint16_t& out) const {
        if (at > size_ || size_ - at < 2)
            return false;
        out = static_cast<uint16_t>((data_[at] << 8) | data_[at + 1]);
        return true;
    }
    // The n bytes at `at`, or an empty view with ok = false when they do not fit.
    bool sub(size_t at, size_t n, byte_view& out) const {
        if (at > size_ || size_ - at < n)
            return false;
        out = byte_view(data_ + at, n);
        return true;
    }

  private:
    const uint8_t* data_;
    size_t size_;
};

}  // namespace tavrin
