// The main dialog: initialisation, the message switch, resizing, the
// minimised icon, the recent list and the encoding drop-down.
#include "app/main_dialog.h"

#include <cwchar>

#include "app/list_fill.h"
#include "app/resource.h"
#include "app/ui_text.h"
#include "base/paths.h"
#include "engine/copy_run.h"
#include "engine/encodings.h"
#include "engine/intake.h"
#include "engine/store.h"

namespace quillet {

namespace {

// The face the dialog template names; a fixed-pitch font keeps the columns of
// the file list's status lines aligned.
const wchar_t fixed_face[] = L"ＭＳ ゴシック";

bool is_fixed_pitch(HWND window, HFONT font) {
    HDC dc = GetDC(window);
    if (!dc) return false;
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    bool ok = GetTextMetricsW(dc, &metrics) != 0;
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    // TMPF_FIXED_PITCH set means a variable-pitch font (the name is historic).
    return ok && !(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH);
}

}  // namespace

const std::vector<std::wstring>& encoding_items() {
    static const std::vector<std::wstring> items = drop_down_items();
    return items;
}

int selected_code(const combo_box& combo) {
    int index = combo.cur_sel();
    if (index < 0) return -1;
    return code_from_item_text(combo.text(index));
}

int encoding_index_for_code(int code) { return drop_down_index(code); }

MainDialog::MainDialog() : dialog(IDD_QUILLET_DIALOG), settings(L"") {
    set_registers_main_window(true);
    icon_ = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

MainDialog::~MainDialog() {
    // End the window while this object's handlers can still answer it.
    destroy();
}

void MainDialog::bind_controls() {
    encoding_box = combo_box(item(IDC_ENCODING));
    folder_edit = edit_box(item(IDC_FOLDER_EDIT));
    file_list_box = list_box(item(IDC_FILE_LIST));
    recent_list_box = list_box(item(IDC_RECENT_LIST));
}

void MainDialog::set_list_font() {
    HWND box = file_list_box.hwnd();
    if (!box) return;
    // The dialog's own face at one pixel more: at the dialog's size the
    // Japanese fixed-pitch faces drop the "_" of labels such as "UTF_8".
    LOGFONTW face{};
    HFONT dialog_font = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    if (!dialog_font || !GetObjectW(dialog_font, sizeof face, &face)) {
        face.lfHeight = -12;
        face.lfCharSet = DEFAULT_CHARSET;
    }
    face.lfHeight = face.lfHeight < 0 ? face.lfHeight - 1 : face.lfHeight + 1;
    face.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    wcsncpy(face.lfFaceName, fixed_face, LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectW(&face);
    if (font && !is_fixed_pitch(box, font)) {
        // The named face is missing and its stand-in is proportional: let the
        // font mapper pick any fixed-pitch face.
        DeleteObject(font);
        face.lfFaceName[0] = L'\0';
        face.lfCharSet = DEFAULT_CHARSET;
        font = CreateFontIndirectW(&face);
    }
    if (!font) return;
    list_font_ = font;
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (recent_list_box) SendMessageW(recent_list_box.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

BOOL MainDialog::OnInitDialog() {
    // 1. What the framework does: bind the controls, fill the drop-down from
    //    the dialog's initial data.
    bind_controls();
    for (const std::wstring& text : encoding_items()) encoding_box.add(text);
    set_list_font();
    // 2. The About box entry of the system menu.
    add_about_menu_entry();
    // 3. The program icon, big and small.
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    // 4. The lists and the folder box fill the client area.
    stretch_controls();
    // 5. Japanese captions.
    apply_ui_texts(hwnd());
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
        if (r.to_bottom) rect.bottom = client.bottom;
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
    encoding_box.set_cur_sel(encoding_index_for_code(code_for_list(list_path)));
}

void MainDialog::OnRecentSelect() {
    wait_cursor wait;
    UpdateData(true);
    int index = recent_list_box.cur_sel();
    std::vector<std::wstring> recent = store().get_recent();
    if (index < 0 || static_cast<size_t>(index) >= recent.size()) return;
    std::wstring path = recent[static_cast<size_t>(index)];
    store().open_list(path);
    select_code_for_list(path);
    show_folder();
    fill_list(file_list_box, store().file_entries());
}

void MainDialog::OnReloadIdo() {
    fill_list(recent_list_box, store().load_recent());
    fill_list(file_list_box, {});
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
    case WM_NCDESTROY:
        if (list_font_) {
            DeleteObject(list_font_);
            list_font_ = nullptr;
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
