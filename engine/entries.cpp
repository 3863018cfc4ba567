// Status lines of the file list.
#include "engine/entries.h"

#include <cstdint>
#include <cwctype>
#include <iomanip>
#include <new>
#include <sstream>
#include <unordered_map>

#include "text/codepage.h"
#include "base/log.h"
#include "base/paths.h"
#include "engine/dest_name.h"
#include "text/detect.h"
#include "text/encodings.h"
#include "text/file_pieces.h"

namespace quillet {
namespace {

// The columns of a status line before its path: the marks and the two labels
// (" " change time " " DEST5 "   " SRC5 " "), then the source's time and size,
// then two spaces.
constexpr size_t kMarkColumns = 18;
constexpr size_t kTimeAndSizeColumns = 30;

}  // namespace

namespace {

struct size_row {
    double divisor;
    const wchar_t* unit;
};

// Groups the integer part with commas and keeps the width where there is room.
std::wstring group_thousands(const std::wstring& number) {
    const size_t dot = number.find(L'.');
    const std::wstring whole = number.substr(0, dot);
    const std::wstring rest = dot == std::wstring::npos ? std::wstring() : number.substr(dot);
    std::wstring grouped;
    size_t commas = 0;
    for (size_t i = whole.size(); i-- > 0;) {
        grouped.insert(grouped.begin(), whole[i]);
        const size_t count = whole.size() - i;
        if (count % 3 == 0 && i > 0 && std::iswdigit(whole[i - 1])) {
            grouped.insert(grouped.begin(), L',');
            ++commas;
        }
    }
    size_t drop = 0;
    while (drop < commas && drop < grouped.size() && grouped[drop] == L' ') ++drop;
    return grouped.substr(drop) + rest;
}

// Only plain files are examined: opening a folder as a file would wait out the
// whole open-retry loop of the file reader for nothing.
struct file_look {
    bool exists = false;
    bool plain = false;
    int64_t mtime = 0;
    int64_t size = 0;
};

file_look look_at(const std::wstring& path) {
    file_look look;
    const bool unc = path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
    // One status query answers both questions for a local path; a network
    // path is tested for existence the way path_exists tests it.
    const file_status status(path);
    look.exists = unc ? path_exists(path, false) : !path.empty() && !status.failed();
    if (!look.exists) return look;
    look.plain = status.is_file();
    look.mtime = status.mtime();
    look.size = status.size();
    return look;
}

// How much of each file a status line compares: files that are still equal
// after this many bytes are taken to be equal when they have the same time
// (a run wrote the destination) and to differ otherwise (the run will write
// it), so a status line never reads large files whole.
constexpr uint64_t kStatusCompareBytes = uint64_t(8) << 20;

// src_code and dest_code are the files' codes as their text tests found them.
bool same_for_status(const std::wstring& src, const std::wstring& dest, bool same_time,
                     text_code src_code, text_code dest_code, open_files& kept) {
    // A destination that differs from its source only in what its
    // declarations name (as a conversion writes it) is current.
    const comparison found = compare_file_texts(src, dest, kStatusCompareBytes, src_code, dest_code,
                                                nullptr, kDeclarationsOfB, &kept);
    return found == comparison::equal || (found == comparison::undecided && same_time);
}

// What a status line shows of the two files' contents.
struct line_marks {
    int dest_code = 0;
    int src_code = 0;
    bool dest_unread = false;
    bool src_unread = false;
    bool non_text = false;
    bool same = false;
};

// Reads what the line needs from the two files (or takes it from known).
line_marks read_marks(const std::wstring& dest, const file_look& d, const std::wstring& src,
                      const file_look& s, const entry_outcome* known) {
    line_marks m;
    const bool compare = d.exists && s.exists && s.plain && d.mtime <= s.mtime;
    // A source the run could not read, still as it was then, is not waited for
    // again: it shows as unreadable, not equal to its destination, as a fresh
    // look that cannot read it finds.
    m.src_unread = known && known->result == entry_result::source_unreadable && s.exists &&
                   s.plain && s.mtime == known->src_mtime && s.size == known->src_size;
    if (known && known->known && d.exists && d.plain && s.exists && s.plain &&
        d.mtime == known->dest_mtime && d.size == known->dest_size &&
        s.mtime == known->src_mtime && s.size == known->src_size) {
        // Both files as the copy run left them: both were text, with equal texts.
        m.non_text = !known->dest_text_file;
        if (!m.non_text) {
            m.dest_code = known->dest_code;
            m.src_code = known->src_code;
            m.same = compare;
        }
    } else {
        // The texts are compared only where the comparison can show: with a newer
        // destination the change mark is blank whatever they hold. Every file is
        // read in pieces: the text tests give the codes, and the texts are
        // compared as they are decoded; each file is opened once for all of it.
        open_files kept;
        kept.keep({src, dest});
        const text_check dest_check = d.exists && d.plain ? check_text_file(dest, &kept) : text_check();
        m.dest_unread = !dest_check.readable;
        const bool dest_text_file = d.exists && d.plain && dest_check.text;
        if (d.exists && !dest_text_file) m.non_text = true;
        const bool look = s.exists && !m.non_text && s.plain && !m.src_unread;
        const text_check src_check = look ? check_text_file(src, &kept) : text_check();
        if (!src_check.readable) m.src_unread = true;
        const bool src_text_file = s.exists && !m.non_text && s.plain && src_check.text;
        if (s.exists && !m.non_text && !src_text_file) m.non_text = true;
        if (dest_text_file) m.dest_code = dest_check.code;
        if (src_text_file) {
            m.src_code = src_check.code;
            m.same = compare && dest_text_file && !m.dest_unread && !m.src_unread &&
                     same_for_status(src, dest, d.mtime == s.mtime, src_check.code, dest_check.code, kept);
        }
    }
    return m;
}

}  // namespace

std::wstring pending_status_line(const std::wstring& src) {
    return std::wstring(kMarkColumns + kTimeAndSizeColumns + 2, L' ') + src;
}

std::wstring size_text(int64_t bytes) {
    static const size_row rows[] = {
        {1.0, L" "},
        {1024.0, L" K"},
        {1024.0 * 1024, L" M"},
        {1024.0 * 1024 * 1024, L" G"},
        {1024.0 * 1024 * 1024 * 1024, L" T"},
        {1024.0 * 1024 * 1024 * 1024 * 1024, L" P"},
        {1024.0 * 1024 * 1024 * 1024 * 1024 * 1024, L" E"},
    };
    size_t row = 0;
    if (bytes >= 1000) {
        row = 1;
        // Each unit starts at a decimal thousand of the unit below.
        while (row < 6 && static_cast<double>(bytes) >= 1000.0 * rows[row].divisor) ++row;
    }
    std::wostringstream out;
    out << std::fixed << std::setprecision(row == 0 ? 0 : 2) << std::setw(row == 0 ? 7 : 6)
        << static_cast<double>(bytes) / rows[row].divisor;
    return group_thousands(out.str()) + rows[row].unit;
}

std::wstring status_line(const std::wstring& dest_folder, const std::wstring& src,
                         const entry_outcome* known, bool name_taken) {
    const std::wstring dest = destination_of(dest_folder, src).path;
    const file_look d = look_at(dest);
    const file_look s = look_at(src);
    line_marks m;
    try {
        m = read_marks(dest, d, src, s, known);
    } catch (const std::bad_alloc&) {
        // No memory to read the files with: they show as unread, and the
        // other lines go on.
        log_line(L"Not enough memory  " + src);
        m = line_marks();
        m.dest_unread = d.exists && d.plain;
        m.src_unread = s.exists && s.plain;
    }
    const int dest_code = m.dest_code, src_code = m.src_code;
    const bool dest_unread = m.dest_unread, src_unread = m.src_unread;
    const bool non_text = m.non_text, same = m.same;
    // A missing file is older than any file there is (sources of 1960 too);
    // two missing files have equal times.
    const int64_t dest_time = d.exists ? d.mtime : INT64_MIN;
    const int64_t src_time = s.exists ? s.mtime : INT64_MIN;
    std::wstring line = L" ";
    line += name_taken ? L"!" : (non_text || same || dest_time > src_time) ? L" " : L"<";
    line += dest_time < src_time ? L"<" : dest_time == src_time ? L"=" : L" ";
    line += L" ";
    // A file that could not be read says so, instead of a code it was not read for.
    line += name_taken ? L"TAKEN" : dest_unread ? unreadable_label() : encoding_label(dest_code);
    line += L"   ";
    line += src_unread ? unreadable_label() : encoding_label(src_code);
    line += L" ";
    if (s.exists && s.plain)
        line += time_text(src_time, L"%Y/%m/%d %H:%M:%S") + L"  " + size_text(s.size) + L"B";
    else
        line += std::wstring(kTimeAndSizeColumns, L' ');
    line += L"  ";
    line += src;
    return line;
}

std::vector<std::wstring> file_entries(const std::wstring& folder,
                                       const std::vector<std::wstring>& files,
                                       const std::vector<const entry_outcome*>& known) {
    const short_read_waits quick;  // a file another program holds shows as unreadable
    std::vector<std::wstring> lines;
    lines.reserve(files.size());
    name_holders holders;
    for (size_t i = 0; i < files.size(); ++i) {
        const bool taken = holders.taken_by(files, i, destination_of(folder, files[i])) != SIZE_MAX;
        lines.push_back(status_line(folder, files[i], i < known.size() ? known[i] : nullptr, taken));
    }
    return lines;
}

}  // namespace quillet
