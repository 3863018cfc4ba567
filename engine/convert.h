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

struct run_context;

// Converts (code 8, 16, 74; other codes but 0 write marked UTF-16LE) or copies
// (code 0) the text file src to dest. Leaves an up-to-date destination alone;
// when the conversion would lose anything the source is copied unchanged
// instead. An existing destination is backed up before it is replaced, and is
// replaced only once the new content is whole beside it. The destination gets
// the source's modification time. A source that is its own destination is
// converted in place. src_status and dest_status are the files' statuses,
// src_code the code the text test found for the source. Reads, writes and
// compares in pieces, so memory stays bounded whatever the size.
entry_outcome convert_entry(run_context* run, text_code code, const std::wstring& src,
                            const std::wstring& dest, const file_status& src_status,
                            const file_status& dest_status, text_code src_code);

// Records in outcome the statuses of the source and of dest as they are now,
// with the codes and the destination's text test, for the status lines.
void record_facts(entry_outcome& outcome, const file_status& src_status, const std::wstring& dest,
                  bool dest_text_file, text_code dest_code, text_code src_code);

}  // namespace quillet
