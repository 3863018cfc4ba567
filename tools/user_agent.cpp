// The user-agent text sent with every request.
#include <windows.h>

#include <cwchar>

#include "base/paths.h"
#include "base/version_info.h"
#include "engine/store.h"
#include "tools/http_fetch.h"
#include "tools/which.h"

namespace quillet {

namespace {

std::wstring trimmed_spaces(const std::wstring& text) {
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return L"";
    size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

bool running_under_wow64() {
    using is_wow64_fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (!kernel) return false;
    auto is_wow64 = reinterpret_cast<is_wow64_fn>(GetProcAddress(kernel, "IsWow64Process"));
    BOOL wow64 = FALSE;
    return is_wow64 && is_wow64(GetCurrentProcess(), &wow64) && wow64;
}

// The DPI of the screen (the desktop's).
int screen_dpi() {
    HDC dc = GetDC(nullptr);
    if (!dc) return 96;
    int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

std::wstring short_number(double value) {
    wchar_t buffer[64];
    swprintf(buffer, 64, L"%g", value);
    return buffer;
}

std::wstring agent_program(const std::wstring& title, const std::wstring& file_name) {
    return title.empty() ? file_name : title;
}

std::wstring agent_windows(const std::wstring& version) {
    double number = std::wcstod(version.c_str(), nullptr);
    return L"Windows NT " + short_number(number) + L" (" + version + L")";
}

std::wstring agent_suffix(const std::wstring& title, const std::wstring& file_name,
                          const std::wstring& file_version) {
    std::wstring suffix;
    if (!title.empty() && to_lower(title) != to_lower(file_name)) suffix = L"(" + file_name + L")";
    if (!file_version.empty()) {
        std::wstring v;
        for (wchar_t c : file_version) {
            if (c == L' ') continue;
            v.push_back(c == L',' ? L'.' : c);
        }
        suffix += L" Ver." + v + L" ";
    }
    return suffix;
}

std::wstring agent_platform(bool wow64) {
    return std::wstring(wow64 ? L" WOW64 " : L"") + L" UNICODE " + L" AFXDLL " + L" Win " +
           L"400" + L" ";
}

std::wstring agent_toolset() {
    // The marks of the tool set the program's interface follows: library
    // version 0x600, written in hexadecimal and scaled by 0.01, and compiler 12.
    wchar_t hex[16];
    swprintf(hex, 16, L"%x", 0x600u);
    std::wstring vc = L" VC " + short_number(std::wcstod(hex, nullptr) * 0.01) + L"  ";
    std::wstring msc = L"  MSC " + short_number(12.0) + L"  ";
    return L" " + trimmed_spaces(vc) + L" " + L" " + trimmed_spaces(msc) + L" ";
}

std::wstring agent_dpi(int dpi) {
    if (dpi == 96) return L"";
    return L"  DPI " + std::to_wstring(dpi * 100 / 96) + L"%";
}

// The login name is not sent: the text may travel over plain HTTP, and the
// server has no use for who runs the program.
std::wstring agent_text(const std::wstring& program, const std::wstring& windows,
                        const std::wstring& suffix, const std::wstring& platform,
                        const std::wstring& toolset, const std::wstring& dpi) {
    return program + L" " + windows + L" " + suffix + platform + toolset + dpi;
}

std::wstring u_agent() {
    static const std::wstring agent = [] {
        const std::wstring self = module_path(nullptr);
        const std::wstring file_name = path_name(self);
        const std::wstring title = program_title();
        version_info own;
        own.set_file(self);
        return agent_text(agent_program(title, file_name), agent_windows(windows_version()),
                          agent_suffix(title, file_name, own.file_version()),
                          agent_platform(running_under_wow64()), agent_toolset(),
                          agent_dpi(screen_dpi()));
    }();
    return agent;
}

}  // namespace quillet
