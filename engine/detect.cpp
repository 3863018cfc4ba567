#include "engine/detect.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "base/log.h"
#include "base/paths.h"
#include "engine/encodings.h"
#include "engine/file_io.h"

namespace quillet {

namespace {

constexpr size_t kDeclarationLines = 10;

bool contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

// The VRML/X3D rule: the first line naming "VRML" or "X3D" decides; only the
// lower-case "utf8" counts.
text_code vrml_code(const std::vector<std::wstring>& lines) {
    const size_t n = std::min(lines.size(), kDeclarationLines);
    for (size_t k = 0; k < n; ++k) {
        if (contains(lines[k], L"VRML") || contains(lines[k], L"X3D"))
            return contains(lines[k], L"utf8") ? code_utf8 : code_none;
    }
    return code_none;
}

}  // namespace

std::vector<uint8_t> read_head(const std::wstring& path, size_t n) {
    FILE* f = path.empty() ? nullptr : _wfopen(path.c_str(), L"rb");
    if (!f) {
        // One attempt only: the head is a quick look, not a read that must succeed.
        if (!path.empty()) Sleep(100);
        log_line(L"::ReadHead   Can't open   " + path);
        return {};
    }
    // The whole 64-bit size: a file of 4 GiB or more must not look short.
    const int64_t status_size = file_status(path).size();
    const uint64_t size = status_size > 0 ? static_cast<uint64_t>(status_size) : 0;
    std::vector<uint8_t> head(2 * n + 2, 0);
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, n));
    if (want > 0) fread(head.data(), 1, want, f);
    fclose(f);
    return head;
}

bool is_archive(const std::wstring& path) { return is_archive_head(read_head(path, 10)); }

bool has_xml_decl(const std::wstring& text) { return contains(text, L"<?xml"); }

text_code declared_code(const std::vector<std::wstring>& lines) {
    text_code code = declaration_rule_code(lines, L"xml", L"encoding");
    if (code != code_none) return code;
    code = declaration_rule_code(lines, L"html", L"charset");
    if (code != code_none) return code;
    return vrml_code(lines);
}

text_code declared_encoding(const std::wstring& text) {
    // The rules of declared_code for the one line text, searched in place
    // rather than in a copy of the whole text.
    text_code code = code_none;
    if (declaration_in_line(text, L"xml", L"encoding", code) && code != code_none) return code;
    if (declaration_in_line(text, L"html", L"charset", code) && code != code_none) return code;
    if (contains(text, L"VRML") || contains(text, L"X3D"))
        return contains(text, L"utf8") ? code_utf8 : code_none;
    return code_none;
}

text_code detect_code(const std::vector<uint8_t>& bytes) {
    const auto at = [&](size_t i) -> unsigned { return i < bytes.size() ? bytes[i] : 0xFF; };
    if (at(0) == 0xFF && at(1) == 0xFE) return (at(2) == 0 && at(3) == 0) ? code_utf32le : code_utf16le;
    if (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) return code_utf32be;
    if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return code_utf8;
    if (at(0) == 0xFE && at(1) == 0xFF) return code_utf16be;
    return guess_code(bytes);
}

namespace {

// The rules of the text test after the archive test, on the file's bytes, its
// text (decode_text of the bytes) and its status size.
bool text_rules(const std::vector<uint8_t>& bytes, const std::wstring& text, int64_t status_size) {
    if (has_xml_decl(text)) return true;
    if (declared_encoding(text) != code_none) return true;
    if (text.find(L'\0') != std::wstring::npos) return false;

    // A text much shorter than its file suggests a binary file that decoded to
    // little; a zero byte then decides.
    const uint64_t len = text.size();
    const uint64_t size = static_cast<uint64_t>(status_size);
    if (2 * len < size / 4)
        return std::find(bytes.begin(), bytes.end(), 0) == bytes.end();
    return true;
}

}  // namespace

bool is_archive_head(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 4 || bytes[0] != 0x50 || bytes[1] != 0x4B) return false;
    return (bytes[2] == 0x03 && bytes[3] == 0x04) || (bytes[2] == 0x05 && bytes[3] == 0x06) ||
           (bytes[2] == 0x07 && bytes[3] == 0x08);
}

bool is_text_file(const std::wstring& path) {
    if (is_archive(path)) return false;
    // The file is read once and its bytes kept for the zero-byte test below;
    // the text is what read_whole_text gives. A folder has no bytes to read
    // (and would only wait out the open retries), so it reads as empty text.
    const file_status status(path);
    std::vector<uint8_t> bytes;
    if (path_exists(path, false) && !status.is_folder()) bytes = read_file_bytes(path);
    return text_rules(bytes, decode_text(bytes), status.size());
}

bool is_text_read(const std::vector<uint8_t>& bytes, const std::wstring& text, int64_t size) {
    return text_rules(bytes, text, size);
}

bool is_text_data(const std::vector<uint8_t>& bytes, const std::wstring& text) {
    if (is_archive_head(bytes)) return false;
    return text_rules(bytes, text, static_cast<int64_t>(bytes.size()));
}

std::wstring encoding_label(text_code code) { return label_of_code(code); }

}  // namespace quillet
