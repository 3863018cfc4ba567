// Files read, decoded, compared and copied in pieces, so that memory stays
// bounded whatever a file's size: no caller holds more than a piece or two of
// any file, and every request to the platform goes through the file layer's
// read_request and write_open_file.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "text/declaration.h"
#include "base/file_access.h"
#include "base/handles.h"
#include "text/piece_decoder.h"

namespace quillet {

// The size of the pieces files are read in (within io_request_limit).
constexpr size_t kPieceBytes = size_t(1) << 19;

class open_files;

// A file opened for reading (others may go on reading and writing; a file
// they hold exclusively is waited for as the file reader waits), read from
// its start in pieces. error() tells why an open or a
// read failed. A file kept open by `files` is read through that one handle,
// not opened again.
class piece_reader {
public:
    explicit piece_reader(const std::wstring& path, open_files* files = nullptr);
    bool ok() const { return file_ != INVALID_HANDLE_VALUE && error_ == 0; }
    DWORD error() const { return error_; }
    // The next piece of at most `most` bytes (never more than kPieceBytes);
    // false at the end of the file or on a read failure (error() then set).
    bool next(std::vector<uint8_t>& piece, size_t most = kPieceBytes);
    bool rewind();
    // Bytes read since the open (or the last rewind).
    uint64_t position() const { return position_; }

private:
    // The size of the next request: what the file held at its open beyond
    // the position, plus one byte to see its end in the same request (a
    // file that grew meanwhile is read on in pieces). A small file is thus
    // read with a small buffer, never one of kPieceBytes.
    size_t request_size(size_t most) const;

