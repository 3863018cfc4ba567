// Encoding detection: strict validity of each candidate encoding, then a
// score of how Japanese each decoded text reads.
#include "text/guess.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

#include "text/jis_codecs.h"

namespace quillet {

namespace {

bool in(unsigned b, unsigned lo, unsigned hi) { return b >= lo && b <= hi; }

// An EUC-JP text of at least this many kanji and no kana at all whose kanji
// score less than kCommonKanjiMean on average does not read as Japanese; its
// score is then at most kNotJapanese, below what a lone reading needs.
constexpr size_t kKanjiWithoutKana = 3;
constexpr double kCommonKanjiMean = 1.5;
constexpr double kNotJapanese = -2;
// ... and so does one of at least kKanjiForRatio kanji with fewer than one
// kana for every kKanjiPerKana of them.
constexpr size_t kKanjiForRatio = 6;
constexpr size_t kKanjiPerKana = 8;
// An EUC-JP text of kanji side by side, with fewer than one kana for every
// kKanjiPerKanaBesidePairs kanji, of which fewer than one pair in
// kPairsPerWord is a pair of a Japanese word, is not chosen (see score_text).
constexpr size_t kKanjiPerKanaBesidePairs = 2;
constexpr size_t kPairsPerWord = 3;
// The least score of a reading of one character above ASCII chosen alone: a
// lone rare kanji (-1.5) still reads as Japanese. A longer one must score
// above 0: as much for as against.
constexpr double kLeastScore = -1.75;
// The least score per character of 0x80 and above of a reading of at least
// kEnoughCharacters such characters (Japanese text scores 0.5 to 2 a
// character, half-width katakana the least).
constexpr size_t kEnoughCharacters = 6;
constexpr double kLeastPerCharacter = 0.4;
// ... and of a reading chosen over one that reads as Chinese.
constexpr double kLeastAgainstChinese = 0.6;

// One candidate's decoding of the buffer.
struct reading {
    text_code code = code_none;
    uint64_t invalid = 0;
    std::wstring text;       // the decoded text (U+FFFD for invalid sequences)
    double score = 0;
    bool chinese = false;  // reads as Chinese text in GB2312 (see score_text)
    bool few_words = false;  // kanji that seldom form words (see score_text)
    bool cut = false;  // valid only up to a character cut at the end of the bytes
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

reading read_in(text_code code, const uint8_t* d, size_t n, bool cut, bool quick = false) {
    switch (code) {
        case code_sjis: return read_sjis(d, n, cut, quick);
        case code_utf8: return read_utf8(d, n, cut, quick);
        case code_eucjp:
        case code_jis: return read_jis_family(code, d, n, cut, quick);
        default: return reading();
    }
}

bool is_hw_kana(wchar_t c) { return in(c, 0xFF61, 0xFF9F); }

#include "text/guess_kanji.inc"

// How common a kanji is in Japanese text: 2 for those taught in elementary
// school, 1 for the rest of the kanji in common use, 0 for any other.
int kanji_tier(wchar_t c) {
    static const std::vector<uint8_t> tiers = [] {
        std::vector<uint8_t> t(0x10000, 0);
        for (const wchar_t* k = kSecondaryKanji; *k; ++k) t[*k] = 1;
        for (const wchar_t* k = kElementaryKanji; *k; ++k) t[*k] = 2;
        return t;
    }();
    return tiers[static_cast<uint16_t>(c)];
}

bool is_kanji(wchar_t c) { return in(c, 0x3400, 0x9FFF) || in(c, 0xF900, 0xFAFF); }

#include "text/guess_pairs.inc"

// The bytes of a generated table kept as base64 text.
std::vector<uint8_t> from_base64(const char* text) {
    int8_t value[256];
    std::fill(std::begin(value), std::end(value), int8_t(-1));
    const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int k = 0; k < 64; ++k) value[static_cast<uint8_t>(digits[k])] = static_cast<int8_t>(k);
    std::vector<uint8_t> out;
    out.reserve(std::strlen(text) / 4 * 3);
    uint32_t bits = 0;
    int count = 0;
    for (const char* p = text; *p; ++p) {
        const int8_t v = value[static_cast<uint8_t>(*p)];
        if (v < 0) continue;  // padding
        bits = (bits << 6) | static_cast<uint32_t>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<uint8_t>(bits >> count));
        }
    }
    return out;
}

