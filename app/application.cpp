// Start-up: common controls, the UI text table, the main dialog.
#include "app/application.h"

#include <commctrl.h>

#include "app/main_dialog.h"
#include "app/ui_text.h"
#include "base/main_window.h"

namespace quillet {

BOOL application::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    add_program_ui_texts();
    {
        MainDialog dialog;
        dialog.run_modal(nullptr);
    }
    set_main_window(nullptr);
    return FALSE;
}

}  // namespace quillet
