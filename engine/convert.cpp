#include "engine/convert.h"

#include <windows.h>

#include <sys/utime.h>

#include <ctime>

#include "base/handles.h"
#include "base/log.h"
#include "base/paths.h"
#include "engine/detect.h"
#include "engine/file_io.h"
#include "engine/rescue.h"

namespace quillet {

namespace {

// The text up to its first U+0000: the UTF-8, UTF-16 and Shift_JIS forms end there.
std::wstring up_to_nul(const std::wstring& text) { return text.substr(0, text.find(L'\0')); }

// True when bytes decode without a single invalid sequence in code page cp.
bool decodes_strictly(const uint8_t* data, size_t size, unsigned cp) {
    if (size == 0) return true;
    if (size > 0x7FFFFFFF) return false;
    return MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(data),
                               static_cast<int>(size), nullptr, 0) > 0;
}

// True when text (decode_text of bytes) holds every character of bytes: the
// source's encoding is read without a replaced or dropped byte, so nothing is
// lost before the conversion even starts.
bool decodes_exactly(const std::vector<uint8_t>& bytes) {
    switch (detect_code(bytes)) {
        case code_utf16le:
        case code_utf16be:
            return bytes.size() % 2 == 0;
        case code_utf32le:
        case code_utf32be: {
            if (bytes.size() % 4 != 0) return false;
            const bool le = bytes[0] == 0xFF;
            for (size_t i = 4; i < bytes.size(); i += 4) {
                const uint32_t u = le ? (bytes[i] | bytes[i + 1] << 8 | bytes[i + 2] << 16 |
                                         static_cast<uint32_t>(bytes[i + 3]) << 24)
                                      : (bytes[i + 3] | bytes[i + 2] << 8 | bytes[i + 1] << 16 |
                                         static_cast<uint32_t>(bytes[i]) << 24);
                if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return false;
            }
            return true;
        }
        case code_utf8: {
            const size_t skip =
                bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
            return decodes_strictly(bytes.data() + skip, bytes.size() - skip, CP_UTF8);
        }
        default:  // 65, 74 and 0 are all read with code page 932
            return decodes_strictly(bytes.data(), bytes.size(), 932);
    }
}

// True when a and b name the same file (same volume and file index), or, when
// that cannot be asked, the same full path.
bool same_file(const std::wstring& a, const std::wstring& b) {
    const auto open = [](const std::wstring& p) {
        return unique_hfile(CreateFileW(p.c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    };
    unique_hfile fa = open(a), fb = open(b);
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    if (fa && fb && GetFileInformationByHandle(fa.get(), &ia) &&
        GetFileInformationByHandle(fb.get(), &ib)) {
        return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
               ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
    }
    if (!fb) return false;  // no destination yet
    const auto full = [](const std::wstring& p) {
        wchar_t buf[MAX_PATH * 4] = {};
        const DWORD n = GetFullPathNameW(p.c_str(), MAX_PATH * 4, buf, nullptr);
        return to_lower(n > 0 && n < MAX_PATH * 4 ? std::wstring(buf, n) : p);
    };
    return full(a) == full(b);
}

bool write_as(text_code code, const std::wstring& dest, const std::wstring& text) {
    switch (code) {
        case code_utf8: return write_utf8(dest, text, false);
        case code_utf16le: return write_utf16(dest, text, true);
        case code_sjis: return write_sjis(dest, text);
        default: return write_utf16_text(dest, text);
    }
}

}  // namespace

std::vector<uint8_t> utf8_form(const std::wstring& text, bool bom) {
    std::vector<uint8_t> bytes;
    if (bom) bytes = {0xEF, 0xBB, 0xBF};
    const std::vector<uint8_t> body = wide_to_utf8(up_to_nul(text));
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

std::vector<uint8_t> utf16_form(const std::wstring& text, bool bom) {
    std::vector<uint8_t> bytes;
    if (bom) bytes = {0xFF, 0xFE};
    const std::vector<uint8_t> body = wide_bytes(up_to_nul(text));
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

std::vector<uint8_t> sjis_form(const std::wstring& text, bool* lossy) {
    const std::wstring part = up_to_nul(text);
    if (lossy) *lossy = false;
    if (part.empty()) return {};
    if (part.size() > 0x1FFFFFFF) {  // beyond what one conversion call takes
        if (lossy) *lossy = true;
        return {};
    }
    // Up to 2 bytes per unit; 3 per unit plus 3 leaves room for any default form.
    std::vector<char> buf(3 * part.size() + 3, 0);
    BOOL used_default = FALSE;
    int n = WideCharToMultiByte(932, 0, part.data(), static_cast<int>(part.size()), buf.data(),
                                static_cast<int>(buf.size()), "__", &used_default);
    if (n <= 0) n = 0;
    std::vector<uint8_t> out(buf.begin(), buf.begin() + n);
    // Besides the default character, the platform may put a look-alike in
    // place of a character (e acute as e): only reading back tells.
    if (lossy) *lossy = used_default != FALSE || n == 0 || sjis_to_wide(out) != part;
    return out;
}

std::vector<uint8_t> utf16_text_form(const std::wstring& text) { return wide_bytes(with_bom(text)); }

bool write_utf8(const std::wstring& path, const std::wstring& text, bool bom) {
    return write_file_bytes(path, utf8_form(text, bom), 0);
}

bool write_utf16(const std::wstring& path, const std::wstring& text, bool bom) {
    return write_file_bytes(path, utf16_form(text, bom), 0);
}

bool write_sjis(const std::wstring& path, const std::wstring& text) {
    return write_file_bytes(path, sjis_form(text), 0);
}

bool write_utf16_text(const std::wstring& path, const std::wstring& text) {
    return write_file_bytes(path, utf16_text_form(text), 0);
}

bool set_file_time(const std::wstring& path, int64_t mtime) {
    const file_status status(path);
    if (path.empty() || status.failed()) return false;
    __utimbuf64 times{};
    times.actime = status.atime();
    times.modtime = mtime != 0 ? mtime : static_cast<int64_t>(_time64(nullptr));
    return _wutime64(path.c_str(), &times) == 0;
}

bool convert_file(text_code code, const std::wstring& src, const std::wstring& dest_folder) {
    const std::wstring dest = path_add_sep(dest_folder, L"\\") + path_name(src);
    const file_status src_status(src);
    if (src.empty() || !src_status.is_file()) {
        log_line(L"::convert_file   Not a file   " + src);
        return false;
    }
    // Writing the destination would rewrite the source itself.
    if (same_file(src, dest)) {
        log_line(L"::convert_file   Same file   " + dest);
        return false;
    }

    // The source is read once; it counts only when all of it was read.
    bool src_read = false;
    std::vector<uint8_t> src_bytes;
    std::wstring src_text;
    const auto read_source = [&] {
        if (src_read) return;
        src_read = true;
        src_bytes = read_file_bytes(src);
        src_text = decode_text(src_bytes);
    };
    const auto source_whole = [&] {
        return static_cast<int64_t>(src_bytes.size()) == src_status.size();
    };

    // Up to date: same time, same text, and already stored in the target code.
    const file_status dest_status(dest);
    if (!dest_status.failed() && dest_status.mtime() == src_status.mtime()) {
        read_source();
        if (source_whole()) {
            const std::vector<uint8_t> dest_bytes = read_file_bytes(dest);
            if (decode_text(dest_bytes) == src_text && detect_code(dest_bytes) == code) return true;
        }
    }

    if (code == 0) return copy_file(src, dest, false);

    read_source();
    if (!source_whole()) {
        log_line(L"::convert_file   Can't read   " + src);
        return false;
    }
    // The writers open the file where it is; the folder must be there first,
    // as the plain copy makes it.
    const std::wstring folder = path_folder(dest);
    if (!folder_exists(folder) && !make_folders(folder)) return false;
    if (!backup_before_replace(dest)) {
        log_line(L"::convert_file   Can't back up   " + dest);
        return false;
    }

    // A source that does not decode exactly is not converted at all; like a
    // conversion that loses characters, it is copied unchanged.
    bool same = false;
    if (decodes_exactly(src_bytes)) {
        if (!write_as(code, dest, src_text)) return false;
        same = path_exists(dest, false) && read_whole_text(dest) == src_text;
    }
    if (!same && !copy_file(src, dest, false)) return false;

    if (file_status(dest).mtime() != src_status.mtime()) set_file_time(dest, src_status.mtime());
    return true;
}

}  // namespace quillet
