// The main dialog: initialisation, the message switch, resizing, the
// minimised icon, the recent list and the encoding drop-down.
#include "app/main_dialog.h"

#include <algorithm>
#include <cwchar>
#include <exception>
#include <initializer_list>
#include <memory>

#include "app/fonts.h"
#include "app/list_fill.h"
#include "app/resource.h"
#include "app/ui_text.h"
#include "app/progress.h"
#include "base/log.h"
#include "base/paths.h"
#include "app/report_box.h"
#include "engine/copy_run.h"
#include "text/encodings.h"
#include "engine/intake.h"
#include "engine/store.h"
#include "settings/placement.h"

namespace quillet {

namespace {

// Esc while work goes on, taken from the queue before the dialog turns it into its
// cancel command (the command "終了" gives too): it stops a run, leaves the
// window open, and is used up. The dialog is found from the window the key
// went to.
// The dialog whose work is going (one per thread: the hook is the thread's).
thread_local MainDialog* working_dialog = nullptr;

LRESULT CALLBACK esc_filter(int code, WPARAM wp, LPARAM lp) {
    MSG* msg = reinterpret_cast<MSG*>(lp);
    if (code == HC_ACTION && wp == PM_REMOVE && msg && working_dialog && msg->hwnd &&
        (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && msg->wParam == VK_ESCAPE &&
        GetAncestor(msg->hwnd, GA_ROOT) == working_dialog->hwnd()) {
        working_dialog->stop_run();
        msg->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

// The height of a line of text in control's font.
int text_line_height(HWND control) {
    HDC dc = GetDC(control);
    if (!dc) return 16;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW metrics{};
    const int height = GetTextMetricsW(dc, &metrics) ? metrics.tmHeight : 16;
    if (font) SelectObject(dc, old_font);
    ReleaseDC(control, dc);
    return height;
}

RECT child_rect_in_client(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

int selected_code(const combo_box& combo) {
    // Each item carries its code: nothing is parsed out of the text shown.
    const int index = combo.cur_sel();
    if (index < 0) return -1;
    const LPARAM code = combo.data(index);
    return code == CB_ERR ? -1 : static_cast<int>(code);
}

MainDialog::MainDialog() : dialog(IDD_QUILLET_DIALOG), settings(L"") {
    set_registers_main_window(true);
    icon_ = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

MainDialog::~MainDialog() {
    // Work still going (a run stops after its current file, status lines
    // after the current one) is waited for, since it reports into this object.
    stop_run();
    fill_stop_ = true;
    if (work_thread_.joinable()) work_thread_.join();
    if (esc_hook_) UnhookWindowsHookEx(esc_hook_);
    if (working_dialog == this) working_dialog = nullptr;
    // End the window while this object's handlers can still answer it.
    destroy();
}

void MainDialog::bind_controls() {
    encoding_box = combo_box(item(IDC_ENCODING));
    folder_edit = edit_box(item(IDC_FOLDER_EDIT));
    file_list_box = list_box(item(IDC_FILE_LIST));
    recent_list_box = list_box(item(IDC_RECENT_LIST));
    run_summary = item(IDC_RUN_SUMMARY);
    line_note = item(IDC_LINE_NOTE);
}

void MainDialog::set_text_font(HFONT ui_font) {
    // The folder box and both lists show paths and the labels ("UTF_8",
    // "S_JIS") that carry each line's meaning, the lines below them names
    // such as "Shift_JIS": their font must draw "_".
    LOGFONTW face{};
    if (!ui_font || !GetObjectW(ui_font, sizeof face, &face)) {
        face.lfHeight = -MulDiv(9, dpi_, 72);
        face.lfCharSet = DEFAULT_CHARSET;
    }
    HFONT font = make_text_font(face);
    if (!font) return;
    for (HWND box : {folder_edit.hwnd(), file_list_box.hwnd(), recent_list_box.hwnd(), run_summary, line_note})
        if (box) SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (text_font_) DeleteObject(text_font_);
    text_font_ = font;
    fit_list_extent(file_list_box);
    fit_list_extent(recent_list_box);
    stretch_controls();
}

void MainDialog::OnDpiChanged(int dpi, const RECT* suggested) {
    if (dpi <= 0) return;
    const int old_dpi = dpi_;
    dpi_ = dpi;
    HFONT ui_font = make_dialog_font(dpi);
    if (ui_font && old_dpi != dpi) {
        // Every control keeps its place and size in dialog units: scale them.
        for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT rect{};
            GetWindowRect(child, &rect);
            // A drop-down's window is as tall as its open list.
            if (child == encoding_box.hwnd())
                SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rect));
            MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
            MoveWindow(child, MulDiv(rect.left, dpi, old_dpi), MulDiv(rect.top, dpi, old_dpi),
                       MulDiv(rect.right - rect.left, dpi, old_dpi),
                       MulDiv(rect.bottom - rect.top, dpi, old_dpi), TRUE);
        }
    }
    if (ui_font) {
        for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font), TRUE);
        if (dialog_font_) DeleteObject(dialog_font_);
        dialog_font_ = ui_font;
    }
    set_text_font(ui_font ? ui_font : reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0)));
    if (suggested)
        SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    stretch_controls();
    InvalidateRect(hwnd(), nullptr, TRUE);
}

