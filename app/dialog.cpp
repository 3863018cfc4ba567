// The dialog layer: template loading, the dialog procedure that routes
// messages to the object, control wrappers and the wait cursor.
#include "app/dialog.h"

#include <exception>

#include "base/log.h"
#include "app/main_window.h"

namespace quillet {

namespace {

int wait_depth = 0;

HINSTANCE own_instance() { return GetModuleHandleW(nullptr); }

}  // namespace

dialog::dialog(int template_id) : template_id_(template_id) {}

dialog::~dialog() { destroy(); }

INT_PTR dialog::run_modal(HWND parent) {
    if (hwnd_) return -1;
    modal_ = true;
    INT_PTR result = DialogBoxParamW(own_instance(), MAKEINTRESOURCEW(template_id_), parent,
                                     dialog_proc, reinterpret_cast<LPARAM>(this));
    modal_ = false;
    hwnd_ = nullptr;
    return result;
}

bool dialog::create_modeless(HWND parent) {
    if (hwnd_) return false;
    modal_ = false;
    HWND h = CreateDialogParamW(own_instance(), MAKEINTRESOURCEW(template_id_), parent, dialog_proc,
                                reinterpret_cast<LPARAM>(this));
    return h != nullptr;
}

void dialog::destroy() {
    if (hwnd_ && !modal_) DestroyWindow(hwnd_);
}

void dialog::end(INT_PTR result) {
    if (!hwnd_) return;
    if (modal_)
        EndDialog(hwnd_, result);
    else
        DestroyWindow(hwnd_);
}

BOOL dialog::OnInitDialog() { return TRUE; }

void dialog::OnOK() { end(IDOK); }

void dialog::OnCancel() { end(IDCANCEL); }

bool dialog::on_command(int, int, HWND) { return false; }

bool dialog::handle_message(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) {
    switch (msg) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return true;
    case WM_SETCURSOR:
        if (!wait_cursor::active()) return false;
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
        result = TRUE;
        return true;
    case WM_COMMAND: {
        int id = LOWORD(wp), code = HIWORD(wp);
        HWND control = reinterpret_cast<HWND>(lp);
        if (on_command(id, code, control)) {
            result = TRUE;
            return true;
        }
        // IDOK and IDCANCEL come from buttons (BN_CLICKED is 0), the keyboard
        // and the close box alike.
        if (id == IDOK && code == BN_CLICKED) {
            OnOK();
            result = TRUE;
            return true;
        }
        if (id == IDCANCEL && code == BN_CLICKED) {
            OnCancel();
            result = TRUE;
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

INT_PTR dialog::dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    INT_PTR result = 0;
    try {
        if (!handle_message(msg, wp, lp, result)) return FALSE;
    } catch (const std::exception& e) {
        log_line(L"dialog: exception in message handler " + std::to_wstring(msg) + L": " +
                 std::wstring(e.what(), e.what() + std::char_traits<char>::length(e.what())));
        return FALSE;
    } catch (...) {
        log_line(L"dialog: exception in message handler " + std::to_wstring(msg));
        return FALSE;
    }
    return result;
}

INT_PTR CALLBACK dialog::dialog_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    dialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<dialog*>(lp);
        SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        if (self) {
            self->hwnd_ = hwnd;
            if (self->registers_main_window_) set_main_window(hwnd);
        }
    } else {
        self = reinterpret_cast<dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    INT_PTR result = self->dispatch(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // The window is gone: the object no longer answers for it.
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        if (main_window() == hwnd) set_main_window(nullptr);
        self->hwnd_ = nullptr;
    }
    return result;
}

// Control wrappers.

std::wstring window_text(HWND h) {
    if (!h) return std::wstring();
    int length = GetWindowTextLengthW(h);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(h, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

int list_box::count() const {
    if (!h_) return 0;
    LRESULT n = SendMessageW(h_, LB_GETCOUNT, 0, 0);
    return n < 0 ? 0 : static_cast<int>(n);
}

int list_box::cur_sel() const {
    return h_ ? static_cast<int>(SendMessageW(h_, LB_GETCURSEL, 0, 0)) : -1;
}

bool list_box::set_cur_sel(int index) const {
    if (!h_) return false;
    return SendMessageW(h_, LB_SETCURSEL, static_cast<WPARAM>(index), 0) != LB_ERR || index < 0;
}

void list_box::reset() const {
    if (h_) SendMessageW(h_, LB_RESETCONTENT, 0, 0);
}

int list_box::add(const std::wstring& text) const {
    if (!h_) return LB_ERR;
    return static_cast<int>(
        SendMessageW(h_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

std::wstring list_box::text(int index) const {
    if (!h_) return std::wstring();
    LRESULT length = SendMessageW(h_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR || length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got = SendMessageW(h_, LB_GETTEXT, static_cast<WPARAM>(index),
                               reinterpret_cast<LPARAM>(&text[0]));
    text.resize(got == LB_ERR || got < 0 ? 0 : static_cast<size_t>(got));
    return text;
}

std::vector<std::wstring> list_box::texts() const {
    std::vector<std::wstring> all;
    int n = count();
    for (int i = 0; i < n; ++i) all.push_back(text(i));
    return all;
}

void list_box::set_horizontal_extent(int pixels) const {
    if (h_) SendMessageW(h_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels), 0);
}

int list_box::horizontal_extent() const {
    return h_ ? static_cast<int>(SendMessageW(h_, LB_GETHORIZONTALEXTENT, 0, 0)) : 0;
}

int combo_box::count() const {
    if (!h_) return 0;
    LRESULT n = SendMessageW(h_, CB_GETCOUNT, 0, 0);
    return n < 0 ? 0 : static_cast<int>(n);
}

int combo_box::cur_sel() const {
    return h_ ? static_cast<int>(SendMessageW(h_, CB_GETCURSEL, 0, 0)) : -1;
}

bool combo_box::set_cur_sel(int index) const {
    if (!h_) return false;
    return SendMessageW(h_, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != CB_ERR || index < 0;
}

int combo_box::add(const std::wstring& text) const {
    if (!h_) return CB_ERR;
    return static_cast<int>(
        SendMessageW(h_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int combo_box::add(const std::wstring& text, LPARAM data) const {
    const int index = add(text);
    if (index >= 0) SendMessageW(h_, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
    return index;
}

LPARAM combo_box::data(int index) const {
    if (!h_ || index < 0) return CB_ERR;
    return static_cast<LPARAM>(SendMessageW(h_, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

std::wstring combo_box::text(int index) const {
    if (!h_ || index < 0) return std::wstring();
    LRESULT length = SendMessageW(h_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got = SendMessageW(h_, CB_GETLBTEXT, static_cast<WPARAM>(index),
                               reinterpret_cast<LPARAM>(&text[0]));
    text.resize(got == CB_ERR || got < 0 ? 0 : static_cast<size_t>(got));
    return text;
}

std::wstring edit_box::text() const { return window_text(h_); }

void edit_box::set_text(const std::wstring& text) const {
    if (h_) SetWindowTextW(h_, text.c_str());
}

void edit_box::set_sel(int start, int end) const {
    if (h_) SendMessageW(h_, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void edit_box::scroll_caret() const {
    if (h_) SendMessageW(h_, EM_SCROLLCARET, 0, 0);
}

// Wait cursor.

wait_cursor::wait_cursor() {
    ++wait_depth;
    previous_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

wait_cursor::~wait_cursor() {
    if (wait_depth > 0) --wait_depth;
    if (wait_depth == 0) SetCursor(previous_ ? previous_ : LoadCursorW(nullptr, IDC_ARROW));
}

bool wait_cursor::active() { return wait_depth > 0; }

}  // namespace quillet
