// The INI text-file reader and writer: whole-file reads decoded by encoding,
// saves as UTF-16LE or Shift_JIS, all with retries on files others hold.
#include "base/text_file.h"

#include <algorithm>
#include <new>

#include "base/archive_text.h"
#include "base/codepage.h"
#include "base/handles.h"
#include "base/paths.h"

namespace quillet {

namespace {
// The one place where a text file's bytes become text: byte-order marks, an
// XML declaration of UTF-8, then decode_text (Shift_JIS, ASCII, UTF-8).
std::wstring decode_file_text(const std::vector<uint8_t>& bytes) {
    return decode_archive_text(bytes, false);
}


// Reading denies writing to others, so nobody changes the file under the read.
unique_hfile open_for_reading(const std::wstring& path) {
    return open_file_retrying(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

// Writing holds the file exclusively; a file held by others is waited for.
unique_hfile open_for_replacing(const std::wstring& path) {
    unique_hfile file = open_file_retrying(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
    if (file && !SetEndOfFile(file.get())) file.reset();
    return file;
}

std::vector<uint8_t> utf16_mark() { return {0xFF, 0xFE}; }

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
}  // namespace

int64_t bytes_to_hold(int64_t size) {
    if (size < 0) return -1;
    const uint64_t wanted = static_cast<uint64_t>(size);
    if (wanted > std::vector<uint8_t>().max_size() || wanted > SIZE_MAX) return -1;
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof(memory);
    // More than the system could ever commit cannot be held, however it is read.
    if (GlobalMemoryStatusEx(&memory) && wanted > memory.ullTotalPageFile) return -1;
    return size;
}

bool read_open_file(HANDLE file, std::vector<uint8_t>& bytes) {
    bytes.clear();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return false;
    const int64_t count = bytes_to_hold(size.QuadPart);
    if (count < 0) return false;
    try {
        bytes.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        bytes.clear();
        return false;
    }
    // ReadFile takes 32-bit counts: large files are read in pieces.
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + done, chunk, &got, nullptr)) {
            bytes.clear();
            return false;
        }
        if (got == 0) break;  // the file became shorter meanwhile
        done += got;
    }
    bytes.resize(done);
    return true;
}

std::vector<uint8_t> text_save_bytes(const std::wstring& text, bool unicode, unsigned ansi_cp) {
    if (unicode) return wide_bytes(text);
    bool lossy = false;
    std::vector<uint8_t> narrow = wide_to_bytes(text, ansi_cp, &lossy);
    // Only a Japanese system's ANSI form is kept, and only when every
    // character has one; everything else is saved as UTF-16LE with its mark.
    if (ansi_cp != 932 || lossy) return utf16_mark() + wide_bytes(text);
    return narrow;
}

int read_text_file(const std::wstring& path, std::wstring& text) {
    text.clear();
    if (path.empty()) return 0;
    file_status st(path);
    if (st.failed() || st.size() == 0 || st.is_folder()) return 0;
    unique_hfile file = open_for_reading(path);
    if (!file) return 0;
    std::vector<uint8_t> bytes;
    if (!read_open_file(file.get(), bytes)) return 0;
    text = decode_file_text(bytes);
    return 1;
}

int write_text_file(const std::wstring& path, const std::wstring& text, bool unicode) {
    if (path.empty()) return 0;
    unique_hfile file = open_for_replacing(path);
    if (!file) return 0;
    std::vector<uint8_t> bytes = text_save_bytes(text, unicode, GetACP());
    if (unicode) bytes = utf16_mark() + bytes;
    return write_open_file(file.get(), bytes) ? 1 : 0;
}

bool has_utf16_bom(const std::wstring& path) {
    if (path.empty()) return false;
    file_status st(path);
    if (st.failed() || st.size() == 0 || st.is_folder()) return false;
    unique_hfile file = open_for_reading(path);
    if (!file) return false;
    uint8_t head[2] = {0, 0};
    DWORD got = 0;
    if (!ReadFile(file.get(), head, 2, &got, nullptr) || got != 2) return false;
    return (head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF);
}

int make_utf16_file(const std::wstring& path) {
    if (path.empty()) return 0;
    if (has_utf16_bom(path)) return 1;
    std::wstring text;
    // A file with content that cannot be read now is left alone rather than
    // replaced by an empty one.
    file_status st(path);
    if (!read_text_file(path, text) && !st.failed() && st.size() != 0) return 0;
    unique_hfile file = open_for_replacing(path);
    if (!file) return 0;
    return write_open_file(file.get(), utf16_mark() + wide_bytes(text)) ? 1 : 0;
}

}  // namespace quillet
