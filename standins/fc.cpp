// fc: compares two files and writes a report of their differences.
//
//   fc [/B] [/C] [/L] [/N] [/U] [/W] [/nnnn] file1 file2
//
// Text mode (the default) compares line by line and, after a difference,
// looks for the next place where /nnnn lines (2 by default) agree again; each
// differing stretch is shown with the lines of both files around it. /B
// compares bytes and lists the offsets that differ. /U reads the files as
// UTF-16 and writes a redirected report as UTF-16 too. Exit code 0: same;
// 1: different; 2: an error.
#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

namespace {

struct options {
    bool binary = false, ignore_case = false, numbers = false, unicode = false, spaces = false;
    size_t resync = 2;
};

HANDLE g_out;
bool g_unicode_out = false;

void write_text(HANDLE h, const std::wstring& text) {
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(h, &mode)) {
        WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    if (g_unicode_out && h == g_out) {
        WriteFile(h, text.data(), static_cast<DWORD>(text.size() * 2), &written, nullptr);
        return;
    }
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n,
                            nullptr, nullptr);
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void out(const std::wstring& text) { write_text(g_out, text); }

bool read_bytes(const std::wstring& path, std::vector<unsigned char>& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) && size.QuadPart < 0x40000000;
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = bytes.empty() ||
             (ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
              got == bytes.size());
    }
    CloseHandle(h);
    return ok;
}

std::wstring decode(const std::vector<unsigned char>& b, bool unicode) {
    if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) unicode = true;
    if (unicode) {
        size_t start = (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) ? 2 : 0;
        std::wstring text;
        for (size_t i = start; i + 1 < b.size(); i += 2)
            text.push_back(static_cast<wchar_t>(b[i] | (b[i + 1] << 8)));
        return text;
    }
    UINT cp = CP_ACP;
    size_t start = 0;
    if (b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        cp = CP_UTF8;
        start = 3;
    }
    const char* p = reinterpret_cast<const char*>(b.data()) + start;
    int len = static_cast<int>(b.size() - start);
    int n = len > 0 ? MultiByteToWideChar(cp, 0, p, len, nullptr, 0) : 0;
    std::wstring text(static_cast<size_t>(n), L'\0');
    if (n > 0) MultiByteToWideChar(cp, 0, p, len, &text[0], n);
    return text;
}

std::vector<std::wstring> lines_of(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The form in which two lines are compared under the chosen options.
std::wstring key(std::wstring line, const options& o) {
    if (o.spaces) {
        std::wstring squeezed;
        bool in_space = false;
        for (wchar_t c : line) {
            bool space = c == L' ' || c == L'\t';
            if (space && in_space) continue;
            squeezed.push_back(space ? L' ' : c);
            in_space = space;
        }
        while (!squeezed.empty() && squeezed.back() == L' ') squeezed.pop_back();
        if (!squeezed.empty() && squeezed.front() == L' ') squeezed.erase(0, 1);
        line = squeezed;
    }
    if (o.ignore_case)
        for (auto& c : line) c = static_cast<wchar_t>(std::towupper(c));
    return line;
}

std::wstring upper(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towupper(c));
    return s;
}

void show_lines(const std::wstring& name, const std::vector<std::wstring>& lines, size_t from,
                size_t to, const options& o) {
    out(L"***** " + name + L"\r\n");
    for (size_t i = from; i < to && i < lines.size(); ++i) {
        if (o.numbers) out(std::to_wstring(i + 1) + L":  ");
        out(lines[i] + L"\r\n");
    }
}

