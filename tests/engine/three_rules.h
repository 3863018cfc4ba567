// The three rules every run keeps, whatever its list holds: no source's bytes
// change, nothing outside the destination folder changes, and every file the
// run replaced or removed in the destination folder has its old content in
// the Rescue tree. A snapshot of a whole folder tree before the run, compared
// with the tree after it.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace run_test {

// Every file below root (recursively, links followed as the platform does),
// keyed by its path below root in lower case, with its bytes. Folders whose
// path below root is in skip (lower case, ending in "\\") are not entered.
using tree_bytes = std::map<std::wstring, std::vector<uint8_t>>;
tree_bytes snapshot_tree(const std::wstring& root, const std::vector<std::wstring>& skip = {});

// The breaches of the three rules between before and after (snapshots of the
// same root): dest_part is the destination folder's path below root (lower
// case, ending in "\\"), rescue the Rescue tree's snapshot after the run. One
// line per breach; empty when the run kept every rule.
std::vector<std::wstring> rule_breaches(const tree_bytes& before, const tree_bytes& after,
                                        const std::wstring& dest_part, const tree_bytes& rescue);

// UTF-8 of a wide text, for failure messages.
std::string narrow(const std::wstring& text);

}  // namespace run_test
