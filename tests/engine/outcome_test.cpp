// Each entry of a copy run gets its own outcome: read-only sources and Rescue
// trees, a Rescue tree that cannot be made and a destination that cannot be
// replaced each concern their one file. Wine run by root lets writes through
// that Windows refuses, so the read-only cases check attributes directly.
#include <gtest/gtest.h>

#include "base/log.h"
#include "base/paths.h"
#include "engine/copy_run.h"
#include "engine/entries.h"
#include "run_fixture.h"

namespace {

using namespace quillet;
using namespace run_test;
using testing_support::exists;
using testing_support::get_bytes;
using testing_support::get_mtime;
using testing_support::put_bytes;
using testing_support::set_mtime;

bool read_only(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

void make_read_only(const std::wstring& path, bool on) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    SetFileAttributesW(path.c_str(), on ? attributes | FILE_ATTRIBUTE_READONLY
                                        : attributes & ~FILE_ATTRIBUTE_READONLY);
}

class outcome_test : public fixture {
protected:
    void SetUp() override {
        fixture::SetUp();
        store().set_folder(path_del_sep(dest_dir));
    }
    void TearDown() override {
        // Read-only files would stay behind in the scratch folder.
        for (const std::wstring& folder : {src_dir, dest_dir, rescue_folder_of(dest_dir)})
            for (const std::wstring& entry : list_folder(folder)) make_read_only(entry, false);
        fixture::TearDown();
    }
    std::wstring listed(const std::wstring& name, const std::vector<uint8_t>& bytes,
                        int64_t mtime = old_time) {
        const std::wstring path = source(name, bytes, mtime);
        store().add_file(path);
        return path;
    }
    std::wstring dest(const std::wstring& name) const { return dest_dir + name; }
    std::wstring rescue(const std::wstring& name) const { return rescue_folder_of(dest_dir) + name; }
};

TEST_F(outcome_test, ReadOnlySourcesLeaveOnlyPlainFilesAndASecondRunConvertsAgain) {
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D};
    const auto text = listed(L"a.txt", sjis(L"日本語"));
    const auto emoji = listed(L"e.txt", utf8(L"絵文字 \U0001F600"));
    const auto binary = listed(L"p.png", png);
    for (const auto& path : {text, emoji, binary}) {
        put_bytes(dest_dir + path_name(path), utf8(L"older"));
        set_mtime(dest_dir + path_name(path), old_time - 60);
        make_read_only(path, true);
    }
    // Converted, copied unchanged (the target cannot hold the emoji), copied as binary.
    const copy_run_result run = copy_run(74);
    EXPECT_TRUE(run.completed());
    EXPECT_TRUE(run.not_updated.empty());
    EXPECT_EQ(get_bytes(dest(L"a.txt")), sjis(L"日本語"));
    EXPECT_EQ(get_bytes(dest(L"e.txt")), utf8(L"絵文字 \U0001F600"));
    EXPECT_EQ(get_bytes(dest(L"p.png")), png);
    for (const wchar_t* name : {L"a.txt", L"e.txt", L"p.png"}) {
        EXPECT_FALSE(read_only(dest(name))) << name;
        EXPECT_EQ(get_mtime(dest(name)), old_time) << name;
        EXPECT_EQ(get_bytes(rescue(name)), utf8(L"older")) << name;
        EXPECT_FALSE(read_only(rescue(name))) << name;
    }
    // The user changes the (still read-only) source: the next run converts it.
    make_read_only(text, false);
    put_bytes(text, sjis(L"新しい本文"));
    set_mtime(text, old_time + 60);
    make_read_only(text, true);
    const copy_run_result second = copy_run(8);
    EXPECT_TRUE(second.completed());
    EXPECT_EQ(get_bytes(dest(L"a.txt")), utf8(L"新しい本文"));
    EXPECT_EQ(get_mtime(dest(L"a.txt")), old_time + 60);
    EXPECT_FALSE(read_only(dest(L"a.txt")));
}

