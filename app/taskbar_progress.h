// The run's progress on the window's taskbar button, as Windows shows it for
// copies (ITaskbarList3): a bar that fills as the run goes, paused while the
// run waits, gone when it ends. Where the platform lacks the taskbar object
// the failure is logged once and every call does nothing.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <cstdint>

namespace quillet {

class taskbar_progress {
public:
    explicit taskbar_progress(HWND window) : window_(window) {}
    ~taskbar_progress();
    taskbar_progress(const taskbar_progress&) = delete;
    taskbar_progress& operator=(const taskbar_progress&) = delete;

    // done of total (total > 0), in a normal (green) bar.
    void show(uint64_t done, uint64_t total);
    // The bar stays where it is and turns to the paused (yellow) state.
    void pause();
    // No bar.
    void clear();
    // The taskbar object was made: calls reach the shell.
    bool available();

private:
    ITaskbarList3* list();

    HWND window_;
    ITaskbarList3* list_ = nullptr;
    bool tried_ = false;
    bool com_started_ = false;
    bool shown_ = false;
};

}  // namespace quillet