// Whether kanji a and b stand side by side in a word of the IPA dictionary.
// The pairs are kept as a Bloom filter: a pair of no word is taken for one
// now and then (about 4 % of them), a pair of a word always is.
bool word_pair(wchar_t a, wchar_t b) {
    static const std::vector<uint8_t> bits = from_base64(kKanjiPairBits);
    if (bits.size() != (1u << 20) / 8) return true;  // no filter: no evidence either way
    const uint32_t key = (static_cast<uint32_t>(static_cast<uint16_t>(a)) << 16) |
                         static_cast<uint16_t>(b);
    const uint32_t first = (key * 0x9E3779B1u) >> 12;
    const uint32_t second = ((key ^ 0x5BD1E995u) * 0x85EBCA6Bu) >> 12;
    auto set = [&](uint32_t bit) { return ((bits[bit >> 3] >> (bit & 7)) & 1) != 0; };
    return set(first) && set(second);
}

bool is_kana(wchar_t c) {
    return in(c, 0x3041, 0x309E) || in(c, 0x30A1, 0x30FC) || in(c, 0xFF66, 0xFF9F);
}

// Half-width katakana letters, the long-vowel mark and the sound marks: what
// a half-width word is made of.
bool is_hw_word(wchar_t c) { return in(c, 0xFF66, 0xFF9F); }

