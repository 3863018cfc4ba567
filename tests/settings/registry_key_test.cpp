#include <gtest/gtest.h>

#include <algorithm>

#include "settings/registry_key.h"
#include "settings/value_forms.h"
#include "settings_support.h"

using namespace quillet;
using namespace settings_test;

namespace {

class RegistryKeyTest : public ::testing::Test {
protected:
    void TearDown() override { reg_delete_tree(test_key(L"")); }
    std::wstring key_ = test_key(L"reg");
    HKEY hkcu = HKEY_CURRENT_USER;
};

std::wstring entry(const std::wstring& key, const std::wstring& name) {
    return key + L"\\[" + name + L"]";
}

}  // namespace

TEST_F(RegistryKeyTest, StringAndIntegerRoundTripCreatingTheKey) {
    registry_key reg;
    EXPECT_EQ(reg.set_string(hkcu, key_.c_str(), L"Name", L"値 value"), 1);
    EXPECT_EQ(reg.set_int(hkcu, key_.c_str(), L"Count", -1), 1);
    EXPECT_EQ(reg.last_error_text(), L"");
    std::wstring raw;
    ASSERT_TRUE(reg_read_sz(key_, L"Name", raw));
    EXPECT_EQ(raw, L"値 value");
    DWORD d = 0;
    ASSERT_TRUE(reg_read_dword(key_, L"Count", d));
    EXPECT_EQ(d, 0xFFFFFFFFu);
    EXPECT_EQ(reg.get_string(hkcu, key_.c_str(), L"Name", L"dflt"), L"値 value");
    EXPECT_EQ(reg.get_int(hkcu, key_.c_str(), L"Count", 5), -1);
}

TEST_F(RegistryKeyTest, FailureTextsNameKeyAndValue) {
    registry_key reg;
    std::wstring missing = key_ + L"\\nothing";
    EXPECT_EQ(reg.get_int(hkcu, missing.c_str(), L"v", 7), 7);
    EXPECT_EQ(reg.last_error_text(), L"指定セクションを開けない　" + missing);

    reg.set_string(hkcu, key_.c_str(), L"Text", L"abc");
    reg.set_int(hkcu, key_.c_str(), L"Number", 3);
    EXPECT_EQ(reg.get_int(hkcu, key_.c_str(), L"Absent", 9), 9);
    EXPECT_EQ(reg.last_error_text(), L"エントリが存在しない　　　" + entry(key_, L"Absent"));
    EXPECT_EQ(reg.get_int(hkcu, key_.c_str(), L"Text", 9), 9);
    EXPECT_EQ(reg.last_error_text(), L"ＲＥＧ＿ＤＷＯＲＤでない　" + entry(key_, L"Text"));
    EXPECT_EQ(reg.get_string(hkcu, key_.c_str(), L"Number", L"d"), L"d");
    EXPECT_EQ(reg.last_error_text(), L"ＲＥＧ＿ＳＺでない　　　　" + entry(key_, L"Number"));
    EXPECT_EQ(reg.delete_value(hkcu, key_.c_str(), L"Absent"), 0);
    EXPECT_EQ(reg.last_error_text(), L"削除に失敗　　値　　　　　" + entry(key_, L"Absent"));
    EXPECT_EQ(reg.delete_key(hkcu, key_.c_str(), L"NoSub"), 0);
    EXPECT_EQ(reg.last_error_text(), L"削除に失敗　　キー　　　　" + entry(key_, L"NoSub"));
    // A value name beyond the registry's limit cannot be written.
    std::wstring long_name(20000, L'n');
    EXPECT_EQ(reg.set_int(hkcu, key_.c_str(), long_name.c_str(), 1), 0);
    EXPECT_EQ(reg.last_error_text(), L"登録に失敗　　　　　　　　" + entry(key_, long_name));
    // A success clears the text again.
    EXPECT_EQ(reg.get_int(hkcu, key_.c_str(), L"Number", 0), 3);
    EXPECT_EQ(reg.last_error_text(), L"");
}

TEST_F(RegistryKeyTest, EveryFailureMessageIsThirteenCharacters) {
    registry_key reg;
    std::wstring missing = key_ + L"\\none";
    reg.get_int(hkcu, missing.c_str(), L"v", 0);
    EXPECT_EQ(reg.last_error_text().size(), 13 + missing.size());
    reg.set_int(hkcu, key_.c_str(), L"n", 1);
    reg.get_string(hkcu, key_.c_str(), L"n", L"");
    EXPECT_EQ(reg.last_error_text().size(), 13 + entry(key_, L"n").size());
}

