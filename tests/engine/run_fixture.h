// Shared by the store, entries, intake and copy run tests: a scratch folder that
// is also the process's temporary folder (so working folders and Rescue backups
// land in it), a fresh process-wide store pointed at a scratch recent-lists
// file, and helpers to build a mixed corpus of real files.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/run_observer.h"
#include "engine/store.h"
#include "support/scratch.h"

namespace run_test {

// src converted (code 8, 16, 74) or copied (0) into dest_folder as one entry
// of a copy run is: true when the destination then holds the source's content
// (converted, copied unchanged or found up to date).
bool convert_one(int code, const std::wstring& src, const std::wstring& dest_folder);

inline std::wstring env(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
    return n ? std::wstring(buffer, n) : std::wstring();
}

// Points TMP and TEMP at a folder for the object's lifetime.
class temp_redirect {
public:
    explicit temp_redirect(const std::wstring& folder) : tmp_(env(L"TMP")), temp_(env(L"TEMP")) {
        CreateDirectoryW(folder.c_str(), nullptr);
        SetEnvironmentVariableW(L"TMP", folder.c_str());
        SetEnvironmentVariableW(L"TEMP", folder.c_str());
    }
    ~temp_redirect() {
        SetEnvironmentVariableW(L"TMP", tmp_.empty() ? nullptr : tmp_.c_str());
        SetEnvironmentVariableW(L"TEMP", temp_.empty() ? nullptr : temp_.c_str());
    }

private:
    std::wstring tmp_, temp_;
};

using testing_support::code_page_bytes;
inline std::vector<uint8_t> sjis(const std::wstring& text) { return code_page_bytes(text, 932); }
inline std::vector<uint8_t> utf8(const std::wstring& text, bool bom = false) {
    std::vector<uint8_t> out;
    if (bom) out = {0xEF, 0xBB, 0xBF};
    const std::vector<uint8_t> body = code_page_bytes(text, CP_UTF8);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}
inline std::vector<uint8_t> utf16le(const std::wstring& text, bool bom = true) {
    return testing_support::utf16le_bytes(text, bom);
}
inline std::vector<uint8_t> utf16be(const std::wstring& text) {
    std::vector<uint8_t> out = {0xFE, 0xFF};
    for (wchar_t c : text) {
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c & 0xFF));
    }
    return out;
}
inline std::vector<uint8_t> utf32le(const std::wstring& text) {
    std::vector<uint8_t> out = {0xFF, 0xFE, 0x00, 0x00};
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>((c >> (8 * k)) & 0xFF));
    }
    return out;
}
inline std::vector<uint8_t> zip_bytes() {
    return {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x00, 0x00, 0x08, 0x00, 0x61, 0x62, 0x63, 0x0D, 0x0A};
}
inline std::vector<uint8_t> png_bytes() {
    return {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
            0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00,
            0x00, 0x90, 0x77, 0x53, 0xDE, 0x00, 0x00, 0x00, 0x0C, 0x49, 0x44, 0x41, 0x54, 0x08};
}

// What a run reported to its observer.
struct recording_observer : quillet::run_observer {
    size_t total = 0;
    std::vector<size_t> started, done;
    std::vector<std::wstring> waits, unsaved, unreadable;
    struct progress { size_t index; uint64_t done, total; };
    std::vector<progress> progressed;
    std::atomic<bool> waited{false};  // set at the first wait
    size_t stop_after = SIZE_MAX;     // asks to stop once this many entries are done
    void begin(size_t n) override { total = n; }
    void entry_started(size_t i) override { started.push_back(i); }
    void entry_done(size_t i, const quillet::entry_outcome&) override { done.push_back(i); }
    void entry_progress(size_t i, uint64_t d, uint64_t t) override { progressed.push_back({i, d, t}); }
    void waiting(const std::wstring&, const std::wstring& reason) override {
        waits.push_back(reason);
        waited = true;
    }
    void cannot_save(const std::wstring&, const std::wstring& message) override { unsaved.push_back(message); }
    void list_unreadable(const std::wstring& message) override { unreadable.push_back(message); }
    bool stop_requested() override { return done.size() >= stop_after; }
};

// The last line of the current debug dump file that contains marker ("" when none).
std::wstring log_line_with(const std::wstring& marker);

// A source time well in the past (2021-03-04 05:06:07 UTC).
constexpr int64_t old_time = 1614834367;

class fixture : public ::testing::Test {
protected:
    void SetUp() override {
        src_dir = scratch.path() + L"src\\";
        dest_dir = scratch.path() + L"dest\\";
        CreateDirectoryW(src_dir.c_str(), nullptr);
        CreateDirectoryW(dest_dir.c_str(), nullptr);
        recent_file = scratch.path() + L"recent.ido";
        testing_support::put_bytes(recent_file, {});
        quillet::store().clear();
        quillet::store().set_recent_path(recent_file);
        quillet::store().load_recent();
    }
    void TearDown() override {
        quillet::store().clear();
        quillet::store().set_recent_path(L"");
    }
    // Writes a source file with the given bytes and the old time; its full path.
    std::wstring source(const std::wstring& name, const std::vector<uint8_t>& bytes,
                        int64_t mtime = old_time) {
        const std::wstring path = src_dir + name;
        testing_support::put_bytes(path, bytes);
        testing_support::set_mtime(path, mtime);
        return path;
    }
    std::wstring rescue_folder_of(const std::wstring& folder) const;

    testing_support::scratch_folder scratch;
    temp_redirect temp{scratch.path() + L"tmp\\"};
    std::wstring src_dir, dest_dir, recent_file;
};

}  // namespace run_test
