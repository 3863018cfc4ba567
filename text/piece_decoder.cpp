// Piece-by-piece decoders for the source encodings. Each gives, piece after
// piece, exactly the text that decode_text gives for the whole buffer (after
// its byte-order mark): code page 932 and UTF-8 through the platform's own
// conversion, UTF-16 and UTF-32 unit by unit.
#include "text/piece_decoder.h"

#include "text/jis_codecs.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace quillet {

namespace {

bool in(uint8_t b, uint8_t lo, uint8_t hi) { return b >= lo && b <= hi; }

bool is_sjis_lead(uint8_t b) { return in(b, 0x81, 0x9F) || in(b, 0xE0, 0xFC); }

// Carried bytes beyond which a piece is cut by the encoding's own rules
// instead of at a point that splits no character in any reading.
constexpr size_t kMaxCarry = size_t(1) << 20;

// Code page 932 and UTF-8: the platform converts every piece up to a point
// where no character can be split; the bytes after it wait for the next piece.
class code_page_decoder : public piece_decoder {
public:
    explicit code_page_decoder(unsigned cp) : cp_(cp) {}

    void decode(const uint8_t* data, size_t size, bool last, std::wstring& out) override {
        if (carry_.empty()) {  // straight from the piece; only its open end waits
            const size_t cut = last ? size : cut_point(data, size);
            convert(data, cut, out);
            offset_ += cut;
            carry_.assign(data + cut, data + size);
            return;
        }
        carry_.insert(carry_.end(), data, data + size);
        const size_t cut = last ? carry_.size() : cut_point(carry_.data(), carry_.size());
        convert(carry_.data(), cut, out);
        offset_ += cut;
        carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(cut));
    }

private:
    // The last clean cut (after a byte that is a whole character in code
    // page 932 and in UTF-8, with nothing before it still open). Failing that
    // (a long run without one), the encoding's own character boundaries.
    size_t cut_point(const uint8_t* bytes, size_t n) const {
        for (size_t cut = n; cut >= 2; --cut) {
            if (clean_cut(bytes, cut)) return cut;
        }
        if (n < kMaxCarry) return 0;
        if (cp_ == CP_UTF8) {
            // Before any lead byte among the last three whose sequence would
            // run past the cut, valid or not (see clean_cut).
            size_t cut = n;
            for (size_t k = 1; k <= 3 && k <= cut; ++k) {
                const uint8_t b = bytes[cut - k];
                const size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
                if (length > k) {
                    cut -= k;
                    k = 0;
                }
            }
            return cut;
        }
        size_t i = 0;  // lead and trail bytes, walked from a character start
        while (i < n) {
            const size_t step = is_sjis_lead(bytes[i]) ? 2 : 1;
            if (i + step > n) break;
            i += step;
        }
        return i;
    }

    void convert(const uint8_t* data, size_t size, std::wstring& out) {
        if (size == 0) return;
        if (!decode_code_page(cp_, data, size, out)) count_invalid(data, size);
    }

    // Finds the invalid sequences of a piece the platform refused strictly.
    void count_invalid(const uint8_t* data, size_t size) {
        const uint64_t before = invalid_count();
        size_t i = 0;
        while (i < size) {
            const size_t len = sequence_length(data, i, size);
            if (len == 0) {
                note_invalid(offset_ + i);
                ++i;
            } else {
                i += len;
            }
        }
        if (invalid_count() == before) note_invalid(offset_);  // refused as a whole
    }

    // The length of the valid character at data[i], or 0 when it is invalid.
    size_t sequence_length(const uint8_t* data, size_t i, size_t size) const {
        const uint8_t b = data[i];
        if (cp_ != CP_UTF8) {
            if (!is_sjis_lead(b)) return 1;
            if (i + 1 >= size) return 0;
            const uint8_t t = data[i + 1];
            return in(t, 0x40, 0x7E) || in(t, 0x80, 0xFC) ? 2 : 0;
        }
        if (b < 0x80) return 1;
        size_t len = in(b, 0xC2, 0xDF) ? 2 : in(b, 0xE0, 0xEF) ? 3 : in(b, 0xF0, 0xF4) ? 4 : 0;
        if (len == 0 || i + len > size) return 0;
        const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS,
                                          reinterpret_cast<const char*>(data + i),
                                          static_cast<int>(len), nullptr, 0);
        return n > 0 ? len : 0;
    }

    unsigned cp_;
    std::vector<uint8_t> carry_;
    uint64_t offset_ = 0;  // stream offset of carry_[0]
};

// UTF-16 in either byte order: every unit as it is (as decode_text keeps
// them); an unpaired surrogate counts as invalid, and a last odd byte is
// completed with a zero byte.
class utf16_decoder : public piece_decoder {
public:
    explicit utf16_decoder(bool little) : little_(little) {}

    void decode(const uint8_t* data, size_t size, bool last, std::wstring& out) override {
        size_t i = 0;
        if (odd_ && size > 0) {
            unit(odd_byte_, data[0], out);
            odd_ = false;
            i = 1;
        }
        for (; i + 1 < size; i += 2) unit(data[i], data[i + 1], out);
        if (i < size) {
            odd_ = true;
            odd_byte_ = data[i];
        }
        if (!last) return;
        if (odd_) {
            note_invalid(offset_);
            unit(odd_byte_, 0, out);
            odd_ = false;
        }
        if (high_pending_) note_invalid(offset_ - 2);
        high_pending_ = false;
    }

private:
    void unit(uint8_t a, uint8_t b, std::wstring& out) {
        const wchar_t u = static_cast<wchar_t>(little_ ? a | (b << 8) : (a << 8) | b);
        const bool high = u >= 0xD800 && u <= 0xDBFF;
        const bool low = u >= 0xDC00 && u <= 0xDFFF;
        if (high_pending_ && !low) note_invalid(offset_ - 2);
        if (low && !high_pending_) note_invalid(offset_);
        high_pending_ = high;
        out.push_back(u);
        offset_ += 2;
    }

