// Links for tests: symbolic links made the way the platform allows. Wine's
// CreateSymbolicLinkW reports success and makes nothing; there a Unix
// symbolic link is made with /bin/ln through the Z: drive, which Wine then
// follows like a Windows link.
#pragma once
#include <string>

namespace testing_support {

// Makes link a symbolic link to target (which may be missing); true when the
// link is there afterwards.
bool make_symlink(const std::wstring& target, const std::wstring& link);

// The Unix path of a Windows path under Wine ("" elsewhere).
std::string unix_path(const std::wstring& path);

}  // namespace testing_support
