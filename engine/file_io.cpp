// Whole-file input and output: raw bytes with open retries, decoded text, and
// the list files of the copy list store.
#include "engine/file_io.h"

#include <algorithm>

#include "base/codepage.h"
#include "base/handles.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/text_file.h"

namespace quillet {

namespace {
// Rewrites of a file whose data did not all arrive: the first write and up to
// eleven more.
constexpr int kMaxRewrite = 10;

}  // namespace

int64_t read_byte_count(int64_t size) { return bytes_to_hold(size); }

std::vector<uint8_t> read_file_bytes(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    // Others may go on reading and writing; a file they hold exclusively (a
    // scanner, an editor saving) is waited for.
    unique_hfile file =
        open_file_retrying(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (!file) {
        log_line(L"Can't open rb  " + path);
        return bytes;
    }
    if (!read_open_file(file.get(), bytes)) {
        // Too large to hold, or a failing read: an empty result, never a part.
        log_line(L"Can't read rb  " + path);
        bytes.clear();
    }
    return bytes;
}

bool write_file_bytes(const std::wstring& path, const std::vector<uint8_t>& bytes, int attempt) {
    bool written;
    {
        unique_hfile file = open_file_retrying(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               OPEN_ALWAYS);
        if (!file) {
            log_line(L"Can't open wb  " + path);
            return false;
        }
        written = SetEndOfFile(file.get()) && write_open_file(file.get(), bytes);
    }
    if (bytes.empty() && written) return true;
    // A file that did not receive all the data (a full disk, a file system that
    // dropped the write) is written again, a little later.
    file_status st(path);
    if (written && !st.failed() && st.size() == static_cast<int64_t>(bytes.size())) return true;
    if (attempt > kMaxRewrite) {
        log_line(L"Can't write wb  " + path);
        return false;
    }
    Sleep(10);
    return write_file_bytes(path, bytes, attempt + 1);
}

std::wstring read_whole_text(const std::wstring& path) {
    if (!path_exists(path, false)) return L"";
    return decode_text(read_file_bytes(path));
}

std::vector<std::wstring> read_list_file(const std::wstring& path) {
    std::wstring text = read_whole_text(path);
    if (text.empty()) return {};
    return split_text(text, L"\r\n", true);
}

bool write_list_file(const std::wstring& path, const std::vector<std::wstring>& list) {
    return write_file_bytes(path, wide_bytes(with_bom(lines_text(list))), 0);
}

std::wstring with_bom(const std::wstring& text) {
    size_t start = text.find_first_not_of(wchar_t(0xFEFF));
    if (start == std::wstring::npos) start = text.size();
    return std::wstring(1, wchar_t(0xFEFF)) + text.substr(start);
}

std::wstring lines_text(const std::vector<std::wstring>& list) {
    if (list.empty()) return L"";
    return join_text(list, L"\r\n") + L"\r\n";
}

}  // namespace quillet
