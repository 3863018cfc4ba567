// The floor of the benchmark: the least a Win32 program must do under Wine to
// convert a folder of Shift_JIS files to UTF-8. Per file it opens, reads,
// decodes with MultiByteToWideChar(932), encodes with
// WideCharToMultiByte(CP_UTF8), writes and closes; nothing else (no text test,
// no backup, no read-back, no times). quillet's figures are compared with it.
// With --flush it also flushes each file to the disk (FlushFileBuffers) before
// closing it, as a program must that promises a file is whole on disk before
// it takes an old one's place: the floor of a durable write.
//
//   floor.exe [--flush] SOURCE_FOLDER DEST_FOLDER
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool flush_each = false;

bool read_all(const std::wstring& path, std::vector<char>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = bytes.empty() ||
             (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
              got == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

bool write_all(const std::wstring& path, const std::vector<char>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    const bool ok = bytes.empty() ||
                    (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
                     put == bytes.size()) &&
                    (!flush_each || FlushFileBuffers(file));
    CloseHandle(file);
    return ok;
}

bool convert(const std::wstring& src, const std::wstring& dest) {
    std::vector<char> in;
    if (!read_all(src, in)) return false;
    const int n = static_cast<int>(in.size());
    std::wstring text(static_cast<size_t>(n), L'\0');
    const int chars = n ? MultiByteToWideChar(932, 0, in.data(), n, text.data(), n) : 0;
    std::vector<char> out(static_cast<size_t>(chars) * 3);
    const int bytes = chars ? WideCharToMultiByte(CP_UTF8, 0, text.data(), chars, out.data(),
                                                  static_cast<int>(out.size()), nullptr, nullptr)
                            : 0;
    out.resize(static_cast<size_t>(bytes));
    return write_all(dest, out);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    flush_each = argc == 4 && std::wstring(argv[1]) == L"--flush";
    if (argc != 3 + (flush_each ? 1 : 0)) {
        std::fputs("usage: floor [--flush] SOURCE_FOLDER DEST_FOLDER\n", stderr);
        return 2;
    }
    const std::wstring src = std::wstring(argv[argc - 2]) + L"\\";
    const std::wstring dest = std::wstring(argv[argc - 1]) + L"\\";
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((src + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 1;
    int failed = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (!convert(src + found.cFileName, dest + found.cFileName)) ++failed;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return failed ? 1 : 0;
}
