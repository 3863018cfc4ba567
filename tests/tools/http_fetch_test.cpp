// Tests of the HTTP fetch: URL and name helpers, moves, and real downloads from
// a local server.
#include <gtest/gtest.h>

#include <thread>
#include <windows.h>

#include "text/codepage.h"
#include "base/handles.h"
#include "base/paths.h"
#include "support/scratch.h"
#include "tools/http_fetch.h"
#include "tools/http_transfer.h"
#include "tools_support.h"

using namespace quillet;
using testing_support::exists;
using testing_support::get_bytes;
using testing_support::put_text;
using testing_support::scratch_folder;

namespace {

std::string file_text(const std::wstring& path) {
    std::vector<uint8_t> b = get_bytes(path);
    return std::string(b.begin(), b.end());
}

// The entries of a folder, names only.
std::vector<std::wstring> names_in(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const auto& p : list_folder(path_add_sep(folder, L"\\"))) names.push_back(path_name(path_del_sep(p)));
    return names;
}

}  // namespace

TEST(ReplaceAll, ReplacesEveryOccurrence) {
    EXPECT_EQ(replace_all(L"a>b>c", L">", L"/"), L"a/b/c");
    EXPECT_EQ(replace_all(L"abc", L"x", L"y"), L"abc");
    EXPECT_EQ(replace_all(L"abc", L"", L"y"), L"abc");
    EXPECT_EQ(replace_all(L"", L"a", L"b"), L"");
}

TEST(ReplaceAll, ShorterReplacementCollapsesRuns) {
    EXPECT_EQ(replace_all(L"a..b....c", L"..", L"."), L"a.b.c");
    EXPECT_EQ(replace_all(L".....", L"..", L"."), L".");
}

TEST(ReplaceAll, LongerReplacementContainingTheFoundTextEnds) {
    EXPECT_EQ(replace_all(L"ab", L"a", L"aa"), L"aab");
    EXPECT_EQ(replace_all(L"</a></a>", L"</a>", L"</a>\r\n"), L"</a>\r\n</a>\r\n");
}

TEST(ReplaceAll, FindsOtherLetterCaseToo) {
    EXPECT_EQ(replace_all(L"HTTPS://x https://y", L"https:", L""), L"//x //y");
    // An occurrence in other case before an exact one is not skipped.
    EXPECT_EQ(replace_all(L"</DIV></div>", L"</div>", L"|"), L"||");
    // Only the found text is replaced; the inserted text is always `to`.
    EXPECT_EQ(replace_all(L"<Div>", L"<div>", L"<div>\r\n"), L"<div>\r\n");
}

TEST(NormalizeUrl, DropsSchemesAndStartsWithTwoSlashes) {
    EXPECT_EQ(normalize_url(L"http://srv/x"), L"//srv/x");
    EXPECT_EQ(normalize_url(L"https://srv"), L"//srv");
    EXPECT_EQ(normalize_url(L"HTTPS://srv/a"), L"//srv/a");
    EXPECT_EQ(normalize_url(L"//srv/a"), L"//srv/a");
    EXPECT_EQ(normalize_url(L"/srv/a"), L"//srv/a");
    EXPECT_EQ(normalize_url(L"srv/a"), L"//srv/a");
}

TEST(UrlToLocalName, FileInFolderOnServer) {
    EXPECT_EQ(url_to_local_name(L"//srv/dir/a.txt"), L"_\\srv\\dir\\a.txt");
    EXPECT_EQ(url_to_local_name(L"https://srv/dir/a.txt"), L"_\\srv\\dir\\a.txt");
    EXPECT_EQ(url_to_local_name(L"http://srv/pic.PNG"), L"_\\srv\\pic.PNG");
}

TEST(UrlToLocalName, PageWithoutExtensionIsNamedUnderscoreHtm) {
    EXPECT_EQ(url_to_local_name(L"//srv/n_Bench/download"), L"_\\srv\\n_Bench\\download\\_.htm");
    EXPECT_EQ(url_to_local_name(L"//srv/n_Bench/download/"), L"_\\srv\\n_Bench\\download\\_.htm");
}

TEST(UrlToLocalName, UnknownExtensionBecomesAFolder) {
    EXPECT_EQ(url_to_local_name(L"//srv/app.cgi"), L"_\\srv\\app_cgi\\_.html");
}

