// One pass that converts and tells whether the bytes decode exactly must give
// the platform's own results: the text of MultiByteToWideChar without flags,
// and the verdict of MultiByteToWideChar with MB_ERR_INVALID_CHARS.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/piece_decoder.h"

namespace {

using namespace quillet;

struct platform_result {
    std::wstring text;
    bool exact = false;
};

platform_result platform_decode(unsigned cp, const uint8_t* data, size_t size) {
    const char* in = reinterpret_cast<const char*>(data);
    const int len = static_cast<int>(size);
    platform_result result;
    result.exact = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in, len, nullptr, 0) > 0;
    const int n = MultiByteToWideChar(cp, 0, in, len, nullptr, 0);
    result.text.resize(static_cast<size_t>(n));
    if (n > 0) MultiByteToWideChar(cp, 0, in, len, &result.text[0], n);
    return result;
}

// Checks every input given to it; returns how many disagreed (and names the first).
class agreement {
public:
    explicit agreement(unsigned cp) : cp_(cp) {}
    void check(const uint8_t* data, size_t size) {
        std::wstring mine = L"x";  // what was there before is kept
        const bool exact = decode_code_page(cp_, data, size, mine);
        const platform_result platform = platform_decode(cp_, data, size);
        if (exact == platform.exact && mine == L"x" + platform.text) return;
        if (failures_++ == 0)
            ADD_FAILURE() << "code page " << cp_ << ", " << size << " bytes from " << int(data[0])
                          << ": exact " << exact << " against " << platform.exact << ", text of "
                          << platform.text.size() << " units, first " << int(platform.text[0]);
    }
    int failures() const { return failures_; }

private:
    unsigned cp_;
    int failures_ = 0;
};

void check_all_pairs_and_random_buffers(unsigned cp) {
    agreement agree(cp);
    for (unsigned a = 0; a < 256; ++a) {
        const uint8_t one[1] = {static_cast<uint8_t>(a)};
        agree.check(one, 1);
        for (unsigned b = 0; b < 256; ++b) {
            const uint8_t pair[2] = {static_cast<uint8_t>(a), static_cast<uint8_t>(b)};
            agree.check(pair, 2);
        }
    }
    std::mt19937 random(cp);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bytes(1 + random() % 64);
        for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random() % 4 == 0 ? 0x20 + random() % 0x60 : random());
        agree.check(bytes.data(), bytes.size());
    }
    EXPECT_EQ(agree.failures(), 0);
}

TEST(DecodeCheck, ShiftJisTextAndVerdictAreThePlatformsOnEveryPairAndRandomBuffers) {
    check_all_pairs_and_random_buffers(932);
}

TEST(DecodeCheck, Utf8TextAndVerdictAreThePlatformsOnEveryPairAndRandomBuffers) {
    check_all_pairs_and_random_buffers(CP_UTF8);
}

TEST(DecodeCheck, ValidJapaneseTextHoldingTheMiddleDotIsExact) {
    // 0x81 0x45 is the katakana middle dot, the code page's own default
    // character: valid text that holds it still decodes exactly.
    const uint8_t bytes[] = {0x93, 0xFA, 0x81, 0x45, 0x96, 0x7B};
    std::wstring text;
    EXPECT_TRUE(decode_code_page(932, bytes, sizeof bytes, text));
    EXPECT_EQ(text, L"\u65E5\u30FB\u672C");
}

}  // namespace
