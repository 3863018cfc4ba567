// Random list files from fixed seeds, fed to the copy run: entries built from
// random mixes of "\\", "/", "..", ":", device names, the run's list-file
// names, very long names and random characters, and list files with random
// bytes among the lines. Every run must keep the three rules.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>

#include "engine/copy_run.h"
#include "run_fixture.h"
#include "three_rules.h"

namespace {

using namespace quillet;
using namespace run_test;

class FuzzListTest : public fixture {
protected:
    // One random entry: a start (the source folder, the destination folder,
    // the scratch folder, nothing, or a \\?\ form) and one to six parts.
    std::wstring random_entry(std::mt19937& random) {
        static const std::vector<std::wstring> parts = {
            L"..",       L".",        L"a.txt",     L"b.txt",     L"bin.dat",    L"victim",
            L"name.txt", L"sub",      L"dest",      L"src",       L"CON",        L"nul.txt",
            L"com1.log", L"a.txt:s",  L":",         L"",          L"copy_.ilc",  L"UTF_8.ILC",
            L"_copy_.ilc", L"a.txt. ", L"*",        L"?",         L"x\u00E9\u3042.txt",
            std::wstring(300, L'L'), std::wstring(255, L'm')};
        static const std::vector<std::wstring> separators = {L"\\", L"/", L"//", L"\\\\", L"/..\\"};
        const std::vector<std::wstring> starts = {src_dir, dest_dir, scratch.path(), L"",
                                                  L"\\\\?\\" + src_dir, src_dir + L"sub/"};
        std::wstring entry = starts[random() % starts.size()];
        for (unsigned i = 0, count = 1 + random() % 6; i < count; ++i) {
            if (i > 0) entry += separators[random() % separators.size()];
            if (random() % 5 != 0) {
                entry += parts[random() % parts.size()];
                continue;
            }
            // Random characters: controls, ASCII, Latin, CJK, lone surrogates.
            static const wchar_t ranges[] = {0x01, 0x20, 0xC0, 0x3040, 0xD800, 0xDC00};
            for (unsigned k = 0, length = 1 + random() % 12; k < length; ++k)
                entry += static_cast<wchar_t>(ranges[random() % 6] + random() % 0x60);
        }
        return entry;
    }

    // The list file: UTF-16LE lines, with random bytes among them now and then.
    std::vector<uint8_t> random_list(std::mt19937& random) {
        std::vector<uint8_t> bytes = {0xFF, 0xFE};
        for (unsigned i = 0, lines = 1 + random() % 12; i < lines; ++i) {
            if (random() % 8 == 0)
                for (unsigned k = 0, junk = random() % 40; k < junk; ++k)
                    bytes.push_back(static_cast<uint8_t>(random()));
            const std::vector<uint8_t> line = utf16le(random_entry(random) + L"\r\n", false);
            bytes.insert(bytes.end(), line.begin(), line.end());
        }
        return bytes;
    }
};

TEST_F(FuzzListTest, RandomListsKeepSourcesOutsideFilesAndBackups) {
    // Sources, files already in the destination folder, and files beside it
    // that a name climbing out of the folder would reach.
    CreateDirectoryW((src_dir + L"sub").c_str(), nullptr);
    CreateDirectoryW((scratch.path() + L"victim").c_str(), nullptr);
    for (const std::wstring& folder :
         {src_dir, src_dir + L"sub\\", dest_dir, scratch.path(), scratch.path() + L"victim\\"}) {
        for (const wchar_t* name : {L"a.txt", L"b.txt", L"name.txt", L"copy_.ilc", L"bin.dat"}) {
            testing_support::put_bytes(folder + name, name == std::wstring(L"bin.dat") ? png_bytes()
                                                      : sjis(L"テキスト " + folder + name + L"\r\n"));
            testing_support::set_mtime(folder + name, old_time);
        }
    }
    const std::wstring list = dest_dir + L"_copy_.ilc";
    for (unsigned seed = 1; seed <= 24; ++seed) {
        std::mt19937 random(seed);
        testing_support::put_bytes(list, random_list(random));
        store().open_list(list);
        const int code = std::vector<int>{0, 8, 16, 74}[random() % 4];
        run_keeping_the_rules(scratch.path(), code,
                              "seed " + std::to_string(seed) + ", code " + std::to_string(code) + ": ");
    }
}

}  // namespace
