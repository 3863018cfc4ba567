#include "three_rules.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <set>

#include "run_fixture.h"

namespace run_test {

namespace {

using tree_bytes = std::map<std::wstring, std::vector<uint8_t>>;

std::wstring lower(std::wstring text) {
    CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

void walk(const std::wstring& root, const std::wstring& part, const std::vector<std::wstring>& skip,
          tree_bytes& out) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((root + part + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            out[lower(part + name)] = testing_support::get_bytes(root + part + name);
        else if (std::find(skip.begin(), skip.end(), lower(part + name + L"\\")) == skip.end())
            walk(root, part + name + L"\\", skip, out);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// Every file below root, keyed by its lower-case path below root, with its
// bytes; folders whose path below root is in skip are not entered.
tree_bytes snapshot_tree(const std::wstring& root, const std::vector<std::wstring>& skip = {}) {
    tree_bytes out;
    walk(root, L"", skip, out);
    return out;
}

}  // namespace

quillet::copy_run_result run_keeping_the_rules(const std::wstring& scratch, int code,
                                               const std::string& what) {
    const tree_bytes before = snapshot_tree(scratch, {L"tmp\\"});
    quillet::copy_run_result run = quillet::copy_run(code);
    const tree_bytes after = snapshot_tree(scratch, {L"tmp\\"});
    std::set<std::vector<uint8_t>> kept;
    for (const auto& entry : snapshot_tree(scratch + L"tmp\\Rescue\\")) kept.insert(entry.second);
    const auto in_dest = [](const std::wstring& path) {
        return path.compare(0, 5, L"dest\\") == 0 && path.find(L'\\', 5) == std::wstring::npos;
    };
    for (const auto& entry : before) {
        const auto now = after.find(entry.first);
        if (now != after.end() && now->second == entry.second) continue;
        if (!in_dest(entry.first))
            ADD_FAILURE() << what << "changed outside the destination folder: " << entry.first;
        else if (!kept.count(entry.second))
            ADD_FAILURE() << what << "replaced without its old content in Rescue: " << entry.first;
    }
    for (const auto& entry : after)
        if (!before.count(entry.first) && !in_dest(entry.first))
            ADD_FAILURE() << what << "written outside the destination folder: " << entry.first;
    return run;
}

std::wstring small_volume() {
    std::wstring folder = env(L"QUILLET_SMALL_VOLUME");
    if (folder.empty()) return folder;
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    return L"Z:" + folder + L"\\";
}

}  // namespace run_test