TEST_F(outcome_test, ReadOnlyRescueTreeStillTakesANewBackupAndKeepsTheOldOnes) {
    listed(L"a.txt", sjis(L"本文"));
    put_bytes(dest(L"a.txt"), utf8(L"version 2"));
    set_mtime(dest(L"a.txt"), old_time - 60);
    // An earlier version left read-only backups: the latest copy and a
    // stamped copy of another version with the same time.
    CreateDirectoryW((scratch.path() + L"tmp\\Rescue").c_str(), nullptr);
    make_folders(rescue_folder_of(dest_dir));
    const std::wstring stamp = time_text(old_time - 60, L"%Y%m%d_%H%M%S.");
    put_bytes(rescue(L"a.txt"), utf8(L"version 1"));
    put_bytes(rescue(stamp + L"a.txt"), utf8(L"version 1"));
    make_read_only(rescue(L"a.txt"), true);
    make_read_only(rescue(stamp + L"a.txt"), true);
    const copy_run_result run = copy_run(8);
    EXPECT_TRUE(run.completed());
    EXPECT_TRUE(run.not_updated.empty());
    EXPECT_EQ(get_bytes(dest(L"a.txt")), utf8(L"本文"));
    // The earlier backups are untouched; version 2 got a name of its own.
    EXPECT_EQ(get_bytes(rescue(L"a.txt")), utf8(L"version 1"));
    EXPECT_EQ(get_bytes(rescue(stamp + L"a.txt")), utf8(L"version 1"));
    const std::wstring numbered = stamp.substr(0, stamp.size() - 1) + L"_2.a.txt";
    EXPECT_EQ(get_bytes(rescue(numbered)), utf8(L"version 2"));
    EXPECT_FALSE(read_only(rescue(numbered)));
}

TEST_F(outcome_test, RescueTreeThatCannotBeMadeLeavesThoseFilesAloneAndTheRunGoesOn) {
    const auto kept = listed(L"kept.txt", sjis(L"本文"));
    const auto fresh = listed(L"fresh.txt", sjis(L"新規"));
    put_bytes(dest(L"kept.txt"), utf8(L"the only copy"));
    set_mtime(dest(L"kept.txt"), old_time - 60);
    put_bytes(scratch.path() + L"tmp\\Rescue", utf8(L"in the way"));
    const copy_run_result run = copy_run(8);
    EXPECT_TRUE(run.completed());
    ASSERT_EQ(run.not_updated, std::vector<std::wstring>{kept});
    EXPECT_EQ(run.reasons, std::vector<std::wstring>{L"no backup could be made"});
    EXPECT_EQ(get_bytes(dest(L"kept.txt")), utf8(L"the only copy"));
    EXPECT_EQ(get_bytes(dest(L"fresh.txt")), utf8(L"新規"));
    EXPECT_NE(log_line_with(L"::copy_run   no backup could be made   " + kept), L"");
    (void)fresh;
}

TEST_F(outcome_test, FileWithoutMemoryIsRefusedAndTheRunGoesOnToItsRecord) {
    const auto first = listed(L"first.txt", sjis(L"一"));
    const auto starved = listed(L"starved.txt", sjis(L"二"));
    const auto last = listed(L"last.txt", sjis(L"三"));
    put_bytes(dest(L"starved.txt"), utf8(L"the old one"));
    set_mtime(dest(L"starved.txt"), old_time - 60);
    SetEnvironmentVariableW(L"QUILLET_TEST_NO_MEMORY_FOR", L"starved.txt");
    const copy_run_result run = copy_run(8);
    SetEnvironmentVariableW(L"QUILLET_TEST_NO_MEMORY_FOR", nullptr);
    EXPECT_TRUE(run.completed());
    ASSERT_EQ(run.not_updated, std::vector<std::wstring>{starved});
    EXPECT_EQ(run.reasons, std::vector<std::wstring>{L"not enough memory"});
    EXPECT_EQ(run.failed, 1u);
    EXPECT_EQ(get_bytes(dest(L"first.txt")), utf8(L"一"));
    EXPECT_EQ(get_bytes(dest(L"last.txt")), utf8(L"三"));
    EXPECT_EQ(get_bytes(dest(L"starved.txt")), utf8(L"the old one"));
    EXPECT_TRUE(run.list_saved);
    EXPECT_TRUE(exists(dest(L"UTF_8.ilc")));
    EXPECT_NE(log_line_with(L"::copy_run   not enough memory   " + starved), L"");
    // Its status line, which cannot read it either, says so; the others follow.
    ASSERT_EQ(run.entries.size(), 3u);
    EXPECT_EQ(run.entries[1].substr(0, 18), L" << NO_RD   NO_RD ");
    EXPECT_EQ(run.entries[2].substr(0, 18), L"  = UTF_8   S_JIS ");
    (void)first;
}

