#include <gtest/gtest.h>

#include "base/paths.h"
#include "settings/profile.h"
#include "settings/value_forms.h"
#include "settings_support.h"

using namespace quillet;
using namespace settings_test;

namespace {

class ProfileTest : public SettingsTest {
protected:
    // A file of its own for each test, with the given [Debug] switches.
    std::wstring prepare(const std::wstring& name, int write, int log) {
        std::wstring path = ini_file(name);
        if (write) WritePrivateProfileStringW(L"Debug", L"Write", L"1", path.c_str());
        if (log) WritePrivateProfileStringW(L"Debug", L"Log", L"1", path.c_str());
        return path;
    }
    static void put(const std::wstring& path, const wchar_t* s, const wchar_t* k, const wchar_t* v) {
        WritePrivateProfileStringW(s, k, v, path.c_str());
    }
    static std::wstring raw(const std::wstring& path, const wchar_t* s, const wchar_t* k) {
        wchar_t buf[512] = {};
        GetPrivateProfileStringW(s, k, L"<absent>", buf, 512, path.c_str());
        return buf;
    }
};

}  // namespace

TEST_F(ProfileTest, DefaultNameIsTheProgramTitleInTheIniFolder) {
    profile p(L"");
    EXPECT_EQ(p.path(), folder() + L"\\" + path_title(module_path()) + L".INI");
    EXPECT_EQ(p.write_switch(), 0);
    EXPECT_EQ(p.log_switch(), 0);
}

TEST_F(ProfileTest, IntegersAndStringsRoundTripThroughTheFile) {
    profile p(ini_file(L"plain.ini"));
    EXPECT_EQ(p.write_int(L"Main", L"Count", -12), 1);
    EXPECT_EQ(p.write_string(L"Main", L"Name", L"値 and text"), 1);
    EXPECT_EQ(raw(p.path(), L"Main", L"Count"), L"-12");
    EXPECT_EQ(raw(p.path(), L"Main", L"Name"), L"値 and text");
    pass_flush_period();
    flush_profile_cache(false);
    EXPECT_EQ(p.get_int(L"Main", L"Count", 0), -12);
    EXPECT_EQ(p.get_string(L"Main", L"Name", L""), L"値 and text");
    EXPECT_EQ(p.get_int(L"Main", L"Absent", 77), 77);
    EXPECT_EQ(p.get_string(L"Main", L"Absent", nullptr), L"");
}

TEST_F(ProfileTest, NullSectionOrKeyGivesTheDefaultWithoutCacheOrLog) {
    std::wstring path = prepare(L"nulls.ini", 0, 1);
    profile p(path);
    size_t ints = cached_int_count(), strings = cached_string_count();
    EXPECT_EQ(p.get_int(nullptr, L"k", 3), 3);
    EXPECT_EQ(p.get_int(L"S", nullptr, 4), 4);
    EXPECT_EQ(p.get_string(nullptr, L"k", L"d"), L"d");
    EXPECT_EQ(p.get_string(L"S", nullptr, L"e"), L"e");
    EXPECT_EQ(cached_int_count(), ints);
    EXPECT_EQ(cached_string_count(), strings);
    EXPECT_EQ(p.write_int(nullptr, L"k", 1), 0);
    EXPECT_EQ(p.write_string(nullptr, L"k", L"v"), 0);
    for (const std::wstring& line : log_lines_with(path))
        EXPECT_EQ(line.find(L"\t S\t"), std::wstring::npos) << "logged: " << line.size();
}

