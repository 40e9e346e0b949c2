// The version resource (RT_VERSION, type 16, name 1) of a PE file, read from the file's
// resource section without loading it: what GetFileVersionInfoA gives on Windows, for the
// portable platform. Every offset and count read from the file is checked against the file's
// size before it is used; a malformed file only yields false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tw {

// Random access to the bytes of a file.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false when they are not all there.
    virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

// A byte source over memory (the fuzzer and tests).
class MemoryByteSource final : public ByteSource {
public:
    MemoryByteSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// The version resource's bytes (the VS_VERSIONINFO block), or false when the file is not a
// PE file or has none.
bool ReadPeVersionResource(ByteSource& file, std::vector<std::uint8_t>* block);

}  // namespace tw
