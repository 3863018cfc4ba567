#include "text/detect.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include <emmintrin.h>

#include "base/log.h"
#include "base/paths.h"
#include "base/file_replace.h"
#include "text/encodings.h"
#include "text/file_pieces.h"

namespace quillet {

std::vector<uint8_t> read_head(const std::wstring& path, size_t n) {
    FILE* f = path.empty() ? nullptr : _wfopen(path.c_str(), L"rb");
    if (!f) {
        // One attempt only: the head is a quick look, not a read that must succeed.
        if (!path.empty()) Sleep(100);
        log_line(L"::ReadHead   Can't open   " + path);
        return {};
    }
    // The whole 64-bit size: a file of 4 GiB or more must not look short.
    const int64_t status_size = file_status(path).size();
    const uint64_t size = status_size > 0 ? static_cast<uint64_t>(status_size) : 0;
    std::vector<uint8_t> head(2 * n + 2, 0);
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, n));
    if (want > 0) fread(head.data(), 1, want, f);
    fclose(f);
    return head;
}

bool is_archive(const std::wstring& path) { return is_archive_head(read_head(path, 10)); }

namespace {

// One declaration rule (marker, then keyword, then "=" and a value of at most
// 20 characters) over a whole text taken as one line, fed piece by piece.
class rule_scan {
public:
    rule_scan(const wchar_t* marker, const wchar_t* keyword) : marker_(marker), keyword_(keyword) {}

    // window is the text from absolute position base on; it overlaps the
    // previous window by enough characters that no word is missed at a cut.
    void feed(const std::wstring& window, uint64_t base) {
        for (uint64_t i = std::max<uint64_t>(base, head_.size()); i < kValue && i - base < window.size(); ++i)
            head_ += window[static_cast<size_t>(i - base)];
        while (stage_ < value && !decided_) {
            const size_t at = window.find(stage_ == marker ? marker_ : stage_ == keyword ? keyword_ : L"=",
                                          from_ > base ? static_cast<size_t>(from_ - base) : 0);
            if (at == std::wstring::npos) return;
            from_ = base + at + 1;
            stage_ = static_cast<stage>(stage_ + 1);
        }
        if (stage_ != value || decided_ || from_ < base) return;
        const size_t start = static_cast<size_t>(from_ - base);
        if (start >= window.size()) return;
        const std::wstring more = window.substr(start, kValue - value_.size());
        value_ += more;
        from_ += more.size();
        if (value_.size() == kValue) decide(value_);
    }

    // At the end of the text: a keyword without "=" takes the text's start.
    void finish() {
        if (decided_) return;
        if (stage_ == value) decide(value_);
        else if (stage_ == equals) decide(head_);
        else decided_ = true;
    }

    text_code code() const { return code_; }
    bool found_code() const { return decided_ && code_ != code_none; }

private:
    enum stage { marker, keyword, equals, value };
    static constexpr size_t kValue = 20;

    // The value names an encoding as the one-line rule reads it.
    void decide(const std::wstring& v) {
        decided_ = true;
        declaration_in_line(std::wstring(marker_) + L" " + keyword_ + L"=" + v, marker_, keyword_, code_);
    }

    const wchar_t* marker_;
    const wchar_t* keyword_;
    stage stage_ = marker;
    uint64_t from_ = 0;
    std::wstring head_, value_;
    bool decided_ = false;
    text_code code_ = code_none;
};

// The declarations that decide an encoding stand at the top of a file (an XML
// declaration at its very start, an HTML charset in its head, a VRML or X3D
// header on its first line): the text test looks for them only in the first
// kDeclarationChars characters of the text, so that neither a large binary
// nor a large text is decoded past what decides its verdict.
constexpr uint64_t kDeclarationChars = 64 * 1024;
// The bytes those characters can take: no character of the encodings the raw
// pass reads (code page 932, UTF-8) takes more than three bytes per UTF-16
// unit; a declaration word at or past this byte is surely outside the head.
constexpr uint64_t kDeclarationBytes = 4 * kDeclarationChars;

// The text rules over a text fed piece by piece: a declaration in the head
// decides for text as soon as it is found; once the head is passed without
// one, a NUL character decides against; the length waits for the end.
class text_rules_scan {
public:
    void feed(const std::wstring& piece) {
        std::wstring window = tail_ + piece;
        const uint64_t base = length_ - tail_.size();
        length_ += piece.size();
        if (!nul_) nul_ = piece.find(L'\0') != std::wstring::npos;
        if (base < kDeclarationChars) {
            // Only the head's characters count for a declaration.
            window.resize(static_cast<size_t>(std::min<uint64_t>(window.size(), kDeclarationChars - base)));
            if (!xml_decl_) xml_decl_ = window.find(L"<?xml") != std::wstring::npos;
            if (!vrml_) vrml_ = window.find(L"VRML") != std::wstring::npos || window.find(L"X3D") != std::wstring::npos;
            if (!utf8_) utf8_ = window.find(L"utf8") != std::wstring::npos;
            xml_.feed(window, base);
            html_.feed(window, base);
            tail_ = window.substr(window.size() - std::min<size_t>(window.size(), 8));
        }
        if (length_ >= kDeclarationChars) {
            // The head is whole: what it declares is settled.
            xml_.finish();
            html_.finish();
        }
    }
    bool declared() const { return xml_decl_ || xml_.found_code() || html_.found_code() || (vrml_ && utf8_); }
    // Not text, whatever follows: the head declared nothing and a NUL came.
    bool binary_already() const { return length_ >= kDeclarationChars && nul_ && !declared(); }
    // The verdict at the end of the text; zero_byte tells whether the raw
    // bytes hold a zero byte, size is the file's size.
    bool text_at_end(bool zero_byte, uint64_t size) {
        xml_.finish();
        html_.finish();
        if (declared()) return true;
        if (nul_) return false;
        return !(2 * length_ < size / 4 && zero_byte);
    }

private:
    std::wstring tail_;
    uint64_t length_ = 0;
    bool nul_ = false, xml_decl_ = false, vrml_ = false, utf8_ = false;
    rule_scan xml_{L"xml", L"encoding"};
    rule_scan html_{L"html", L"charset"};
};

// The bytes of 16 at data that are a zero byte (bit set in zeros) or the
// first letter of a declaration word, "x", "h", "V" or "X" (bit set in letters).
void mark_bytes16(const uint8_t* data, unsigned& zeros, unsigned& letters) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
    zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
    const __m128i hits = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('x')), _mm_cmpeq_epi8(v, _mm_set1_epi8('h'))),
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('V')), _mm_cmpeq_epi8(v, _mm_set1_epi8('X'))));
    letters = static_cast<unsigned>(_mm_movemask_epi8(hits));
}

