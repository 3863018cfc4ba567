// Whole-file input and output: raw bytes with open retries, decoded text, and
// the list files of the copy list store.
#include "engine/file_io.h"

#include "text/codepage.h"
#include "base/file_replace.h"
#include "base/handles.h"
#include "base/log.h"
#include "base/paths.h"
#include "text/text_file.h"
#include "text/encodings.h"

namespace quillet {


std::vector<uint8_t> read_file_bytes(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    // Others may go on reading and writing; a file they hold exclusively (a
    // scanner, an editor saving) is waited for.
    DWORD error = 0;
    unique_hfile file = open_file_retrying(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           OPEN_EXISTING, 100, 100, &error);
    if (!file) {
        log_line(L"Can't open rb  " + path + win32_error_text(error));
        return bytes;
    }
    if (!read_open_file(file.get(), bytes)) {
        // Too large to hold, or a failing read: an empty result, never a part.
        log_line(L"Can't read rb  " + path + win32_error_text(GetLastError()));
        bytes.clear();
    }
    return bytes;
}

bool write_file_bytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    // The bytes go to a sibling file that is read back before it replaces the
    // file, so a file that did not receive all the data is never left behind
    // and never needs rewriting.
    return replace_file_bytes(path, bytes);
}

std::wstring read_whole_text(const std::wstring& path) {
    if (!path_exists(path, false)) return L"";
    return decode_text(read_file_bytes(path));
}

std::vector<std::wstring> list_of_bytes(const std::vector<uint8_t>& bytes) {
    const std::wstring text = decode_text(bytes);
    if (text.empty()) return {};
    return split_text(text, L"\r\n", true);
}

std::vector<std::wstring> read_list_file(const std::wstring& path) {
    if (!path_exists(path, false)) return {};
    return list_of_bytes(read_file_bytes(path));
}

list_record list_record_bytes(text_code code, const std::vector<std::wstring>& list) {
    const std::wstring text = lines_text(list);
    list_record record{encoded_form(code, text), false, true};
    if (list_of_bytes(record.bytes) == list) return record;
    // The target's own form would be read as other entries: characters it
    // cannot hold, a U+0000 that ends it, a leading U+FEFF that the mark
    // swallows, or bytes that look like another encoding. UTF-16 holds every
    // unit; little-endian with its mark reads right unless the text starts
    // with U+0000 (FF FE 00 00 is the UTF-32LE mark), big-endian then does.
    const std::vector<uint8_t> units = wide_bytes(text);
    std::vector<uint8_t> le(units.size() + 2), be(units.size() + 2);
    le[0] = be[1] = 0xFF;
    le[1] = be[0] = 0xFE;
    for (size_t i = 0; i + 1 < units.size(); i += 2) {
        le[i + 2] = be[i + 3] = units[i];
        le[i + 3] = be[i + 2] = units[i + 1];
    }
    for (std::vector<uint8_t>* form : {&le, &be}) {
        if (list_of_bytes(*form) != list) continue;
        record.bytes.swap(*form);
        record.utf16_instead = true;
        return record;
    }
    // No form holds entries the line format cannot tell apart (a CR LF outside
    // quotes, an unclosed quote); the target's form is written as it is.
    record.exact = false;
    return record;
}

bool read_list_entries(const std::wstring& path, std::vector<std::wstring>& list,
                       std::wstring& reason) {
    list.clear();
    DWORD error = 0;
    unique_hfile file = open_file_retrying(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           OPEN_EXISTING, 100, 100, &error);
    if (!file) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
        reason = L"cannot be opened" + win32_error_text(error);
        log_line(L"Can't open rb  " + path + win32_error_text(error));
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!read_open_file(file.get(), bytes)) {
        error = GetLastError();
        reason = L"cannot be read" + win32_error_text(error);
        log_line(L"Can't read rb  " + path + win32_error_text(error));
        return false;
    }
    list = list_of_bytes(bytes);
    return true;
}

bool write_list_file(const std::wstring& path, const std::vector<std::wstring>& list) {
    return write_file_bytes(path, list_record_bytes(code_none, list).bytes);
}

std::wstring lines_text(const std::vector<std::wstring>& list) {
    if (list.empty()) return L"";
    return join_text(list, L"\r\n") + L"\r\n";
}

}  // namespace quillet
