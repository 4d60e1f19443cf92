#include "sample/Sha256.h"

#include "tests/support/TestUtil.h"

#include <random>

TEST(Sha256, PublishedDigests) {
    const struct {
        std::string text;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrst"
         "nopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        for (const Sha256::Engine engine : {Sha256::Engine::best, Sha256::Engine::portable}) {
            Sha256 h(engine);
            h.update(c.text);
            EXPECT_EQ(h.finish_hex(), c.digest) << c.text.size() << " bytes";
        }
    }
}

TEST(Sha256, PiecesOfAnySizeAndBothEnginesAgree) {
    std::mt19937 gen(3);
    std::string bytes(5000, '\0');
    for (char& b : bytes) b = static_cast<char>(gen());
    // Every length around the block and padding edges, fed in random pieces.
    for (std::size_t length : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000, 4999}) {
        const std::string text = bytes.substr(0, length);
        Sha256 portable(Sha256::Engine::portable);
        portable.update(text);
        const std::string expected = portable.finish_hex();
        Sha256 best;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t n = std::min<std::size_t>(1 + gen() % 150, text.size() - at);
            best.update(text.data() + at, n);
            at += n;
        }
        EXPECT_EQ(best.finish_hex(), expected) << length;
        EXPECT_EQ(sha256_hex(text), expected) << length;
    }
}
