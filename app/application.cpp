// Start-up: common controls, the UI text table, the main dialog.
#include "app/application.h"

#include <commctrl.h>

#include "app/main_dialog.h"
#include "app/ui_text.h"
#include "base/log.h"
#include "app/main_window.h"

namespace quillet {

BOOL application::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    add_program_ui_texts();
    {
        MainDialog dialog;
        if (dialog.run_modal(nullptr) == -1)
            log_line(L"quillet: the main dialog could not be created, error " +
                     std::to_wstring(GetLastError()));
    }
    set_main_window(nullptr);
    return FALSE;
}

}  // namespace quillet
