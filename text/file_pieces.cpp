#include "text/file_pieces.h"

#include <algorithm>
#include <list>
#include <new>

#include "base/file_replace.h"
#include "base/log.h"
#include "base/paths.h"

namespace quillet {

struct open_files::kept_file {
    std::wstring path;
    unique_hfile owned;                   // the handle, when a reader opened it
    HANDLE handle = INVALID_HANDLE_VALUE;  // owned, or lent; none until opened
    uint64_t pointer = 0;                  // the handle's file pointer
};

// A list, not a vector: readers point into its elements, which must stay
// where they are when a file is lent to it.
struct open_files::state {
    std::list<kept_file> files;
    std::function<void(uint64_t)> report;
    uint64_t bytes_read = 0;
    ULONGLONG last_report = 0;
};

namespace {

// A pointer position no reader asks for: the first read moves the pointer.
constexpr uint64_t kPointerUnknown = ~uint64_t(0);

// How often, at most, the bytes read are reported.
constexpr ULONGLONG kReportMilliseconds = 250;

unique_hfile open_for_reading(const std::wstring& path, DWORD& error) {
    unique_hfile file = open_file_retrying(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           OPEN_EXISTING, 100, 100, &error);
    if (!file && error == 0) error = ERROR_INVALID_NAME;
    return file;
}

}  // namespace

open_files::open_files() : state_(new state()) {}

open_files::~open_files() = default;

void open_files::keep(const std::vector<std::wstring>& paths) {
    // A file read within the first interval is never reported.
    state_->bytes_read = 0;
    state_->last_report = GetTickCount64();
    for (const std::wstring& path : paths)
        state_->files.push_back(kept_file{path, unique_hfile(), INVALID_HANDLE_VALUE, 0});
}

void open_files::release() {
    state_->files.clear();
}

void open_files::lend(const std::wstring& path, HANDLE handle) {
    state_->files.push_back(kept_file{path, unique_hfile(), handle, kPointerUnknown});
}

void open_files::on_progress(std::function<void(uint64_t)> report) {
    state_->report = std::move(report);
}

open_files::kept_file* open_files::find(const std::wstring& path) {
    kept_file* kept = nullptr;
    if (!path.empty())
        for (kept_file& k : state_->files)
            if (k.path == path) kept = &k;
    return kept;
}

void open_files::count(size_t bytes) {
    state_->bytes_read += bytes;
    if (!state_->report) return;
    const ULONGLONG now = GetTickCount64();
    if (now - state_->last_report < kReportMilliseconds) return;
    state_->last_report = now;
    state_->report(state_->bytes_read);
}

piece_reader::piece_reader(const std::wstring& path, open_files* files)
    : files_(files), no_memory_(piece_memory_refused(path)) {
    open_files::kept_file* kept = files ? files->find(path) : nullptr;
    if (kept && kept->handle != INVALID_HANDLE_VALUE) {
        file_ = kept->handle;
        pointer_ = &kept->pointer;
    } else {
        owned_ = open_for_reading(path, error_);
        file_ = owned_ ? owned_.get() : INVALID_HANDLE_VALUE;
        if (kept && owned_) {
            kept->owned = std::move(owned_);
            kept->handle = kept->owned.get();
            kept->pointer = 0;
            pointer_ = &kept->pointer;
        }
    }
    LARGE_INTEGER size{};
    if (file_ != INVALID_HANDLE_VALUE && GetFileSizeEx(file_, &size) && size.QuadPart > 0)
        size_ = static_cast<uint64_t>(size.QuadPart);
}

size_t piece_reader::request_size(size_t most) const {
    constexpr uint64_t kGrownPiece = 64 * 1024;
    const uint64_t left = size_ > position_ ? size_ - position_ + 1 : kGrownPiece;
    return static_cast<size_t>(std::min<uint64_t>(std::min(most, kPieceBytes), left));
}

bool piece_reader::next(std::vector<uint8_t>& piece, size_t most) {
    if (!ok() || ended_) {
        piece.clear();
        return false;
    }
    // A buffer that already has the room is not filled with zeros again.
    const size_t want = request_size(most);
    if (no_memory_) throw std::bad_alloc();
    if (piece.capacity() < want) piece.reserve(want);
    piece.resize(want);
    // Readers sharing one handle take turns: the pointer is moved to this
    // reader's place only when another reader left it elsewhere. (A read at
    // an offset given with the request costs a server call per read under
    // Wine; moving the pointer does not.)
    if (*pointer_ != position_) {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(position_);
        if (!SetFilePointerEx(file_, to, nullptr, FILE_BEGIN)) {
            error_ = GetLastError();
            piece.clear();
            return false;
        }
        *pointer_ = position_;
    }
    size_t got = 0;
    if (!read_request(file_, piece.data(), piece.size(), got)) error_ = GetLastError();
    piece.resize(got);
    position_ += got;
    if (files_) files_->count(got);
    *pointer_ = position_;
    // A short read is the file's end (requests ask one byte beyond the size
    // the file had): the next call need not ask again.
    if (got < want && error_ == 0) ended_ = true;
    return got > 0;
}

bool piece_reader::rewind() {
    position_ = 0;
    ended_ = false;
    return ok();
}

bool read_head_from(piece_reader& reader, std::vector<uint8_t>& head) {
    head.clear();
    std::vector<uint8_t> piece;
    while (head.size() < kHeadBytes && reader.next(piece, kHeadBytes - head.size()))
        head.insert(head.end(), piece.begin(), piece.end());
    return reader.ok();
}

bool read_file_head(const std::wstring& path, std::vector<uint8_t>& head, DWORD* error,
                    open_files* files) {
    piece_reader reader(path, files);
    const bool ok = read_head_from(reader, head);
    if (error) *error = reader.error();
    return ok;
}

size_t mark_length(const std::vector<uint8_t>& head, text_code code) {
    const auto at = [&](size_t i) -> unsigned { return i < head.size() ? head[i] : 0xFF; };
    switch (code) {
        case code_utf16le:
        case code_utf16be: return 2;
        case code_utf32le:
        case code_utf32be: return 4;
        case code_utf8: return at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF ? 3 : 0;
        default: return 0;
    }
}

text_reader::text_reader(const std::wstring& path, text_code code, open_files* files)
    : reader_(path, files) {
    // A known code needs only the first bytes, for the byte-order mark.
    std::vector<uint8_t> head;
    if (code == kCodeToJudge) {
        if (!read_head_from(reader_, head)) return;
    } else if (!reader_.next(head, 4) && !reader_.ok()) {
        return;
    }
    if (!reader_.rewind()) return;
    code_ = code == kCodeToJudge ? head_code(head) : code;
    skip_ = std::min(mark_length(head, code_), head.size());
    decoder_ = make_piece_decoder(code_);
    ok_ = true;
}

bool text_reader::next(std::wstring& out) {
    if (!ok_ || done_) return false;
    std::vector<uint8_t>& piece = piece_;
    if (reader_.next(piece)) {
        const size_t skip = std::min(skip_, piece.size());
        skip_ -= skip;
        if (!zero_byte_) zero_byte_ = std::find(piece.begin(), piece.end(), 0) != piece.end();
        decoder_->decode(piece.data() + skip, piece.size() - skip, false, out);
        return true;
    }
    if (!reader_.ok()) {
        ok_ = false;
        return false;
    }
    decoder_->decode(nullptr, 0, true, out);
    done_ = true;
    return true;
}

bool text_comparer::add(std::wstring& mine, const std::wstring& piece, std::wstring& other) {
    if (!same_) return false;
    size_t used = 0;
    if (!other.empty()) {
        const size_t n = std::min(other.size(), piece.size());
        if (other.compare(0, n, piece, 0, n) != 0) return same_ = false;
        other.erase(0, n);
        used = n;
    }
    mine.append(piece, used, std::wstring::npos);
    return true;
}

namespace {

// Compares the bytes of both files, at most about budget of each.
comparison compare_file_bytes(const std::wstring& a, const std::wstring& b, uint64_t budget,
                              open_files* files) {
    piece_reader ra(a, files), rb(b, files);
    std::vector<uint8_t> pa, pb;
    for (;;) {
        if (ra.position() >= budget) return comparison::undecided;
        const bool more_a = ra.next(pa), more_b = rb.next(pb);
        if (!ra.ok() || !rb.ok() || pa != pb) return comparison::differ;
        if (!more_a && !more_b) return comparison::equal;
    }
}

}  // namespace

bool read_head_text(text_reader& reader, std::wstring& out) {
    while (out.size() < kDeclarationHeadChars)
        if (!reader.next(out)) return false;
    return true;
}

comparison compare_file_texts(const std::wstring& a, const std::wstring& b, uint64_t budget,
                              text_code code_a, text_code code_b, text_code* judged_b,
                              text_code declarations, open_files* files) {
    if (judged_b) *judged_b = kCodeToJudge;
    // Equal bytes decode to equal texts: a plain comparison first when it can
    // answer (same size), so a copy is never decoded. (Equal bytes declare
    // alike: a's declarations rewritten for b's names stay as they are; a
    // rewrite for a given target may change them.)
    const file_status sa(a), sb(b);
    if (!sa.failed() && !sb.failed() && sa.size() == sb.size() &&
        (declarations == kDeclarationsAsTheyAre || declarations == kDeclarationsOfB)) {
        const comparison bytes = compare_file_bytes(a, b, budget, files);
        if (bytes != comparison::differ) return bytes;
    }
    text_reader ra(a, code_a, files), rb(b, code_b, files);
    if (judged_b && rb.ok()) *judged_b = rb.code();
    text_comparer compare;
    bool more_a = ra.ok(), more_b = rb.ok();
    if (declarations != kDeclarationsAsTheyAre && more_a && more_b) {
        // The heads first, whole: a's declarations are rewritten in its head.
        std::wstring head_a, head_b;
        more_a = read_head_text(ra, head_a);
        more_b = read_head_text(rb, head_b);
        rewrite_declarations(head_a, declarations == kDeclarationsOfB ? declared_target(head_b)
                                                                      : declarations);
        if (!compare.add_a(head_a) || !compare.add_b(head_b)) return comparison::differ;
        if ((!more_a && ra.ok() && compare.b_ahead()) || (!more_b && rb.ok() && compare.a_ahead()))
            return comparison::differ;
    }
    while (more_a || more_b) {
        if (ra.bytes_read() >= budget || rb.bytes_read() >= budget) return comparison::undecided;
        std::wstring piece;
        // The side that is behind reads on, so neither runs far ahead.
        if (more_a && (!more_b || !compare.a_ahead())) {
            more_a = ra.next(piece);
            if (!compare.add_a(piece)) return comparison::differ;
        } else {
            more_b = rb.next(piece);
            if (!compare.add_b(piece)) return comparison::differ;
        }
        // One text has ended and the other goes on beyond it.
        if ((!more_a && ra.ok() && compare.b_ahead()) || (!more_b && rb.ok() && compare.a_ahead()))
            return comparison::differ;
    }
    return ra.ok() && rb.ok() && compare.equal_at_end() ? comparison::equal : comparison::differ;
}

bool file_texts_equal(const std::wstring& a, const std::wstring& b, text_code code_a,
                      text_code code_b, text_code* judged_b, text_code declarations,
                      open_files* files) {
    return compare_file_texts(a, b, UINT64_MAX, code_a, code_b, judged_b, declarations, files) ==
           comparison::equal;
}

bool file_bytes_equal(const std::wstring& a, const std::wstring& b, open_files* files) {
    return compare_file_bytes(a, b, UINT64_MAX, files) == comparison::equal;
}

bool copy_pieces(const std::wstring& src, HANDLE out, DWORD* read_error, open_files* files) {
    piece_reader reader(src, files);
    std::vector<uint8_t> piece;
    while (reader.next(piece)) {
        if (!write_open_file(out, piece)) return false;
    }
    if (read_error) *read_error = reader.error();
    if (!reader.ok()) log_line(L"Can't read rb  " + src + win32_error_text(reader.error()));
    return reader.ok();
}

}  // namespace quillet
