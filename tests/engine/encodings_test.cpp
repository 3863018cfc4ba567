// The table of encodings: list files and drop-down items of codes that are
// no target, and the written form of each target.
#include <gtest/gtest.h>

#include "text/detect.h"
#include "text/encodings.h"
#include "engine/store.h"

using namespace quillet;

TEST(Encodings, CodesThatAreNoTargetShareTheCopyListFileAndItem) {
    for (int code : {0, -1, 65, 51, 50, 17}) {
        EXPECT_EQ(list_stem_of_code(code), L"copy_") << code;
        EXPECT_EQ(drop_down_index(code), 0) << code;
    }
    EXPECT_EQ(code_of_list_stem(L"EUCJP"), 0);
    EXPECT_EQ(drop_down_index(74), 3);  // the items themselves are checked in the dialog's tests
}

TEST(Encodings, WrittenForms) {
    const std::wstring text = L"a\u3042";
    EXPECT_EQ(encoded_form(8, text), (std::vector<uint8_t>{'a', 0xE3, 0x81, 0x82}));
    EXPECT_EQ(encoded_form(16, text), (std::vector<uint8_t>{0xFF, 0xFE, 'a', 0, 0x42, 0x30}));
    EXPECT_EQ(encoded_form(74, text), (std::vector<uint8_t>{'a', 0x82, 0xA0}));
    for (int code : {0, 65, 51, 99})
        EXPECT_EQ(encoded_form(code, L"\xFEFF\xFEFF" L"a"), (std::vector<uint8_t>{0xFF, 0xFE, 'a', 0}))
            << code;
}
