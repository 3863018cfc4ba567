#include "settings/value_forms.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "settings/profile.h"
#include "settings/registry_key.h"

namespace quillet {

const wchar_t* const suffix_i64 = L"_I64_";
const wchar_t* const suffix_high = L"_H";
const wchar_t* const suffix_low = L"_L";
const wchar_t* const suffix_double = L"_Flt_";
const wchar_t* const suffix_rect = L"_LTRB";
const wchar_t* const suffix_point = L"_L_XY";

namespace {

int clamp_radix(int radix) { return radix < 2 ? 2 : (radix > 36 ? 36 : radix); }

// printf-style formatting with the C99 rules (two-digit exponents, "-00000005"
// for "%09d" of -5), into a buffer large enough for every form used here.
template <typename... Args>
std::wstring format(const wchar_t* pattern, Args... args) {
    wchar_t buffer[1024] = {};
    int n = __mingw_snwprintf(buffer, 1023, pattern, args...);
    if (n < 0) return std::wstring();
    return std::wstring(buffer, n < 1023 ? n : 1023);
}

std::wstring with_suffix(const wchar_t* name, const wchar_t* suffix) {
    return std::wstring(name) + suffix;
}

}  // namespace

std::wstring i64_text(int64_t value, int radix) {
    wchar_t buffer[72] = {};
    _i64tow(value, buffer, clamp_radix(radix));
    return buffer;
}

std::wstring int_text(int value, int radix) {
    wchar_t buffer[40] = {};
    _itow(value, buffer, clamp_radix(radix));
    return buffer;
}

std::wstring double_text(double value) { return format(L"%.20g", value); }
std::wstring double_short_text(double value) { return format(L"%g", value); }
double text_double(const std::wstring& text) { return wcstod(text.c_str(), nullptr); }

std::wstring rect_text(const RECT& r) {
    return quote_text(format(L"%d %d %d %d", (int)r.left, (int)r.top, (int)r.right, (int)r.bottom));
}

std::wstring point_text(const POINT& p) { return quote_text(format(L"%d %d", (int)p.x, (int)p.y)); }

std::wstring rect_padded_text(const RECT& r) {
    return format(L"%09d %09d %09d %09d", (int)r.left, (int)r.top, (int)r.right, (int)r.bottom);
}

std::wstring point_padded_text(const POINT& p) { return format(L"%09d %09d", (int)p.x, (int)p.y); }

std::wstring quote_text(const std::wstring& text) {
    if (text.find_first_of(L", \t") == std::wstring::npos) return text;
    return L"\"" + text + L"\"";
}

std::wstring unquote_text(const std::wstring& text) {
    if (text.size() >= 2 && text.front() == text.back() &&
        (text.front() == L'"' || text.front() == L'\''))
        return text.substr(1, text.size() - 2);
    return text;
}

std::vector<std::wstring> split_spaces(const std::wstring& text) {
    std::vector<std::wstring> tokens;
    std::wstring rest = text + L" ";
    size_t start = 0;
    for (;;) {
        size_t space = rest.find(L' ', start);
        if (space == std::wstring::npos) break;
        tokens.push_back(rest.substr(start, space - start));
        start = space + 1;
    }
    return tokens;
}

RECT text_rect(const std::wstring& text) {
    std::vector<std::wstring> t = split_spaces(text);
    LONG v[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 4 && i < t.size(); ++i) v[i] = _wtoi(t[i].c_str());
    return RECT{v[0], v[1], v[2], v[3]};
}

POINT text_point(const std::wstring& text) {
    std::vector<std::wstring> t = split_spaces(text);
    LONG v[2] = {0, 0};
    for (size_t i = 0; i < 2 && i < t.size(); ++i) v[i] = _wtoi(t[i].c_str());
    return POINT{v[0], v[1]};
}

int32_t i64_high(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value) >> 32));
}

