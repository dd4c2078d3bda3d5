#include "common/sha256.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace halyx {
namespace {

// The published test vectors, including the two-block message and the padding edges where the
// length no longer fits in the first block (55, 56 and 64 bytes).
TEST(Sha256, StandardVectors) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(
        Sha256Hex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklm"
                  "nopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
        "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    EXPECT_EQ(Sha256Hex(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Sha256Hex(std::string(56, 'a')),
              "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(Sha256Hex(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Pieces of every size give the same hash as the whole, and a file the same as its bytes.
TEST(Sha256, PiecesAndFiles) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text.push_back(static_cast<char>(i * 7));
    }
    const std::string whole = Sha256Hex(text);
    for (size_t step : {1u, 3u, 63u, 64u, 65u, 129u}) {
        CSha256 hash;
        for (size_t i = 0; i < text.size(); i += step) {
            hash.Update(std::string_view(text).substr(i, step));
        }
        EXPECT_EQ(hash.HexDigest(), whole) << step;
    }
    const std::string path = ::testing::TempDir() + "sha256_file.bin";
    std::ofstream(path, std::ios::binary) << text;
    std::string hex;
    std::string error;
    ASSERT_TRUE(Sha256OfFile(path, hex, error)) << error;
    EXPECT_EQ(hex, whole);
    EXPECT_FALSE(Sha256OfFile(path + ".missing", hex, error));
    EXPECT_NE(error.find("sha256_file.bin.missing: No such file"), std::string::npos) << error;
}

} // namespace
} // namespace halyx