TEST_F(ProfileTest, SecondReadWithinTheFlushPeriodIsACacheHit) {
    std::wstring path = prepare(L"hits.ini", 0, 1);
    put(path, L"Main", L"Size", L"5");
    profile p(path);
    ASSERT_EQ(p.log_switch(), 1);
    EXPECT_EQ(p.get_int(L"Main", L"Size", 1), 5);
    put(path, L"Main", L"Size", L"6");  // changed behind the profile's back
    EXPECT_EQ(p.get_int(L"Main", L"Size", 1), 5);
    EXPECT_EQ(p.get_int(L"Main", L"Size", 1), 5);
    std::vector<std::wstring> reads = log_lines_with(L"GetInt\t " + path + L"\t Main\t Size");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_NE(reads[0].find(L"GetInt\t " + path + L"\t Main\t Size\t 1\t 5"), std::wstring::npos);
    int index = p.cache_find_int(L"Main", L"Size");  // a third hit
    ASSERT_GE(index, 0);
    EXPECT_EQ(cached_int_hits(index), 3);

    // After more than 10 seconds the next insertion flushes both caches,
    // logging each entry with its hit count.
    pass_flush_period();
    EXPECT_EQ(p.get_string(L"Main", L"Other", L"x"), L"x");
    std::vector<std::wstring> flushed = log_lines_with(L"Cache \t " + path + L"\t Main\t Size");
    ASSERT_EQ(flushed.size(), 1u);
    EXPECT_NE(flushed[0].find(L"Cache \t " + path + L"\t Main\t Size\t 5\t \t 3"),
              std::wstring::npos);
    EXPECT_EQ(p.get_int(L"Main", L"Size", 1), 6);
    EXPECT_EQ(log_lines_with(L"GetInt\t " + path + L"\t Main\t Size").size(), 2u);
}

TEST_F(ProfileTest, StringReadsAreLoggedWithDefaultAndResult) {
    std::wstring path = prepare(L"strlog.ini", 0, 1);
    put(path, L"Main", L"Name", L"abc");
    profile p(path);
    EXPECT_EQ(p.get_string(L"Main", L"Name", L"dflt"), L"abc");
    std::vector<std::wstring> lines = log_lines_with(L"GetStr\t " + path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"GetStr\t " + path + L"\t Main\t Name\t dflt\t abc"),
              std::wstring::npos);
}

TEST_F(ProfileTest, WriteSwitchCreatesAbsentEntriesWithTheDefault) {
    std::wstring path = prepare(L"write.ini", 1, 0);
    profile p(path);
    EXPECT_EQ(p.write_switch(), 1);
    EXPECT_EQ(raw(path, L"Main", L"Width"), L"<absent>");
    EXPECT_EQ(p.get_int(L"Main", L"Width", 640), 640);
    EXPECT_EQ(p.get_string(L"Main", L"Title", L"untitled"), L"untitled");
    EXPECT_EQ(raw(path, L"Main", L"Width"), L"640");
    EXPECT_EQ(raw(path, L"Main", L"Title"), L"untitled");
    // The switches read before "Write" was known are not written back; "Log",
    // read after it, is.
    EXPECT_EQ(raw(path, L"Debug\\2009_09", L"UseProfileCache"), L"<absent>");
    EXPECT_EQ(raw(path, L"Debug", L"Write"), L"1");
    EXPECT_EQ(raw(path, L"Debug", L"Log"), L"0");
}

TEST_F(ProfileTest, WithTheCacheSwitchedOffEveryReadGoesToTheFile) {
    std::wstring path = ini_file(L"nocache.ini");
    put(path, L"Debug\\2009_09", L"UseProfileCache", L"0");
    put(path, L"Main", L"Size", L"1");
    profile p(path);
    EXPECT_EQ(use_cache_switch(), 0);
    flush_profile_cache(false);
    EXPECT_EQ(p.get_int(L"Main", L"Size", 0), 1);
    put(path, L"Main", L"Size", L"2");
    EXPECT_EQ(p.get_int(L"Main", L"Size", 0), 2);
    EXPECT_EQ(p.write_string(L"Main", L"Name", L"n"), 1);
    EXPECT_EQ(cached_int_count(), 0u);
    EXPECT_EQ(cached_string_count(), 0u);
    EXPECT_EQ(p.cache_find_int(L"Main", L"Size"), -1);
    // A later profile on a file without the entry keeps the switch as it is.
    profile q(ini_file(L"other.ini"));
    EXPECT_EQ(use_cache_switch(), 0);
}

