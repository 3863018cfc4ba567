#include "run_fixture.h"

#include "base/log.h"

namespace run_test {

std::wstring log_line_with(const std::wstring& marker) {
    const std::vector<uint8_t> bytes = testing_support::get_bytes(quillet::dump_file_path());
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
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
