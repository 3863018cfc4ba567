// Encoding conversion and output: the four writers that put text on disk as
// UTF-8, UTF-16LE, Shift_JIS or marked UTF-16LE, and the conversion of one
// source file into the destination folder, verified by reading it back and
// stamped with the source's modification time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/paths.h"

namespace quillet {

// The bytes each writer puts in the file. The UTF-8, UTF-16 and Shift_JIS
// forms end at the text's first U+0000; line ends are kept as they are.
// EF BB BF (with bom), then UTF-8.
std::vector<uint8_t> utf8_form(const std::wstring& text, bool bom);
// FF FE (with bom), then UTF-16LE; a leading U+FEFF in text is kept as well.
std::vector<uint8_t> utf16_form(const std::wstring& text, bool bom);
// Code page 932; characters it cannot represent become underscores (the
// default character "__") or a look-alike. lossy, when given, tells whether
// the bytes fail to give the text back.
std::vector<uint8_t> sjis_form(const std::wstring& text, bool* lossy = nullptr);
// UTF-16LE of with_bom(text): exactly one FF FE, the whole text after it.
std::vector<uint8_t> utf16_text_form(const std::wstring& text);

// The writers: create or replace path in place with write_file_bytes; false
// when the file could not be written.
bool write_utf8(const std::wstring& path, const std::wstring& text, bool bom);
bool write_utf16(const std::wstring& path, const std::wstring& text, bool bom);
bool write_sjis(const std::wstring& path, const std::wstring& text);
bool write_utf16_text(const std::wstring& path, const std::wstring& text);

// Sets path's modification time to mtime (seconds since 1970; 0: now),
// keeping its access time.
bool set_file_time(const std::wstring& path, int64_t mtime);

// Converts (code 8, 16, 74; other codes but 0 write marked UTF-16LE) or copies
// (code 0) the file src to dest_folder\name of src. Leaves an up-to-date
// destination alone; backs up an existing destination before it converts;
// when the conversion would lose anything the source is copied unchanged
// instead. The destination gets the source's modification time. False when
// the destination could not be written, or when the source cannot be read
// whole, is the destination itself, or the existing destination could not be
// backed up.
bool convert_file(text_code code, const std::wstring& src, const std::wstring& dest_folder);

// A source file as a caller has read it: read is set once bytes holds what
// read_file_bytes gave and text is decode_text(bytes). convert_read_file lets
// the bytes go once it no longer needs them.
struct source_data {
    bool read = false;
    std::vector<uint8_t> bytes;
    std::wstring text;
};

// What convert_read_file found out about the destination it left in place
// (known set): both files' status as it left them and the destination's text
// test and code; its text is the source's. Not known after a plain copy.
struct convert_outcome {
    bool known = false;
    int64_t src_mtime = 0;
    int64_t src_size = 0;
    int64_t dest_mtime = 0;
    int64_t dest_size = 0;
    bool dest_text_file = false;
    text_code dest_code = code_none;
    // A conversion was asked for and the source was copied unchanged instead
    // (it would have lost something, or its encoding was undecided).
    bool kept_unchanged = false;
};

// convert_file for a caller that has already looked at both files: dest is
// the destination path, src_status and dest_status the files' statuses, and
// known_distinct tells that src and dest were found to be different files (by
// their identities). data is the source as read (or not read) so far. Results,
// writes, backups and log lines are those of convert_file.
bool convert_read_file(text_code code, const std::wstring& src, const std::wstring& dest,
                       const file_status& src_status, const file_status& dest_status,
                       bool known_distinct, source_data& data, convert_outcome* outcome);

}  // namespace quillet
