#include "tools/http_fetch.h"

#include <windows.h>
#include <wininet.h>

#include <cwchar>
#include <vector>

#include "base/handles.h"
#include "base/paths.h"
#include "engine/store.h"
#include "tools/error_note.h"

namespace quillet {

namespace {

// Owner of one WinINet handle (session, connection or request).
class unique_hinternet {
public:
    explicit unique_hinternet(HINTERNET h = nullptr) : h_(h) {}
    ~unique_hinternet() {
        if (h_) InternetCloseHandle(h_);
    }
    unique_hinternet(const unique_hinternet&) = delete;
    unique_hinternet& operator=(const unique_hinternet&) = delete;
    HINTERNET get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HINTERNET h_;
};

wchar_t fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

// Position of the first occurrence of from in text at or after start, letters
// A-Z compared without regard to case; npos when there is none.
size_t find_any_case(const std::wstring& text, const std::wstring& from, size_t start) {
    if (from.empty() || text.size() < from.size()) return std::wstring::npos;
    for (size_t p = start; p + from.size() <= text.size(); ++p) {
        size_t k = 0;
        while (k < from.size() && fold(text[p + k]) == fold(from[k])) ++k;
        if (k == from.size()) return p;
    }
    return std::wstring::npos;
}

bool is_empty_or_missing(const std::wstring& path) {
    file_status st(path);
    return st.failed() || st.size() == 0;
}

// Moves an earlier local copy to the next numbered name.
void move_aside(const std::wstring& local) {
    if (path_exists(local, false)) move_file(local, numbered_free_name(local, true), false);
}

std::wstring text_of(const wchar_t* p, DWORD n) { return p ? std::wstring(p, n) : std::wstring(); }

std::wstring last_error_text(DWORD error) {
    wchar_t buffer[1024] = L"";
    HMODULE wininet = GetModuleHandleW(L"wininet.dll");
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             wininet, error, 0, buffer, 1024, nullptr);
    std::wstring text(buffer, n);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
    return L"error " + std::to_wstring(error) + (text.empty() ? L"" : L" " + text);
}

// Reads the whole response into local. False (and local removed) when a read
// fails, the response is larger than max_response_bytes, or local cannot be
// opened or written; the response is then written nowhere else.
bool save_response(HINTERNET request, const std::wstring& local, const std::wstring& where) {
    make_folders(path_folder(local));
    DWORD open_error = 0;
    unique_hfile file = open_file_retrying(local, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS,
                                           100, 100, &open_error);
    if (!file) {
        error_note(where + L"Can't open wb  " + local + L"\t" + std::to_wstring(open_error));
        return false;
    }
    uint64_t total = 0;
    bool ok = true;
    // Read in 64 KB pieces: 1 KB reads make a large page crawl.
    std::vector<char> chunk(65536);
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request, chunk.data(), static_cast<DWORD>(chunk.size()), &got)) {
            error_note(where + L"InternetReadFile " + last_error_text(GetLastError()));
            ok = false;
            break;
        }
        if (got == 0) break;
        total += got;
        if (total > max_response_bytes) {
            error_note(where + L"response larger than " + std::to_wstring(max_response_bytes) +
                       L" bytes, cut off");
            ok = false;
            break;
        }
        DWORD written = 0;
        if (!WriteFile(file.get(), chunk.data(), got, &written, nullptr) || written != got) {
            error_note(where + L"Can't write  " + local);
            ok = false;
            break;
        }
    }
    file.reset();
    if (!ok) DeleteFileW(local.c_str());
    return ok;
}

}  // namespace

std::wstring replace_all(std::wstring text, const std::wstring& from, const std::wstring& to) {
    if (from.empty()) return text;
    size_t pos = 0;
    for (;;) {
        // An exact match is looked for first; the any-case search also finds
        // any earlier occurrence in other letter case, so none is skipped.
        size_t exact = text.find(from, pos);
        size_t any = find_any_case(text, from, pos);
        size_t p = exact < any ? exact : any;
        if (p == std::wstring::npos) break;
        text.replace(p, from.size(), to);
        pos = to.size() < from.size() ? p : p + to.size();
    }
    return text;
}

std::wstring normalize_url(const std::wstring& url) {
    std::wstring u = replace_all(replace_all(url, L"https:", L""), L"http:", L"");
    if (u.compare(0, 2, L"//") == 0) return u;
    if (!u.empty() && u[0] == L'/') return L"/" + u;
    return L"//" + u;
}

