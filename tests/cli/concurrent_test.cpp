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
using testing_support::bytes_of;
using testing_support::get_bytes;
using testing_support::put_bytes;
using testing_support::set_mtime;

std::wstring program() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return path_folder(path_folder(path_folder(self))) + L"\\cli\\quillet-cli.exe";
}

// Starts quillet-cli --code N folder, its output thrown away.
unique_handle start_run(int code, const std::wstring& folder) {
    std::wstring command = L"\"" + program() + L"\" --code " + std::to_wstring(code) + L" \"" +
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

void collect(const std::wstring& folder, std::set<std::vector<uint8_t>>& contents) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            collect(folder + name + L"\\", contents);
        else
            contents.insert(get_bytes(folder + name));
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

TEST(ConcurrentRuns, TwoRunsIntoOneFolderKeepEveryEarlierDestinationInRescue) {
    testing_support::scratch_folder scratch;
    const std::wstring src = scratch.path() + L"src\\", dest = scratch.path() + L"dest\\",
                       tmp = scratch.path() + L"tmp\\";
    for (const std::wstring& folder : {src, dest, tmp}) CreateDirectoryW(folder.c_str(), nullptr);
    const run_test::temp_redirect temp(tmp);
    std::string list;
    std::vector<std::vector<uint8_t>> earlier;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        put_bytes(src + std::wstring(name.begin(), name.end()), bytes_of("new text " + name + "\r\n"));
        set_mtime(src + std::wstring(name.begin(), name.end()), 1614834367);
        earlier.push_back(bytes_of("the earlier destination " + name));
        put_bytes(dest + std::wstring(name.begin(), name.end()), earlier.back());
        set_mtime(dest + std::wstring(name.begin(), name.end()), 1614834367 - 100);
        list += std::string(src.begin(), src.end()) + name + "\r\n";
    }
    put_bytes(dest + L"_copy_.ilc", bytes_of(list));

    // One run writes UTF-8, the other UTF-16: each replaces every destination.
    unique_handle first = start_run(8, dest), second = start_run(16, dest);
    ASSERT_TRUE(first && second);
    WaitForSingleObject(first.get(), 300000);
    WaitForSingleObject(second.get(), 300000);
    std::set<std::vector<uint8_t>> rescued;
    collect(tmp + L"Rescue\\", rescued);
    for (const std::vector<uint8_t>& content : earlier)
        EXPECT_EQ(rescued.count(content), 1u) << std::string(content.begin(), content.end());
}

}  // namespace