TEST_F(RegistryKeyTest, StringWithoutTerminatorIsReadWithinItsSize) {
    registry_key reg;
    std::wstring text = L"no terminator";
    ASSERT_TRUE(reg_write_raw(key_, L"Bare", REG_SZ, text.c_str(),
                              static_cast<DWORD>(text.size() * 2)));
    EXPECT_EQ(reg.get_string(hkcu, key_.c_str(), L"Bare", L"d"), text);
    // An odd byte count: the half character at the end is dropped.
    ASSERT_TRUE(reg_write_raw(key_, L"Odd", REG_SZ, text.c_str(),
                              static_cast<DWORD>(text.size() * 2 + 1)));
    EXPECT_EQ(reg.get_string(hkcu, key_.c_str(), L"Odd", L"d"), text);
    // An empty REG_SZ without any byte.
    ASSERT_TRUE(reg_write_raw(key_, L"Empty", REG_SZ, L"", 0));
    EXPECT_EQ(reg.get_string(hkcu, key_.c_str(), L"Empty", L"d"), L"");
}

TEST_F(RegistryKeyTest, LongStringIsReadWhole) {
    registry_key reg;
    std::wstring text(100000, L'x');
    text += L"end";
    ASSERT_EQ(reg.set_string(hkcu, key_.c_str(), L"Long", text.c_str()), 1);
    EXPECT_EQ(reg.get_string(hkcu, key_.c_str(), L"Long", L""), text);
}

TEST_F(RegistryKeyTest, DwordOfAnotherSizeGivesTheDefault) {
    registry_key reg;
    uint16_t small = 5;
    ASSERT_TRUE(reg_write_raw(key_, L"Short", REG_DWORD, &small, sizeof small));
    EXPECT_EQ(reg.get_int(hkcu, key_.c_str(), L"Short", 42), 42);
}

TEST_F(RegistryKeyTest, NullValueNameDeletesKeyAndNullValueDeletesValue) {
    registry_key reg;
    std::wstring sub = key_ + L"\\Sub";
    reg.set_string(hkcu, sub.c_str(), L"a", L"1");
    reg.set_string(hkcu, sub.c_str(), L"b", L"2");
    EXPECT_EQ(reg.set_string(hkcu, sub.c_str(), L"a", nullptr), 1);
    std::wstring out;
    EXPECT_FALSE(reg_read_sz(sub, L"a", out));
    EXPECT_TRUE(reg_read_sz(sub, L"b", out));
    EXPECT_EQ(reg.set_string(hkcu, sub.c_str(), nullptr, nullptr), 1);
    EXPECT_FALSE(reg_key_exists(sub));
    EXPECT_TRUE(reg_key_exists(key_));
    // Deleting a key that is not there does not create its parents.
    std::wstring ghost = key_ + L"\\Ghost\\Leaf";
    EXPECT_EQ(reg.set_string(hkcu, ghost.c_str(), nullptr, nullptr), 0);
    EXPECT_FALSE(reg_key_exists(key_ + L"\\Ghost"));
}

TEST_F(RegistryKeyTest, EnumerationListsEveryNameEvenVeryLongOnes) {
    registry_key reg;
    std::wstring long_name(2000, L'v');
    reg.set_int(hkcu, key_.c_str(), L"a", 1);
    reg.set_int(hkcu, key_.c_str(), long_name.c_str(), 2);
    reg.set_int(hkcu, key_.c_str(), L"z", 3);
    reg.set_int(hkcu, (key_ + L"\\K1").c_str(), L"x", 1);
    reg.set_int(hkcu, (key_ + L"\\K2").c_str(), L"x", 1);
    std::vector<std::wstring> values, keys;
    EXPECT_EQ(reg.enum_values(hkcu, key_.c_str(), values), 1);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_NE(std::find(values.begin(), values.end(), long_name), values.end());
    EXPECT_NE(std::find(values.begin(), values.end(), L"z"), values.end());
    EXPECT_EQ(reg.enum_keys(hkcu, key_.c_str(), keys), 1);
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"K1", L"K2"}));
    std::wstring missing = key_ + L"\\none";
    EXPECT_EQ(reg.enum_keys(hkcu, missing.c_str(), keys), 0);
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(reg.enum_keys(hkcu, nullptr, keys), 0);
}

