#include "text/loss_report.h"

#include <algorithm>
#include <cstdio>

#include "text/guess.h"
#include "text/jis_codecs.h"
#include "text/detect.h"

namespace quillet {

namespace {

std::wstring code_name(text_code code) {
    switch (code) {
        case code_utf8: return L"UTF-8";
        case code_utf16le: return L"UTF-16";
        case code_utf16be: return L"UTF-16BE";
        case code_utf32le: return L"UTF-32";
        case code_utf32be: return L"UTF-32BE";
        case code_ascii: return L"ASCII";
        case code_sjis: return L"Shift_JIS";
        case code_eucjp: return L"EUC-JP";
        case code_jis: return L"ISO-2022-JP";
        default: return L"code " + std::to_wstring(code);
    }
}

size_t bom_length(const std::vector<uint8_t>& b, text_code code) {
    switch (code) {
        case code_utf8: return b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF ? 3 : 0;
        case code_utf16le:
        case code_utf16be: return 2;
        case code_utf32le:
        case code_utf32be: return 4;
        default: return 0;
    }
}

bool high_surrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool low_surrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether the target's writer gives c back: code page 932 holds ASCII, the
// half-width katakana and its double-byte table; UTF-8 and UTF-16 hold every
// character but unpaired surrogates; every writer ends the text at U+0000.
bool target_holds(text_code target, uint32_t c) {
    if (c == 0) return false;
    if (c >= 0xD800 && c <= 0xDFFF) return false;  // unpaired
    if (target != code_sjis) return true;
    if (c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F)) return true;
    return c <= 0xFFFF && cp932_code_of(static_cast<wchar_t>(c)) != 0;
}

// Sets line and column of each item from the index of its character in text.
void place(const std::wstring& text, const std::vector<size_t>& index, std::vector<loss_item>& items) {
    uint64_t line = 1, column = 1;
    size_t k = 0;
    for (size_t i = 0; i <= text.size() && k < items.size(); ++i) {
        while (k < items.size() && index[k] == i) {
            items[k].line = line;
            items[k].column = column;
            ++k;
        }
        if (i == text.size()) break;  // (an item just past the text's end)
        const wchar_t c = text[i];
        if (c == L'\n' || (c == L'\r' && (i + 1 == text.size() || text[i + 1] != L'\n'))) {
            ++line;
            column = 1;
        } else if (!low_surrogate(c)) {
            ++column;
        }
    }
}

}  // namespace

loss_report conversion_loss(const std::vector<uint8_t>& bytes, text_code target) {
    loss_report report;
    if (target == 0) return report;
    report.source = head_code(bytes);
    uint64_t cut_at = 0;  // with kind cut_short: where the cut character starts
    if (report.source == code_none) {
        const code_guess g = guess_encoding(bytes.data(), bytes.size(), false);
        if (g.undecided) {
            report.kind = loss_kind::undecided;
            report.candidates = g.candidates;
            report.cut = g.cut;
            return report;
        }
        report.source = g.nearest;
        if (g.not_japanese) {
            report.kind = loss_kind::not_japanese;
            return report;
        }
        if (g.cut_short) {
            report.kind = loss_kind::cut_short;
            cut_at = g.cut_offset;
        }
        report.no_encoding = !g.cut_short;
    }

    // Bytes the source's encoding cannot read.
    const size_t mark = bom_length(bytes, report.source);
    std::vector<undecodable> first;
    std::wstring text;
    report.count = find_undecodable(bytes.data() + mark, bytes.size() - mark, report.source, first, &text);
    if ((report.source == code_utf16le || report.source == code_utf16be) && bytes.size() % 2) {
        // A last odd byte: the file ends inside a UTF-16 unit.
        text = decode_text(bytes);
        report.kind = loss_kind::cut_short;
        cut_at = bytes.size() - 1;
        first = {{cut_at - mark, text.empty() ? 0 : text.size() - 1}};
    }
    // A file whose only fault is a character cut by its end was cut short.
    if (report.kind != loss_kind::cut_short && report.count == 1 &&
        ends_inside_character(bytes.data() + mark, bytes.size() - mark, report.source, cut_at)) {
        report.kind = loss_kind::cut_short;
        cut_at += mark;
    }
    if (report.kind == loss_kind::cut_short) {
        // The bytes of the cut character, wherever its reading ends.
        report.count = 1;
        first.resize(std::min<size_t>(first.size(), 1));
        if (first.empty()) first.push_back({cut_at - mark, text.size()});
    }
    if (report.count > 0) {
        if (report.kind != loss_kind::cut_short) report.kind = loss_kind::undecodable;
        std::vector<size_t> index;
        for (const undecodable& u : first) {
            if (report.items.size() == kLossItems) break;
            loss_item item;
            item.offset = u.offset + mark;
            for (size_t k = 0; k < 4 && item.offset + k < bytes.size(); ++k)
                item.bytes.push_back(bytes[item.offset + k]);
            report.items.push_back(item);
            index.push_back(u.index);
        }
        place(text, index, report.items);
        return report;
    }

    // Characters the target cannot hold.
    text = decode_text(bytes);
    std::vector<size_t> index;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        size_t units = 1;
        if (high_surrogate(text[i]) && i + 1 < text.size() && low_surrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            units = 2;
        }
        if (!target_holds(target, c) && !(units == 2 && target != code_sjis)) {
            if (report.items.size() < kLossItems) {
                loss_item item;
                item.code_point = c;
                report.items.push_back(item);
                index.push_back(i);
            }
            ++report.count;
        }
        i += units - 1;
    }
    if (report.count > 0) {
        report.kind = loss_kind::unencodable;
        place(text, index, report.items);
    }
    return report;
}