// One pass over a piece of raw bytes: notes zero bytes (zero) and whether one
// is surely a NUL character (nul: it starts the file or follows a byte below
// 0x80, so no lead byte takes it); true when one of the words a declaration
// needs starts in the piece's first `words_in` bytes. before is the byte
// before the piece, first tells that the piece starts the file. Sixteen bytes
// are looked at a time.
bool scan_raw_piece(const uint8_t* data, size_t n, size_t words_in, uint8_t before, bool first,
                    bool& zero, bool& nul) {
    static const char* const words[] = {"xml", "html", "VRML", "X3D"};
    for (size_t i = 0; i < n; i += 16) {
        const size_t len = std::min<size_t>(16, n - i);
        unsigned zeros = 0xFFFF, letters = 0xFFFF;  // a short last block is looked at byte by byte
        if (len == 16) mark_bytes16(data + i, zeros, letters);
        if (i >= words_in) letters = 0;
        if ((nul || zeros == 0) && letters == 0) continue;
        for (size_t k = i; k < i + len; ++k) {
            if (data[k] == 0 && !nul) {
                zero = true;
                nul = (k == 0 && first) || (k > 0 ? data[k - 1] : before) < 0x80;
            }
            if (k >= words_in) continue;
            for (const char* word : words) {
                const size_t w = strlen(word);
                if (k + w <= n && memcmp(data + k, word, w) == 0) return true;
            }
        }
    }
    return false;
}

// A quick pass over the raw bytes of a file whose encoding keeps ASCII as it
// is (code page 932, UTF-8): a file without a zero byte is text, whatever it
// declares; a file with a zero byte that is surely a NUL character (it starts
// the file or follows a byte below 0x80, so no lead byte can take it) is not
// text unless it declares an encoding, which needs one of the words "xml",
// "html", "VRML" or "X3D" in the bytes of its head, so past the head such a
// NUL decides. 1 text, 0 not text, -1 undecided (the decoding pass decides),
// -2 unreadable.
int raw_verdict(piece_reader& reader, DWORD& error) {
    std::vector<uint8_t> piece;
    std::string edge;  // the last bytes of the pieces so far, for words cut at a piece's end
    bool zero = false, nul = false;
    bool first = true;
    uint8_t before = 0;  // the last byte of the piece before
    while (reader.next(piece)) {
        const uint8_t* data = piece.data();
        const size_t n = piece.size();
        const uint64_t start = reader.position() - n;
        const size_t words_in =
            start < kDeclarationBytes ? static_cast<size_t>(std::min<uint64_t>(n, kDeclarationBytes - start)) : 0;
        if (scan_raw_piece(data, n, words_in, before, first, zero, nul)) return -1;
        // A word cut at the piece's start, begun in the piece before.
        edge.append(reinterpret_cast<const char*>(data), std::min<size_t>(n, 3));
        if (start < kDeclarationBytes) {
            for (const char* word : {"xml", "html", "VRML", "X3D"})
                if (edge.find(word) != std::string::npos) return -1;
        }
        edge.assign(reinterpret_cast<const char*>(data + n - std::min<size_t>(n, 3)), std::min<size_t>(n, 3));
        before = data[n - 1];
        first = false;
        // Past the head nothing can declare an encoding any more.
        if (nul && reader.position() >= kDeclarationBytes) return 0;
    }
    error = reader.error();
    if (!reader.ok()) return -2;
    if (!zero) return 1;
    return nul ? 0 : -1;
}

}  // namespace

