// The report box: default answers without a window, the answerer seam with a
// real main window, and the log line every box leaves behind.
#include "app/report_box.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>

#include "base/log.h"
#include "app/main_window.h"
#include "support/scratch.h"

namespace {

using namespace quillet;

// A text no other test writes, so the log line can be found again.
std::wstring unique_text(const std::wstring& stem) {
    static unsigned counter = 0;
    return stem + L" #" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter);
}

// The last line of the current dump file that contains marker ("" when none).
std::wstring log_line_with(const std::wstring& marker) {
    return testing_support::last_line_with(dump_file_path(), marker);
}

// The part of a log line after the timestamp and the program name.
std::wstring log_message(const std::wstring& line) {
    const size_t first = line.find(L'\t');
    if (first == std::wstring::npos) return L"";
    const size_t second = line.find(L'\t', first + 1);
    if (second == std::wstring::npos) return L"";
    return line.substr(second + 1);
}

class top_window {
public:
    top_window() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"quillet_report_test";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"report test", WS_OVERLAPPEDWINDOW, 0, 0,
                                  200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~top_window() {
        set_main_window(nullptr);
        set_report_answerer(nullptr);
        if (window_) DestroyWindow(window_);
    }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

TEST(ReportBox, DefaultAnswersFollowTheButtonSetAndDefaultButton) {
    EXPECT_EQ(default_answer(0), IDOK);
    EXPECT_EQ(default_answer(MB_OKCANCEL), IDOK);
    EXPECT_EQ(default_answer(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(default_answer(MB_ABORTRETRYIGNORE), IDABORT);
    EXPECT_EQ(default_answer(MB_ABORTRETRYIGNORE | MB_DEFBUTTON2), IDRETRY);
    EXPECT_EQ(default_answer(MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
    EXPECT_EQ(default_answer(MB_YESNOCANCEL), IDYES);
    EXPECT_EQ(default_answer(MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(default_answer(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(default_answer(MB_YESNO), IDYES);
    EXPECT_EQ(default_answer(MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(default_answer(MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(default_answer(MB_RETRYCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(default_answer(0x0E), IDOK);
}

TEST(ReportBox, LogTextCarriesTheFourLabelsThenTheText) {
    EXPECT_EQ(report_log_text(L"a\r\nb", 0, IDOK),
              L"---- OK              Button1  [OK]    \t\r\na\r\nb\r\n");
    EXPECT_EQ(report_log_text(L"x", 0x24, IDNO), L"(?)  Yes No          Button1  [No]    \t\r\nx\r\n");
    EXPECT_EQ(report_log_text(L"x", 0x10 | 2 | 0x200, IDIGNORE),
              L"Stop AbortRetryInore Button3  [Innore]\t\r\nx\r\n");
    EXPECT_EQ(report_log_text(L"x", 0x30 | 3 | 0x100, IDCANCEL),
              L"(!)  Yes No Cancel   Button2  [CANCEL]\t\r\nx\r\n");
    EXPECT_EQ(report_log_text(L"x", 0x40 | 5, IDRETRY), L"(i)  Retry Cancel    Button1  [Retry] \t\r\nx\r\n");
    EXPECT_EQ(report_log_text(L"x", 0x50 | 1 | 0x300, IDABORT),
              L"---- OK Cancel       Non  (1) [Abort] \t\r\nx\r\n");
    EXPECT_EQ(report_log_text(L"x", 0x0F, 6), L"----                 Button1  [Yes]   \t\r\nx\r\n");
    EXPECT_EQ(report_log_text(L"x", 0, 99), L"---- OK              Button1  Bug...  \t\r\nx\r\n");
}

TEST(ReportBox, WithoutMainWindowShowsNothingAnswersDefaultAndLogs) {
    set_main_window(nullptr);
    bool asked = false;
    set_report_answerer([&](const std::wstring&, unsigned) {
        asked = true;
        return IDCANCEL;
    });
    const std::wstring first = unique_text(L"first line");
    EXPECT_EQ(report_box(first + L"\r\nsecond line"), IDOK);
    EXPECT_EQ(report_box(first + L" 103", 0x103), IDNO);
    set_report_answerer(nullptr);
    EXPECT_FALSE(asked);

    const std::wstring line = log_line_with(first + L"\t\tsecond line");
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(log_message(line),
              L"---- OK              Button1  [OK]    \t\t\t" + first + L"\t\tsecond line\t\t");
    EXPECT_EQ(log_message(log_line_with(first + L" 103")),
              L"---- Yes No Cancel   Button2  [No]    \t\t\t" + first + L" 103\t\t");
}

TEST(ReportBox, WithMainWindowTheAnswererIsAskedAndItsAnswerLogged) {
    top_window window;
    ASSERT_NE(window.get(), nullptr);
    set_main_window(window.get());
    std::wstring asked_text;
    unsigned asked_type = 0;
    set_report_answerer([&](const std::wstring& text, unsigned type) {
        asked_text = text;
        asked_type = type;
        return IDNO;
    });
    const std::wstring text = unique_text(L"question");
    EXPECT_EQ(report_box(text, 0x24), IDNO);
    EXPECT_EQ(asked_text, text);
    EXPECT_EQ(asked_type, 0x24u);
    EXPECT_EQ(log_message(log_line_with(text)),
              L"(?)  Yes No          Button1  [No]    \t\t\t" + text + L"\t\t");
}

TEST(ReportBox, MainWindowOfAnotherThreadShowsNothing) {
    top_window window;
    ASSERT_NE(window.get(), nullptr);
    set_main_window(window.get());
    bool asked = false;
    set_report_answerer([&](const std::wstring&, unsigned) {
        asked = true;
        return IDNO;
    });
    int answer = 0;
    const std::wstring text = unique_text(L"from a worker");
    std::pair<int*, const std::wstring*> data{&answer, &text};
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](void* arg) -> DWORD {
            auto* data = static_cast<std::pair<int*, const std::wstring*>*>(arg);
            *data->first = report_box(*data->second, MB_YESNO);
            return 0;
        },
        &data, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    WaitForSingleObject(worker, 10000);
    CloseHandle(worker);
    EXPECT_FALSE(asked);
    EXPECT_EQ(answer, IDYES);
    EXPECT_FALSE(log_line_with(text).empty());
}

}  // namespace
