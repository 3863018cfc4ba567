// The three rules every run keeps, whatever its list holds: no source's bytes
// change, nothing outside the destination folder changes, and every file the
// run replaced or removed in the destination folder has its old content in
// the Rescue tree.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/copy_run.h"

namespace run_test {

// Every file below root (recursively), keyed by its lower-case path below
// root, with its bytes; folders whose path below root is in skip (lower case,
// ending in "\\") are not entered.
using tree_bytes = std::map<std::wstring, std::vector<uint8_t>>;
tree_bytes snapshot_tree(const std::wstring& root, const std::vector<std::wstring>& skip = {});

// Runs the store's list with target code into scratch's "dest\\" folder (its
// "tmp\\" folder holding Rescue) and adds a failure, prefixed with what, for
// every breach of the three rules anywhere below scratch.
quillet::copy_run_result run_keeping_the_rules(const std::wstring& scratch, int code,
                                               const std::string& what = "");

// UTF-8 of a wide text, for failure messages.
std::string narrow(const std::wstring& text);

// The folder of the small volume the test script mounts (ending in "\\"),
// or "" when there is none.
std::wstring small_volume();

}  // namespace run_test