int32_t i64_low(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

int64_t i64_from_halves(int32_t high, int32_t low) {
    uint64_t bits = (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) |
                    static_cast<uint32_t>(low);
    return static_cast<int64_t>(bits);
}

bool rect_is_zero(const RECT& r) { return !r.left && !r.top && !r.right && !r.bottom; }

bool same_rect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// ---- registry_key: text forms under suffixed value names ----

int64_t registry_key::get_i64(HKEY root, const wchar_t* key_path, const wchar_t* name,
                              int64_t def) {
    if (!key_path || !name) return def;
    // The text form is read for completeness only; the pair is what counts.
    get_string(root, key_path, with_suffix(name, suffix_i64).c_str(), i64_text(def).c_str());
    return get_i64_pair(root, key_path, name, def);
}

int registry_key::set_i64(HKEY root, const wchar_t* key_path, const wchar_t* name,
                          int64_t value) {
    if (!key_path || !name) return 0;
    int text = set_string(root, key_path, with_suffix(name, suffix_i64).c_str(),
                          i64_text(value).c_str());
    int pair = set_i64_pair(root, key_path, name, value);
    return text && pair ? 1 : 0;
}

double registry_key::get_double(HKEY root, const wchar_t* key_path, const wchar_t* name,
                                double def) {
    if (!key_path || !name) return def;
    return text_double(get_string(root, key_path, with_suffix(name, suffix_double).c_str(),
                                  double_text(def).c_str()));
}

int registry_key::set_double(HKEY root, const wchar_t* key_path, const wchar_t* name,
                             double value) {
    if (!key_path || !name) return 0;
    return set_string(root, key_path, with_suffix(name, suffix_double).c_str(),
                      double_text(value).c_str());
}

RECT registry_key::get_rect(HKEY root, const wchar_t* key_path, const wchar_t* name,
                            const RECT& def) {
    if (!key_path || !name) return def;
    // The registry keeps the quotes that the INI functions strip on read.
    return text_rect(unquote_text(get_string(root, key_path, with_suffix(name, suffix_rect).c_str(),
                                             rect_text(def).c_str())));
}

int registry_key::set_rect(HKEY root, const wchar_t* key_path, const wchar_t* name,
                           const RECT& value) {
    if (!key_path || !name) return 0;
    return set_string(root, key_path, with_suffix(name, suffix_rect).c_str(),
                      rect_text(value).c_str());
}

POINT registry_key::get_point(HKEY root, const wchar_t* key_path, const wchar_t* name,
                              const POINT& def) {
    if (!key_path || !name) return def;
    return text_point(unquote_text(get_string(
        root, key_path, with_suffix(name, suffix_point).c_str(), point_text(def).c_str())));
}

int registry_key::set_point(HKEY root, const wchar_t* key_path, const wchar_t* name,
                            const POINT& value) {
    if (!key_path || !name) return 0;
    return set_string(root, key_path, with_suffix(name, suffix_point).c_str(),
                      point_text(value).c_str());
}

int64_t registry_key::get_i64_pair(HKEY root, const wchar_t* key_path, const wchar_t* name,
                                   int64_t def) {
    if (!key_path || !name) return def;
    int32_t high = get_int(root, key_path, with_suffix(name, suffix_high).c_str(), i64_high(def));
    int32_t low = get_int(root, key_path, with_suffix(name, suffix_low).c_str(), i64_low(def));
    return i64_from_halves(high, low);
}

int registry_key::set_i64_pair(HKEY root, const wchar_t* key_path, const wchar_t* name,
                               int64_t value) {
    if (!key_path || !name) return 0;
    int high = set_int(root, key_path, with_suffix(name, suffix_high).c_str(), i64_high(value));
    int low = set_int(root, key_path, with_suffix(name, suffix_low).c_str(), i64_low(value));
    return high && low ? 1 : 0;
}

// ---- profile: text forms under suffixed keys, plain forms under the key ----

int64_t profile::get_i64(const wchar_t* section, const wchar_t* key, int64_t def) {
    if (!section || !key) return def;
    get_string(section, with_suffix(key, suffix_i64).c_str(), i64_text(def).c_str());
    return get_i64_pair(section, key, def);
}

int profile::write_i64(const wchar_t* section, const wchar_t* key, int64_t value) {
    if (!section || !key) return 0;
    int text = write_string(section, with_suffix(key, suffix_i64).c_str(), i64_text(value).c_str());
    int pair = write_i64_pair(section, key, value);
    return text && pair ? 1 : 0;
}

double profile::get_double(const wchar_t* section, const wchar_t* key, double def) {
    if (!section || !key) return def;
    get_string(section, with_suffix(key, suffix_double).c_str(), double_text(def).c_str());
    return get_double_short(section, key, def);
}

int profile::write_double(const wchar_t* section, const wchar_t* key, double value) {
    if (!section || !key) return 0;
    int text = write_string(section, with_suffix(key, suffix_double).c_str(),
                            double_text(value).c_str());
    int plain = write_double_short(section, key, value);
    return text && plain ? 1 : 0;
}

RECT profile::get_rect(const wchar_t* section, const wchar_t* key, const RECT& def) {
    if (!section || !key) return def;
    get_string(section, with_suffix(key, suffix_rect).c_str(), rect_text(def).c_str());
    return get_rect_padded(section, key, def);
}

int profile::write_rect(const wchar_t* section, const wchar_t* key, const RECT& value) {
    if (!section || !key) return 0;
    int text = write_string(section, with_suffix(key, suffix_rect).c_str(), rect_text(value).c_str());
    int plain = write_rect_padded(section, key, value);
    return text && plain ? 1 : 0;
}

POINT profile::get_point(const wchar_t* section, const wchar_t* key, const POINT& def) {
    if (!section || !key) return def;
    get_string(section, with_suffix(key, suffix_point).c_str(), point_text(def).c_str());
    return get_point_padded(section, key, def);
}

int profile::write_point(const wchar_t* section, const wchar_t* key, const POINT& value) {
    if (!section || !key) return 0;
    int text =
        write_string(section, with_suffix(key, suffix_point).c_str(), point_text(value).c_str());
    int plain = write_point_padded(section, key, value);
    return text && plain ? 1 : 0;
}

int64_t profile::get_i64_pair(const wchar_t* section, const wchar_t* key, int64_t def) {
    if (!section || !key) return def;
    int32_t high = get_int(section, with_suffix(key, suffix_high).c_str(), i64_high(def));
    int32_t low = get_int(section, with_suffix(key, suffix_low).c_str(), i64_low(def));
    return i64_from_halves(high, low);
}

int profile::write_i64_pair(const wchar_t* section, const wchar_t* key, int64_t value) {
    if (!section || !key) return 0;
    int high = write_int(section, with_suffix(key, suffix_high).c_str(), i64_high(value));
    int low = write_int(section, with_suffix(key, suffix_low).c_str(), i64_low(value));
    return high && low ? 1 : 0;
}

double profile::get_double_short(const wchar_t* section, const wchar_t* key, double def) {
    if (!section || !key) return def;
    return text_double(get_string(section, key, double_short_text(def).c_str()));
}

int profile::write_double_short(const wchar_t* section, const wchar_t* key, double value) {
    if (!section || !key) return 0;
    return write_string(section, key, double_short_text(value).c_str());
}

RECT profile::get_rect_padded(const wchar_t* section, const wchar_t* key, const RECT& def) {
    if (!section || !key) return def;
    return text_rect(get_string(section, key, rect_padded_text(def).c_str()));
}

int profile::write_rect_padded(const wchar_t* section, const wchar_t* key, const RECT& value) {
    if (!section || !key) return 0;
    return write_string(section, key, rect_padded_text(value).c_str());
}

POINT profile::get_point_padded(const wchar_t* section, const wchar_t* key, const POINT& def) {
    if (!section || !key) return def;
    return text_point(get_string(section, key, point_padded_text(def).c_str()));
}

int profile::write_point_padded(const wchar_t* section, const wchar_t* key, const POINT& value) {
    if (!section || !key) return 0;
    return write_string(section, key, point_padded_text(value).c_str());
}

}  // namespace quillet