TEST(UrlToLocalName, QueryCharactersBecomeFolders) {
    EXPECT_EQ(url_to_local_name(L"//www.example.com/p.php?a=b&c=d"),
              L"_\\www_example_com\\p_php\\a_b\\c_d\\_.htm");
    EXPECT_EQ(url_to_local_name(L"//srv/list?q=x+y"), L"_\\srv\\list\\q_x\\y\\_.htm");
    EXPECT_EQ(url_to_local_name(L"//127.0.0.1:8080/x/"), L"_\\127_0_0_1\\8080\\x\\_.htm");
    EXPECT_EQ(url_to_local_name(L"//srv/a%20b.txt"), L"_\\srv\\a\\20b.txt");
}

TEST(UrlToLocalName, FolderNamesNeverHoldADot) {
    for (const wchar_t* url : {L"//a.b.c/d.e/f.g/x.txt", L"//srv/..../x.htm", L"//s/v1.2/?k=v.w",
                               L"https://h.example/dl/file.tar.gz"}) {
        std::wstring name = url_to_local_name(url);
        EXPECT_EQ(name.compare(0, 2, L"_\\"), 0) << name;
        EXPECT_EQ(path_folder(name).find(L'.'), std::wstring::npos) << name;
        EXPECT_EQ(name.find(L"\\\\"), std::wstring::npos) << name;
    }
}

TEST(NumberedFreeName, FirstFreeNumber) {
    scratch_folder dir;
    const std::wstring page = dir.file(L"_.htm");
    EXPECT_EQ(numbered_free_name(page, false), page);
    EXPECT_EQ(numbered_free_name(page, true), dir.file(L"_.000.htm"));
    ASSERT_TRUE(put_text(page, "p"));
    EXPECT_EQ(numbered_free_name(page, false), dir.file(L"_.000.htm"));
    ASSERT_TRUE(put_text(dir.file(L"_.000.htm"), "0"));
    ASSERT_TRUE(put_text(dir.file(L"_.001.htm"), "1"));
    EXPECT_EQ(numbered_free_name(page, true), dir.file(L"_.002.htm"));
    EXPECT_EQ(numbered_free_name(dir.file(L"readme"), true), dir.file(L"readme.000"));
}

TEST(FileMove, MovesAndRefuses) {
    scratch_folder dir;
    const std::wstring src = dir.file(L"a.txt"), dst = dir.file(L"sub\\deeper\\b.txt");
    EXPECT_FALSE(move_file(src, dst, false));  // no source
    ASSERT_TRUE(put_text(src, "first"));
    EXPECT_TRUE(move_file(src, dst, false));
    EXPECT_FALSE(exists(src));
    EXPECT_EQ(file_text(dst), "first");

    ASSERT_TRUE(put_text(src, "second"));
    EXPECT_FALSE(move_file(src, dst, true));  // the destination stays
    EXPECT_EQ(file_text(src), "second");
    EXPECT_EQ(file_text(dst), "first");
    EXPECT_TRUE(move_file(src, dst, false));  // replaces it
    EXPECT_FALSE(exists(src));
    EXPECT_EQ(file_text(dst), "second");
}

