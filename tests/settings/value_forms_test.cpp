#include <gtest/gtest.h>

#include "settings/value_forms.h"

using namespace quillet;

namespace {
void expect_rect(const RECT& r, LONG l, LONG t, LONG rr, LONG b) {
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rr);
    EXPECT_EQ(r.bottom, b);
}
}  // namespace

TEST(ValueForms, NumberTextsUseTheRadixClampedTo2To36) {
    EXPECT_EQ(i64_text(255, 16), L"ff");
    EXPECT_EQ(i64_text(-5), L"-5");
    EXPECT_EQ(i64_text(8589934591LL), L"8589934591");
    EXPECT_EQ(int_text(5, 1), L"101");   // radix 2
    EXPECT_EQ(int_text(35, 99), L"z");   // radix 36
    EXPECT_EQ(int_text(-2147483647 - 1), L"-2147483648");
}

TEST(ValueForms, RectangleTextFormIsQuotedWithSingleSpaces) {
    EXPECT_EQ(rect_text(RECT{1, 2, 3, 4}), L"\"1 2 3 4\"");
    EXPECT_EQ(point_text(POINT{-7, 8}), L"\"-7 8\"");
}

TEST(ValueForms, PaddedFormsKeepTheSignBeforeTheZeros) {
    EXPECT_EQ(rect_padded_text(RECT{10, 20, 300, 400}), L"000000010 000000020 000000300 000000400");
    EXPECT_EQ(rect_padded_text(RECT{1, 2, 3, 4}), L"000000001 000000002 000000003 000000004");
    EXPECT_EQ(point_padded_text(POINT{-5, 5}), L"-00000005 000000005");
}

TEST(ValueForms, DoubleFormsExactAndShort) {
    EXPECT_EQ(double_text(0.5), L"0.5");
    EXPECT_EQ(double_text(0.1), L"0.10000000000000000555");
    EXPECT_EQ(double_short_text(1.0 / 3), L"0.333333");
    EXPECT_DOUBLE_EQ(text_double(double_text(1.0 / 3)), 1.0 / 3);
    EXPECT_EQ(text_double(L"abc"), 0.0);
}

TEST(ValueForms, QuotingOnlyWhenCommaTabOrSpace) {
    EXPECT_EQ(quote_text(L"ab"), L"ab");
    EXPECT_EQ(quote_text(L"a,b"), L"\"a,b\"");
    EXPECT_EQ(quote_text(L"a\tb"), L"\"a\tb\"");
    EXPECT_EQ(unquote_text(L"\"a b\""), L"a b");
    EXPECT_EQ(unquote_text(L"'x'"), L"x");
    EXPECT_EQ(unquote_text(L"\""), L"\"");
    EXPECT_EQ(unquote_text(L"\"a'"), L"\"a'");
    EXPECT_EQ(unquote_text(L"\"\""), L"");
}

TEST(ValueForms, SplittingGivesEmptyTokensForDoubleSpaces) {
    std::vector<std::wstring> t = split_spaces(L"1  2");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0], L"1");
    EXPECT_EQ(t[1], L"");
    EXPECT_EQ(t[2], L"2");
    EXPECT_TRUE(split_spaces(L"").size() == 1 && split_spaces(L"")[0].empty());
    expect_rect(text_rect(L"1  2 3"), 1, 0, 2, 3);
}

TEST(ValueForms, MissingTokensAreZeroAndExtraTokensIgnored) {
    expect_rect(text_rect(L"000000005 000000006"), 5, 6, 0, 0);
    expect_rect(text_rect(L"1 2 3 4 5 6"), 1, 2, 3, 4);
    expect_rect(text_rect(L"x y"), 0, 0, 0, 0);
    POINT p = text_point(L"-00000005 7 9");
    EXPECT_EQ(p.x, -5);
    EXPECT_EQ(p.y, 7);
}

TEST(ValueForms, SixtyFourBitHalves) {
    EXPECT_EQ(i64_from_halves(1, -1), 8589934591LL);
    EXPECT_EQ(i64_high(8589934591LL), 1);
    EXPECT_EQ(i64_low(8589934591LL), -1);
    EXPECT_EQ(i64_from_halves(i64_high(-2), i64_low(-2)), -2);
    int64_t big = -1234567890123456789LL;
    EXPECT_EQ(i64_from_halves(i64_high(big), i64_low(big)), big);
}
