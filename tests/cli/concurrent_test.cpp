// Two console runs at once into one destination folder: the second waits for
// the first, so every destination's earlier content ends in Rescue and no
// backup replaces another.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "base/handles.h"
#include "base/paths.h"
#include "engine/run_fixture.h"
#include "support/scratch.h"

namespace {

using namespace quillet;
using testing_support::get_bytes;
using testing_support::put_bytes;
using testing_support::set_mtime;

// Starts quillet-cli --code N folder, its output thrown away.
unique_handle start_run(int code, const std::wstring& folder) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    // <build>/tests/cli/test_cli.exe -> <build>/cli/quillet-cli.exe
    std::wstring command = L"\"" + path_folder(path_folder(path_folder(self))) +
                           L"\\cli\\quillet-cli.exe\" --code " + std::to_wstring(code) + L" \"" +
                           path_del_sep(folder) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return unique_handle();
    CloseHandle(process.hThread);
    return unique_handle(process.hProcess);
}

// Adds the content of every file below folder to contents.
void collect(const std::wstring& folder, std::set<std::vector<uint8_t>>& contents) {
    for (const std::wstring& entry : list_folder(folder)) {
        if (entry.back() == L'\\') collect(entry, contents);
        else contents.insert(get_bytes(entry));
    }
}

TEST(ConcurrentRuns, TwoRunsIntoOneFolderKeepEveryEarlierDestinationInRescue) {
    testing_support::scratch_folder scratch;
    const std::wstring src = scratch.file(L"src\\"), dest = scratch.file(L"dest\\");
    CreateDirectoryW(src.c_str(), nullptr);
    CreateDirectoryW(dest.c_str(), nullptr);
    const run_test::temp_redirect temp(scratch.file(L"tmp\\"));
    std::wstring list;
    for (int i = 0; i < 40; ++i) {
        const std::wstring name = L"f" + std::to_wstring(i) + L".txt";
        put_bytes(src + name, run_test::utf8(L"new text " + name));
        set_mtime(src + name, 1614834367);
        put_bytes(dest + name, run_test::utf8(L"earlier " + name));
        set_mtime(dest + name, 1614834367 - 100);
        list += src + name + L"\r\n";
    }
    put_bytes(dest + L"_copy_.ilc", run_test::utf8(list));

    // One run writes UTF-8, the other UTF-16: each replaces every destination.
    unique_handle first = start_run(8, dest), second = start_run(16, dest);
    ASSERT_TRUE(first && second);
    WaitForSingleObject(first.get(), 300000);
    WaitForSingleObject(second.get(), 300000);
    std::set<std::vector<uint8_t>> rescued;
    collect(scratch.file(L"tmp\\Rescue\\"), rescued);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(rescued.count(run_test::utf8(L"earlier f" + std::to_wstring(i) + L".txt")), 1u)
            << i;
}

}  // namespace