std::wstring loss_report_text(const std::wstring& path, const loss_report& report, text_code target) {
    std::wstring out = path + L": kept unchanged: ";
    switch (report.kind) {
        case loss_kind::none:
            return L"";
        case loss_kind::undecided: {
            out += L"encoding undecided between";
            for (size_t k = 0; k < report.candidates.size(); ++k) {
                out += (k == 0 ? L" " : k + 1 == report.candidates.size() ? L" and " : L", ") +
                       code_name(report.candidates[k]);
                if (k < report.cut.size() && report.cut[k]) out += L" (cut short)";
            }
            return out + L"\n";
        }
        case loss_kind::not_japanese:
            return out + L"not recognised as Japanese text (closest reading: " +
                   code_name(report.source) + L")\n";
        case loss_kind::cut_short:
            out += L"ends inside a character of " + code_name(report.source) + L" at byte offset " +
                   std::to_wstring(report.items.empty() ? 0 : report.items[0].offset) + L"\n";
            break;
        case loss_kind::undecodable:
            if (report.no_encoding) {
                out += L"not valid in any encoding: first bad byte at offset " +
                       std::to_wstring(report.items.empty() ? 0 : report.items[0].offset) +
                       L" (nearest reading " + code_name(report.source) + L", " +
                       std::to_wstring(report.count) + L" byte sequence(s) not valid)\n";
                break;
            }
            out += std::to_wstring(report.count) + L" byte sequence(s) not valid " +
                   code_name(report.source) + L"\n";
            break;
        case loss_kind::unencodable:
            out += std::to_wstring(report.count) + L" character(s) that " + code_name(target) +
                   L" cannot hold\n";
            break;
    }
    for (const loss_item& item : report.items) {
        wchar_t where[96];
        if (report.kind == loss_kind::undecodable || report.kind == loss_kind::cut_short) {
            std::wstring hex;
            for (uint8_t b : item.bytes) {
                wchar_t two[4];
                swprintf(two, 4, L"%02X", b);
                hex += (hex.empty() ? L"" : L" ") + std::wstring(two);
            }
            swprintf(where, 96, L"  byte offset %llu (%ls...), line %llu, column %llu\n",
                     static_cast<unsigned long long>(item.offset), hex.c_str(),
                     static_cast<unsigned long long>(item.line),
                     static_cast<unsigned long long>(item.column));
            out += where;
            continue;
        }
        std::wstring shown;
        const uint32_t c = item.code_point;
        if (c >= 0x10000) {
            shown += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            shown += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else if (c >= 0x20 && !(c >= 0xD800 && c <= 0xDFFF)) {
            shown += static_cast<wchar_t>(c);
        }
        swprintf(where, 96, L"  U+%04X", c);
        out += where;
        if (!shown.empty()) out += L" '" + shown + L"'";
        swprintf(where, 96, L", line %llu, column %llu\n", static_cast<unsigned long long>(item.line),
                 static_cast<unsigned long long>(item.column));
        out += where;
    }
    return out;
}

}  // namespace quillet
