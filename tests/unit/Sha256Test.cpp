// The standard's own examples (FIPS 180-4 and its published vectors), fed
// whole and in uneven pieces, so that the padding's edges are met.
#include "Sha256.h"

#include <gtest/gtest.h>

namespace {

std::string Digest(const std::string& text, std::size_t piece)
{
    qb480::CSha256 hash;
    for (std::size_t at = 0; at < text.size(); at += piece)
        hash.Add(text.data() + at, std::min(piece, text.size() - at));
    return hash.HexDigest();
}

}  // namespace

TEST(Sha256, GivesTheStandardsDigestsHoweverTheBytesArrive)
{
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [text, digest] : cases)
        for (std::size_t piece : {std::size_t(1), std::size_t(63), std::size_t(64), std::size_t(1000)})
            EXPECT_EQ(Digest(text, piece), digest) << text.size() << " bytes in pieces of " << piece;
}
