// Test helpers independent of the code under test: a scratch folder per test,
// and raw file access through plain Win32 calls.
#pragma once
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// A fresh, empty folder below the temporary folder, removed with everything in
// it when the object goes out of scope. path() ends with a backslash.
class scratch_folder {
public:
    scratch_folder();
    ~scratch_folder();
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

void remove_tree(const std::wstring& folder);
bool put_bytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool put_text(const std::wstring& path, const std::string& bytes);
std::vector<uint8_t> get_bytes(const std::wstring& path);
bool exists(const std::wstring& path);
// Sets the file's modification time to `seconds` since 1970 (UTC).
bool set_mtime(const std::wstring& path, int64_t seconds);
int64_t get_mtime(const std::wstring& path);
std::vector<uint8_t> bytes_of(const std::string& s);

// The last line of a UTF-16LE text file (such as the debug dump) that contains
// marker; "" when none does.
std::wstring last_line_with(const std::wstring& utf16_file, const std::wstring& marker);

// Holds a file open with no sharing at all, as another program would, until
// `ms` milliseconds have passed; the release happens on a thread of its own so
// the test can meanwhile call the code that must wait for the file. The file
// is created when missing.
class held_file {
public:
    held_file(const std::wstring& path, unsigned long ms);
    ~held_file();
    held_file(const held_file&) = delete;
    held_file& operator=(const held_file&) = delete;
    bool held() const;

private:
    void* handle_;
    std::thread releaser_;
};
std::vector<uint8_t> utf16le_bytes(const std::wstring& s, bool bom);
// The text of UTF-16LE bytes (a leading FF FE skipped): how the log is read.
std::wstring utf16le_text(const std::vector<uint8_t>& bytes);
// The platform's own conversion of a whole text to code page cp
// (WideCharToMultiByte), for comparison with what the program wrote.
std::vector<uint8_t> code_page_bytes(const std::wstring& text, unsigned cp);

}  // namespace testing_support
