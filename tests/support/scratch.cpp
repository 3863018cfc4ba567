#include "support/scratch.h"

#include <windows.h>

#include <atomic>

namespace testing_support {

namespace {
std::atomic<unsigned> next_id{0};

std::wstring system_temp() {
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH, buf);
    std::wstring t(buf, n);
    if (!t.empty() && t.back() != L'\\') t += L'\\';
    return t;
}
}  // namespace

scratch_folder::scratch_folder() {
    std::wstring base = system_temp() + L"quillet-tests\\";
    CreateDirectoryW(base.c_str(), nullptr);
    for (;;) {
        path_ = base + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(next_id++) + L"\\";
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
    }
}

scratch_folder::~scratch_folder() { remove_tree(path_); }

void remove_tree(const std::wstring& folder) {
    std::wstring dir = folder;
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = dir + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

bool put_bytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

bool put_text(const std::wstring& path, const std::string& bytes) {
    return put_bytes(path, bytes_of(bytes));
}

std::vector<uint8_t> get_bytes(const std::wstring& path) {
    std::vector<uint8_t> out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD done = 0;
    if (!out.empty()) ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &done, nullptr);
    out.resize(done);
    CloseHandle(h);
    return out;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {
constexpr int64_t kEpochDiff = 116444736000000000LL;  // 1601 to 1970 in 100 ns
}

bool set_mtime(const std::wstring& path, int64_t seconds) {
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ULARGE_INTEGER u;
    u.QuadPart = static_cast<uint64_t>(seconds * 10000000LL + kEpochDiff);
    FILETIME ft{u.LowPart, u.HighPart};
    BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    return ok != FALSE;
}

int64_t get_mtime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d)) return -1;
    ULARGE_INTEGER u;
    u.LowPart = d.ftLastWriteTime.dwLowDateTime;
    u.HighPart = d.ftLastWriteTime.dwHighDateTime;
    return (static_cast<int64_t>(u.QuadPart) - kEpochDiff) / 10000000LL;
}

std::wstring utf16le_text(const std::vector<uint8_t>& bytes) {
    std::wstring text;
    const size_t start = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE ? 2 : 0;
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    return text;
}

std::wstring last_line_with(const std::wstring& utf16_file, const std::wstring& marker) {
    const std::wstring text = utf16le_text(get_bytes(utf16_file));
    std::wstring found;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = text.substr(start, end - start);
        if (line.find(marker) != std::wstring::npos) found = line;
        start = end + 2;
    }
    return found;
}

held_file::held_file(const std::wstring& path, unsigned long ms) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    handle_ = h;
    releaser_ = std::thread([h, ms] {
        Sleep(ms);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    });
}

held_file::~held_file() { releaser_.join(); }

bool held_file::held() const { return handle_ != INVALID_HANDLE_VALUE; }

std::vector<uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> code_page_bytes(const std::wstring& text, unsigned cp) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::vector<uint8_t> out(static_cast<size_t>(n));
    WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()),
                        reinterpret_cast<char*>(out.data()), n, nullptr, nullptr);
    return out;
}

std::vector<uint8_t> utf16le_bytes(const std::wstring& s, bool bom) {
    std::vector<uint8_t> out;
    if (bom) out = {0xFF, 0xFE};
    for (wchar_t c : s) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    return out;
}

}  // namespace testing_support
