#include "common/sha256.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halyx {

namespace {

constexpr std::array<uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t Rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

} // namespace

CSha256::CSha256()
    : m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void CSha256::Block(const uint8_t* block) {
    std::array<uint32_t, 64> w;
    for (int i = 0; i < 16; ++i) {
        w[i] = uint32_t{block[4 * i]} << 24 | uint32_t{block[4 * i + 1]} << 16 |
               uint32_t{block[4 * i + 2]} << 8 | uint32_t{block[4 * i + 3]};
    }
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    uint32_t e = m_state[4], f = m_state[5], g = m_state[6], h = m_state[7];
    for (int i = 0; i < 64; ++i) {
        const uint32_t t1 =
            h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
        const uint32_t t2 =
            (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
    m_state[4] += e;
    m_state[5] += f;
    m_state[6] += g;
    m_state[7] += h;
}

void CSha256::Update(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    m_length += size;
    while (size > 0) {
        if (m_buffered == 0 && size >= 64) {
            Block(bytes);
            bytes += 64;
            size -= 64;
            continue;
        }
        const size_t take = std::min(size, 64 - m_buffered);
        std::memcpy(m_buffer.data() + m_buffered, bytes, take);
        m_buffered += take;
        bytes += take;
        size -= take;
        if (m_buffered == 64) {
            Block(m_buffer.data());
            m_buffered = 0;
        }
    }
}

std::array<uint8_t, 32> CSha256::Digest() {
    if (!m_done) {
        const uint64_t bits = m_length * 8;
        static constexpr uint8_t kPad[64] = {0x80};
        const size_t padding = m_buffered < 56 ? 56 - m_buffered : 120 - m_buffered;
        Update(kPad, padding);
        uint8_t length[8];
        for (int i = 0; i < 8; ++i) {
            length[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
        }
        Update(length, 8);
        m_done = true;
    }
    std::array<uint8_t, 32> out;
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) {
            out[4 * i + j] = static_cast<uint8_t>(m_state[i] >> (24 - 8 * j));
        }
    }
    return out;
}

std::string CSha256::HexDigest() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const uint8_t byte : Digest()) {
        hex.push_back(kHex[byte >> 4]);
        hex.push_back(kHex[byte & 0xf]);
    }
    return hex;
}

std::string Sha256Hex(std::string_view bytes) {
    CSha256 hash;
    hash.Update(bytes);
    return hash.HexDigest();
}

bool Sha256OfFile(const std::string& path, std::string& hex, std::string& error,
                  uint64_t maxBytes) {
    // O_NONBLOCK: opening a named pipe must not wait for a writer; only a regular file, as the
    // descriptor itself says, is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": not a regular file";
        return false;
    }
    const std::string tooLarge = path + ": larger than " + std::to_string(maxBytes) + " bytes";
    if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        error = tooLarge;
        return false;
    }
    CSha256 hash;
    std::array<char, 64 * 1024> buffer;
    uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = path + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<uint64_t>(n);
        if (total > maxBytes) { // it grew while being read
            error = tooLarge;
            return false;
        }
        hash.Update(buffer.data(), static_cast<size_t>(n));
    }
    hex = hash.HexDigest();
    return true;
}

} // namespace halyx
