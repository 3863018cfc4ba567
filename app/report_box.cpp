// Message report box: shows a box when there is a main window, always logs.
#include "app/report_box.h"

#include <windows.h>

#include <utility>

#include "base/log.h"
#include "app/main_window.h"
#include "base/paths.h"

namespace quillet {
namespace {

report_answerer& answerer_slot() {
    static report_answerer answerer;
    return answerer;
}

const wchar_t* icon_label(unsigned icon) {
    switch (icon) {
        case 0x10: return L"Stop ";
        case 0x20: return L"(?)  ";
        case 0x30: return L"(!)  ";
        case 0x40: return L"(i)  ";
        default: return L"---- ";
    }
}

const wchar_t* buttons_label(unsigned buttons) {
    switch (buttons) {
        case 0: return L"OK              ";
        case 1: return L"OK Cancel       ";
        case 2: return L"AbortRetryInore ";
        case 3: return L"Yes No Cancel   ";
        case 4: return L"Yes No          ";
        case 5: return L"Retry Cancel    ";
        default: return L"                ";
    }
}

const wchar_t* default_label(unsigned def) {
    switch (def) {
        case 0: return L"Button1  ";
        case 0x100: return L"Button2  ";
        case 0x200: return L"Button3  ";
        default: return L"Non  (1) ";
    }
}

const wchar_t* answer_label(int answer) {
    switch (answer) {
        case 1: return L"[OK]    \t";
        case 2: return L"[CANCEL]\t";
        case 3: return L"[Abort] \t";
        case 4: return L"[Retry] \t";
        case 5: return L"[Innore]\t";
        case 6: return L"[Yes]   \t";
        case 7: return L"[No]    \t";
        default: return L"Bug...  \t";
    }
}

// A box is shown only on the thread that owns the main window: a box owned by a
// window of another thread would not be modal to it.
HWND owner_window() {
    HWND main = main_window();
    if (!main || !IsWindow(main)) return nullptr;
    if (GetWindowThreadProcessId(main, nullptr) != GetCurrentThreadId()) return nullptr;
    return main;
}

int show_box(HWND owner, const std::wstring& text, unsigned type, unsigned help_id) {
    std::wstring caption = path_title(module_path(nullptr));
    MSGBOXPARAMSW params{};
    params.cbSize = sizeof(params);
    params.hwndOwner = owner;
    params.hInstance = GetModuleHandleW(nullptr);
    params.lpszText = text.c_str();
    params.lpszCaption = caption.c_str();
    params.dwStyle = type;
    params.dwContextHelpId = help_id;
    return MessageBoxIndirectW(&params);
}

}  // namespace

void set_report_answerer(report_answerer answerer) { answerer_slot() = std::move(answerer); }

int default_answer(unsigned type) {
    const unsigned buttons = type & 0x0F;
    const unsigned def = type & 0xF00;
    switch (buttons) {
        case 0: return IDOK;
        case 1: return def == 0x100 ? IDCANCEL : IDOK;
        case 2: return def == 0x100 ? IDRETRY : def == 0x200 ? IDIGNORE : IDABORT;
        case 3: return def == 0x100 ? IDNO : def == 0x200 ? IDCANCEL : IDYES;
        case 4: return def == 0x100 ? IDNO : IDYES;
        case 5: return def == 0x100 ? IDCANCEL : IDRETRY;
        default: return IDOK;
    }
}

std::wstring report_log_text(const std::wstring& text, unsigned type, int answer) {
    std::wstring message = icon_label(type & 0xF0);
    message += buttons_label(type & 0x0F);
    message += default_label(type & 0xF00);
    message += answer_label(answer);
    message += L"\r\n";
    message += text;
    message += L"\r\n";
    return message;
}

int report_box(const std::wstring& text, unsigned type, unsigned help_id) {
    int answer = default_answer(type);
    if (HWND owner = owner_window()) {
        if (answerer_slot())
            answer = answerer_slot()(text, type);
        else
            answer = show_box(owner, text, type, help_id);
    }
    if (!built_into_dll())
        log_line(report_log_text(text, type, answer));
    return answer;
}

}  // namespace quillet
