// Start-up of quillet.exe: builds the UI text table and runs the main dialog
// modally; the process ends when the dialog closes.
#pragma once
#include <windows.h>

namespace quillet {

class application {
public:
    // Prepares the common controls, adds the UI texts, runs the main dialog
    // as the main window until it closes. Always FALSE: nothing runs after it.
    virtual BOOL InitInstance();
    virtual ~application() = default;
};

}  // namespace quillet
