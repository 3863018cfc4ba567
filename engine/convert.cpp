// Converting one text file: decoded, encoded and written piece by piece beside
// its destination, each piece read back as it is written.
#include "engine/convert.h"

#include <windows.h>

#include <algorithm>
#include <ctime>
#include <memory>

#include "base/file_replace.h"
#include "base/handles.h"
#include "text/jis_codecs.h"
#include "base/log.h"
#include "base/paths.h"
#include "engine/dest_name.h"
#include "text/detect.h"
#include "text/encodings.h"
#include "engine/file_io.h"
#include "text/file_pieces.h"
#include "engine/run_context.h"
#include "engine/place.h"

namespace quillet {

namespace {

// The bytes of one piece of text in the target code; lossy set when the
// target cannot hold a character. first is true for the text's first piece.
void encode_piece(text_code code, const std::wstring& text, bool first, bool* lossy,
                  std::vector<uint8_t>& out) {
    out.clear();
    switch (code) {
        case code_utf8: wide_to_bytes_into(text, CP_UTF8, lossy, out); return;
        case code_sjis: wide_to_bytes_into(text, 932, lossy, out); return;
        default:  // UTF-16LE, and marked UTF-16LE for other codes: one mark in front
            if (first) out = {0xFF, 0xFE};
            break;
    }
    append_wide_bytes(text, out);
}

// Why a conversion became a plain copy; "" when the text was written whole.
struct write_pass {
    bool unreadable = false;
    DWORD read_error = 0;
    bool unwritable = false;
    std::wstring lossy;  // reason the source is copied unchanged instead
    std::vector<uint8_t> head;  // the first bytes written, for the status line's facts
    // Every piece was read back from the file as it was written, decoded as
    // the target's written form (written_code_of) and found equal to the
    // source's text.
    bool read_back_equal = false;
};

// The code a file written in the target code is read back as, and the bytes
// of its byte-order mark.
text_code written_code_of(text_code code, size_t& mark) {
    mark = code == code_utf8 || code == code_sjis ? 0 : 2;
    return code == code_utf8 || code == code_sjis ? code : code_utf16le;
}

// Reads the size bytes just written at offset back from file into buffer,
// leaving the file pointer at their end for the next write.
bool read_back(HANDLE file, uint64_t offset, size_t size, std::vector<uint8_t>& buffer) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return false;
    buffer.resize(size);
    size_t done = 0;
    while (done < size) {
        size_t got = 0;
        if (!read_request(file, buffer.data() + done, size - done, got) || got == 0) return false;
        done += got;
    }
    return true;
}

// Reads each written piece back and compares its text with the piece's own:
// the written file is checked as it is made, so the source is decoded once.
class piece_check {
public:
    piece_check(text_code code, HANDLE file)
        : file_(file), decoder_(make_piece_decoder(written_code_of(code, mark_))) {}
    // After text was encoded to bytes and written at the file's end.
    void written(const std::wstring& text, const std::vector<uint8_t>& bytes) {
        if (!equal_) return;
        if (!read_back(file_, offset_, bytes.size(), back_)) {
            equal_ = false;
            return;
        }
        const size_t skip = offset_ == 0 ? std::min(mark_, back_.size()) : 0;
        offset_ += bytes.size();
        decoded_.clear();
        decoder_->decode(back_.data() + skip, back_.size() - skip, false, decoded_);
        equal_ = compare_.add_a(text) && compare_.add_b(decoded_);
    }
    // Source text the written form leaves out: the read-back cannot match it.
    void dropped(const std::wstring& text) {
        if (equal_ && !text.empty()) equal_ = compare_.add_a(text);
    }
    // After the last piece; fills the pass's verdict.
    void finish(write_pass& pass) {
        decoded_.clear();
        decoder_->decode(nullptr, 0, true, decoded_);
        pass.read_back_equal = equal_ && compare_.add_b(decoded_) && compare_.equal_at_end() &&
                               decoder_->invalid_count() == 0;
    }

private:
    HANDLE file_;
    size_t mark_ = 0;  // set before decoder_ is made
    std::unique_ptr<piece_decoder> decoder_;
    text_comparer compare_;
    uint64_t offset_ = 0;
    bool equal_ = true;
    std::vector<uint8_t> back_;
    std::wstring decoded_;
};

// Writes bytes to file, keeping the first of them in pass.head.
bool write_and_keep_head(HANDLE file, const std::vector<uint8_t>& bytes, write_pass& pass) {
    const size_t keep = std::min(bytes.size(), kHeadBytes - std::min(kHeadBytes, pass.head.size()));
    pass.head.insert(pass.head.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
    return write_open_file(file, bytes);
}

// Decodes src piece by piece, encodes each piece and writes it to file.
write_pass write_converted(run_context* run, text_code code, const std::wstring& src,
                           text_code src_code, HANDLE file) {
    write_pass pass;
    text_reader reader(src, src_code, kept_files(run));
    std::wstring text, carry;
    std::vector<uint8_t> bytes;
    piece_check check(code, file);
    const bool cuts_at_nul = code == code_utf8 || code == code_utf16le || code == code_sjis;
    bool first = true, leading = !cuts_at_nul;
    // The declarations are rewritten to name the target in the text's head,
    // which is read whole before anything of it is written.
    bool head_pending = declared_name_of(code) != L"";
    bool more = true;
    while ((more = reader.next(text)) || head_pending) {
        if (head_pending) {
            if (more && text.size() < kDeclarationHeadChars) continue;
            head_pending = false;
            rewrite_declarations(text, code);
        }
        text.insert(0, carry);
        carry.clear();
        // A surrogate pair is never cut between two pieces.
        if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
            carry = text.back();
            text.pop_back();
        }
        if (leading) {  // the marked UTF-16 form drops the text's own leading marks
            const size_t keep = text.find_first_not_of(wchar_t(0xFEFF));
            const size_t dropped = keep == std::wstring::npos ? text.size() : keep;
            check.dropped(text.substr(0, dropped));
            text.erase(0, dropped);
            leading = keep == std::wstring::npos;
        }
        // The UTF-8, UTF-16 and Shift_JIS forms end at a NUL character.
        if (cuts_at_nul && text.find(L'\0') != std::wstring::npos) {
            pass.lossy = L"holds a NUL character";
            return pass;
        }
        bool lost = false;
        encode_piece(code, text, first, &lost, bytes);
        first = false;
        if (lost) {
            pass.lossy = L"characters the target cannot hold";
            return pass;
        }
        if (!write_and_keep_head(file, bytes, pass)) {
            pass.unwritable = true;
            return pass;
        }
        check.written(text, bytes);
        text.clear();
    }
    if (!reader.ok()) {
        pass.unreadable = true;
        pass.read_error = reader.error();
        return pass;
    }
    if (!carry.empty()) pass.lossy = L"characters the target cannot hold";
    if (first) {  // an empty text still gets its mark
        encode_piece(code, L"", true, nullptr, bytes);
        if (!write_and_keep_head(file, bytes, pass)) pass.unwritable = true;
        check.written(L"", bytes);
    }
    check.finish(pass);
    // A source whose encoding stayed undecided is never converted by a guess.
    if (reader.code() == code_none && pass.lossy.empty()) pass.lossy = L"encoding undecided";
    if (reader.invalid_count() > 0 && pass.lossy.empty())
        pass.lossy = L"source does not decode exactly";
    return pass;
}

// The facts a converted entry leaves for its status line. head is the
// destination's head as written; dest_code what reading it back judged it
// (kCodeToJudge: judged here).
void learn_facts(entry_outcome& outcome, const std::wstring& dest, const std::vector<uint8_t>& head,
                 text_code dest_code, const file_status& src_status, text_code src_code) {
    // The destination's text is the source's, in one of the encodings written
    // here: the text rules find for it what they found for the source.
    record_facts(outcome, src_status, dest, !is_archive_head(head),
                 dest_code == kCodeToJudge ? head_code(head) : dest_code, src_code);
}

// A destination of ASCII bytes is what a conversion to UTF-8 or Shift_JIS
// writes for an ASCII text; it is taken for the target when it declares the
// target by name (a style sheet, a page), as a browser takes it.
bool ascii_declaring(const std::vector<uint8_t>& head, text_code dest_code, text_code code) {
    if (dest_code != code_ascii || (code != code_utf8 && code != code_sjis)) return false;
    const size_t n = std::min(head.size(), kDeclarationHeadChars);
    return declared_target(sjis_to_wide(std::vector<uint8_t>(head.begin(), head.begin() + n))) == code;
}

// head receives the destination's head when it was read.
bool up_to_date(run_context* run, text_code code, const std::wstring& src, const std::wstring& dest,
                const file_status& src_status, const file_status& dest_status,
                text_code src_code, std::vector<uint8_t>& head) {
    if (dest_status.failed() || dest_status.mtime() != src_status.mtime()) return false;
    if (!read_file_head(dest, head, nullptr, kept_files(run))) return false;
    const text_code dest_code = head_code(head);
    // An ASCII text converted to UTF-8 or Shift_JIS stays the same ASCII bytes.
    const bool ascii_written = src_code == code_ascii && dest_code == code_ascii &&
                               (code == code_utf8 || code == code_sjis);
    if (dest_code != code && !ascii_written && !ascii_declaring(head, dest_code, code)) return false;
    // The destination holds what a conversion writes: the source's text with
    // its declarations naming the target.
    return file_texts_equal(src, dest, src_code, dest_code, nullptr, code, kept_files(run));
}

}  // namespace

