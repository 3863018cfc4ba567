// The console front end run as a child process: quillet-cli.exe started with
// its standard output and error in files, in a test's own scratch folder, with
// TMP and TEMP (its Rescue and working folders) there too.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/handles.h"
#include "base/paths.h"
#include "support/scratch.h"
#include "text/codepage.h"

namespace {

using namespace quillet;
using testing_support::exists;
using testing_support::get_bytes;
using testing_support::get_mtime;
using testing_support::put_bytes;
using testing_support::set_mtime;

constexpr int64_t old_time = 1614834367;

inline std::vector<uint8_t> sjis(const std::wstring& t) { return testing_support::code_page_bytes(t, 932); }
inline std::vector<uint8_t> utf8(const std::wstring& t) { return testing_support::code_page_bytes(t, CP_UTF8); }
inline std::vector<uint8_t> utf16(const std::wstring& t) { return testing_support::utf16le_bytes(t, true); }

inline std::wstring cli_path() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    // <build>/tests/cli/test_cli.exe -> <build>/cli/quillet-cli.exe
    return path_folder(path_folder(path_folder(self))) + L"\\cli\\quillet-cli.exe";
}

inline std::wstring from_utf8(const std::vector<uint8_t>& bytes) {
    std::wstring text = utf8_to_wide(bytes);
    std::wstring plain;
    for (wchar_t c : text) {
        if (c != L'\r') plain.push_back(c);
    }
    return plain;
}

inline std::vector<std::wstring> lines_of(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// One argument quoted for the command line: backslashes before a quote (and
// before the closing quote) are doubled, quotes escaped.
inline std::wstring quoted(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out.push_back(c);
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

struct cli_result {
    DWORD exit = 0xFFFFFFFF;
    std::wstring out, err;
    std::vector<std::wstring> out_lines() const { return lines_of(out); }
};

class cli_test : public ::testing::Test {
protected:
    void SetUp() override {
        src = scratch.path() + L"src\\";
        dest = scratch.path() + L"dest\\";
        tmp = scratch.path() + L"tmp\\";
        for (const auto& d : {src, dest, tmp}) CreateDirectoryW(d.c_str(), nullptr);
        saved_tmp_ = env(L"TMP");
        saved_temp_ = env(L"TEMP");
        // The child inherits these: its working folders and Rescue go to scratch.
        SetEnvironmentVariableW(L"TMP", tmp.c_str());
        SetEnvironmentVariableW(L"TEMP", tmp.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"TMP", saved_tmp_.empty() ? nullptr : saved_tmp_.c_str());
        SetEnvironmentVariableW(L"TEMP", saved_temp_.empty() ? nullptr : saved_temp_.c_str());
    }
    static std::wstring env(const wchar_t* name) {
        wchar_t buffer[1024] = {};
        const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
        return std::wstring(buffer, n);
    }

    cli_result run(const std::vector<std::wstring>& args) {
        // Fresh output files for every run: a console host started for the child
        // may hold the previous ones open a little longer.
        const std::wstring run_id = std::to_wstring(++runs_);
        const std::wstring out_path = scratch.path() + L"stdout" + run_id + L".txt";
        const std::wstring err_path = scratch.path() + L"stderr" + run_id + L".txt";
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        cli_result result;
        {
            unique_hfile out(CreateFileW(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            unique_hfile err(CreateFileW(err_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!out || !err) return result;
            std::wstring command = L"\"" + cli_path() + L"\"";
            for (const auto& a : args) command += L" " + quoted(a);
            STARTUPINFOW si{};
            si.cb = sizeof(si);
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdInput = nullptr;
            si.hStdOutput = out.get();
            si.hStdError = err.get();
            PROCESS_INFORMATION pi{};
            if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                nullptr, nullptr, &si, &pi))
                return result;
            unique_handle process(pi.hProcess), thread(pi.hThread);
            WaitForSingleObject(process.get(), 120000);
            GetExitCodeProcess(process.get(), &result.exit);
        }
        result.out = from_utf8(get_bytes(out_path));
        result.err = from_utf8(get_bytes(err_path));
        return result;
    }

    std::wstring source(const std::wstring& name, const std::vector<uint8_t>& bytes,
                        int64_t mtime = old_time) {
        put_bytes(src + name, bytes);
        set_mtime(src + name, mtime);
        return src + name;
    }
    void user_list(const std::wstring& list_name, const std::vector<std::wstring>& files) {
        std::wstring text;
        for (const auto& f : files) text += f + L"\r\n";
        put_bytes(dest + list_name, utf8(text));
    }

    testing_support::scratch_folder scratch;
    std::wstring src, dest, tmp;

private:
    std::wstring saved_tmp_, saved_temp_;
    int runs_ = 0;
};

}  // namespace
