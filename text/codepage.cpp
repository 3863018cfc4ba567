// The decoder for buffers of unnamed encoding, and the one answer to "what
// encoding is this head".
#include "text/codepage.h"

#include <windows.h>

#include "text/jis_codecs.h"

namespace quillet {

namespace {
uint8_t byte_at(const std::vector<uint8_t>& bytes, size_t i, uint8_t missing) {
    return i < bytes.size() ? bytes[i] : missing;
}

// The code given by a byte-order mark and how many bytes the mark takes; code 0
// when there is none.
text_code bom_code(const std::vector<uint8_t>& bytes, size_t* mark) {
    const uint8_t b0 = byte_at(bytes, 0, 0xFF), b1 = byte_at(bytes, 1, 0xFF);
    const uint8_t b2 = byte_at(bytes, 2, 0xFF), b3 = byte_at(bytes, 3, 0xFF);
    *mark = 0;
    if (b0 == 0xFF && b1 == 0xFE && !(b2 == 0 && b3 == 0)) return *mark = 2, code_utf16le;
    if (b0 == 0xFF && b1 == 0xFE) return *mark = 4, code_utf32le;
    if (b0 == 0 && b1 == 0 && b2 == 0xFE && b3 == 0xFF) return *mark = 4, code_utf32be;
    if (b0 == 0xEF && b1 == 0xBB && b2 == 0xBF) return *mark = 3, code_utf8;
    if (b0 == 0xFE && b1 == 0xFF) return *mark = 2, code_utf16be;
    return code_none;
}

}  // namespace

text_code head_code(const std::vector<uint8_t>& head) {
    // A head that stops short of its file ends at its last ASCII byte, so
    // that a character cut at the end does not look like an invalid sequence.
    size_t end = head.size();
    if (head.size() >= kHeadBytes) {
        while (end > 4 && head[end - 1] >= 0x80) --end;
    }
    size_t mark = 0;
    const text_code code = bom_code(head, &mark);
    if (code != code_none) return code;
    return end == head.size() ? guess_code(head)
                              : guess_code(std::vector<uint8_t>(head.begin(), head.begin() + end));
}

std::wstring decode_text(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return L"";
    size_t mark = 0;
    text_code code = bom_code(bytes, &mark);
    if (code == code_none) code = guess_code(bytes);
    const uint8_t* data = bytes.data() + mark;
    const size_t size = bytes.size() - mark;
    switch (code) {
    case code_utf8:
        return bytes_to_wide(data, size, CP_UTF8);
    case code_utf16le:
    case code_utf16be: {
        // A last odd byte is completed with a zero byte, as a terminator would.
        std::wstring out((size + 1) / 2, L'\0');
        for (size_t i = 0; i < out.size(); ++i) {
            const unsigned first = data[2 * i];
            const unsigned second = 2 * i + 1 < size ? data[2 * i + 1] : 0;
            out[i] = static_cast<wchar_t>(code == code_utf16le ? first | (second << 8)
                                                               : (first << 8) | second);
        }
        return out;
    }
    case code_utf32le:
    case code_utf32be: {
        std::vector<uint32_t> units((size + 3) / 4);
        for (size_t i = 0; i < units.size(); ++i) {
            uint32_t b[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < 4 && 4 * i + k < size; ++k) b[k] = data[4 * i + k];
            units[i] = code == code_utf32le ? b[0] | (b[1] << 8) | (b[2] << 16) | (b[3] << 24)
                                            : (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
        }
        return utf32_to_wide(units);
    }
    case code_eucjp:
        return decode_eucjp(data, size);
    case code_jis:
        return decode_iso2022jp(data, size);
    default:
        return bytes_to_wide(data, size, 932);
    }
}

}  // namespace quillet