TEST(FileMove, KeepsTheSourceWhenItCannotBeCopied) {
    scratch_folder dir;
    const std::wstring src = dir.file(L"a.txt"), dst = dir.file(L"b.txt");
    ASSERT_TRUE(put_text(src, "keep me"));
    ASSERT_TRUE(put_text(dst, "held"));
    // The destination is held open without sharing: neither move nor copy can
    // replace it, and the source must survive.
    unique_hfile held(CreateFileW(dst.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(move_file(src, dst, false));
    EXPECT_EQ(file_text(src), "keep me");
}

class HttpFetch : public ::testing::Test {
protected:
    scratch_folder dir;
    tools_test::temp_redirect temp{dir.path() + L"tmp"};
    tools_test::http_server server;

    std::wstring url(const std::wstring& path) { return L"//" + server.host() + path; }
};

TEST_F(HttpFetch, DownloadFolderIsBelowTheTemporaryFolder) {
    EXPECT_EQ(download_folder(), dir.path() + L"tmp\\n_Bench.tmp\\I_Read");
    EXPECT_TRUE(folder_exists(download_folder()));
    EXPECT_EQ(local_file_of(L"//srv/dir/a.txt"), download_folder() + L"\\_\\srv\\dir\\a.txt");
}

TEST_F(HttpFetch, SecondFetchKeepsTheOlderResponseAsNumberedCopy) {
    ASSERT_TRUE(server.running());
    server.set_page("/dl/page.htm", "<html>one</html>");
    const std::wstring local = fetch_url(L"http:" + url(L"/dl/page.htm"));
    EXPECT_EQ(local, local_file_of(url(L"/dl/page.htm")));
    EXPECT_EQ(file_text(local), "<html>one</html>");

    server.set_page("/dl/page.htm", "<html>two</html>");
    EXPECT_EQ(fetch_url(url(L"/dl/page.htm")), local);
    EXPECT_EQ(file_text(local), "<html>two</html>");
    const std::wstring older = path_folder(local) + L"\\page.000.htm";
    EXPECT_EQ(file_text(older), "<html>one</html>");
    EXPECT_EQ(server.requests("/dl/page.htm"), 2);
}

TEST_F(HttpFetch, HttpAddressIsTriedOverHttpsFirst) {
    server.set_page("/a.txt", "text");
    const int before = server.other_connections();
    const std::wstring local = fetch_url(L"http:" + url(L"/a.txt"));
    EXPECT_EQ(file_text(local), "text");
    // The test server speaks plain HTTP only: the first attempt arrives as a
    // TLS handshake, which it drops, and the plain request follows.
    EXPECT_GE(server.other_connections(), before + 1);
    EXPECT_EQ(server.requests("/a.txt"), 1);
}

TEST_F(HttpFetch, RequestCarriesTheUserAgent) {
    server.set_page("/ua.txt", "ua");
    fetch_url(url(L"/ua.txt"));
    std::vector<uint8_t> agent = wide_to_utf8(u_agent());
    EXPECT_EQ(server.last_user_agent(), std::string(agent.begin(), agent.end()));
}

TEST_F(HttpFetch, LargerPagesArriveWhole) {
    std::string body;
    for (int i = 0; body.size() < 300000; ++i) body += "line " + std::to_string(i) + "\r\n";
    server.set_page("/big.txt", body);
    EXPECT_EQ(file_text(fetch_url(url(L"/big.txt"))), body);
}

TEST_F(HttpFetch, ErrorPageIsAFailedDownloadThatKeepsTheEarlierCopy) {
    server.set_page("/p.htm", "<html>good</html>");
    const std::wstring local = fetch_url(url(L"/p.htm"));
    server.set_status_page("/p.htm", "500 Internal Server Error", "<html>broken</html>");
    EXPECT_FALSE(fetch_page(url(L"/p.htm")));
    EXPECT_EQ(file_text(local), "<html>good</html>");
    EXPECT_EQ(names_in(path_folder(local)), std::vector<std::wstring>{L"p.htm"});
}

TEST_F(HttpFetch, RedirectsAreFollowedUpToFive) {
    server.set_page("/end.txt", "arrived");
    server.set_redirect("/r5", "/end.txt");
    server.set_redirect("/r4", "r5");  // relative to the folder
    const std::wstring host = server.host();
    server.set_redirect("/r3", "http://" + std::string(host.begin(), host.end()) + "/r4");
    server.set_redirect("/r2", "/r3");
    server.set_redirect("/r1", "/r2");
    server.set_redirect("/r0", "/r1");
    EXPECT_TRUE(http_get(L"http:", url(L"/r1"), dir.file(L"r.txt")));
    EXPECT_EQ(file_text(dir.file(L"r.txt")), "arrived");
    // One more is too many.
    EXPECT_FALSE(http_get(L"http:", url(L"/r0"), dir.file(L"r0.txt")));
    EXPECT_FALSE(exists(dir.file(L"r0.txt")));
}

TEST(RedirectTarget, LocationIsTakenRelativeToTheAddress) {
    EXPECT_EQ(redirect_target(L"http://s:8/a/b?q", L"https://t/x"), L"https://t/x");
    EXPECT_EQ(redirect_target(L"https://s/a/b", L"//t/x"), L"https://t/x");
    EXPECT_EQ(redirect_target(L"http://s:8/a/b?q", L"/x"), L"http://s:8/x");
    EXPECT_EQ(redirect_target(L"http://s/a/b?q", L"c"), L"http://s/a/c");
    EXPECT_EQ(redirect_target(L"http://s", L"c"), L"http://s/c");
    EXPECT_EQ(redirect_target(L"http://s/a", L"file:///C:/x"), L"");
}

// A server that sends a byte every half second: the download ends by its
// deadline (a short one here) and leaves nothing behind. A stalling server is
// left by the update check's deadline, and at a stop by the window's close.
TEST_F(HttpFetch, TricklingServerIsLeftAtTheDeadline) {
    server.set_trickle("/slow.txt", std::string(200, 'a'), 500);
    fetch_control control(2000);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(http_get(L"http:", url(L"/slow.txt"), dir.file(L"s.txt"), &control));
    EXPECT_LT(GetTickCount64() - start, 4000u);
    EXPECT_FALSE(exists(dir.file(L"s.txt")));
    EXPECT_FALSE(exists(dir.file(L"s.txt.part")));
}

TEST_F(HttpFetch, FloodWithoutALengthIsCutOffNearTheCap) {
    server.set_big_page("/flood.txt", 500ull * 1024 * 1024, false);
    EXPECT_FALSE(http_get(L"http:", url(L"/flood.txt"), dir.file(L"flood.txt")));
    EXPECT_FALSE(exists(dir.file(L"flood.txt")));
    // The server answers one connection at a time: once the next request is
    // answered, the flood's connection is over and its count final.
    server.set_page("/after.txt", "after");
    EXPECT_TRUE(http_get(L"http:", url(L"/after.txt"), dir.file(L"after.txt")));
    // Not the 500 MB a drained connection takes; socket buffers aside,
    // nothing much past the cap.
    EXPECT_LT(server.big_bytes_sent(), max_response_bytes + 8u * 1024 * 1024);
}

// The request code of https addresses, run over plain HTTP against the local
// server: WinINet may read the rest of a body before a request's close
// returns, and may wait long in a call, so the request runs on a worker that
// the caller leaves at a stop.
TEST_F(HttpFetch, WinInetRequestIsLeftWhileItsTransferGoesOn) {
    const uint64_t flood = 4ull * 1024 * 1024 * 1024;
    for (bool stall : {false, true}) {
        SCOPED_TRACE(stall ? "stall" : "flood");
        tools_test::http_server own;  // one each: the server answers one connection at a time
        if (stall) own.set_stall("/x.txt");
        else own.set_big_page("/x.txt", flood, true);
        fetch_control control(60000);
        std::thread stopper([&control] {
            Sleep(1500);
            control.stop();
        });
        http_answer answer;
        std::vector<uint8_t> body;
        const http_target target{false, L"127.0.0.1", static_cast<INTERNET_PORT>(own.port()), L"/x.txt"};
        EXPECT_FALSE(request_on_worker(wininet_request, target, u_agent(), control, answer, body));
        // Back before the flood is all sent, and while the stalled request
        // still waits for its own timeout (20 s).
        if (stall) EXPECT_TRUE(own.answering());
        else EXPECT_LT(own.big_bytes_sent(), flood);
        EXPECT_TRUE(body.empty());
        stopper.join();
    }
}

TEST_F(HttpFetch, OversizedResponseIsCutOffAndCountsAsFailed) {
    server.set_big_page("/huge.txt", max_response_bytes + 1);
    const std::wstring local = local_file_of(url(L"/huge.txt"));
    EXPECT_FALSE(http_get(L"http:", url(L"/huge.txt"), local));
    EXPECT_FALSE(exists(local));
    EXPECT_TRUE(names_in(path_folder(local)).empty());
}

TEST_F(HttpFetch, UnsentRequestReportsFailure) {
    const std::wstring address = L"//127.0.0.1:" + std::to_wstring(tools_test::free_port()) + L"/x.txt";
    const std::wstring local = dir.file(L"x.txt");
    EXPECT_FALSE(http_get(L"http:", address, local));
    EXPECT_FALSE(exists(local));
}

TEST_F(HttpFetch, UnparsableAddressReportsFailure) {
    EXPECT_FALSE(http_get(L"http:", L"//", dir.file(L"y.txt")));
    EXPECT_FALSE(http_get(L"ftp:", L"//srv/y.txt", dir.file(L"y.txt")));
    EXPECT_FALSE(exists(dir.file(L"y.txt")));
}

TEST_F(HttpFetch, LocalFileThatCannotBeWrittenGetsNothingAnywhere) {
    server.set_page("/held.txt", "new content");
    const std::wstring local = local_file_of(url(L"/held.txt"));
    ASSERT_TRUE(put_text(local, "old content"));
    {
        unique_hfile held(CreateFileW(local.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        // The download arrives, but cannot take the held file's place.
        EXPECT_FALSE(http_get(L"http:", url(L"/held.txt"), local));
    }
    EXPECT_EQ(file_text(local), "old content");
    EXPECT_EQ(names_in(path_folder(local)), std::vector<std::wstring>{L"held.txt"});
}
