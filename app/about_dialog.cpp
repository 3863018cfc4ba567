// The About box.
#include "app/about_dialog.h"

#include <cstdio>

#include "app/resource.h"
#include "base/diagnostic.h"
#include "base/paths.h"
#include "base/version_info.h"

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

BOOL about_dialog::OnInitDialog() {
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