std::wstring url_to_local_name(const std::wstring& url) {
    static const wchar_t* const known[] = {L"htm", L"html", L"css", L"js",  L"xml", L"txt",
                                           L"svg", L"ico",  L"png", L"jpg", L"jpeg", L"gif",
                                           L"bmp", L"emf",  L"zip", L"msi"};
    std::wstring b = path_del_sep(url);
    std::wstring ext = path_ext_lower(url);
    bool is_known = false;
    for (const wchar_t* k : known) is_known = is_known || ext == k;
    if (ext.empty())
        b += L"/_.htm";
    else if (!is_known)
        b += L"/_.html";

    b = path_normalize(b, L"\\");
    b = replace_all(b, L"https:", L"//");
    b = replace_all(b, L"http:", L"//");
    for (const wchar_t* c : {L"+", L"&", L"?", L":"}) b = replace_all(b, c, L"/");
    b = path_normalize(b, L"\\");
    b = shorten_path(b, 100);
    b = replace_all(b, L"=", L".");
    b = replace_all(b, L"%", L"/");
    b = replace_all(b, L"..", L".");
    if (!b.empty() && (b[0] == L'\\' || b[0] == L'/')) b.erase(0, 1);
    b = path_normalize(L"./" + b, L"\\");

    std::wstring folder = replace_all(path_folder(b), L".", L"_");
    // Empty levels (from a server address's leading "//") are dropped, so the
    // name is a plain relative path below the download folder.
    return join_text(drop_empty(split_text(folder + L"\\" + path_name(b), L"\\/")), L"\\");
}

std::wstring download_folder() {
    std::wstring folder = path_add_sep(temp_folder(), L"\\") + L"n_Bench.tmp\\I_Read";
    make_folders(folder);
    return folder;
}

std::wstring local_file_of(const std::wstring& url) {
    std::wstring local = path_normalize(download_folder() + L"\\" + url_to_local_name(url), L"\\");
    make_folders(path_folder(local));
    return local;
}

std::wstring numbered_free_name(const std::wstring& path, bool always) {
    if (!always && !path_exists(path, false)) return path;
    std::wstring name = path_name(path);
    std::wstring ext = path_ext(path);
    std::wstring stem = path;
    if (!ext.empty()) stem = path.substr(0, path.size() - ext.size() - 1);
    for (int n = 0; n < 1000; ++n) {
        wchar_t number[8];
        swprintf(number, 8, L"%03d", n);
        std::wstring candidate = stem + L"." + number + (ext.empty() ? L"" : L"." + ext);
        if (!path_exists(candidate, false)) return candidate;
    }
    return path;
}

bool move_file(const std::wstring& src, const std::wstring& dst, bool no_replace) {
    if (!path_exists(src, false)) return false;
    if (no_replace && path_exists(dst, false)) return false;
    std::wstring folder = path_folder(dst);
    if (!folder_exists(folder)) make_folders(folder);
    if (MoveFileW(src.c_str(), dst.c_str())) return true;
    // The source is removed only once the copy is safely in place.
    if (!CopyFileW(src.c_str(), dst.c_str(), no_replace ? TRUE : FALSE)) return false;
    return DeleteFileW(src.c_str()) != FALSE;
}

bool http_get(const std::wstring& scheme, const std::wstring& url, const std::wstring& local) {
    move_aside(local);
    const std::wstring full = scheme + url;

    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = L"";
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH + 1;
    parts.dwUrlPathLength = 1;   // pointers into full, with their lengths
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(full.c_str(), static_cast<DWORD>(full.size()), 0, &parts) ||
        host[0] == L'\0' ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
        error_note(L"Failed AfxParseURL |" + full);
        return false;
    }
    const std::wstring server = host;
    const INTERNET_PORT port = parts.nPort;
    std::wstring object = text_of(parts.lpszUrlPath, parts.dwUrlPathLength) +
                          text_of(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty()) object = L"/";
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const std::wstring where = server + L"\t" + std::to_wstring(port) + L"\t";

    unique_hinternet session(
        InternetOpenW(u_agent().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) {
        error_note(where + L"InternetOpen " + last_error_text(GetLastError()));
        return false;
    }
    // A server that accepts the connection but never answers must not hold the
    // dialog's start for minutes.
    DWORD timeout_ms = 20000;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionW(session.get(), option, &timeout_ms, sizeof timeout_ms);

    unique_hinternet connection(InternetConnectW(session.get(), server.c_str(), port, nullptr,
                                                 nullptr, INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection) {
        error_note(where + L"InternetConnect " + last_error_text(GetLastError()));
        return false;
    }
    // Always the server's current answer: the comparison with yesterday's page
    // is pointless on a cached copy.
    DWORD flags = (secure ? INTERNET_FLAG_SECURE : INTERNET_FLAG_EXISTING_CONNECT) |
                  INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    unique_hinternet request(HttpOpenRequestW(connection.get(), L"GET", object.c_str(),
                                              secure ? L"HTTP/1.1" : nullptr, nullptr, nullptr,
                                              flags, 1));
    if (!request) {
        error_note(where + L"HttpOpenRequest " + last_error_text(GetLastError()));
        return false;
    }
    if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) {
        error_note(where + L"SendRequest ... error");
        return false;
    }
    // The status is not examined: whatever the server answers is the page.
    DWORD status = 0, status_size = sizeof status;
    HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                   &status_size, nullptr);
    return save_response(request.get(), local, where);
}

std::wstring fetch_url(const std::wstring& url) {
    std::wstring u = normalize_url(url);
    std::wstring local = local_file_of(url);
    move_aside(local);
    if (is_empty_or_missing(local)) http_get(L"https:", u, local);
    if (is_empty_or_missing(local)) http_get(L"http:", u, local);
    return local;
}

}  // namespace quillet