TEST_F(ProfileTest, DeletedEntriesReadBackAsAbsent) {
    profile p(ini_file(L"delete.ini"));
    p.write_string(L"Main", L"Name", L"x");
    p.write_string(L"Main", L"Kept", L"y");
    p.write_string(L"Gone", L"A", L"1");
    EXPECT_EQ(p.get_int(L"Gone", L"A", 0), 1);
    EXPECT_EQ(p.write_string(L"Main", L"Name", nullptr), 1);
    EXPECT_EQ(raw(p.path(), L"Main", L"Name"), L"<absent>");
    EXPECT_EQ(p.get_string(L"Main", L"Name", L"default"), L"default");
    EXPECT_EQ(p.write_string(L"Gone", nullptr, nullptr), 1);
    EXPECT_EQ(raw(p.path(), L"Gone", L"A"), L"<absent>");
    EXPECT_EQ(p.get_string(L"Gone", L"A", L"d"), L"d");
    EXPECT_EQ(p.get_int(L"Gone", L"A", 9), 9);
    EXPECT_EQ(p.get_string(L"Main", L"Kept", L""), L"y");
}

TEST_F(ProfileTest, AWriteOfOneKindIsSeenByReadsOfTheOther) {
    profile p(ini_file(L"kinds.ini"));
    p.write_string(L"Main", L"N", L"3");
    EXPECT_EQ(p.get_string(L"Main", L"N", L""), L"3");
    p.write_int(L"Main", L"N", 5);
    EXPECT_EQ(p.get_string(L"Main", L"N", L""), L"5");
    EXPECT_EQ(p.get_int(L"Main", L"N", 0), 5);
    p.write_string(L"Main", L"N", L"8");
    EXPECT_EQ(p.get_int(L"Main", L"N", 0), 8);
}

TEST_F(ProfileTest, WriteIfAbsentWritesOnlyMissingEntries) {
    profile p(ini_file(L"absent.ini"));
    p.write_string(L"Main", L"Have", L"old");
    p.write_int(L"Main", L"HaveInt", 0);
    EXPECT_EQ(p.write_string_if_absent(L"Main", L"Have", L"new"), 0);
    EXPECT_EQ(raw(p.path(), L"Main", L"Have"), L"old");
    EXPECT_EQ(p.write_string_if_absent(L"Main", L"New", L"value"), 1);
    EXPECT_EQ(raw(p.path(), L"Main", L"New"), L"value");
    EXPECT_EQ(p.write_int_if_absent(L"Main", L"HaveInt", 7), 0);
    EXPECT_EQ(raw(p.path(), L"Main", L"HaveInt"), L"0");
    EXPECT_EQ(p.write_int_if_absent(L"Main", L"NewInt", 7), 1);
    EXPECT_EQ(raw(p.path(), L"Main", L"NewInt"), L"7");
    // With a null key the write would have deleted the section.
    EXPECT_EQ(p.write_string_if_absent(L"Main", nullptr, L"v"), 0);
    EXPECT_EQ(raw(p.path(), L"Main", L"Have"), L"old");
}

TEST_F(ProfileTest, LongValuesAreReadWhole) {
    profile p(ini_file(L"long.ini"));
    std::wstring value(25000, L'a');
    value += L"end";
    ASSERT_EQ(p.write_string(L"Main", L"Long", value.c_str()), 1);
    flush_profile_cache(false);
    EXPECT_EQ(p.get_string(L"Main", L"Long", L""), value);
}