SIZE MainDialog::min_window_size() const {
    // The button row and the drop-down stay reachable: the client area is
    // never narrower than the rightmost of them, nor lower than the lists' top.
    if (!file_list_box) return SIZE{0, 0};
    RECT need = {0, 0, 0,
                 child_rect_in_client(file_list_box.hwnd()).top + 2 * GetSystemMetrics(SM_CYHSCROLL)};
    for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == file_list_box.hwnd() || child == recent_list_box.hwnd() ||
            child == folder_edit.hwnd() || child == run_summary || child == line_note ||
            !(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE))
            continue;
        need.right = std::max(need.right, child_rect_in_client(child).right);
    }
    if (report_shown()) need.bottom += 2 * (text_line_height(run_summary) + 2) + 2;
    AdjustWindowRectEx(&need, static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_EXSTYLE)));
    return SIZE{need.right - need.left, need.bottom - need.top};
}

void MainDialog::OnGetMinMaxInfo(MINMAXINFO* info) {
    const SIZE least = min_window_size();
    if (!info || least.cx <= 0) return;
    info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, least.cx);
    info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, least.cy);
}

void MainDialog::keep_controls_reachable() {
    RECT rect{};
    const SIZE least = min_window_size();
    if (least.cx <= 0 || !GetWindowRect(hwnd(), &rect)) return;
    if (rect.right - rect.left >= least.cx && rect.bottom - rect.top >= least.cy) return;
    rect.right = std::max<LONG>(rect.right, rect.left + least.cx);
    rect.bottom = std::max<LONG>(rect.bottom, rect.top + least.cy);
    RECT work{};
    monitor_rects(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, nullptr, &work);
    rect = clamp_rect(rect, work);
    MoveWindow(hwnd(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

BOOL MainDialog::OnInitDialog() {
    // 1. What the framework does: bind the controls, fill the drop-down from
    //    the dialog's initial data.
    bind_controls();
    for (const encoding_row& row : encoding_table())
        if (row.item) encoding_box.add(row.item, row.code);
    dpi_ = window_dpi(hwnd());
    set_text_font(reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0)));
    // 2. The About box entry of the system menu.
    add_about_menu_entry();
    // 3. The program icon, big and small.
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    // 4. The lists and the folder box fill the client area.
    stretch_controls();
    // 5. Japanese captions, and what to do while the lists are empty.
    apply_ui_texts(hwnd());
    show_hint_when_empty(file_list_box, ui_text("Drop a folder, a list file (.ilc) or text files here."));
    show_hint_when_empty(recent_list_box, ui_text("The lists you open are kept here."));
    // 6. The store's recent-lists file and today's working folder.
    store().set_recent_path(recent_list_path());
    store().set_folder(dated_work_folder());
    // 7. The folder, with the end of a long path in view.
    show_folder();
    int length = static_cast<int>(folder_text.size());
    folder_edit.set_sel(length > 0 ? length - 1 : 0, length);
    folder_edit.scroll_caret();
    // 8. The recent list; the file list stays empty.
    fill_list(recent_list_box, store().load_recent());
    // 9. and 10.
    start_update_check();
    restore_placement();
    return TRUE;
}

void MainDialog::stretch_controls() {
    RECT client{};
    if (!GetClientRect(hwnd(), &client)) return;
    // The run's summary and the line note take two lines below the lists,
    // once there is a report.
    const int line = report_shown() ? text_line_height(run_summary) + 2 : 0;
    const LONG lists_bottom = client.bottom - (line > 0 ? 2 * line + 2 : 0);
    if (line > 0) {
        const int margin = GetSystemMetrics(SM_CXEDGE);
        MoveWindow(run_summary, margin, lists_bottom + 2, client.right - 2 * margin, line, TRUE);
        MoveWindow(line_note, margin, lists_bottom + 2 + line, client.right - 2 * margin, line, TRUE);
    }
    struct rule {
        HWND control;
        bool to_bottom;
        bool to_right;
    };
    const rule rules[] = {{recent_list_box.hwnd(), true, false},
                          {file_list_box.hwnd(), true, true},
                          {folder_edit.hwnd(), false, true}};
    for (const rule& r : rules) {
        if (!r.control || !IsWindow(r.control)) continue;
        RECT rect{};
        GetWindowRect(r.control, &rect);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        if (r.to_bottom) rect.bottom = lists_bottom;
        if (r.to_right) rect.right = client.right;
        MoveWindow(r.control, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   TRUE);
    }
}

void MainDialog::OnSize(UINT, int, int) { stretch_controls(); }

bool MainDialog::OnPaint() {
    if (!IsIconic(hwnd())) return false;  // default painting
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd(), &paint);
    SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    GetClientRect(hwnd(), &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(hwnd(), &paint);
    return true;
}

HICON MainDialog::OnQueryDragIcon() { return icon_; }

void MainDialog::UpdateData(bool save) {
    if (save)
        folder_text = folder_edit.text();
    else
        folder_edit.set_text(folder_text);
}

void MainDialog::show_folder() {
    folder_text = store().get_folder();
    UpdateData(false);
}

void MainDialog::select_code_for_list(const std::wstring& list_path) {
    encoding_box.set_cur_sel(drop_down_index(code_for_list(list_path)));
}

bool MainDialog::in_background(std::function<void()> work, std::function<void()> then) {
    // One piece of work at a time; the window stays live meanwhile, with the
    // controls that would start other work disabled.
    if (busy_) return false;
    busy_ = true;
    close_after_work_ = false;
    work_cursor_ = std::make_unique<wait_cursor>();
    enable_during_work(false);
    // Esc reaches the dialog as its cancel command, like "終了": the filter
    // tells it apart first, so that Esc stops a run and leaves the window.
    working_dialog = this;
    esc_hook_ = SetWindowsHookExW(WH_GETMESSAGE, esc_filter, nullptr, GetCurrentThreadId());
    work_then_ = std::move(then);
    const HWND window = hwnd();
    work_thread_ = std::thread([work = std::move(work), window] {
        try {
            work();
        } catch (...) {
            // Nothing may escape the thread; what was done is on disk and in the log.
            log_line(L"::in_background   Ended by an error");
        }
        // The end must arrive: a full queue is waited out while the window lives.
        while (!PostMessageW(window, kWorkDone, 0, 0) && IsWindow(window)) Sleep(10);
    });
    return true;
}

void MainDialog::on_work_done() {
    if (!work_thread_.joinable()) return;
    work_thread_.join();
    if (esc_hook_) UnhookWindowsHookEx(esc_hook_);
    esc_hook_ = nullptr;
    working_dialog = nullptr;
    std::function<void()> then = std::move(work_then_);
    work_then_ = nullptr;
    enable_during_work(true);
    if (then) then();
    work_cursor_.reset();
    busy_ = false;
    // "終了" or the close box meanwhile: the work has ended; close now.
    if (close_after_work_) {
        close_after_work_ = false;
        OnCancel();
    }
}

void MainDialog::enable_during_work(bool enable) {
    const int ids[] = {IDC_COPY, IDC_RECENT_LIST, IDC_FILE_LIST, IDC_RELOAD_IDO, IDC_ENCODING};
    if (!enable) {
        // A disabled control loses the keyboard: the focus moves to "終了"
        // first, where Esc and Enter still reach the dialog, and comes back.
        focus_before_work_ = GetFocus();
        const bool leaving = std::any_of(std::begin(ids), std::end(ids),
                                         [&](int id) { return item(id) == focus_before_work_; });
        if (leaving && item(IDCANCEL))
            SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDCANCEL)), TRUE);
    }
    for (int id : ids)
        if (HWND control = item(id)) EnableWindow(control, enable);
    if (enable && focus_before_work_ && IsWindow(focus_before_work_) && GetFocus() == item(IDCANCEL))
        SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus_before_work_), TRUE);
    if (enable) focus_before_work_ = nullptr;
}

