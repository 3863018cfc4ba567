// 日本語テキスト as wide text and its bytes in code page 932 and in UTF-8,
// spelled out, for tests of what the writers and the conversion put on disk.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

const std::wstring kJapanese = L"\u65E5\u672C\u8A9E\u30C6\u30AD\u30B9\u30C8";
const std::vector<uint8_t> kJapaneseSjis = {0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, 0x83,
                                            0x65, 0x83, 0x4C, 0x83, 0x58, 0x83, 0x67};
const std::vector<uint8_t> kJapaneseUtf8 = {0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC, 0xE8,
                                            0xAA, 0x9E, 0xE3, 0x83, 0x86, 0xE3, 0x82,
                                            0xAD, 0xE3, 0x82, 0xB9, 0xE3, 0x83, 0x88};

}  // namespace testing_support
