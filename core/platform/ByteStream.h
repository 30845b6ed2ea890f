#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace vantrel {

/// A source of bytes read from the front, such as an open file. Reading past
/// the end, or a read error, gives fewer bytes than asked for.
class ByteStream {
public:
    virtual ~ByteStream() = default;
    /// Reads up to `size` bytes into `out`; returns how many arrived (0 at the
    /// end or after an error).
    virtual std::size_t read(void* out, std::size_t size) = 0;
    /// Reads one byte; false at the end or after an error.
    bool readByte(unsigned char& byte) { return read(&byte, 1) == 1; }
};

/// A stream over bytes held in memory (not owned).
class MemoryByteStream final : public ByteStream {
public:
    explicit MemoryByteStream(std::string_view bytes) : bytes_(bytes) {}
    std::size_t read(void* out, std::size_t size) override {
        const std::size_t n = size < bytes_.size() ? size : bytes_.size();
        if (n != 0)
            std::memcpy(out, bytes_.data(), n);
        bytes_.remove_prefix(n);
        return n;
    }

private:
    std::string_view bytes_;
};

} // namespace vantrel
