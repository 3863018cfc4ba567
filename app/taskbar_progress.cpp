// The taskbar button's progress bar.
#include "app/taskbar_progress.h"

#include <string>

#include "base/log.h"

namespace quillet {

namespace {

std::wstring hresult_text(HRESULT result) {
    wchar_t text[16] = {};
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(result));
    return text;
}

}  // namespace

taskbar_progress::~taskbar_progress() {
    clear();
    if (list_) list_->Release();
    if (com_started_) CoUninitialize();
}

ITaskbarList3* taskbar_progress::list() {
    if (tried_) return list_;
    tried_ = true;
    // The window's thread is a single-threaded apartment; a thread that is
    // already in one (or in the other kind) keeps it.
    const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    com_started_ = SUCCEEDED(started);
    void* object = nullptr;
    HRESULT made = CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskbarList3, &object);
    if (FAILED(made) || !object) {
        log_line(L"::taskbar_progress   No taskbar list   " + hresult_text(made));
        return nullptr;
    }
    list_ = static_cast<ITaskbarList3*>(object);
    const HRESULT ready = list_->HrInit();
    if (FAILED(ready)) {
        log_line(L"::taskbar_progress   Taskbar list not ready   " + hresult_text(ready));
        list_->Release();
        list_ = nullptr;
    }
    return list_;
}

bool taskbar_progress::available() { return list() != nullptr; }

void taskbar_progress::show(uint64_t done, uint64_t total) {
    ITaskbarList3* bar = list();
    if (!bar || !window_ || total == 0) return;
    bar->SetProgressState(window_, TBPF_NORMAL);
    bar->SetProgressValue(window_, done, total);
    shown_ = true;
}

void taskbar_progress::pause() {
    ITaskbarList3* bar = list();
    if (!bar || !shown_) return;
    bar->SetProgressState(window_, TBPF_PAUSED);
}

void taskbar_progress::clear() {
    if (!list_ || !shown_) return;
    list_->SetProgressState(window_, TBPF_NOPROGRESS);
    shown_ = false;
}

}  // namespace quillet
