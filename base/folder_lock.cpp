#include "base/folder_lock.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "base/file_identity.h"
#include "base/file_replace.h"
#include "base/log.h"
#include "base/paths.h"

namespace quillet {

namespace {

std::wstring hex(uint64_t value) {
    wchar_t text[17] = {};
    swprintf(text, 17, L"%016llx", static_cast<unsigned long long>(value));
    return text;
}

// FNV-1a over the UTF-16 units: a short fixed-length key for a long path.
uint64_t path_hash(const std::wstring& text) {
    uint64_t hash = 14695981039346656037ull;
    for (wchar_t unit : text) {
        hash ^= static_cast<uint16_t>(unit);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::wstring full_lower_path(const std::wstring& folder) {
    const std::wstring full = full_path(folder);
    return to_lower(path_del_sep(full.empty() ? folder : full));
}

}  // namespace

std::wstring folder_lock_name(const std::wstring& folder) {
    const std::wstring prefix = L"Global\\quillet.folder.";
    const file_identity id = identity_of(folder.empty() ? L"." : folder);
    if (id.known) return prefix + hex(id.volume) + L"." + hex(id.index);
    return prefix + L"path." + hex(path_hash(full_lower_path(folder.empty() ? L"." : folder)));
}

folder_lock::folder_lock(const std::wstring& folder, const std::function<void()>& on_wait,
                         const std::function<bool()>& give_up) {
    const std::wstring name = folder_lock_name(folder);
    mutex_.reset(CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex_) {
        log_line(L"::folder_lock   Can't create   " + name + win32_error_text(GetLastError()));
        return;
    }
    DWORD result = WaitForSingleObject(mutex_.get(), 0);
    if (result == WAIT_TIMEOUT) {
        waited_ = true;
        log_line(L"::folder_lock   Waiting for another run   " + folder);
        if (on_wait) on_wait();
        // The other run may take minutes: whoever waits may give up meanwhile.
        while ((result = WaitForSingleObject(mutex_.get(), 50)) == WAIT_TIMEOUT) {
            if (give_up && give_up()) {
                log_line(L"::folder_lock   Stopped waiting   " + folder);
                stopped_ = true;
                return;
            }
        }
    }
    // An abandoned lock was held by a run that ended without releasing it
    // (a crash); it is this run's now.
    if (result == WAIT_ABANDONED) log_line(L"::folder_lock   Taken over from an ended run   " + folder);
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    if (!held_) log_line(L"::folder_lock   Can't wait   " + name + win32_error_text(GetLastError()));
}

folder_lock::~folder_lock() {
    if (held_) ReleaseMutex(mutex_.get());
}

}  // namespace quillet
