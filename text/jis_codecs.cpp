// EUC-JP and ISO-2022-JP decoders over code page 932's table of JIS X 0208.
#include "text/jis_codecs.h"

#include <windows.h>

#include <mutex>

namespace quillet {

namespace {

bool in(unsigned b, unsigned lo, unsigned hi) { return b >= lo && b <= hi; }

// Code page 932's double-byte table, asked of the platform once: every lead
// byte 81-9F and E0-FC with every trail byte 40-7E and 80-FC, each pair
// converted on its own with invalid sequences refused. The reverse map gives
// each character's double-byte code (the first pair that decodes to it).
struct cp932_table {
    wchar_t pair[128][256] = {};  // [lead - 0x80][trail]
    std::vector<uint16_t> code_of = std::vector<uint16_t>(65536, 0);
    // JIS X 0212 (rows and cells 1-94, [row][cell]) through the platform's
    // EUC-JP code page 20932, when it maps the three-byte form to one
    // character that is neither a replacement nor private use.
    std::vector<wchar_t> jis0212 = std::vector<wchar_t>(95 * 95, 0);

    cp932_table() {
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!in(lead, 0x81, 0x9F) && !in(lead, 0xE0, 0xFC)) continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F) continue;
                const char in_bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                wchar_t out[4] = {};
                if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, in_bytes, 2, out, 4) != 1)
                    continue;
                if (out[0] == 0 || out[0] == 0xFFFD) continue;
                pair[lead - 0x80][trail] = out[0];
                if (code_of[out[0]] == 0) code_of[out[0]] = static_cast<uint16_t>(lead << 8 | trail);
            }
        }
        for (unsigned row = 1; row <= 94; ++row) {
            for (unsigned cell = 1; cell <= 94; ++cell) {
                const char in_bytes[3] = {'\x8F', static_cast<char>(row + 0xA0),
                                          static_cast<char>(cell + 0xA0)};
                wchar_t out[4] = {};
                if (MultiByteToWideChar(20932, MB_ERR_INVALID_CHARS, in_bytes, 3, out, 4) != 1)
                    continue;
                const wchar_t c = out[0];
                if (c < 0x80 || c == 0xFFFD || c == 0x30FB || in(c, 0xE000, 0xF8FF) ||
                    in(c, 0xFF61, 0xFF9F))
                    continue;
                jis0212[row * 95 + cell] = c;
            }
        }
    }
};

const cp932_table& table() {
    static const cp932_table* t = new cp932_table();  // kept for the process's life
    return *t;
}

wchar_t jis0212_char(unsigned row, unsigned cell) {
    if (!in(row, 1, 94) || !in(cell, 1, 94)) return 0;
    return table().jis0212[row * 95 + cell];
}

// The half-width katakana U+FF61-U+FF9F of JIS X 0201 bytes 21-5F.
wchar_t kana_char(unsigned b) { return static_cast<wchar_t>(0xFF61 + (b - 0x21)); }

class eucjp_decoder : public jis_family_decoder {
public:
    void decode(const uint8_t* data, size_t size, bool last, std::wstring& out) override {
        for (size_t i = 0; i < size; ++i) feed(data[i], out);
        // A sequence the stream ends inside: its first byte is invalid, the
        // bytes after it are read again on their own (and may end cut again).
        while (last && count_ > 0) restart(nullptr, out);
    }

private:
    // Bytes a sequence needs in all, by its first byte.
    static size_t length_of(uint8_t b) { return b == 0x8F ? 3 : 2; }

    // The held sequence is broken: its first byte is invalid; the bytes held
    // after it, and extra when given, are read again from the next offset.
    void restart(const uint8_t* extra, std::wstring& out) {
        std::vector<uint8_t> again(pending_ + 1, pending_ + count_);
        if (extra) again.push_back(*extra);
        invalid_at(start_, out);
        count_ = 0;
        position_ = start_ + 1;
        for (uint8_t b : again) feed(b, out);
    }

