// One entry of a copy run, from the checks on its two files to its outcome:
// a source that is not a plain file or whose destination is newer is left
// alone; a text file is converted (or copied unchanged when converting would
// lose anything); any other file is copied unchanged; every replaced
// destination is backed up first. A failure to get memory is that file's
// refusal, never the run's end.
#pragma once
#include <string>

#include "engine/entries.h"

namespace quillet {

struct run_context;

// src to dest (a destination path the run has already accepted) in target
// code, within run (whose kept files hold the entry's two files meanwhile).
entry_outcome process_entry(run_context& run, int code, const std::wstring& src,
                            const std::wstring& dest);

}  // namespace quillet
