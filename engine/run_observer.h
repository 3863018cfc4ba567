// What a copy run tells its front end while it works, and how the front end
// asks it to stop. The engine never shows anything itself: the window shows
// these as its meter and boxes, the console front end writes them to standard
// error, as each sees fit. Every call comes from the thread the run works on,
// in list order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/entries.h"

namespace quillet {

class run_observer {
public:
    virtual ~run_observer() = default;
    // The run starts on total entries.
    virtual void begin(size_t total) { (void)total; }
    // Entry index (of begin's total) is about to be worked on.
    virtual void entry_started(size_t index) { (void)index; }
    // Entry index is done: what happened to it.
    virtual void entry_done(size_t index, const entry_outcome& outcome) {
        (void)index;
        (void)outcome;
    }
    // Entry index is done up to `done` of `total` (units of the engine's
    // choosing: bytes of its passes over the files). done never goes back
    // for one entry and stays at most total. Called now and then while a
    // large file is worked on, a few times a second at most.
    virtual void entry_progress(size_t index, uint64_t done, uint64_t total) {
        (void)index;
        (void)done;
        (void)total;
    }
    // The run waits for something another program or run holds (reason says
    // what, in a few English words), until it is free or a stop is asked for.
    virtual void waiting(const std::wstring& path, const std::wstring& reason) {
        (void)path;
        (void)reason;
    }
    // A destination file, or the run's list record, could not be written:
    // message is "Unable to save.\r\n" (translated) and the file's name.
    virtual void cannot_save(const std::wstring& path, const std::wstring& message) {
        (void)path;
        (void)message;
    }
    // The store's list file could not be read: nothing is run.
    virtual void list_unreadable(const std::wstring& message) { (void)message; }
    // Asked before each entry and while the run waits: true ends the run
    // there; the entries not reached are left alone.
    virtual bool stop_requested() { return false; }
};

}  // namespace quillet