void MainDialog::OnRecentSelect() {
    if (busy_) return;
    UpdateData(true);
    const int index = recent_list_box.cur_sel();
    const std::vector<std::wstring> recent = store().get_recent();
    if (index < 0 || static_cast<size_t>(index) >= recent.size()) return;
    const std::wstring path = recent[static_cast<size_t>(index)];
    read_list_in_background([path] { store().open_list(path); },
                            [this, path] {
                                select_code_for_list(path);
                                show_folder();
                                if (!store().unreadable_list().empty())
                                    report_box(unreadable_list_message(store(), ui_translator()), 0, 0);
                            });
}

void MainDialog::OnOK() {
    if (GetFocus() == recent_list_box.hwnd()) OnRecentSelect();
}

void MainDialog::OnReloadIdo() {
    // The file list keeps showing the list the copy button works on.
    auto recent = std::make_shared<std::vector<std::wstring>>();
    read_list_in_background([recent] { *recent = store().load_recent(); },
                            [this, recent] { fill_list(recent_list_box, *recent); });
}

bool MainDialog::on_command(int id, int code, HWND) {
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_COPY: OnCopy(); return true;
        case IDC_EDIT_IDO: OnEditIdo(); return true;
        case IDC_RELOAD_IDO: OnReloadIdo(); return true;
        case IDC_EDIT_ILC: OnEditIlc(); return true;
        case IDC_EXPLORER: OnExplorer(); return true;
        case IDC_EXPLORER_SRC: OnExplorerSrc(); return true;
        default: break;
        }
    }
    if (id == IDC_RECENT_LIST && code == LBN_SELCHANGE) {
        OnRecentSelect();
        return true;
    }
    if (id == IDC_FILE_LIST && code == LBN_SELCHANGE) {
        OnFileSelect();
        return true;
    }
    return false;
}

