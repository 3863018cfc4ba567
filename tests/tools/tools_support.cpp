#include "tools_support.h"

#include <shellapi.h>

#include <ctime>
#include <cwchar>

#include "tools/shell_launcher.h"

namespace tools_test {

temp_redirect::temp_redirect(const std::wstring& folder) {
    wchar_t buffer[32768];
    DWORD n = GetEnvironmentVariableW(L"TMP", buffer, 32768);
    had_tmp_ = n > 0 && n < 32768;
    if (had_tmp_) old_tmp_.assign(buffer, n);
    n = GetEnvironmentVariableW(L"TEMP", buffer, 32768);
    had_temp_ = n > 0 && n < 32768;
    if (had_temp_) old_temp_.assign(buffer, n);
    CreateDirectoryW(folder.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    SetEnvironmentVariableW(L"TEMP", folder.c_str());
}

temp_redirect::~temp_redirect() {
    SetEnvironmentVariableW(L"TMP", had_tmp_ ? old_tmp_.c_str() : nullptr);
    SetEnvironmentVariableW(L"TEMP", had_temp_ ? old_temp_.c_str() : nullptr);
}

answering_window::answering_window() {
    // A message-only window: it needs no display, so the tests run the same
    // with or without one.
    window_ = CreateWindowExW(0, L"STATIC", L"tools test", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    // Every title the window is given is recorded.
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    old_proc_ = SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&record_proc));
}

LRESULT CALLBACK answering_window::record_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto self = reinterpret_cast<answering_window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_SETTEXT && l) self->titles_.push_back(reinterpret_cast<const wchar_t*>(l));
    return CallWindowProcW(reinterpret_cast<WNDPROC>(self->old_proc_), window, message, w, l);
}

answering_window::~answering_window() {
    if (window_) DestroyWindow(window_);
}

shell_recorder::shell_recorder(intptr_t result) {
    quillet::set_shell_execute_hook([this, result](HWND owner, const wchar_t* verb,
                                                   const wchar_t* file, const wchar_t* params,
                                                   const wchar_t* directory, int show) {
        // Batch files (of the command lookup) still run for real.
        std::wstring name = file ? file : L"";
        if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".bat") == 0)
            return reinterpret_cast<intptr_t>(
                ShellExecuteW(owner, verb, file, params, directory, show));
        calls_.push_back({owner, verb ? verb : L"", file ? file : L"", params ? params : L"",
                          verb != nullptr, file != nullptr, params != nullptr,
                          directory != nullptr, show});
        return result;
    });
}

shell_recorder::~shell_recorder() { quillet::set_shell_execute_hook(nullptr); }

std::wstring utf16_file_text(const std::wstring& path) {
    std::vector<uint8_t> bytes = testing_support::get_bytes(path);
    size_t start = (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) ? 2 : 0;
    std::wstring text;
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    return text;
}

int64_t days_ago(int days) { return static_cast<int64_t>(std::time(nullptr)) - days * 86400LL; }

}  // namespace tools_test
