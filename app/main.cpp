// quillet.exe: a dialog program. The application object runs the main dialog;
// when it closes, wWinMain returns and the process exit works off the
// deferred file removals (the process-wide exit_ops objects).
#include <windows.h>

#include "app/application.h"

namespace {
quillet::application the_application;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    the_application.InitInstance();
    return 0;
}
