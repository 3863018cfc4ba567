#include "base/version_info.h"

#include <cstdio>
#include <cwchar>

#include "base/diagnostic.h"
#include "base/paths.h"

namespace quillet {

namespace {

std::wstring hex4(unsigned value) {
    wchar_t buf[8] = {};
    std::swprintf(buf, 8, L"%04x", value & 0xFFFF);
    return buf;
}

}  // namespace

bool version_info::set_file(const std::wstring& path) {
    path_ = path;
    prefix_.clear();
    block_.clear();
    if (path.empty() || !path_exists(path, false)) return false;
    return load();
}

bool version_info::set_file(const wchar_t* path) {
    return set_file(path ? std::wstring(path) : std::wstring());
}

bool version_info::load() {
    prefix_.clear();
    size_ = GetFileVersionInfoSizeW(path_.c_str(), &handle_);
    if (size_ == 0) {
        error_note(L"::GetFileVersionInfoSize ... 0");
        return false;
    }
    // Twice the size: VerQueryValueW may need room after the resource for
    // texts it converts.
    block_.assign(2 * static_cast<size_t>(size_), 0);
    if (!GetFileVersionInfoW(path_.c_str(), handle_, size_, block_.data())) {
        error_note(L"::GetFileVersionInfo ... false");
        return false;
    }
    void* value = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(block_.data(), L"\\VarFileInfo\\Translation", &value, &len)) {
        error_note(L"::VerQueryValue ... false");
        return false;
    }
    if (len == 0 || !value) {
        error_note(L"::VerQueryValue   len = 0");
        return false;
    }
    // The first entry: language, then code page, two 16-bit words.
    const WORD* entry = static_cast<const WORD*>(value);
    prefix_ = L"\\StringFileInfo\\" + hex4(entry[0]) + hex4(entry[1]) + L"\\";
    return true;
}

std::wstring version_info::query(const std::wstring& name) {
    if (prefix_.empty() && !load()) return L"";
    void* value = nullptr;
    UINT len = 0;
    const std::wstring key = prefix_ + name;
    if (!VerQueryValueW(block_.data(), key.c_str(), &value, &len)) {
        error_note(L"::VerQueryValue ...   " + name);
        return L"";
    }
    if (len == 0 || !value) {
        error_note(L"::VerQueryValue len=0 " + name);
        return L"";
    }
    // len counts characters, the terminator included.
    const wchar_t* text = static_cast<const wchar_t*>(value);
    return std::wstring(text, wcsnlen(text, len));
}

}  // namespace quillet
