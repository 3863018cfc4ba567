// The About box.
#include "app/about_dialog.h"

#include <cstdio>

#include "app/resource.h"
#include "base/diagnostic.h"
#include "base/paths.h"
#include "base/version_info.h"
#include "settings/placement.h"

namespace quillet {

about_dialog::about_dialog() : dialog(IDD_ABOUTBOX) {}

std::wstring about_version_line(const std::wstring& description, const std::wstring& file_version) {
    std::wstring version;
    for (wchar_t c : file_version) {
        if (c == L' ') continue;
        version += c == L',' ? L'.' : c;
    }
    return description + L"  Version " + version;
}

RECT centred_on(const RECT& box, const RECT& owner, const RECT& work) {
    const LONG w = box.right - box.left, h = box.bottom - box.top;
    const LONG left = owner.left + ((owner.right - owner.left) - w) / 2;
    const LONG top = owner.top + ((owner.bottom - owner.top) - h) / 2;
    return clamp_rect(RECT{left, top, left + w, top + h}, work);
}

void about_dialog::centre_on_owner() {
    HWND owner = GetWindow(hwnd(), GW_OWNER);
    RECT box{}, over{};
    if (!owner || !GetWindowRect(hwnd(), &box) || !GetWindowRect(owner, &over)) return;
    const POINT middle = {(over.left + over.right) / 2, (over.top + over.bottom) / 2};
    RECT work{};
    monitor_rects(middle, nullptr, &work);
    const RECT r = centred_on(box, over, work);
    SetWindowPos(hwnd(), nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL about_dialog::OnInitDialog() {
    centre_on_owner();
    std::wstring program = module_path(nullptr);
    if (program.empty()) {
        error_note(L"::get_arv() ... empty");
        return TRUE;
    }
    version_info info;
    info.set_file(program);
    SetDlgItemTextW(hwnd(), IDC_ABOUT_COPYRIGHT, info.legal_copyright().c_str());
    SetDlgItemTextW(hwnd(), IDC_ABOUT_VERSION,
                    about_version_line(info.file_description(), info.file_version()).c_str());
    return TRUE;
}

}  // namespace quillet
