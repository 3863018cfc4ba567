#include "engine/convert.h"

#include <windows.h>

#include <sys/utime.h>

#include <ctime>

#include "base/handles.h"
#include "base/jis_codecs.h"
#include "base/log.h"
#include "base/paths.h"
#include "engine/detect.h"
#include "engine/encodings.h"
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
    const text_code code = detect_code(bytes);
    switch (code) {
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
        case code_eucjp:
        case code_jis: {
            uint64_t invalid = 0;
            if (code == code_eucjp) decode_eucjp(bytes.data(), bytes.size(), &invalid);
            else decode_iso2022jp(bytes.data(), bytes.size(), &invalid);
            return invalid == 0;
        }
        case code_none:  // undecided or undecodable: never converted by a guess
            return false;
        default:  // 65 and 74 are read with code page 932
            return decodes_strictly(bytes.data(), bytes.size(), 932);
    }
}

bool write_as(text_code code, const std::wstring& dest, const std::wstring& text) {
    return write_encoded(code, dest, text);
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

namespace {

// Sets dest's modification time to mtime when it differs, with one status
// query; true when dest then has that time.
bool stamp_time(const std::wstring& dest, int64_t mtime) {
    const file_status status(dest);
    if (!status.failed() && status.mtime() == mtime) return true;
    if (status.failed()) return false;
    __utimbuf64 times{};
    times.actime = status.atime();
    times.modtime = mtime != 0 ? mtime : static_cast<int64_t>(_time64(nullptr));
    return _wutime64(dest.c_str(), &times) == 0 && mtime != 0;
}

// The conversion after the checks on the paths: src is a plain file and not
// dest; src_status and dest_status are their statuses. data holds the source
// when the caller read it (read set), else it is read here when needed.
bool convert_checked(text_code code, const std::wstring& src, const std::wstring& dest,
                     const file_status& src_status, const file_status& dest_status,
                     source_data& data, convert_outcome* outcome) {
    // The source is read once; it counts only when all of it was read.
    const auto read_source = [&] {
        if (data.read) return;
        data.read = true;
        data.bytes = read_file_bytes(src);
        data.text = decode_text(data.bytes);
    };
    const auto source_whole = [&] {
        return static_cast<int64_t>(data.bytes.size()) == src_status.size();
    };
    // A source the caller could not read whole is read afresh, as it would be
    // without the caller's reading.
    if (data.read && !source_whole()) {
        data.read = false;
        data.bytes.clear();
        data.text.clear();
    }
    // What the status lines may take from here instead of reading the files again.
    const auto learn = [&](const std::vector<uint8_t>& dest_bytes, int64_t dest_mtime) {
        if (!outcome) return;
        outcome->known = true;
        outcome->src_mtime = src_status.mtime();
        outcome->src_size = src_status.size();
        outcome->dest_mtime = dest_mtime;
        outcome->dest_size = static_cast<int64_t>(dest_bytes.size());
        // The destination's text is the source's: the text rules see the same
        // text, with the destination's own bytes.
        outcome->dest_text_file = is_text_data(dest_bytes, data.text);
        outcome->dest_code = detect_code(dest_bytes);
    };

    // Up to date: same time, already stored in the target code, and the same
    // text. Identical bytes decode to identical text; other bytes are decoded.
    if (!dest_status.failed() && dest_status.mtime() == src_status.mtime()) {
        read_source();
        if (source_whole()) {
            const std::vector<uint8_t> dest_bytes = read_file_bytes(dest);
            if (detect_code(dest_bytes) == code &&
                (dest_bytes == data.bytes || decodes_to(dest_bytes, data.text))) {
                learn(dest_bytes, dest_status.mtime());
                return true;
            }
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
    // A destination whose status says it is missing needs no backup.
    const bool unc = dest.size() >= 2 && dest[0] == L'\\' && dest[1] == L'\\';
    if ((unc || !dest_status.failed()) && !backup_before_replace(dest)) {
        log_line(L"::convert_file   Can't back up   " + dest);
        return false;
    }

    // A source that does not decode exactly is not converted at all; like a
    // conversion that loses characters, it is copied unchanged.
    bool same = false;
    if (decodes_exactly(data.bytes)) {
        // The source's bytes are not needed any more: let them go before the
        // written form and the read-back are held.
        std::vector<uint8_t>().swap(data.bytes);
        if (!write_as(code, dest, data.text)) return false;
        // Read-back: the written file, read from disk, must give the text again.
        if (path_exists(dest, false)) {
            const std::vector<uint8_t> dest_bytes = read_file_bytes(dest);
            same = decodes_to(dest_bytes, data.text);
            if (same) {
                if (stamp_time(dest, src_status.mtime())) learn(dest_bytes, src_status.mtime());
                return true;
            }
        }
    }
    if (outcome) outcome->kept_unchanged = true;
    if (!same && !copy_file(src, dest, false)) return false;

    if (file_status(dest).mtime() != src_status.mtime()) set_file_time(dest, src_status.mtime());
    return true;
}

}  // namespace

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
    source_data data;
    return convert_checked(code, src, dest, src_status, file_status(dest), data, nullptr);
}

bool convert_read_file(text_code code, const std::wstring& src, const std::wstring& dest,
                       const file_status& src_status, const file_status& dest_status,
                       bool known_distinct, source_data& data, convert_outcome* outcome) {
    if (outcome) *outcome = convert_outcome();
    if (src.empty() || !src_status.is_file()) {
        log_line(L"::convert_file   Not a file   " + src);
        return false;
    }
    if (!known_distinct && same_file(src, dest)) {
        log_line(L"::convert_file   Same file   " + dest);
        return false;
    }
    return convert_checked(code, src, dest, src_status, dest_status, data, outcome);
}

}  // namespace quillet