bool is_archive_head(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 4 || bytes[0] != 0x50 || bytes[1] != 0x4B) return false;
    return (bytes[2] == 0x03 && bytes[3] == 0x04) || (bytes[2] == 0x05 && bytes[3] == 0x06) ||
           (bytes[2] == 0x07 && bytes[3] == 0x08);
}

text_check check_text_file(const std::wstring& path, open_files* files) {
    text_check check;
    // A folder or a missing file has no bytes to read: empty text.
    const file_status status(path);
    if (!path_exists(path, false) || status.is_folder()) {
        check.text = !is_archive(path);
        return check;
    }
    // One open of the file serves the archive test, the head and the raw pass.
    piece_reader file(path, files);
    std::vector<uint8_t> head;
    if (!read_head_from(file, head) || !file.rewind()) {
        check.readable = false;
        check.error = file.error();
        log_line(L"Can't open rb  " + path + win32_error_text(check.error));
        return check;
    }
    if (is_archive_head(head)) {
        check.text = false;
        return check;
    }
    check.code = head_code(head);
    const size_t mark = mark_length(head, check.code);
    const bool ascii_kept = check.code == code_utf8 || check.code == code_sjis ||
                            check.code == code_ascii || check.code == code_none;
    if (ascii_kept && mark == 0) {
        const int verdict = raw_verdict(file, check.error);
        if (verdict >= 0 || verdict == -2) {
            check.readable = verdict != -2;
            check.text = verdict != 0;
            return check;
        }
    }
    text_reader reader(path, check.code, files);
    text_rules_scan rules;
    std::wstring piece;
    while (reader.next(piece)) {
        rules.feed(piece);
        piece.clear();
        if (rules.declared()) return check;
        if (rules.binary_already()) {
            check.text = false;
            return check;
        }
    }
    if (!reader.ok()) {
        check.readable = false;
        check.error = reader.error();
        log_line(L"Can't read rb  " + path + win32_error_text(check.error));
        return check;
    }
    check.text = rules.text_at_end(reader.zero_byte(), static_cast<uint64_t>(status.size()));
    return check;
}

bool is_text_file(const std::wstring& path) {
    try {
        return check_text_file(path).text;
    } catch (const std::bad_alloc&) {
        // No memory to read it with: it counts as text, as a file that cannot
        // be read does, and the copy run refuses it on its own.
        log_line(L"Not enough memory  " + path);
        return true;
    }
}

namespace {

// The usual name of an encoding detection finds.
std::wstring encoding_name(text_code code) {
    switch (code) {
        case code_utf8: return L"UTF-8";
        case code_utf16le: return L"UTF-16LE";
        case code_utf16be: return L"UTF-16BE";
        case code_utf32le: return L"UTF-32LE";
        case code_utf32be: return L"UTF-32BE";
        case code_ascii: return L"US-ASCII";
        case code_sjis: return L"Shift_JIS";
        case code_eucjp: return L"EUC-JP";
        case code_jis: return L"ISO-2022-JP";
        default: return L"an unknown encoding";
    }
}


// How many of the raw bytes can hold a declared name: up to a little past
// the last "charset" or "encoding" (any letter case) that an "=" or a quote
// follows; 0 when none does, so that text which merely mentions the words
// is not decoded.
size_t declaration_bytes(const std::vector<uint8_t>& bytes) {
    const auto lower = [](uint8_t c) { return static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
    size_t end = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t c = lower(bytes[i]);
        if (c != 'c' && c != 'e') continue;
        for (const char* word : {"charset", "encoding"}) {
            const size_t n = strlen(word);
            size_t k = 0;
            while (k < n && i + k < bytes.size() && lower(bytes[i + k]) == static_cast<uint8_t>(word[k])) ++k;
            if (k < n) continue;
            k += i;
            while (k < bytes.size() && (bytes[k] == ' ' || bytes[k] == '\t')) ++k;
            // A name, and the end of its tag, lie a little way past its "=" or quote.
            if (k < bytes.size() && (bytes[k] == '=' || bytes[k] == '"')) end = std::min(bytes.size(), k + 256);
        }
    }
    return end;
}

}  // namespace

std::wstring false_declaration(const std::wstring& path, text_code code, open_files* files) {
    if (code == code_none) return L"";
    std::wstring head;
    if (code != code_utf16le && code != code_utf16be && code != code_utf32le && code != code_utf32be) {
        // The encodings that keep ASCII as it is: the bytes show where a
        // declaration's name can stand, and only those before it are decoded.
        piece_reader raw(path, files);
        std::vector<uint8_t> bytes;
        raw.next(bytes, 3 * kDeclarationHeadChars);
        const size_t n = declaration_bytes(bytes);
        if (n == 0) return L"";
        make_piece_decoder(code)->decode(bytes.data(), n, true, head);
    } else {
        text_reader reader(path, code, files);
        read_head_text(reader, head);
    }
    const std::wstring name = contradicting_name(head, code);
    if (name.empty()) return L"";
    return L"declares " + name + L", reads as " + encoding_name(code);
}

std::wstring unreadable_label() { return L"NO_RD"; }

}  // namespace quillet