bool is_space(wchar_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Kana that a small kana, a long-vowel mark or a sound mark may follow.
bool ends_kana_word(wchar_t c) {
    return in(c, 0x3041, 0x3096) || in(c, 0x30A1, 0x30FC) || is_hw_word(c);
}

// A kanji: common ones count for, rare ones (and those outside code page 932)
// against, since a wrong decoding picks kanji from all over the table.
double kanji_score(wchar_t c) {
    switch (kanji_tier(c)) {
        case 2: return 2;
        case 1: return 1.25;
        default: break;
    }
    const unsigned code = cp932_code_of(c);
    if (in(code, 0x889F, 0x9872)) return -0.5;  // level 1 of JIS X 0208, not in common use
    if (in(code, 0x989F, 0xEAA4)) return -1.5;  // level 2
    // Outside code page 932 (and so outside JIS X 0208): not a Japanese kanji.
    return code ? -2 : -3.5;
}

// A half-width katakana between prev and next (0 at the start and end of the
// buffer: a cut file may begin in the middle of a word, and nothing counts
// against what stands there).
// Half-width text follows the rules of katakana spelling: a sound mark
// follows a kana that takes it, a small kana, a long-vowel mark or ﾝ follows
// a kana, and the Japanese comma and full stop follow text, not a space.
// Text of another encoding read as half-width katakana breaks these rules.
double hw_kana_score(wchar_t c, wchar_t prev, wchar_t next) {
    const bool start = prev == 0;
    const bool after_kana = ends_kana_word(prev);
    // A kana that ends in a vowel: a letter other than ﾝ, a small kana other
    // than ｯ (ｼｮﾝ, ｼﾞｭｰ), or a sound mark.
    const bool after_letter = in(prev, 0xFF66, 0xFF6E) || in(prev, 0xFF71, 0xFF9C) ||
                              prev == 0xFF9E || prev == 0xFF9F;
    const bool voiceable = prev == 0xFF73 || in(prev, 0xFF76, 0xFF84) || in(prev, 0xFF8A, 0xFF8E);
    if (c == 0xFF9E) return voiceable ? 1.5 : start ? 0 : -3;             // ﾞ
    if (c == 0xFF9F) return in(prev, 0xFF8A, 0xFF8E) ? 2 : start ? 0 : -3;  // ﾟ
    if (c == 0xFF70) return after_letter ? 1 : start ? 0 : -2;            // ｰ
    if (c == 0xFF6F) return after_letter ? 0.75 : start ? 0 : -2;         // ｯ
    if (in(c, 0xFF67, 0xFF6E)) {                                          // ｧ-ｮ
        // ｬｭｮ follow a kana of the i row (or ﾃ, ﾌ, ｳ in loanwords), ｧ-ｫ one
        // of the u row or ﾃ, ﾄ, ｼ, ﾁ; both also a sound mark.
        static const wchar_t kBeforeSmall[] = L"ｲｳｷｸｼｽﾁﾂﾃﾄﾆﾋﾌﾐﾘﾞﾟ";
        const bool fits = prev != 0 && std::wcschr(kBeforeSmall, prev) != nullptr;
        return fits ? 0.25 : start ? 0 : -2;
    }
    if (c == 0xFF9D) return after_letter ? 0.75 : start ? 0 : -1;         // ﾝ
    if (c == 0xFF61 || c == 0xFF64 || c == 0xFF65) {                      // ｡ ､ ･
        // A full stop or comma and a bracket right after it end Japanese
        // text; after ASCII or at the start they are EUC-JP's 、 or 。 (A1 A2,
        // A1 A3) read as Shift_JIS.
        if (prev < 0x80 && (next == 0xFF62 || next == 0xFF63) && c != 0xFF65) return -2;
        return after_kana ? 0.5 : is_space(prev) ? -3 : 0;
    }
    if (c == 0xFF62) return is_space(next) ? -2 : 0.25;                   // ｢ opens something
    if (c == 0xFF63) return after_kana ? 0.25 : is_space(prev) ? -2 : 0;   // ｣
    return 0.5;
}

// A wide kana after prev: small kana and the long-vowel mark follow a kana.
double kana_score(wchar_t c, wchar_t prev) {
    const bool small = c == 0x3041 || c == 0x3043 || c == 0x3045 || c == 0x3047 || c == 0x3049 ||
                       c == 0x3063 || c == 0x3083 || c == 0x3085 || c == 0x3087 || c == 0x308E ||
                       c == 0x30A1 || c == 0x30A3 || c == 0x30A5 || c == 0x30A7 || c == 0x30A9 ||
                       c == 0x30C3 || c == 0x30E3 || c == 0x30E5 || c == 0x30E7 || c == 0x30EE ||
                       c == 0x30FC;
    if (small && prev != 0 && !ends_kana_word(prev) && !is_kanji(prev)) return -2;
    return 2;
}

// How typical one character is of Japanese text (see the functions above);
// punctuation and symbols of code page 932 count a little for, C1 controls,
// private use and replacement characters against.
double char_score(wchar_t c, wchar_t prev, wchar_t next) {
    if (c < 0x80) return 0;
    if (c < 0xA0 || c == 0xFFFD || in(c, 0xE000, 0xF8FF)) return -5;
    if (in(c, 0x3041, 0x3096) || in(c, 0x309D, 0x309E) || in(c, 0x30A1, 0x30FA) || c == 0x30FC)
        return kana_score(c, prev);
    if (in(c, 0x3000, 0x303F)) return 1.5;
    if (in(c, 0xFF01, 0xFF5E)) return 1;
    if (is_hw_kana(c)) return hw_kana_score(c, prev, next);
    if (in(c, 0xD800, 0xDFFF)) return -1;  // half of a character above U+FFFF
    if (is_kanji(c)) return kanji_score(c);
    const unsigned code = cp932_code_of(c);
    if (in(code, 0x8740, 0x879C)) return 0.5;  // circled numbers and the like
    if (in(code, 0x8140, 0x84BE)) return 0.5;  // symbols, Greek, Cyrillic, box drawing
    if (in(c, 0xC0, 0x24F)) return 1;  // accented Latin letters
    // Latin-1 signs, general punctuation
    if (in(c, 0xA0, 0xBF) || in(c, 0x2010, 0x206F)) return 0.5;
    return -1;
}

// Sets r.score to the whole text's score: every character's, less a little
// where a half-width katakana stands next to a wide character (text in
// another encoding read as Shift_JIS breaks into such mixtures); plus a little
// for every multi-byte UTF-8 sequence (random bytes seldom form them, the
// longer ones least), and for EUC-JP's half-width katakana (each needs its
// SS2; a run of them read as Shift_JIS is a run of kanji of the one lead byte
// 8E). Sets r.chinese, and holds the score at kNotJapanese, when an EUC-JP
// text reads as Chinese (see below).
void score_text(reading& r) {
    double score = 0, kanji = 0;
    size_t kanji_count = 0, kana_count = 0, ss2_like = 0, pairs = 0, word_pairs = 0;
    const std::wstring& t = r.text;
    for (size_t i = 0; i < t.size(); ++i) {
        const wchar_t c = t[i];
        const wchar_t prev = i > 0 ? t[i - 1] : 0;
        const wchar_t next = i + 1 < t.size() ? t[i + 1] : 0;
        const double one = char_score(c, prev, next);
        score += one;
        if (is_kanji(c)) {
            ++kanji_count;
            kanji += one;
            if (in(cp932_code_of(c), 0x8EA1, 0x8EDF)) ++ss2_like;
            // (The dictionary's pairs hold no compatibility ideographs.)
            if (r.code == code_eucjp && i > 0 && is_kanji(prev) && !in(c, 0xF900, 0xFAFF) &&
                !in(prev, 0xF900, 0xFAFF)) {
                ++pairs;
                if (word_pair(prev, c)) ++word_pairs;
            }
        }
        if (is_kana(c)) ++kana_count;
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
    // Shift_JIS kanji that are all of lead byte 8E and a trail byte of A1-DF
    // are EUC-JP's half-width katakana (SS2 and the katakana's byte), not a
    // text: real kanji come from all over the table.
    if (r.code == code_sjis && ss2_like >= 2 && ss2_like == kanji_count) score -= 2.0 * ss2_like;
    // Chinese text in GB2312 has the form of EUC-JP and reads as kanji with
    // hardly any kana between them, many of them not in common use. Japanese
    // writes its grammar in kana, and its kanji-only texts (headings, lists
    // of terms) are of common kanji.
    if (r.code == code_eucjp && kanji < kCommonKanjiMean * kanji_count &&
        ((kana_count == 0 && kanji_count >= kKanjiWithoutKana) ||
         (kanji_count >= kKanjiForRatio && kana_count * kKanjiPerKana < kanji_count))) {
        score = std::min(score, kNotJapanese);
        r.chinese = true;
    }
    // ... and those kanji form words: nine pairs of kanji side by side in ten
    // are pairs of a dictionary word in Japanese text, fewer than one in
    // twenty in Chinese read as EUC-JP (the dictionary's pairs as the filter
    // keeps them). The dictionary lacks some words (令和, 前職), so such a
    // reading is only kept from being chosen, and the file stays undecided:
    // it never makes another reading win.
    r.few_words = r.code == code_eucjp && pairs > 0 && word_pairs * kPairsPerWord < pairs &&
                  kana_count * kKanjiPerKanaBesidePairs < kanji_count;
    r.score = score;
}

// The evidence needed between the best reading and the next.
constexpr double kMargin = 0.5;
// ... and when the shorter of the two readings has fewer characters of 0x80
// and above than this.
constexpr size_t kFewCharacters = 4;
constexpr double kShortMargin = 1.5;
// ... and when it has one such character only (one kanji of Shift_JIS against
// one half-width sign of EUC-JP, 8E A1 or 8E A4; one kanji of EUC-JP against
// two half-width katakana); a UTF-8 sequence on either side is evidence of its
// own and needs no more than kShortMargin.
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
                if (invalid == 0) {
                    g.candidates.push_back(code_jis);
                    g.cut.push_back(false);
                } else if (!may_be_cut && ends_inside_character(data, size, code_jis, g.cut_offset)) {
                    // Ends inside an escape sequence or a pair of bytes.
                    g.code = code_none;
                    g.cut_short = true;
                    g.nearest = code_jis;
                    g.candidates.push_back(code_jis);
                    g.cut.push_back(true);
                } else {
                    g.nearest = code_jis;
                }
            }
        }
        if (g.code == code_ascii) {
            g.candidates.push_back(code_ascii);
            g.cut.push_back(false);
        }
        return g;
    }
    // A quick look first: a reading stops at its first invalid sequence. Only
    // when no reading is valid are all read through, to find the nearest.
    reading readings[3] = {read_sjis(data, size, may_be_cut, true),
                           read_eucjp(data, size, may_be_cut, true),
                           read_utf8(data, size, may_be_cut, true)};
    // A whole file cut short inside its last character is still read: that
    // reading is weighed like the others, so that another one that happens
    // to be valid does not win alone.
    for (reading& r : readings) {
        // Only a reading whose first fault lies in the last few bytes (the
        // longest sequence: an escape of ISO-2022-JP) can be one cut short.
        constexpr uint64_t kLongestSequence = 8;
        if (!r.invalid || may_be_cut || r.first.empty() || r.first[0].offset + kLongestSequence < size)
            continue;
        reading cut = read_in(r.code, data, size, true, true);
        if (cut.invalid) continue;
        cut.cut = true;
        r = std::move(cut);
    }
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
            score_text(r);
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
    for (const reading* r : valid) {
        g.candidates.push_back(r->code);
        g.cut.push_back(r->cut);
        g.scores.push_back(r->score);
    }
    const reading& best = *valid[0];
    // Readings of a few characters only need more of a lead: one kanji
    // against one or two half-width katakana is no evidence either way. The
    // shorter of the two readings counts (two bytes are one kanji of EUC-JP
    // and two half-width katakana of Shift_JIS).
    auto wide = [](const reading& r) {
        return static_cast<size_t>(
            std::count_if(r.text.begin(), r.text.end(), [](wchar_t c) { return c >= 0x80; }));
    };
    auto margin = [&](const reading& other) {
        const size_t fewest = std::min(wide(best), wide(other));
        const bool utf8 = best.code == code_utf8 || other.code == code_utf8;
        return fewest <= 1 && !utf8 ? kLoneMargin
               : fewest < kFewCharacters             ? kShortMargin
                                                     : kMargin;
    };
    bool others = false;  // another reading gives another text
    bool clear = true;
    for (size_t k = 1; k < valid.size(); ++k) {
        if (valid[k]->text == best.text) continue;
        others = true;
        if (best.score - valid[k]->score < margin(*valid[k])) clear = false;
    }
    // The chosen reading must still read as text: bytes of some other
    // encoding (Chinese, Latin-1) that happen to decode read as nothing
    // Japanese.
    const size_t best_wide = wide(best);
    bool japanese = best.score >= (best_wide > 1 ? 0 : kLeastScore);
    // ... and a longer one must read as Japanese throughout: Chinese read as
    // Shift_JIS is a stream of half-width katakana that spell nothing.
    if (best_wide >= kEnoughCharacters && best.score < kLeastPerCharacter * best_wide)
        japanese = false;
    // Bytes that read as Chinese in EUC-JP's form are Chinese unless another
    // reading is Japanese beyond doubt: Chinese read as Shift_JIS is a run
    // of half-width katakana, which can look like spelling for a few bytes.
    const bool chinese =
        std::any_of(valid.begin(), valid.end(), [](const reading* r) { return r->chinese; });
    if (chinese && best.score < kLeastAgainstChinese * best_wide) japanese = false;
    if (best.few_words) japanese = false;
    g.code = code_none;
    if (!clear || (!japanese && others)) {
        g.undecided = true;
        return g;
    }
    g.nearest = best.code;
    if (!japanese) {
        g.not_japanese = true;
        return g;
    }
    if (best.cut) {
        // A reading valid only as cut short: its last character cannot be converted.
        g.cut_short = true;
        ends_inside_character(data, size, best.code, g.cut_offset);
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

bool ends_inside_character(const uint8_t* data, size_t size, text_code code, uint64_t& offset) {
    const reading whole = read_in(code, data, size, false, false);
    if (whole.invalid == 0 || whole.first.empty() || read_in(code, data, size, true, true).invalid)
        return false;
    // Every invalid sequence of the whole reading lies in the cut tail (an
    // escape sequence cut short is read again as the bytes after its ESC):
    // the first one is where the cut character starts.
    offset = whole.first.front().offset;
    return true;
}

text_code guess_code(const std::vector<uint8_t>& bytes) {
    const bool sample = bytes.size() > kGuessSample;
    return guess_encoding(bytes.data(), sample ? kGuessSample : bytes.size(), sample).code;
}

}  // namespace quillet