void record_facts(entry_outcome& outcome, const file_status& src_status, const std::wstring& dest,
                  bool dest_text_file, text_code dest_code, text_code src_code) {
    const file_status dest_status(dest);
    outcome.known = true;
    outcome.src_mtime = src_status.mtime();
    outcome.src_size = src_status.size();
    outcome.dest_mtime = dest_status.mtime();
    outcome.dest_size = dest_status.size();
    outcome.dest_text_file = dest_text_file;
    outcome.dest_code = dest_code;
    outcome.src_code = src_code;
}

entry_outcome convert_entry(run_context* run, text_code code, const std::wstring& src,
                            const std::wstring& dest, const file_status& src_status,
                            const file_status& dest_status, text_code src_code) {
    std::vector<uint8_t> dest_head;
    if (up_to_date(run, code, src, dest, src_status, dest_status, src_code, dest_head)) {
        entry_outcome outcome = make_outcome(entry_result::up_to_date, L"up to date");
        record_facts(outcome, src_status, dest, !is_archive_head(dest_head), head_code(dest_head), src_code);
        return outcome;
    }
    if (code == 0) {
        if (may_exist(run, dest) && same_file(src, dest))
            return make_outcome(entry_result::up_to_date, L"is its own destination");
        // Copied unchanged, but like every replaced file the old destination
        // is kept in Rescue first.
        return copy_unchanged(run, src, dest, src_status, true, L"copy target");
    }
    std::unique_ptr<sibling_file> sibling;
    if (!open_sibling(run, sibling, dest))
        return make_outcome(entry_result::destination_unwritable, L"cannot create the new file");
    const write_pass pass = write_converted(run, code, src, src_code, sibling->handle());
    if (pass.unreadable) {
        log_line(L"Can't read rb  " + src + win32_error_text(pass.read_error));
        return make_outcome(entry_result::source_unreadable,
                            L"source cannot be read" + win32_error_text(pass.read_error));
    }
    if (pass.unwritable)
        return make_outcome(entry_result::destination_unwritable, L"cannot write the new file");
    std::wstring fallback = pass.lossy;
    if (fallback.empty()) {
        text_code written_code = kCodeToJudge;
        const auto check = [&] {
            // Read back as it was written: enough when a reader of the file
            // would take it for the code it was read back in.
            size_t mark = 0;
            const text_code written_as = written_code_of(code, mark);
            if (pass.read_back_equal) {
                const text_code judged = head_code(pass.head);
                if (judged == written_as && mark_length(pass.head, judged) == mark) {
                    written_code = judged;
                    return make_outcome(entry_result::converted, L"");
                }
            }
            if (file_texts_equal(src, sibling->path(), src_code, kCodeToJudge, &written_code, code,
                                 kept_files(run)))
                return make_outcome(entry_result::converted, L"");
            return make_outcome(entry_result::copied, L"read-back differs");
        };
        entry_outcome outcome = put_in_place(run, *sibling, src_status.write_time(), true, check,
                                             make_outcome(entry_result::converted, L"converted"));
        if (outcome.result != entry_result::copied) {
            if (outcome.result == entry_result::converted)
                learn_facts(outcome, dest, pass.head, written_code, src_status, src_code);
            return outcome;
        }
        fallback = outcome.reason;
    }
    sibling.reset();
    entry_outcome outcome = copy_unchanged(run, src, dest, src_status, true, fallback);
    outcome.kept_unchanged = outcome.result == entry_result::copied;
    return outcome;
}

}  // namespace quillet
