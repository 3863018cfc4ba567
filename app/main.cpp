// quillet.exe: a dialog program. The application object runs the main dialog;
// when it closes, wWinMain returns and the process exit works off the
// deferred file removals (the process-wide exit_ops objects). An update check
// still blocked on the network by then ends the process around it instead.
#include <windows.h>

#include "app/application.h"
#include "tools/update_check.h"

namespace {
quillet::application the_application;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    the_application.InitInstance();
    quillet::end_process_if_update_check_alive(0);
    return 0;
}