int compare_text(const std::wstring& n1, const std::wstring& n2, const std::vector<std::wstring>& a,
                 const std::vector<std::wstring>& b, const options& o) {
    std::vector<std::wstring> ka, kb;
    for (const auto& l : a) ka.push_back(key(l, o));
    for (const auto& l : b) kb.push_back(key(l, o));
    // True when `count` lines agree from (i, j), or both files end there.
    auto agree = [&](size_t i, size_t j, size_t count) {
        for (size_t k = 0; k < count; ++k) {
            bool end_a = i + k >= ka.size(), end_b = j + k >= kb.size();
            if (end_a || end_b) return end_a && end_b;
            if (ka[i + k] != kb[j + k]) return false;
        }
        return true;
    };
    size_t i = 0, j = 0;
    bool differ = false;
    while (i < ka.size() || j < kb.size()) {
        if (i < ka.size() && j < kb.size() && ka[i] == kb[j]) {
            ++i, ++j;
            continue;
        }
        // Find the nearest point (by total distance) where the files agree again.
        size_t ri = ka.size(), rj = kb.size();
        bool resynced = false;
        // The search is bounded so that two large, wholly different files
        // still end quickly: beyond the bound the rest is one difference.
        size_t span = (ka.size() - i) + (kb.size() - j);
        if (span > 4000) span = 4000;
        for (size_t d = 1; d <= span && !resynced; ++d) {
            for (size_t da = 0; da <= d && !resynced; ++da) {
                size_t x = i + da, y = j + (d - da);
                if (x > ka.size() || y > kb.size()) continue;
                if (agree(x, y, o.resync)) {
                    ri = x, rj = y;
                    resynced = true;
                }
            }
        }
        differ = true;
        // Each side shows the last equal line before, the differing lines and
        // the first line where the files agree again.
        size_t from_a = i > 0 ? i - 1 : 0, from_b = j > 0 ? j - 1 : 0;
        show_lines(n1, a, from_a, ri + 1, o);
        show_lines(n2, b, from_b, rj + 1, o);
        out(L"*****\r\n\r\n");
        i = ri, j = rj;
    }
    if (!differ) out(L"FC: no differences encountered\r\n\r\n");
    return differ ? 1 : 0;
}

int compare_binary(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
                   const std::wstring& n1, const std::wstring& n2) {
    bool differ = false;
    size_t common = a.size() < b.size() ? a.size() : b.size();
    wchar_t line[64];
    for (size_t k = 0; k < common; ++k) {
        if (a[k] == b[k]) continue;
        differ = true;
        wsprintfW(line, L"%08X: %02X %02X\r\n", static_cast<unsigned>(k), a[k], b[k]);
        out(line);
    }
    if (a.size() > b.size()) {
        out(L"FC: " + n1 + L" longer than " + n2 + L"\r\n\r\n");
        differ = true;
    } else if (b.size() > a.size()) {
        out(L"FC: " + n2 + L" longer than " + n1 + L"\r\n\r\n");
        differ = true;
    }
    if (!differ) out(L"FC: no differences encountered\r\n\r\n");
    return differ ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    g_out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    options o;
    std::vector<std::wstring> files;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg.size() >= 2 && arg[0] == L'/') {
            std::wstring sw = upper(arg.substr(1));
            if (sw == L"B") o.binary = true;
            else if (sw == L"C") o.ignore_case = true;
            else if (sw == L"N") o.numbers = true;
            else if (sw == L"U") o.unicode = true;
            else if (sw == L"W") o.spaces = true;
            else if (sw == L"L" || sw == L"A" || sw == L"T" || sw == L"OFF" || sw == L"OFFLINE" ||
                     sw.compare(0, 2, L"LB") == 0) {
                // Accepted for compatibility; the report does not change.
            } else if (sw.find_first_not_of(L"0123456789") == std::wstring::npos) {
                o.resync = static_cast<size_t>(_wtoi(sw.c_str()));
                if (o.resync == 0) o.resync = 1;
            } else {
                write_text(err, L"FC: Invalid switch\r\n");
                return 2;
            }
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        write_text(err, L"FC: Insufficient number of file specifications\r\n");
        return 2;
    }
    std::vector<unsigned char> a, b;
    for (int k = 0; k < 2; ++k) {
        if (!read_bytes(files[k], k == 0 ? a : b)) {
            write_text(err, L"FC: cannot open " + upper(files[k]) + L" - No such file or folder\r\n");
            return 2;
        }
    }
    DWORD mode = 0;
    if (o.unicode && !GetConsoleMode(g_out, &mode)) {
        g_unicode_out = true;
        DWORD written = 0;
        const wchar_t bom = 0xFEFF;
        WriteFile(g_out, &bom, 2, &written, nullptr);
    }
    std::wstring n1 = upper(files[0]), n2 = upper(files[1]);
    out(L"Comparing files " + n1 + L" and " + n2 + L"\r\n");
    if (o.binary) return compare_binary(a, b, n1, n2);
    return compare_text(n1, n2, lines_of(decode(a, o.unicode)), lines_of(decode(b, o.unicode)), o);
}
