#include "run_fixture.h"

#include "base/log.h"

namespace run_test {

std::wstring log_line_with(const std::wstring& marker) {
    return testing_support::last_line_with(quillet::dump_file_path(), marker);
}

std::wstring fixture::rescue_folder_of(const std::wstring& folder) const {
    std::wstring mirror;
    for (wchar_t c : folder) {
        if (c != L':') mirror.push_back(c);
    }
    while (!mirror.empty() && mirror.back() == L'\\') mirror.pop_back();
    return scratch.path() + L"tmp\\Rescue\\" + mirror + L"\\";
}

namespace {
LRESULT CALLBACK record_titles(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SETTEXT && lp) main_window_for_test::titles().push_back(reinterpret_cast<const wchar_t*>(lp));
    return DefWindowProcW(w, m, wp, lp);
}
}  // namespace

main_window_for_test::main_window_for_test(const std::wstring& title) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = record_titles;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"quillet_engine_test_window";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 300,
                              100, nullptr, nullptr, wc.hInstance, nullptr);
    quillet::set_main_window(window_);
    titles().clear();
}

main_window_for_test::~main_window_for_test() {
    quillet::set_main_window(nullptr);
    if (window_) DestroyWindow(window_);
}

std::wstring main_window_for_test::title() const {
    wchar_t buffer[512] = {};
    GetWindowTextW(window_, buffer, 512);
    return buffer;
}

std::vector<std::wstring>& main_window_for_test::titles() {
    static std::vector<std::wstring> list;
    return list;
}

}  // namespace run_test
