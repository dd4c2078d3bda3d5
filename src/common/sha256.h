#pragma once

// SHA-256 of bytes and files, for proving later that a file is the one that was recorded.
//
// Usage:
//     CSha256 hash;
//     hash.Update(part1);
//     hash.Update(part2);
//     std::string hex = hash.HexDigest();      // 64 lower-case hex digits
//     std::string fileHex; std::string error;
//     if (!Sha256OfFile(path, fileHex, error)) report(error);

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace halyx {

class CSha256 {
public:
    CSha256();

    void Update(const void* data, size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    // Ends the hash; the object must not be updated afterwards.
    std::array<uint8_t, 32> Digest();
    std::string HexDigest();

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_buffer{};
    size_t m_buffered = 0;
    uint64_t m_length = 0; // bytes hashed so far
    bool m_done = false;
};

std::string Sha256Hex(std::string_view bytes);
// Reads the file in pieces; false with the system's reason ("PATH: No such file or directory")
// when it cannot be read, and for anything but a regular file (a pipe, a device) or one of more
// than maxBytes.
inline constexpr uint64_t kMaxHashedFileBytes = uint64_t{64} << 30;
bool Sha256OfFile(const std::string& path, std::string& hex, std::string& error,
                  uint64_t maxBytes = kMaxHashedFileBytes);

} // namespace halyx
