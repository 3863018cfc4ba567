#include "three_rules.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "support/scratch.h"

namespace run_test {

namespace {

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
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
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            const std::wstring sub = part + name + L"\\";
            if (std::find(skip.begin(), skip.end(), lower(sub)) == skip.end())
                walk(root, sub, skip, out);
        } else {
            out[lower(part + name)] = testing_support::get_bytes(root + part + name);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

}  // namespace

tree_bytes snapshot_tree(const std::wstring& root, const std::vector<std::wstring>& skip) {
    tree_bytes out;
    walk(root, L"", skip, out);
    return out;
}

std::vector<std::wstring> rule_breaches(const tree_bytes& before, const tree_bytes& after,
                                        const std::wstring& dest_part, const tree_bytes& rescue) {
    std::set<std::vector<uint8_t>> kept;
    for (const auto& entry : rescue) kept.insert(entry.second);
    const auto in_dest = [&](const std::wstring& path) {
        return path.compare(0, dest_part.size(), dest_part) == 0 &&
               path.find(L'\\', dest_part.size()) == std::wstring::npos;
    };
    std::vector<std::wstring> breaches;
    for (const auto& entry : before) {
        const auto now = after.find(entry.first);
        if (now != after.end() && now->second == entry.second) continue;
        if (!in_dest(entry.first))
            breaches.push_back(L"changed outside the destination folder: " + entry.first);
        else if (!kept.count(entry.second))
            breaches.push_back(L"replaced without its old content in Rescue: " + entry.first);
    }
    for (const auto& entry : after) {
        if (!before.count(entry.first) && !in_dest(entry.first))
            breaches.push_back(L"written outside the destination folder: " + entry.first);
    }
    return breaches;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) return "";
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                      0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                            nullptr, nullptr);
    return out;
}

}  // namespace run_test