TEST_F(RegistryKeyTest, CheckTypeLeavesTheKeyOpenOnlyOnAMatch) {
    registry_key reg;
    reg.set_int(hkcu, key_.c_str(), L"n", 1);
    ASSERT_TRUE(reg.open(hkcu, key_.c_str(), KEY_QUERY_VALUE, false));
    EXPECT_EQ(reg.check_type(L"n", REG_DWORD), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(reg.data_size(), 4u);
    EXPECT_EQ(reg.check_type(L"n", 0), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(reg.check_type(L"n", REG_SZ), static_cast<DWORD>(REG_DWORD));
    // Closed after the mismatch: a further query finds nothing.
    EXPECT_EQ(reg.check_type(L"n", REG_DWORD), 0u);
    EXPECT_EQ(reg.close(), 1);
}

TEST_F(RegistryKeyTest, RectangleAndPointTextFormsKeepTheirQuotes) {
    registry_key reg;
    EXPECT_EQ(reg.set_rect(hkcu, key_.c_str(), L"Win", RECT{1, 2, 3, 4}), 1);
    std::wstring raw;
    ASSERT_TRUE(reg_read_sz(key_, L"Win_LTRB", raw));
    EXPECT_EQ(raw, L"\"1 2 3 4\"");
    RECT r = reg.get_rect(hkcu, key_.c_str(), L"Win", RECT{9, 9, 9, 9});
    EXPECT_TRUE(same_rect(r, RECT{1, 2, 3, 4}));
    RECT d = reg.get_rect(hkcu, key_.c_str(), L"Other", RECT{5, 6, 7, 8});
    EXPECT_TRUE(same_rect(d, RECT{5, 6, 7, 8}));

    EXPECT_EQ(reg.set_point(hkcu, key_.c_str(), L"At", POINT{-5, 6}), 1);
    ASSERT_TRUE(reg_read_sz(key_, L"At_L_XY", raw));
    EXPECT_EQ(raw, L"\"-5 6\"");
    POINT p = reg.get_point(hkcu, key_.c_str(), L"At", POINT{0, 0});
    EXPECT_EQ(p.x, -5);
    EXPECT_EQ(p.y, 6);
}

TEST_F(RegistryKeyTest, SixtyFourBitValuesAsTextAndPair) {
    registry_key reg;
    EXPECT_EQ(reg.set_i64(hkcu, key_.c_str(), L"Big", 8589934591LL), 1);
    std::wstring raw;
    ASSERT_TRUE(reg_read_sz(key_, L"Big_I64_", raw));
    EXPECT_EQ(raw, L"8589934591");
    DWORD high = 0, low = 0;
    ASSERT_TRUE(reg_read_dword(key_, L"Big_H", high));
    ASSERT_TRUE(reg_read_dword(key_, L"Big_L", low));
    EXPECT_EQ(high, 1u);
    EXPECT_EQ(low, 0xFFFFFFFFu);
    EXPECT_EQ(reg.get_i64(hkcu, key_.c_str(), L"Big", 0), 8589934591LL);
    // The pair decides, not the text.
    reg.set_string(hkcu, key_.c_str(), L"Big_I64_", L"12");
    EXPECT_EQ(reg.get_i64(hkcu, key_.c_str(), L"Big", 0), 8589934591LL);
    EXPECT_EQ(reg.get_i64(hkcu, key_.c_str(), L"None", -77), -77);
    EXPECT_EQ(reg.get_i64_pair(hkcu, key_.c_str(), nullptr, 4), 4);
    EXPECT_EQ(reg.set_i64_pair(hkcu, nullptr, L"x", 4), 0);
}

TEST_F(RegistryKeyTest, DoubleKeepsFullPrecisionInTheRegistry) {
    registry_key reg;
    EXPECT_EQ(reg.set_double(hkcu, key_.c_str(), L"Ratio", 0.1), 1);
    std::wstring raw;
    ASSERT_TRUE(reg_read_sz(key_, L"Ratio_Flt_", raw));
    EXPECT_EQ(raw, L"0.10000000000000000555");
    EXPECT_EQ(reg.get_double(hkcu, key_.c_str(), L"Ratio", 2.0), 0.1);
    EXPECT_EQ(reg.get_double(hkcu, key_.c_str(), L"Absent", 2.5), 2.5);
    reg.set_string(hkcu, key_.c_str(), L"Bad_Flt_", L"not a number");
    EXPECT_EQ(reg.get_double(hkcu, key_.c_str(), L"Bad", 2.5), 0.0);
}