    bool little_;
    bool odd_ = false;
    uint8_t odd_byte_ = 0;
    bool high_pending_ = false;
    uint64_t offset_ = 0;
};

// UTF-32 in either byte order: characters above U+FFFF become surrogate
// pairs, invalid units (above U+10FFFF, surrogates) U+FFFD; a last partial
// unit is completed with zero bytes.
class utf32_decoder : public piece_decoder {
public:
    explicit utf32_decoder(bool little) : little_(little) {}

    void decode(const uint8_t* data, size_t size, bool last, std::wstring& out) override {
        for (size_t i = 0; i < size; ++i) {
            part_[filled_++] = data[i];
            if (filled_ == 4) take(out);
        }
        if (last && filled_ > 0) {
            note_invalid(offset_);
            while (filled_ < 4) part_[filled_++] = 0;
            take(out);
        }
    }

private:
    void take(std::wstring& out) {
        const uint32_t b0 = part_[0], b1 = part_[1], b2 = part_[2], b3 = part_[3];
        uint32_t u = little_ ? b0 | (b1 << 8) | (b2 << 16) | (b3 << 24)
                             : (b0 << 24) | (b1 << 16) | (b2 << 8) | b3;
        if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) {
            note_invalid(offset_);
            out.push_back(wchar_t(0xFFFD));
        } else if (u > 0xFFFF) {
            u -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (u >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (u & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(u));
        }
        filled_ = 0;
        offset_ += 4;
    }

    bool little_;
    uint8_t part_[4] = {};
    size_t filled_ = 0;
    uint64_t offset_ = 0;
};

// Which bytes of code page 932 the platform refuses strictly: lead bytes,
// refused single bytes and refused pairs of a lead byte and the byte after
// it, all found with the platform's own conversion at first use. Walking
// bytes with these tables gives the platform's strict verdict without a
// second conversion.
class dbcs_rules {
public:
    static const dbcs_rules& of_932() {
        static const dbcs_rules rules(932);
        return rules;
    }

    // What MultiByteToWideChar with MB_ERR_INVALID_CHARS says of the bytes.
    bool exact(const uint8_t* data, size_t size) const {
        size_t i = 0;
        while (i < size) {
            const uint8_t a = data[i];
            if (!lead_[a]) {
                if (refused_single_[a]) return false;
                ++i;
                continue;
            }
            if (i + 1 >= size || refused_pair_[(a << 8) | data[i + 1]]) return false;
            i += 2;
        }
        return true;
    }

private:
    explicit dbcs_rules(unsigned cp) : refused_pair_(65536, 0) {
        for (unsigned a = 0; a < 256; ++a) {
            lead_[a] = IsDBCSLeadByteEx(cp, static_cast<BYTE>(a)) != FALSE;
            const char one[1] = {static_cast<char>(a)};
            refused_single_[a] = !lead_[a] && !accepted(cp, one, 1);
            if (!lead_[a]) continue;
            for (unsigned b = 0; b < 256; ++b) {
                const char pair[2] = {static_cast<char>(a), static_cast<char>(b)};
                refused_pair_[(a << 8) | b] = !accepted(cp, pair, 2);
            }
        }
    }

    static bool accepted(unsigned cp, const char* bytes, int size) {
        return MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes, size, nullptr, 0) > 0;
    }

    bool lead_[256] = {};
    bool refused_single_[256] = {};
    std::vector<uint8_t> refused_pair_;
};

}  // namespace

bool decode_code_page(unsigned cp, const uint8_t* data, size_t size, std::wstring& out) {
    if (size == 0) return true;
    const char* in = reinterpret_cast<const char*>(data);
    const int len = static_cast<int>(size);
    const size_t old = out.size();
    out.resize(old + size);  // never more units than bytes
    const int n = MultiByteToWideChar(cp, 0, in, len, &out[old], len);
    out.resize(old + static_cast<size_t>(std::max(n, 0)));
    if (n <= 0) return false;
    if (cp != CP_UTF8) return dbcs_rules::of_932().exact(data, size);
    // UTF-8 the platform cannot decode becomes U+FFFD: only a text holding
    // one needs the strict call to tell.
    const auto begin = out.begin() + static_cast<std::ptrdiff_t>(old);
    return std::find(begin, out.end(), wchar_t(0xFFFD)) == out.end() ||
           MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in, len, nullptr, 0) > 0;
}

std::unique_ptr<piece_decoder> make_piece_decoder(text_code code) {
    switch (code) {
        case code_utf8: return std::make_unique<code_page_decoder>(CP_UTF8);
        case code_utf16le: return std::make_unique<utf16_decoder>(true);
        case code_utf16be: return std::make_unique<utf16_decoder>(false);
        case code_utf32le: return std::make_unique<utf32_decoder>(true);
        case code_utf32be: return std::make_unique<utf32_decoder>(false);
        case code_eucjp: return make_eucjp_decoder();
        case code_jis: return make_iso2022jp_decoder();
        default: return std::make_unique<code_page_decoder>(932);  // 74, 65, 0 and unknown codes
    }
}

}  // namespace quillet
