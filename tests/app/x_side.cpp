#include "x_side.h"

#include <cwchar>
#include <sstream>

#include "text/codepage.h"
#include "support/scratch.h"

namespace app_test {

namespace {


// The Linux path of a file of the prefix ("" when Wine cannot tell).
std::string unix_path(const std::wstring& path) {
    using to_unix_fn = char*(CDECL*)(const wchar_t*);
    auto to_unix = reinterpret_cast<to_unix_fn>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    if (!to_unix) return std::string();
    char* name = to_unix(path.c_str());
    std::string result = name ? name : "";
    if (name) HeapFree(GetProcessHeap(), 0, name);
    return result;
}

std::wstring quoted_unix_path(const std::wstring& path) {
    return L"'" + quillet::utf8_to_wide(unix_path(path)) + L"'";
}

}  // namespace

bool start_shell(const std::wstring& command) {
    std::wstring line = L"Z:\\bin\\sh -c \"" + command + L"\"";
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

x_title_spy::x_title_spy(HWND window, const std::wstring& spy_file) : file_(spy_file) {
    const auto xid = reinterpret_cast<uintptr_t>(GetPropW(window, L"__wine_x11_whole_window"));
    testing_support::put_text(file_, "");
    if (!xid || unix_path(file_).empty()) return;
    wchar_t id[32] = {};
    swprintf(id, 32, L"0x%llx", static_cast<unsigned long long>(xid));
    // xprop reports every change of the title the X server holds, as it happens.
    if (!start_shell(L"exec timeout 120 stdbuf -oL xprop -id " + std::wstring(id) +
                     L" -spy _NET_WM_NAME > " + quoted_unix_path(file_)))
        return;
    // Its first line is the title at its start.
    for (int i = 0; i < 1000 && testing_support::get_bytes(file_).empty(); ++i) Sleep(10);
    running_ = !testing_support::get_bytes(file_).empty();
}

std::vector<std::wstring> x_title_spy::titles() const {
    const std::vector<uint8_t> bytes = testing_support::get_bytes(file_);
    std::wistringstream spied(quillet::utf8_to_wide(std::string(bytes.begin(), bytes.end())));
    std::vector<std::wstring> lines;
    for (std::wstring line; std::getline(spied, line);) lines.push_back(line);
    return lines;
}

bool x_title_spy::shown(const std::wstring& part, DWORD timeout_ms) const {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    do {
        for (const std::wstring& title : titles())
            if (title.find(part) != std::wstring::npos) return true;
        Sleep(20);
    } while (GetTickCount64() < end);
    return false;
}

std::vector<uint8_t> x_screen_pixels(const RECT& area, const std::wstring& file) {
    const long width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return {};
    DeleteFileW(file.c_str());
    const std::wstring part = file + L".part";
    wchar_t crop[80] = {};
    swprintf(crop, 80, L"%ldx%ld+%ld+%ld", width, height, area.left, area.top);
    // The picture appears under its name only once it is whole.
    if (!start_shell(L"import -window root -crop " + std::wstring(crop) + L" -depth 8 rgb:" +
                     quoted_unix_path(part) + L" && mv " + quoted_unix_path(part) + L" " +
                     quoted_unix_path(file)))
        return {};
    for (int i = 0; i < 1000 && !testing_support::exists(file); ++i) Sleep(10);
    std::vector<uint8_t> pixels = testing_support::get_bytes(file);
    if (pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3) return {};
    return pixels;
}

double same_share(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.size() < 3) return 0;
    size_t same = 0;
    for (size_t i = 0; i + 2 < a.size(); i += 3)
        if (a[i] == b[i] && a[i + 1] == b[i + 1] && a[i + 2] == b[i + 2]) ++same;
    return static_cast<double>(same) / static_cast<double>(a.size() / 3);
}

double colour_share(const std::vector<uint8_t>& picture, COLORREF colour) {
    std::vector<uint8_t> plain(picture.size());
    for (size_t i = 0; i + 2 < plain.size(); i += 3)
        plain[i] = GetRValue(colour), plain[i + 1] = GetGValue(colour),
        plain[i + 2] = GetBValue(colour);
    return same_share(picture, plain);
}

}  // namespace app_test