bool MainDialog::handle_message(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) {
    switch (msg) {
    case WM_SYSCOMMAND:
        if (!OnSysCommand(static_cast<UINT>(wp), lp)) return false;
        result = TRUE;
        return true;
    case WM_PAINT:
        if (!OnPaint()) return false;
        result = TRUE;
        return true;
    case kRunMessage:
        on_run_event(wp, lp);
        result = TRUE;
        return true;
    case kWorkDone:
        on_work_done();
        result = TRUE;
        return true;
    case kWindowTask:
        run_posted_task();
        result = TRUE;
        return true;
    case WM_SETCURSOR:
        if (!on_set_cursor(reinterpret_cast<HWND>(wp))) return dialog::handle_message(msg, wp, lp, result);
        SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
        result = TRUE;
        return true;
    case WM_QUERYDRAGICON:
        // One of the messages whose answer is the dialog procedure's result.
        result = reinterpret_cast<INT_PTR>(OnQueryDragIcon());
        return true;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wp));
        result = TRUE;
        return true;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp));
        return false;  // the default processing runs as well
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
        result = 0;
        return true;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lp));
        return false;
    case WM_NCDESTROY:
        for (HFONT* font : {&text_font_, &dialog_font_}) {
            if (*font) DeleteObject(*font);
            *font = nullptr;
        }
        return false;
    default:
        if (on_update_check_message(msg)) {
            result = TRUE;
            return true;
        }
        return dialog::handle_message(msg, wp, lp, result);
    }
}

}  // namespace quillet
