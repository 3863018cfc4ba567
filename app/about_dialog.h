// The About box (dialog 100): the program's description and version on its
// first line and its copyright on the second, read from its version resource.
#pragma once
#include <string>

#include "app/dialog.h"

namespace quillet {

class about_dialog : public dialog {
public:
    about_dialog();
    BOOL OnInitDialog() override;
};

// The version line: description + "  Version " + the file version with its
// spaces removed and its commas turned into full stops ("1, 0, 0, 1" gives
// "1.0.0.1").
std::wstring about_version_line(const std::wstring& description, const std::wstring& file_version);

}  // namespace quillet
