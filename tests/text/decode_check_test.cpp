// One pass that converts and tells whether the bytes decode exactly must give
// the platform's own results: the text of MultiByteToWideChar without flags,
// and the verdict of MultiByteToWideChar with MB_ERR_INVALID_CHARS.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "text/piece_decoder.h"

namespace {

using namespace quillet;

// Compares one input with the platform, counting disagreements (the first
// is named).
void agrees(unsigned cp, const uint8_t* data, size_t size, int& failures) {
    const char* in = reinterpret_cast<const char*>(data);
    const int len = static_cast<int>(size);
    const bool platform_exact =
        MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in, len, nullptr, 0) > 0;
    const int n = MultiByteToWideChar(cp, 0, in, len, nullptr, 0);
    std::wstring platform(static_cast<size_t>(n), L'\0');
    if (n > 0) MultiByteToWideChar(cp, 0, in, len, &platform[0], n);
    std::wstring mine = L"x";  // what was there before is kept
    const bool exact = decode_code_page(cp, data, size, mine);
    if (exact == platform_exact && mine == L"x" + platform) return;
    if (failures++ == 0)
        ADD_FAILURE() << "code page " << cp << ", " << size << " bytes from " << int(data[0])
                      << ": exact " << exact << " against " << platform_exact;
}

TEST(DecodeCheck, TextAndVerdictAreThePlatformsOnEveryPairAndRandomBuffers) {
    for (const unsigned cp : {932u, static_cast<unsigned>(CP_UTF8)}) {
        int failures = 0;
        for (unsigned a = 0; a < 256; ++a) {
            const uint8_t one[2] = {static_cast<uint8_t>(a), 0};
            agrees(cp, one, 1, failures);
            for (unsigned b = 0; b < 256; ++b) {
                const uint8_t pair[2] = {static_cast<uint8_t>(a), static_cast<uint8_t>(b)};
                agrees(cp, pair, 2, failures);
            }
        }
        std::mt19937 random(cp);
        for (int round = 0; round < 2000; ++round) {
            std::vector<uint8_t> bytes(1 + random() % 64);
            for (uint8_t& byte : bytes)
                byte = static_cast<uint8_t>(random() % 4 == 0 ? 0x20 + random() % 0x60 : random());
            agrees(cp, bytes.data(), bytes.size(), failures);
        }
        EXPECT_EQ(failures, 0) << "code page " << cp;
    }
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