    void feed(uint8_t b, std::wstring& out) {
        const uint64_t at = position_++;
        if (count_ == 0) {
            if (b < 0x80) {
                out += static_cast<wchar_t>(b);
            } else if (b == 0x8E || b == 0x8F || in(b, 0xA1, 0xFE)) {
                pending_[0] = b;
                count_ = 1;
                start_ = at;
            } else {
                invalid_at(at, out);
            }
            return;
        }
        const uint8_t lead = pending_[0];
        const bool trail_ok = lead == 0x8E ? in(b, 0xA1, 0xDF) : in(b, 0xA1, 0xFE);
        if (!trail_ok) {
            restart(&b, out);
            return;
        }
        pending_[count_++] = b;
        if (count_ < length_of(lead)) return;
        count_ = 0;
        wchar_t c = 0;
        if (lead == 0x8E) c = kana_char(b - 0x80);
        else if (lead == 0x8F) c = jis0212_char(pending_[1] - 0xA0, b - 0xA0);
        else c = jis0208_char(lead - 0xA0, b - 0xA0);
        if (c) out += c;
        else invalid_at(start_, out);
    }

    uint8_t pending_[3] = {};
    size_t count_ = 0;
    uint64_t start_ = 0;
};

class iso2022jp_decoder : public jis_family_decoder {
public:
    void decode(const uint8_t* data, size_t size, bool last, std::wstring& out) override {
        for (size_t i = 0; i < size; ++i) feed(data[i], out);
        // An escape sequence or a double-byte character cut by the end.
        while (last && count_ > 0) restart(out);
    }

private:
    enum class set { ascii, kana, jis0208, jis0212 };

    // Whether s[0, n) is a whole escape sequence this decoder knows (target
    // then names the set it designates, changes whether it designates one:
    // the announcer ESC & @ changes nothing); more is set when s[0, n) begins
    // a known sequence that is not complete yet.
    static bool escape_set(const uint8_t* s, size_t n, set& target, bool& changes, bool& more) {
        static const struct {
            const char* bytes;
            set target;
            bool changes;
        } escapes[] = {
            {"\x1B(B", set::ascii, true},      {"\x1B(J", set::ascii, true},
            {"\x1B(H", set::ascii, true},      {"\x1B(I", set::kana, true},
            {"\x1B$@", set::jis0208, true},    {"\x1B$B", set::jis0208, true},
            {"\x1B$(B", set::jis0208, true},   {"\x1B$(@", set::jis0208, true},
            {"\x1B$(D", set::jis0212, true},   {"\x1B&@", set::ascii, false},
        };
        more = false;
        for (const auto& e : escapes) {
            const size_t len = std::char_traits<char>::length(e.bytes);
            bool prefix = true;
            for (size_t k = 0; k < n && k < len; ++k)
                prefix = prefix && s[k] == static_cast<uint8_t>(e.bytes[k]);
            if (!prefix) continue;
            if (n < len) {
                more = true;
            } else if (n == len) {
                changes = e.changes;
                if (e.changes) target = e.target;
                return true;
            }
        }
        return false;
    }

    // The held bytes are no sequence: the first is invalid, the others are
    // read again from the next offset.
    void restart(std::wstring& out) {
        const std::vector<uint8_t> again(pending_ + 1, pending_ + count_);
        invalid_at(start_, out);
        count_ = 0;
        position_ = start_ + 1;
        for (uint8_t b : again) feed(b, out);
    }

    void hold(uint8_t b, uint64_t at) {
        pending_[0] = b;
        count_ = 1;
        start_ = at;
    }