    open_files* files_ = nullptr;
    unique_hfile owned_;  // the handle, unless the entry keeps the file open
    bool no_memory_ = false;  // the test seam piece_memory_refused names this file
    HANDLE file_ = INVALID_HANDLE_VALUE;
    DWORD error_ = 0;
    uint64_t size_ = 0;      // the file's size when it was opened
    uint64_t position_ = 0;  // bytes read so far
    bool ended_ = false;     // a read came back short: the file ends there
    // Where the handle's own file pointer stands (shared by the readers of a
    // kept file): a read moves it only when it is not already in place.
    uint64_t own_pointer_ = 0;
    uint64_t* pointer_ = &own_pointer_;
};

// The files one entry of a run (its source and its destination) keeps open
// for reading: the text test, the conversion and the read-back all read the
// handle the first reader opened, so the platform is asked to open each file
// once, not once per step. Readers given no open_files open their file
// themselves. Belongs to one entry at a time, on one thread.
class open_files {
public:
    open_files();
    ~open_files();
    open_files(const open_files&) = delete;
    open_files& operator=(const open_files&) = delete;
    // From now on, paths are read through one handle each, opened by their
    // first reader (kept until release()).
    void keep(const std::vector<std::wstring>& paths);
    // Closes every kept file and forgets the paths: must be called before a
    // kept path is replaced (another name moved over it) or written, so that
    // the reads after it see the new file and no handle of ours stands in
    // the replacement's way. No reader of a kept file may live across it.
    void release();
    // Until release(), path is read through handle, which stays its owner's
    // (a file just written, read back through the handle that wrote it).
    void lend(const std::wstring& path, HANDLE handle);
    // Called with the bytes read through any reader given these files since
    // the last release(), a few times a second at most while they are read.
    void on_progress(std::function<void(uint64_t bytes_read)> report);
    // For piece_reader: the kept entry of path, or null.
    struct kept_file;
    kept_file* find(const std::wstring& path);
    // For piece_reader: count bytes just read.
    void count(size_t bytes);
private:
    struct state;
    std::unique_ptr<state> state_;
};

// The first min(kHeadBytes, size) bytes of a file; false when it cannot be
// opened or read (error, when given, tells why).
bool read_file_head(const std::wstring& path, std::vector<uint8_t>& head, DWORD* error = nullptr,
                    open_files* files = nullptr);
// The same from a file already open, read from its current position.
bool read_head_from(piece_reader& reader, std::vector<uint8_t>& head);

// How many bytes of a file of that code its byte-order mark takes.
size_t mark_length(const std::vector<uint8_t>& head, text_code code);

// A code not known yet: judged on the file's head.
constexpr text_code kCodeToJudge = -1;

// A file's text, decoded piece by piece as decode_text decodes the whole
// file (the code judged on the head, the mark skipped).
class text_reader {
public:
    // code, when known already (what head_code said of the same file's
    // head), spares judging the head again.
    explicit text_reader(const std::wstring& path, text_code code = kCodeToJudge,
                         open_files* files = nullptr);
    bool ok() const { return ok_; }
    DWORD error() const { return reader_.error(); }
    text_code code() const { return code_; }
    // Appends the next piece of text to out; false once the text has ended
    // (or the file could not be read: ok() is then false).
    bool next(std::wstring& out);
    // Invalid sequences the decoder met so far.
    uint64_t invalid_count() const { return decoder_ ? decoder_->invalid_count() : 0; }
    // A zero byte was among the bytes read so far.
    bool zero_byte() const { return zero_byte_; }
    // Bytes of the file decoded so far.
    uint64_t bytes_read() const { return reader_.position(); }

private:
    piece_reader reader_;
    std::unique_ptr<piece_decoder> decoder_;
    text_code code_ = code_none;
    size_t skip_ = 0;
    bool ok_ = false;
    bool done_ = false;
    bool zero_byte_ = false;
    std::vector<uint8_t> piece_;  // kept from piece to piece, so never allocated again
};

// Whether two texts, each delivered in pieces, are equal.
class text_comparer {
public:
    // Feeds the next pieces of side a or b; false as soon as they differ.
    bool add_a(const std::wstring& piece) { return add(a_, piece, b_); }
    bool add_b(const std::wstring& piece) { return add(b_, piece, a_); }
    bool equal_at_end() const { return same_ && a_.empty() && b_.empty(); }
    bool differs() const { return !same_; }
    bool a_ahead() const { return !a_.empty(); }
    bool b_ahead() const { return !b_.empty(); }

private:
    bool add(std::wstring& mine, const std::wstring& piece, std::wstring& other);
    std::wstring a_, b_;  // what one side has beyond the other
    bool same_ = true;
};

// Reads on until out holds the text's head (kDeclarationHeadChars, or the
// whole text when it is shorter): what its declarations are rewritten in.
// false once the text has ended (or could not be read).
bool read_head_text(text_reader& reader, std::wstring& out);

// How the declarations of text a are taken before it is compared: as they
// are (0), rewritten for a target (8, 16, 74: what a conversion to it
// writes), or rewritten for the target b's own declarations name, so that a
// destination that differs from its source only by its declaration counts
// as equal to it.
constexpr text_code kDeclarationsAsTheyAre = 0;
constexpr text_code kDeclarationsOfB = -2;

// What a comparison of two files found: undecided when it stopped at its
// budget with the files equal so far.
enum class comparison { equal, differ, undecided };
// Compares the decoded texts of both files, reading at most about `budget`
// bytes of each; differ when either cannot be read. code_a, code_b and
// judged_b as for file_texts_equal; declarations as above.
comparison compare_file_texts(const std::wstring& a, const std::wstring& b, uint64_t budget,
                              text_code code_a = kCodeToJudge, text_code code_b = kCodeToJudge,
                              text_code* judged_b = nullptr,
                              text_code declarations = kDeclarationsAsTheyAre,
                              open_files* files = nullptr);
// The decoded texts of both files are equal (both read whole). false when
// either cannot be read. code_a and code_b, when known, are the files' codes
// as head_code judged them; judged_b, when given, receives b's code as it
// was read (kCodeToJudge when b's texts were not decoded: equal bytes).
bool file_texts_equal(const std::wstring& a, const std::wstring& b,
                      text_code code_a = kCodeToJudge, text_code code_b = kCodeToJudge,
                      text_code* judged_b = nullptr,
                      text_code declarations = kDeclarationsAsTheyAre,
                      open_files* files = nullptr);
// Both files hold the same bytes.
bool file_bytes_equal(const std::wstring& a, const std::wstring& b, open_files* files = nullptr);

// Copies src's bytes to the open file out, piece by piece; false when src
// cannot be read (read_error, when given, tells why) or out not written.
bool copy_pieces(const std::wstring& src, HANDLE out, DWORD* read_error = nullptr,
                 open_files* files = nullptr);
}  // namespace quillet
