// The About box (dialog 100): the program's description and version on its
// first line and its copyright on the second, read from its version resource.
#pragma once
#include <windows.h>

#include <string>

#include "app/dialog.h"

namespace quillet {

class about_dialog : public dialog {
public:
    about_dialog();
    // Centres the box on the window that owns it, inside that window's work area.
    BOOL OnInitDialog() override;

private:
    void centre_on_owner();
};

// box moved so that its centre is owner's centre, then into work.
RECT centred_on(const RECT& box, const RECT& owner, const RECT& work);

// The version line: description + "  Version " + the file version with its
// spaces removed and its commas turned into full stops ("1, 0, 0, 1" gives
// "1.0.0.1").
std::wstring about_version_line(const std::wstring& description, const std::wstring& file_version);

}  // namespace quillet