    void feed(uint8_t b, std::wstring& out) {
        const uint64_t at = position_++;
        if (count_ > 0 && pending_[0] == 0x1B) {
            pending_[count_++] = b;
            set target = set_;
            bool changes = false, more = false;
            if (escape_set(pending_, count_, target, changes, more)) {
                count_ = 0;
                if (changes) {
                    set_ = target;
                    if (target != set::ascii) saw_shift_ = true;
                }
            } else if (!more) {
                restart(out);
            }
            return;
        }
        const bool double_byte = set_ == set::jis0208 || set_ == set::jis0212;
        if (count_ > 0) {  // the first byte of a double-byte character is held
            count_ = 0;
            if (in(b, 0x21, 0x7E)) {
                const unsigned row = pending_[0] - 0x20, cell = b - 0x20;
                const wchar_t c = set_ == set::jis0208 ? jis0208_char(row, cell)
                                                       : jis0212_char(row, cell);
                if (c) out += c;
                else invalid_at(start_, out);
                return;
            }
            invalid_at(start_, out);  // cut by a control, an escape or a high byte
        }
        if (b == 0x1B) {
            hold(b, at);
        } else if (b == 0x0E) {  // SO: half-width katakana until SI
            if (set_ != set::kana) before_so_ = set_;
            set_ = set::kana;
            saw_shift_ = true;
        } else if (b == 0x0F) {  // SI: back to the set before SO
            if (set_ == set::kana) set_ = before_so_;
        } else if (b >= 0x80) {
            invalid_at(at, out);
        } else if (b <= 0x20 || b == 0x7F || set_ == set::ascii) {
            out += static_cast<wchar_t>(b);  // controls and space are themselves in every set
        } else if (set_ == set::kana) {
            if (b <= 0x5F) out += kana_char(b);
            else invalid_at(at, out);
        } else if (double_byte) {
            hold(b, at);
        }
    }

    set set_ = set::ascii;
    set before_so_ = set::ascii;
    uint8_t pending_[8] = {};
    size_t count_ = 0;
    uint64_t start_ = 0;
};

template <typename Decoder>
std::wstring decode_whole(const uint8_t* data, size_t size, uint64_t* invalid,
                          std::vector<uint64_t>* offsets, bool* saw_shift) {
    Decoder decoder;
    std::wstring out;
    out.reserve(size);
    decoder.decode(data, size, true, out);
    if (invalid) *invalid = decoder.invalid_count();
    if (offsets) *offsets = decoder.invalid_offsets();
    if (saw_shift) *saw_shift = decoder.saw_shift();
    return out;
}

}  // namespace

wchar_t cp932_pair(uint8_t lead, uint8_t trail) {
    if (lead < 0x80) return 0;
    return table().pair[lead - 0x80][trail];
}

wchar_t jis0208_char(unsigned row, unsigned cell) {
    if (!in(row, 1, 94) || !in(cell, 1, 94)) return 0;
    // The arithmetic of Shift_JIS: two rows share a lead byte; odd rows take
    // the trail bytes 40-9E (skipping 7F), even rows 9F-FC.
    const unsigned lead = ((row - 1) >> 1) + (row <= 62 ? 0x81 : 0xC1);
    unsigned trail = 0;
    if (row & 1) {
        trail = cell + 0x3F;
        if (trail >= 0x7F) ++trail;
    } else {
        trail = cell + 0x9E;
    }
    return cp932_pair(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
}

unsigned cp932_code_of(wchar_t c) { return table().code_of[static_cast<uint16_t>(c)]; }

std::unique_ptr<piece_decoder> make_eucjp_decoder() { return std::make_unique<eucjp_decoder>(); }

std::unique_ptr<piece_decoder> make_iso2022jp_decoder() {
    return std::make_unique<iso2022jp_decoder>();
}

std::wstring decode_eucjp(const uint8_t* data, size_t size, uint64_t* invalid,
                          std::vector<uint64_t>* offsets) {
    return decode_whole<eucjp_decoder>(data, size, invalid, offsets, nullptr);
}

std::wstring decode_iso2022jp(const uint8_t* data, size_t size, uint64_t* invalid,
                              std::vector<uint64_t>* offsets, bool* saw_shift) {
    return decode_whole<iso2022jp_decoder>(data, size, invalid, offsets, saw_shift);
}

}  // namespace quillet
