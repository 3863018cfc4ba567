#include "app_fixture.h"

#include "base/paths.h"

#include <commctrl.h>
#include <shlobj.h>

#include "app/list_fill.h"
#include "app/resource.h"
#include "app/ui_text.h"
#include "app/main_window.h"
#include "app/report_box.h"
#include "engine/store.h"
#include "settings/profile.h"
#include "tools/shell_launcher.h"

namespace app_test {

namespace {

std::wstring env(const wchar_t* name) {
    wchar_t buf[32768] = {};
    DWORD n = GetEnvironmentVariableW(name, buf, 32768);
    return std::wstring(buf, n);
}

std::wstring text_or_empty(const wchar_t* text) { return text ? text : L""; }

const wchar_t placement_section[] = L"Position\\Dialog";
const wchar_t placement_key[] = L"Position_quilletDg_CDialog";

}  // namespace

HGLOBAL make_hdrop(const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (const std::wstring& p : paths) chars += p.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    if (!memory) return nullptr;
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(files) + sizeof(DROPFILES));
    for (const std::wstring& p : paths) {
        std::copy(p.begin(), p.end(), out);
        out += p.size();
        *out++ = L'\0';
    }
    *out = L'\0';
    GlobalUnlock(memory);
    return memory;
}

LRESULT CALLBACK record_titles(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    if (msg == WM_SETTEXT && lp)
        reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(
            reinterpret_cast<const wchar_t*>(lp));
    return DefSubclassProc(h, msg, wp, lp);
}

void dispatch_pending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

RECT child_rect(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void app_window::SetUp() {
    old_tmp_ = env(L"TMP");
    old_temp_ = env(L"TEMP");
    temp = make_folder(L"temp");
    SetEnvironmentVariableW(L"TMP", temp.c_str());
    SetEnvironmentVariableW(L"TEMP", temp.c_str());

    quillet::clear_ui_texts();
    quillet::add_program_ui_texts();
    quillet::set_report_answerer([this](const std::wstring& text, unsigned type) {
        boxes.push_back({text, type, quillet::wait_cursor::active()});
        return IDOK;
    });
    quillet::set_shell_execute_hook([this](HWND, const wchar_t* verb, const wchar_t* file,
                                           const wchar_t* params, const wchar_t*, int) {
        shell_calls.push_back({text_or_empty(verb), text_or_empty(file), text_or_empty(params)});
        return static_cast<intptr_t>(42);
    });

    // The dialog keeps its placement in the prefix's profile; the value found
    // there is put back at the end, so tests leave the program's start alone.
    saved_placement_ = quillet::profile(L"").get_rect(placement_section, placement_key, RECT{});
    saved_dpi_ = quillet::profile(L"").get_int(L"Position", L"DPI_", 0);
    // Placements written by a test count as saved at today's DPI.
    HDC screen = GetDC(nullptr);
    quillet::profile(L"").write_int(L"Position", L"DPI_", GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);

    dlg = std::make_unique<test_dialog>();
    ASSERT_TRUE(dlg->create_modeless());
    // The recent list of this test lives in its scratch folder.
    ido = make_folder(L"Recent") + L"quillet.ido";
    write_list(ido, {});
    quillet::store().set_recent_path(ido);
    click(IDC_RELOAD_IDO);
}

void app_window::TearDown() {
    dlg.reset();
    quillet::profile(L"").write_rect(placement_section, placement_key, saved_placement_);
    if (saved_dpi_ > 0) quillet::profile(L"").write_int(L"Position", L"DPI_", saved_dpi_);
    quillet::set_report_answerer(nullptr);
    quillet::set_shell_execute_hook(nullptr);
    quillet::store().clear();
    // Leave the process-wide store as a fresh one: no recent list either.
    quillet::store().set_recent_path(scratch.file(L"none.ido"));
    quillet::store().load_recent();
    quillet::store().set_recent_path(L"");
    SetEnvironmentVariableW(L"TMP", old_tmp_.c_str());
    SetEnvironmentVariableW(L"TEMP", old_temp_.c_str());
}

void app_window::click(int id) {
    SendMessageW(dlg->hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(dlg->item(id)));
    wait_for_run();
}

void app_window::wait_for_run() {
    // The dialog's own loop, as the program's modal loop runs it, until the
    // work's thread has ended and the window has shown its end.
    const ULONGLONG give_up = GetTickCount64() + 120000;
    while (dlg && dlg->running()) {
        if (GetTickCount64() > give_up) {
            ADD_FAILURE() << "the window's work did not end within two minutes";
            return;
        }
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        if (dlg->hwnd() && IsDialogMessageW(dlg->hwnd(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void app_window::drop(const std::vector<std::wstring>& paths) {
    HGLOBAL memory = make_hdrop(paths);
    ASSERT_NE(memory, nullptr);
    // The dialog releases the handle (DragFinish) once it has read the names.
    SendMessageW(dlg->hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    wait_for_run();
}

void app_window::select_recent(int index) {
    HWND box = dlg->item(IDC_RECENT_LIST);
    SendMessageW(box, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dlg->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_RECENT_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(box));
    wait_for_run();
}

std::wstring app_window::text_of(int id) const { return quillet::window_text(dlg->item(id)); }

std::vector<std::wstring> app_window::drop_folder_and_files(const std::wstring& folder, int n,
                                                          const std::function<std::string(int)>& body) {
    std::vector<std::wstring> dropped = {quillet::path_del_sep(folder)};
    for (int i = 0; i < n; ++i)
        dropped.push_back(make_file(L"src\\file" + std::to_wstring(i) + L".txt", body(i)));
    drop(dropped);
    return {dropped.begin() + 1, dropped.end()};
}

std::wstring app_window::make_folder(const std::wstring& relative) {
    std::wstring path = scratch.path() + relative;
    SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    return path + L"\\";
}

std::wstring app_window::make_file(const std::wstring& relative, const std::string& bytes) {
    std::wstring path = scratch.path() + relative;
    size_t sep = path.find_last_of(L'\\');
    SHCreateDirectoryExW(nullptr, path.substr(0, sep).c_str(), nullptr);
    EXPECT_TRUE(testing_support::put_bytes(path, testing_support::bytes_of(bytes)));
    return path;
}

void app_window::write_list(const std::wstring& path, const std::vector<std::wstring>& entries) {
    std::wstring text;
    for (const std::wstring& e : entries) text += e + L"\r\n";
    ASSERT_TRUE(testing_support::put_bytes(path, testing_support::utf16le_bytes(text, true)));
}

std::wstring app_window::read_utf16(const std::wstring& path) {
    std::vector<uint8_t> bytes = testing_support::get_bytes(path);
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    return text;
}

}  // namespace app_test
