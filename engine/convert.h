// The conversion of one source file into the destination folder, verified by
// reading it back and stamped with the source's modification time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "base/paths.h"
#include "engine/entries.h"

namespace quillet {

// Converts (code 8, 16, 74; other codes but 0 write marked UTF-16LE) or copies
// (code 0) the file src to dest_folder\name of src. Leaves an up-to-date
// destination alone; when the conversion would lose anything the source is
// copied unchanged instead. An existing destination is backed up before it is
// replaced (not for code 0), and is replaced only once the new content is
// whole beside it. The destination gets the source's modification time. A
// source that is its own destination is converted in place. True when the
// destination holds the source's content: converted, copied or up to date.
bool convert_file(text_code code, const std::wstring& src, const std::wstring& dest_folder);

// convert_file for a copy run that has looked at both files: dest is the
// destination path, src_status and dest_status the files' statuses, src_code
// the code the text test found for the source. Reads, writes and compares in
// pieces, so memory stays bounded whatever the size.
entry_outcome convert_entry(text_code code, const std::wstring& src, const std::wstring& dest,
                            const file_status& src_status, const file_status& dest_status,
                            text_code src_code);

// Records in outcome the statuses of the source and of dest as they are now,
// with the codes and the destination's text test, for the status lines.
void record_facts(entry_outcome& outcome, const file_status& src_status, const std::wstring& dest,
                  bool dest_text_file, text_code dest_code, text_code src_code);

// Copies src's bytes over dest (a plain file, writable, with the file time
// src_write_time: 100 ns units since 1601),
// through a sibling file that is checked before it replaces dest; with
// backup, an existing dest is kept in Rescue first. The outcome is copied,
// source_unreadable, backup_failed or destination_unwritable.
entry_outcome copy_unchanged(const std::wstring& src, const std::wstring& dest,
                             int64_t src_write_time, bool backup, const std::wstring& reason);

// Copies src over dest as a plain, writable file with modification time
// write_time (a file time: 100 ns units since 1601): written to a sibling, read back, then moved over dest.
// A read-only dest is never replaced; without replace, no existing dest is
// (the copy is then made only under a name no file holds). False, with dest as
// it was, on failure.
bool copy_file_plain(const std::wstring& src, const std::wstring& dest, int64_t write_time,
                     bool replace = true);

}  // namespace quillet
