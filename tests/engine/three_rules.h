// The three rules every run keeps, whatever its list holds: no source's bytes
// change, nothing outside the destination folder changes, and every file the
// run replaced or removed in the destination folder has its old content in
// the Rescue tree.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/copy_run.h"

namespace run_test {

// Runs the store's list with target code into scratch's "dest\\" folder (its
// "tmp\\" folder holding Rescue) and adds a failure, prefixed with what, for
// every breach of the three rules anywhere below scratch.
quillet::copy_run_result run_keeping_the_rules(const std::wstring& scratch, int code,
                                               const std::string& what = "");

// The folder of the small volume the test script mounts (ending in "\\"),
// or "" when there is none.
std::wstring small_volume();

}  // namespace run_test