TEST_F(outcome_test, ReadOnlyDestinationStopsTheRunAndKeepsItsContent) {
    listed(L"a.txt", sjis(L"一"));
    listed(L"b.txt", sjis(L"二"));
    listed(L"c.txt", sjis(L"三"));
    put_bytes(dest(L"b.txt"), utf8(L"kept"));
    set_mtime(dest(L"b.txt"), old_time - 60);
    make_read_only(dest(L"b.txt"), true);
    const copy_run_result run = copy_run(8);
    EXPECT_FALSE(run.completed());
    EXPECT_EQ(path_name(run.unsaved), L"b.txt");
    EXPECT_EQ(run.unsaved_reason, L"destination is read-only");
    EXPECT_EQ(get_bytes(dest(L"b.txt")), utf8(L"kept"));
    EXPECT_EQ(get_bytes(dest(L"a.txt")), utf8(L"一"));
    EXPECT_FALSE(exists(dest(L"c.txt")));
    // No temporary file is left beside the destinations.
    for (const std::wstring& entry : list_folder(dest_dir))
        EXPECT_EQ(entry.find(L".tmp"), std::wstring::npos) << entry;
}

// A small file system (tmpfs) mounted for the test through the platform's
// Unix side, seen as a folder of drive Z:. Needs root; ok() is false otherwise.
class small_volume {
public:
    explicit small_volume(const std::wstring& size) {
        unix_ = L"/tmp/quillet-small-" + std::to_wstring(GetCurrentProcessId());
        folder_ = L"Z:" + unix_ + L"\\";
        for (wchar_t& c : folder_)
            if (c == L'/') c = L'\\';
        shell(L"mkdir -p " + unix_ + L" && mount -t tmpfs -o size=" + size + L" tmpfs " + unix_);
        ULARGE_INTEGER total{};
        ok_ = GetDiskFreeSpaceExW(folder_.c_str(), nullptr, &total, nullptr) &&
              total.QuadPart < 4 * 1024 * 1024;
    }
    ~small_volume() { shell(L"umount " + unix_ + L"; rmdir " + unix_); }
    bool ok() const { return ok_; }
    const std::wstring& folder() const { return folder_; }

private:
    static void shell(const std::wstring& command) {
        std::wstring line = L"start.exe /wait /unix /bin/sh -c \"" + command + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                            nullptr, &si, &pi))
            return;
        WaitForSingleObject(pi.hProcess, 30000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        Sleep(200);  // the Unix side finishes after start.exe returns
    }
    std::wstring unix_, folder_;
    bool ok_ = false;
};

TEST_F(outcome_test, FullDiskDuringAConversionKeepsTheOldDestinationWhole) {
    small_volume volume(L"256k");
    if (!volume.ok()) GTEST_SKIP() << "no small volume could be mounted here";
    const std::wstring target = volume.folder() + L"out";
    CreateDirectoryW(target.c_str(), nullptr);
    store().set_folder(target);
    const std::wstring old_dest = target + L"\\big.txt";
    const std::vector<uint8_t> old_content(8 * 1024, 'o');
    put_bytes(old_dest, old_content);
    set_mtime(old_dest, old_time - 60);
    // Fill the volume, then convert a text whose UTF-16 form cannot fit.
    std::vector<uint8_t> filler(200 * 1024, 'f');
    put_bytes(volume.folder() + L"filler", filler);
    listed(L"big.txt", std::vector<uint8_t>(60 * 1024, 'a'));
    const copy_run_result run = copy_run(16);
    EXPECT_FALSE(run.completed());
    EXPECT_EQ(path_name(run.unsaved), L"big.txt");
    EXPECT_EQ(get_bytes(old_dest), old_content);
    EXPECT_EQ(get_mtime(old_dest), old_time - 60);
    EXPECT_EQ(run.unsaved_reason, L"cannot write the new file");
    // The temporary file beside it is gone.
    for (const std::wstring& entry : list_folder(target))
        EXPECT_EQ(entry.find(L".tmp"), std::wstring::npos) << entry;
}

}  // namespace
