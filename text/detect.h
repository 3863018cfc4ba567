// Text encoding detection: whether a file is text at all (ZIP archives, NUL
// characters and zero bytes make it binary; declared encodings make it text),
// which encoding a buffer is stored in, and the five-character labels of the
// encodings in the file list.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "text/archive_text.h"
#include "text/codepage.h"

namespace quillet {

class open_files;

// The first min(n, size) bytes of the file in a zero-filled vector of 2 * n + 2
// bytes; empty (and "::ReadHead   Can't open   " + path logged) when the file
// cannot be opened.
std::vector<uint8_t> read_head(const std::wstring& path, size_t n);

// The file starts with a ZIP signature: "PK" and 03 04, 05 06 or 07 08.
bool is_archive(const std::wstring& path);

// The file may be converted as text: not a ZIP archive, and either declaring
// its encoding or free of NUL characters (and, for a file whose text is short
// for its size, free of zero bytes). An empty file is text, and so is a file
// that cannot be read.
bool is_text_file(const std::wstring& path);

// The text test of a file read in pieces, with what it found on the way:
// whether the file could be read (error: why not), and the code of its bytes
// (head_code of its head).
struct text_check {
    bool readable = true;
    DWORD error = 0;
    bool text = true;
    text_code code = code_none;
};
text_check check_text_file(const std::wstring& path, open_files* files = nullptr);

// When a declaration in the head of the text file at path names another
// encoding than code, the one detection found for its bytes: what it
// declares and what the bytes are, as in "declares Shift_JIS, reads as
// EUC-JP"; "" when none does (or the file cannot be read).
std::wstring false_declaration(const std::wstring& path, text_code code,
                               open_files* files = nullptr);

// The bytes start with a ZIP signature ("PK" and 03 04, 05 06 or 07 08).
bool is_archive_head(const std::vector<uint8_t>& bytes);

// "NO_RD": the label, in the same five columns, of a file that is there but
// could not be read (held by another program, permission denied), whose
// encoding is therefore unknown.
std::wstring unreadable_label();

}  // namespace quillet
