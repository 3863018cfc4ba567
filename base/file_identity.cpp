#include "base/file_identity.h"

#include "base/file_access.h"
#include "base/handles.h"

namespace quillet {

file_identity identity_of(const std::wstring& path) {
    file_identity id;
    if (path.empty()) return id;
    // No access asked, every sharing mode allowed: even a file another program
    // holds open can be asked who it is. Backup semantics open folders too.
    unique_hfile file(CreateFileW(extended_path(path).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) return id;
    id.known = true;
    id.volume = info.dwVolumeSerialNumber;
    id.index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    id.names = info.nNumberOfLinks;
    return id;
}

bool is_link(const std::wstring& path) {
    if (path.empty()) return false;
    // The attribute query does not follow the link, so it shows the link's own
    // reparse attribute.
    const DWORD attributes = GetFileAttributesW(extended_path(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}


}  // namespace quillet