TEST_F(ProfileTest, RectangleIsWrittenInBothForms) {
    profile p(ini_file(L"rect.ini"));
    EXPECT_EQ(p.write_rect(L"Pos", L"Win", RECT{1, 2, 3, 4}), 1);
    std::wstring text = ini_text(p.path());
    EXPECT_NE(text.find(L"Win_LTRB=\"1 2 3 4\"\r\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"Win=000000001 000000002 000000003 000000004\r\n"), std::wstring::npos);
    flush_profile_cache(false);
    EXPECT_TRUE(same_rect(p.get_rect(L"Pos", L"Win", RECT{}), RECT{1, 2, 3, 4}));
    EXPECT_TRUE(same_rect(p.get_rect(L"Pos", L"None", RECT{7, 8, 9, 10}), RECT{7, 8, 9, 10}));
    put(p.path(), L"Pos", L"Two", L"000000011 000000012");
    EXPECT_TRUE(same_rect(p.get_rect_padded(L"Pos", L"Two", RECT{5, 5, 5, 5}), RECT{11, 12, 0, 0}));
}

TEST_F(ProfileTest, PointAndNegativeValuesInPaddedForm) {
    profile p(ini_file(L"point.ini"));
    EXPECT_EQ(p.write_point(L"Pos", L"At", POINT{-5, 30}), 1);
    EXPECT_EQ(raw(p.path(), L"Pos", L"At"), L"-00000005 000000030");
    EXPECT_NE(ini_text(p.path()).find(L"At_L_XY=\"-5 30\""), std::wstring::npos);
    flush_profile_cache(false);
    POINT q = p.get_point(L"Pos", L"At", POINT{});
    EXPECT_EQ(q.x, -5);
    EXPECT_EQ(q.y, 30);
}

TEST_F(ProfileTest, SixtyFourBitValueFromTheHighAndLowHalves) {
    profile p(ini_file(L"i64.ini"));
    put(p.path(), L"N", L"V_H", L"1");
    put(p.path(), L"N", L"V_L", L"-1");
    EXPECT_EQ(p.get_i64(L"N", L"V", 0), 8589934591LL);
    EXPECT_EQ(p.write_i64(L"N", L"W", -8589934592LL), 1);
    EXPECT_EQ(raw(p.path(), L"N", L"W_I64_"), L"-8589934592");
    EXPECT_EQ(raw(p.path(), L"N", L"W_H"), L"-2");
    EXPECT_EQ(raw(p.path(), L"N", L"W_L"), L"0");
    flush_profile_cache(false);
    EXPECT_EQ(p.get_i64(L"N", L"W", 0), -8589934592LL);
    EXPECT_EQ(p.get_i64(L"N", L"Missing", 1234567890123LL), 1234567890123LL);
}

TEST_F(ProfileTest, DoubleIsReadBackFromTheShortForm) {
    profile p(ini_file(L"double.ini"));
    EXPECT_EQ(p.write_double(L"N", L"Ratio", 1.0 / 3), 1);
    EXPECT_EQ(raw(p.path(), L"N", L"Ratio_Flt_"), L"0.33333333333333331483");
    EXPECT_EQ(raw(p.path(), L"N", L"Ratio"), L"0.333333");
    flush_profile_cache(false);
    EXPECT_EQ(p.get_double(L"N", L"Ratio", 0), 0.333333);
    EXPECT_EQ(p.get_double(L"N", L"Missing", 2.5), 2.5);
    put(p.path(), L"N", L"Bad", L"oops");
    EXPECT_EQ(p.get_double_short(L"N", L"Bad", 2.5), 0.0);
}

TEST_F(ProfileTest, RealClockServesRepeatedReadsFromMemory) {
    use_real_clock();
    std::wstring path = ini_file(L"realclock.ini");
    put(path, L"Main", L"Size", L"1");
    profile p(path);
    EXPECT_EQ(p.get_int(L"Main", L"Size", 0), 1);
    put(path, L"Main", L"Size", L"2");
    // Well within the 10 seconds of the flush period.
    EXPECT_EQ(p.get_int(L"Main", L"Size", 0), 1);
    EXPECT_GE(p.cache_find_int(L"Main", L"Size"), 0);
}
