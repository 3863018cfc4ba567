// The INI text-file reader and writer: whole-file reads decoded by encoding,
// saves as UTF-16LE or Shift_JIS, all with retries on files others hold.
#include "text/text_file.h"

#include "text/archive_text.h"
#include "text/codepage.h"
#include "base/file_replace.h"
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

std::vector<uint8_t> utf16_mark() { return {0xFF, 0xFE}; }

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
}  // namespace

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
    std::vector<uint8_t> bytes = text_save_bytes(text, unicode, GetACP());
    if (unicode) bytes = utf16_mark() + bytes;
    return replace_file_bytes(path, bytes) ? 1 : 0;
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
    return replace_file_bytes(path, utf16_mark() + wide_bytes(text)) ? 1 : 0;
}

}  // namespace quillet
