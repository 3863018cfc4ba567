// quillet-cli --tree end to end, on real trees: a small site mirrored into
// another folder, its patterns, a link inside it, the folders it refuses, and
// the runs that must write nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "engine/entries.h"
#include "support/links.h"

namespace {

using testing_support::exists;
using testing_support::get_bytes;
using testing_support::get_mtime;
using testing_support::put_bytes;
using testing_support::set_mtime;

std::wstring page(const std::wstring& charset, const std::wstring& body) {
    return L"<html><head><meta charset=\"" + charset + L"\"><title>" + body + L"</title></head>\r\n<body>" +
           body + L"</body></html>\r\n";
}

// What a folder holds, at any depth: each file's relative path with its
// bytes, time and file index (a file replaced by one of the same bytes gets
// another index); folders with empty contents.
struct held_file {
    std::vector<uint8_t> bytes;
    int64_t mtime = 0;
    uint64_t index = 0;
    bool folder = false;
    bool operator==(const held_file& o) const {
        return bytes == o.bytes && mtime == o.mtime && index == o.index && folder == o.folder;
    }
};
using tree_snapshot = std::map<std::wstring, held_file>;

uint64_t file_index(const std::wstring& path) {
    unique_hfile file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) return 0;
    return static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
}

void snapshot_into(const std::wstring& root, const std::wstring& rel, tree_snapshot& out) {
    WIN32_FIND_DATAW found{};
    const std::wstring folder = rel.empty() ? root : root + rel + L"\\";
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = rel.empty() ? name : rel + L"\\" + name;
        held_file& entry = out[path];
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entry.folder = true;
            // A link is an entry of its own, not followed.
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) snapshot_into(root, path, out);
        } else {
            entry.bytes = get_bytes(folder + name);
            entry.mtime = get_mtime(folder + name);
            entry.index = file_index(folder + name);
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

// root ends with a separator.
tree_snapshot snapshot(const std::wstring& root) {
    tree_snapshot out;
    snapshot_into(root, L"", out);
    return out;
}

std::vector<std::wstring> names_in(const tree_snapshot& tree) {
    std::vector<std::wstring> names;
    for (const auto& entry : tree) names.push_back(entry.first);
    return names;
}

bool ends_with(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class tree_run_test : public cli_test {
protected:
    // A three-level site: a page in each level (all named index.html), a
    // style sheet, an image and a .git folder.
    void make_site() {
        for (const wchar_t* folder : {L"news", L"news\\2024", L"css", L"img", L".git"})
            CreateDirectoryW((src + folder).c_str(), nullptr);
        source(L"index.html", sjis(page(L"Shift_JIS", L"トップ")));
        source(L"news\\index.html", sjis(page(L"Shift_JIS", L"お知らせ")));
        source(L"news\\2024\\index.html", sjis(page(L"Shift_JIS", L"二〇二四年")));
        source(L"css\\site.css", utf8(L"@charset \"Shift_JIS\";\r\nbody { margin: 0 }\r\n"));
        source(L"img\\logo.png", {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D, 0x49});
        source(L".git\\config", utf8(L"[core]\r\n"));
    }
    cli_result run_tree(const std::vector<std::wstring>& extra, const std::wstring& to) {
        std::vector<std::wstring> args = {L"--code", L"8", L"--tree", path_del_sep(src), to};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    }
    // The plain backup of a replaced file, in Rescue's mirror of its folder.
    std::wstring rescued(const std::wstring& path) const {
        return tmp + L"Rescue\\" + path.substr(0, 1) + path.substr(2);
    }
};

TEST_F(tree_run_test, SiteBecomesAUtf8MirrorWithBackupsAndNothingElseInIt) {
    make_site();
    // An older mirror of one page is replaced, after its backup.
    CreateDirectoryW((dest + L"news").c_str(), nullptr);
    put_bytes(dest + L"news\\index.html", sjis(L"古いページ"));
    set_mtime(dest + L"news\\index.html", old_time - 100);

    const cli_result r = run_tree({L"--exclude", L".git"}, path_del_sep(dest));
    EXPECT_EQ(r.exit, 0u) << r.err;
    const tree_snapshot mirror = snapshot(dest);
    EXPECT_EQ(names_in(mirror),
              (std::vector<std::wstring>{L"css", L"css\\site.css", L"img", L"img\\logo.png", L"index.html",
                                         L"news", L"news\\2024", L"news\\2024\\index.html",
                                         L"news\\index.html"}));
    EXPECT_EQ(get_bytes(dest + L"index.html"), utf8(page(L"UTF-8", L"トップ")));
    EXPECT_EQ(get_bytes(dest + L"news\\index.html"), utf8(page(L"UTF-8", L"お知らせ")));
    EXPECT_EQ(get_bytes(dest + L"news\\2024\\index.html"), utf8(page(L"UTF-8", L"二〇二四年")));
    EXPECT_EQ(get_bytes(dest + L"css\\site.css"), utf8(L"@charset \"UTF-8\";\r\nbody { margin: 0 }\r\n"));
    EXPECT_EQ(get_bytes(dest + L"img\\logo.png"), get_bytes(src + L"img\\logo.png"));
    for (const auto& entry : mirror) {
        if (!entry.second.folder) {
            EXPECT_EQ(entry.second.mtime, old_time) << entry.first;
        }
    }
    EXPECT_EQ(get_bytes(rescued(dest + L"news\\index.html")), sjis(L"古いページ"));
    EXPECT_TRUE(ends_with(r.err, L"quillet-cli: 5 files: 4 converted, 0 already current, 1 copied unchanged "
                                 L"(1 not a text file), 0 left alone, 0 failed\n"))
        << r.err;
}

TEST_F(tree_run_test, IncludeTakesOnlyThePagesAndAPathPatternLeavesOutAFolder) {
    make_site();
    const cli_result r =
        run_tree({L"--include", L"*.HTML", L"--exclude", L"news/2024", L"--exclude", L".git"}, dest);
    EXPECT_EQ(r.exit, 0u) << r.err;
    // No folder is made where no file goes.
    EXPECT_EQ(names_in(snapshot(dest)),
              (std::vector<std::wstring>{L"index.html", L"news", L"news\\index.html"}));
}

TEST_F(tree_run_test, FolderLinkToOutsideTheTreeIsSkippedNotFollowed) {
    source(L"page.txt", sjis(L"本文"));
    const std::wstring outside = scratch.path() + L"outside\\";
    CreateDirectoryW(outside.c_str(), nullptr);
    put_bytes(outside + L"secret.txt", utf8(L"secret"));
    ASSERT_TRUE(testing_support::make_symlink(path_del_sep(outside), src + L"linked"));

    const cli_result r = run_tree({}, dest);
    EXPECT_EQ(r.exit, 0u) << r.err;
    EXPECT_EQ(names_in(snapshot(dest)), std::vector<std::wstring>{L"page.txt"});
    EXPECT_NE(r.err.find(L"Skipped.\n" + src + L"linked  (a link, not followed)\n"), std::wstring::npos) << r.err;
    EXPECT_NE(r.err.find(L", 1 left alone, 0 failed\n"), std::wstring::npos) << r.err;
}

TEST_F(tree_run_test, OverlappingFoldersAreAUsageErrorAndNothingIsWritten) {
    make_site();
    const tree_snapshot before = snapshot(scratch.path());
    const std::wstring via = scratch.path() + L"via";
    ASSERT_TRUE(testing_support::make_symlink(path_del_sep(src), via));
    const std::wstring other_spelling = L"/" + path_del_sep(src).substr(2);  // "\\users\\..." as "/users/..."
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {src + L"mirror", L"DEST lies inside SOURCE"},
        {via + L"\\mirror", L"DEST lies inside SOURCE"},
        {path_del_sep(scratch.path()), L"SOURCE lies inside DEST"},
        {src.substr(0, 2) + other_spelling + L"/.", L"SOURCE and DEST are the same folder"},
    };
    for (const auto& c : cases) {
        const cli_result r = run_tree({}, c.first);
        EXPECT_EQ(r.exit, 2u) << c.first;
        EXPECT_NE(r.err.find(L"quillet-cli: " + c.second + L"\n"), std::wstring::npos) << c.first << r.err;
    }
    // Nothing new but the link and the runs' own output files.
    std::vector<std::wstring> after;
    for (const std::wstring& name : names_in(snapshot(scratch.path()))) {
        if (name != L"via" && name.rfind(L"std", 0) != 0) after.push_back(name);
    }
    EXPECT_EQ(after, names_in(before));
    EXPECT_FALSE(exists(tmp + L"Rescue"));
}

TEST_F(tree_run_test, SecondRunFindsEverythingCurrentAndWritesNothing) {
    make_site();
    source(L"plain.txt", utf8(L"ASCII only\r\n"));
    ASSERT_EQ(run_tree({L"--exclude", L".git"}, dest).exit, 0u);
    const tree_snapshot mirror = snapshot(dest), rescue = snapshot(tmp);

    const cli_result r = run_tree({L"--exclude", L".git"}, dest);
    EXPECT_EQ(r.exit, 0u) << r.err;
    EXPECT_TRUE(snapshot(dest) == mirror);
    EXPECT_TRUE(snapshot(tmp) == rescue);
    EXPECT_TRUE(ends_with(r.err, L"quillet-cli: 6 files: 0 converted, 6 already current, 0 copied unchanged, "
                                 L"0 left alone, 0 failed\n"))
        << r.err;
}

TEST_F(tree_run_test, StatusShowsEveryFileInWalkOrderAndWritesNothing) {
    make_site();
    const cli_result r = run_tree({L"--status", L"--exclude", L".git"}, dest + L"new");
    EXPECT_EQ(r.exit, 0u) << r.err;
    // Each folder's files, then its folders in name order.
    const std::vector<std::pair<std::wstring, std::wstring>> walk = {
        {L"", L"index.html"}, {L"css", L"site.css"}, {L"img", L"logo.png"},
        {L"news", L"index.html"}, {L"news\\2024", L"index.html"}};
    std::vector<std::wstring> expected;
    for (const auto& file : walk) {
        const std::wstring folder = file.first.empty() ? dest + L"new" : dest + L"new\\" + file.first;
        const std::wstring from = file.first.empty() ? src + file.second : src + file.first + L"\\" + file.second;
        expected.push_back(quillet::status_line(folder, from));
    }
    EXPECT_EQ(r.out_lines(), expected);
    EXPECT_TRUE(snapshot(dest).empty());
    EXPECT_FALSE(exists(tmp + L"Rescue"));
}

TEST_F(tree_run_test, TreeUsageErrorsExitWithTwo) {
    make_site();
    EXPECT_EQ(run({L"--tree", src, dest}).exit, 2u);  // no --code
    EXPECT_EQ(run_tree({L"--jobs", L"0"}, dest).exit, 2u);
    EXPECT_EQ(run_tree({L"--include", L"/"}, dest).exit, 2u);
    EXPECT_EQ(run({L"--code", L"8", L"--tree", src + L"missing", dest}).exit, 2u);
    EXPECT_TRUE(snapshot(dest).empty());
}

}  // namespace
