// Encoding detection: strict validity of each candidate encoding, then a
// score of how Japanese each decoded text reads.
#include "base/guess.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "base/jis_codecs.h"

namespace quillet {

namespace {

bool in(unsigned b, unsigned lo, unsigned hi) { return b >= lo && b <= hi; }

// One candidate's decoding of the buffer.
struct reading {
    text_code code = code_none;
    uint64_t invalid = 0;
    std::wstring text;       // the decoded text (U+FFFD for invalid sequences)
    double score = 0;
    std::vector<undecodable> first;  // the first few invalid sequences

    void bad(uint64_t offset) {
        if (first.size() < kKeptUndecodable) first.push_back({offset, text.size()});
        ++invalid;
        text += wchar_t(0xFFFD);
    }
};

// Shift_JIS as code page 932 reads it, strictly: single bytes below 80,
// half-width katakana A1-DF, and double-byte pairs that the platform maps.
reading read_sjis(const uint8_t* d, size_t n, bool cut, bool quick = false) {
    reading r;
    r.code = code_sjis;
    r.text.reserve(n);
    for (size_t i = 0; i < n && !(quick && r.invalid); ++i) {
        const uint8_t b = d[i];
        if (b < 0x80) {
            r.text += static_cast<wchar_t>(b);
        } else if (in(b, 0xA1, 0xDF)) {
            r.text += static_cast<wchar_t>(0xFF61 + (b - 0xA1));
        } else if (in(b, 0x81, 0x9F) || in(b, 0xE0, 0xFC)) {
            if (i + 1 == n) {
                if (!cut) r.bad(i);
                break;
            }
            const wchar_t c = cp932_pair(b, d[i + 1]);
            if (c) {
                r.text += c;
                ++i;
            } else {
                r.bad(i);
            }
        } else {
            r.bad(i);
        }
    }
    return r;
}

// UTF-8, strictly: no C0, C1 or F5-FF leads, no overlong forms, no
// surrogates, nothing above U+10FFFF, no sequence cut short (except at the
// end of a buffer that may be cut).
reading read_utf8(const uint8_t* d, size_t n, bool cut, bool quick = false) {
    reading r;
    r.code = code_utf8;
    r.text.reserve(n);
    for (size_t i = 0; i < n && !(quick && r.invalid);) {
        const uint8_t b = d[i];
        if (b < 0x80) {
            r.text += static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        size_t len = 0;
        unsigned lo = 0x80, hi = 0xBF;
        uint32_t cp = 0;
        if (in(b, 0xC2, 0xDF)) len = 2, cp = b & 0x1F;
        else if (b == 0xE0) len = 3, lo = 0xA0, cp = b & 0x0F;
        else if (b == 0xED) len = 3, hi = 0x9F, cp = b & 0x0F;
        else if (in(b, 0xE1, 0xEF)) len = 3, cp = b & 0x0F;
        else if (b == 0xF0) len = 4, lo = 0x90, cp = b & 0x07;
        else if (b == 0xF4) len = 4, hi = 0x8F, cp = b & 0x07;
        else if (in(b, 0xF1, 0xF3)) len = 4, cp = b & 0x07;
        size_t k = 1;
        for (; len && k < len && i + k < n; ++k) {
            const uint8_t c = d[i + k];
            if (!in(c, k == 1 ? lo : 0x80, k == 1 ? hi : 0xBF)) break;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (len && k == len) {
            if (cp > 0xFFFF) {
                cp -= 0x10000;
                r.text += static_cast<wchar_t>(0xD800 + (cp >> 10));
                r.text += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            } else {
                r.text += static_cast<wchar_t>(cp);
            }
            i += len;
            continue;
        }
        if (len && i + k == n && cut) break;  // cut by the end of the sample
        r.bad(i);
        i += std::max<size_t>(1, k);
    }
    return r;
}

// EUC-JP or ISO-2022-JP through their decoders, whose replacement
// characters stand for invalid sequences only.
reading read_jis_family(text_code code, const uint8_t* d, size_t n, bool cut,
                        bool quick = false) {
    reading r;
    r.code = code;
    std::unique_ptr<piece_decoder> decoder =
        code == code_eucjp ? make_eucjp_decoder() : make_iso2022jp_decoder();
    // In pieces, so that a quick look stops soon after the first invalid sequence.
    constexpr size_t kLook = 4096;
    for (size_t at = 0; at < n && !(quick && decoder->invalid_count()); at += kLook) {
        const size_t len = std::min(kLook, n - at);
        decoder->decode(d + at, len, !cut && at + len == n, r.text);
    }
    r.invalid = decoder->invalid_count();
    const auto& offsets = static_cast<jis_family_decoder*>(decoder.get())->invalid_offsets();
    size_t at = 0;
    for (uint64_t offset : offsets) {
        if (r.first.size() >= kKeptUndecodable) break;
        at = r.text.find(wchar_t(0xFFFD), at);
        if (at == std::wstring::npos) break;
        r.first.push_back({offset, at++});
    }
    return r;
}

reading read_eucjp(const uint8_t* d, size_t n, bool cut, bool quick = false) {
    return read_jis_family(code_eucjp, d, n, cut, quick);
}

bool is_hw_kana(wchar_t c) { return in(c, 0xFF61, 0xFF9F); }

// How typical one character is of Japanese text: hiragana, katakana, their
// punctuation and the common (level 1) kanji count for; rare (level 2) kanji,
// IBM extensions, kanji outside code page 932, private use, C1 controls and
// replacement characters count against.
double char_score(wchar_t c) {
    if (c < 0x80) return 0;
    if (c < 0xA0 || c == 0xFFFD || in(c, 0xE000, 0xF8FF)) return -5;
    if (in(c, 0x3041, 0x3096) || in(c, 0x309D, 0x309E) || in(c, 0x30A1, 0x30FA) || c == 0x30FC)
        return 2;
    if (in(c, 0x3000, 0x303F)) return 1.5;
    if (in(c, 0xFF01, 0xFF5E)) return 1;
    if (in(c, 0xFF61, 0xFF65)) return -0.5;  // half-width punctuation
    if (is_hw_kana(c)) return 0.75;
    if (in(c, 0xD800, 0xDFFF)) return -1;  // half of a character above U+FFFF
    const unsigned code = cp932_code_of(c);
    if (in(c, 0x3400, 0x9FFF) || in(c, 0xF900, 0xFAFF)) {
        if (in(code, 0x889F, 0x9872)) return 2;
        if (in(code, 0x989F, 0xEAA4)) return -0.5;
        return code ? -2 : -2.5;
    }
    if (in(code, 0x8740, 0x879C)) return 0.5;  // circled numbers and the like
    if (in(code, 0x8140, 0x84BE)) return 0.5;  // symbols, Greek, Cyrillic, box drawing
    if (in(c, 0xC0, 0x24F)) return 1;  // accented Latin letters
    if (in(c, 0xA0, 0xBF) || in(c, 0x2010, 0x206F)) return 0.5;  // Latin-1 signs, general punctuation
    return -1;
}

// The whole text's score: every character's, less a little where a
// half-width katakana stands next to a wide character (text in another
// encoding read as Shift_JIS breaks into such mixtures); plus a little for
// every multi-byte UTF-8 sequence (random bytes seldom form them, the longer
// ones least), and for EUC-JP's half-width katakana (each needs its SS2;
// a run of them read as Shift_JIS is a run of kanji of the one lead byte 8E).
double text_score(const reading& r) {
    double score = 0;
    const std::wstring& t = r.text;
    for (size_t i = 0; i < t.size(); ++i) {
        const wchar_t c = t[i];
        score += char_score(c);
        if (r.code == code_utf8 && c >= 0x80 && !in(c, 0xDC00, 0xDFFF)) score += c < 0x800 ? 1 : 2;
        // An accented letter inside a Latin word ("café") reads as a Western
        // text, not as a kanji or two half-width katakana among letters.
        if (in(c, 0xC0, 0x24F) && ((i > 0 && iswalpha(t[i - 1]) && t[i - 1] < 0x80) ||
                                   (i + 1 < t.size() && iswalpha(t[i + 1]) && t[i + 1] < 0x80)))
            score += 1.5;
        if (r.code == code_eucjp && is_hw_kana(c))
            score += i > 0 && is_hw_kana(t[i - 1]) ? 2 : 0.5;
        if (i > 0 && (is_hw_kana(c) != is_hw_kana(t[i - 1])) &&
            std::max(c, t[i - 1]) >= 0x100 && std::min(c, t[i - 1]) >= 0x80)
            score -= 0.5;
    }
    return score;
}

// The evidence needed between the best reading and the next.
constexpr double kMargin = 0.5;
// ... and when the best reading has fewer characters of 0x80 and above than this.
constexpr size_t kFewCharacters = 4;
constexpr double kShortMargin = 1.5;
// ... and when it has one such character only (one kanji of Shift_JIS against
// one half-width sign of EUC-JP, 8E A1 or 8E A4); a UTF-8 sequence is
// evidence of its own and needs no more than kShortMargin.
constexpr double kLoneMargin = 2.5;

}  // namespace

code_guess guess_encoding(const uint8_t* data, size_t size, bool may_be_cut) {
    code_guess g;
    bool high = false, escape = false;
    for (size_t i = 0; i < size; ++i) {
        high = high || data[i] >= 0x80;
        escape = escape || data[i] == 0x1B || data[i] == 0x0E;
    }
    if (!high) {
        g.code = code_ascii;
        if (escape) {
            // ISO-2022-JP when an escape sequence shifts to a Japanese set;
            // a lone ESC (or terminal colours) is plain ASCII.
            uint64_t invalid = 0;
            bool shifted = false;
            std::unique_ptr<piece_decoder> decoder = make_iso2022jp_decoder();
            std::wstring text;
            decoder->decode(data, size, !may_be_cut, text);
            shifted = static_cast<jis_family_decoder*>(decoder.get())->saw_shift();
            invalid = decoder->invalid_count();
            if (shifted) {
                g.code = code_jis;
                if (invalid == 0) g.candidates.push_back(code_jis);
                else g.nearest = code_jis;
            }
        }
        if (g.code == code_ascii) g.candidates.push_back(code_ascii);
        return g;
    }
    // A quick look first: a reading stops at its first invalid sequence. Only
    // when no reading is valid are all read through, to find the nearest.
    reading readings[3] = {read_sjis(data, size, may_be_cut, true),
                           read_eucjp(data, size, may_be_cut, true),
                           read_utf8(data, size, may_be_cut, true)};
    if (readings[0].invalid && readings[1].invalid && readings[2].invalid) {
        readings[0] = read_sjis(data, size, may_be_cut);
        readings[1] = read_eucjp(data, size, may_be_cut);
        readings[2] = read_utf8(data, size, may_be_cut);
    }
    std::vector<reading*> valid;
    reading* nearest = &readings[0];
    for (reading& r : readings) {
        if (r.invalid < nearest->invalid) nearest = &r;
        if (r.invalid == 0) {
            r.score = text_score(r);
            valid.push_back(&r);
        }
    }
    if (valid.empty()) {
        g.code = code_none;
        g.nearest = nearest->code;
        return g;
    }
    std::stable_sort(valid.begin(), valid.end(),
                     [](const reading* a, const reading* b) { return a->score > b->score; });
    for (const reading* r : valid) g.candidates.push_back(r->code);
    const reading& best = *valid[0];
    // A reading of a few characters only needs more of a lead: one kanji
    // against one or two half-width katakana is no evidence either way.
    const size_t wide = static_cast<size_t>(
        std::count_if(best.text.begin(), best.text.end(), [](wchar_t c) { return c >= 0x80; }));
    const double margin = wide <= 1 && best.code != code_utf8 ? kLoneMargin
                          : wide < kFewCharacters                ? kShortMargin
                                                                 : kMargin;
    bool clear = true;
    for (size_t k = 1; k < valid.size(); ++k) {
        if (valid[k]->text != best.text && best.score - valid[k]->score < margin) clear = false;
    }
    // A lone reading must still read as text: bytes of some other encoding
    // (Chinese, Latin-1) that happen to decode read as nothing Japanese.
    if (clear && best.score < -1) clear = false;
    if (!clear) {
        g.code = code_none;
        g.undecided = true;
        return g;
    }
    g.code = best.code;
    return g;
}

uint64_t find_undecodable(const uint8_t* data, size_t size, text_code code,
                          std::vector<undecodable>& first, std::wstring* text) {
    reading r;
    switch (code) {
        case code_sjis: r = read_sjis(data, size, false); break;
        case code_utf8: r = read_utf8(data, size, false); break;
        case code_eucjp:
        case code_jis: r = read_jis_family(code, data, size, false); break;
        default: break;
    }
    first = r.first;
    if (text) *text = std::move(r.text);
    return r.invalid;
}

text_code guess_code(const std::vector<uint8_t>& bytes) {
    const bool sample = bytes.size() > kGuessSample;
    return guess_encoding(bytes.data(), sample ? kGuessSample : bytes.size(), sample).code;
}

}  // namespace quillet
