// One run at a time per destination folder, across processes: a named mutex
// per folder, taken before a run writes anything there and released when the
// run ends. The system releases it too when the holding process ends without
// doing so (a crash), so a lock is never left behind.
#pragma once
#include <functional>
#include <string>

#include "base/handles.h"

namespace quillet {

// The mutex name of a folder: from the folder's identity (volume and file
// index) when it exists, so that every spelling of it and every link to it
// share one lock; from its full path in lower case otherwise.
std::wstring folder_lock_name(const std::wstring& folder);

class folder_lock {
public:
    // Takes the lock of folder. When another run holds it, on_wait is called
    // once (to show the wait) and the lock is waited for without a limit,
    // asking give_up every 50 ms: when it says so, the wait ends without the
    // lock (stopped()).
    explicit folder_lock(const std::wstring& folder, const std::function<void()>& on_wait = {},
                         const std::function<bool()>& give_up = {});
    ~folder_lock();
    folder_lock(const folder_lock&) = delete;
    folder_lock& operator=(const folder_lock&) = delete;

    // False only when the mutex could not be made or waited for at all.
    bool held() const { return held_; }
    // True when the lock was taken only after waiting for another run.
    bool waited() const { return waited_; }
    // True when the wait was given up.
    bool stopped() const { return stopped_; }

private:
    unique_handle mutex_;
    bool held_ = false;
    bool waited_ = false;
    bool stopped_ = false;
};

}  // namespace quillet
