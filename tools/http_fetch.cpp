#include "tools/http_fetch.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "base/handles.h"
#include "base/paths.h"
#include "engine/store.h"
#include "base/diagnostic.h"
#include "tools/http_transfer.h"

namespace quillet {

namespace {

wchar_t fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

// Moves an earlier local copy to the next numbered name.
void move_aside(const std::wstring& local) {
    if (path_exists(local, false)) move_file(local, numbered_free_name(local, true), false);
}

std::wstring text_of(const wchar_t* p, DWORD n) { return p ? std::wstring(p, n) : std::wstring(); }

// The parts of a full http or https address; false when it has no server or
// another scheme.
bool parse_target(const std::wstring& full, http_target& target) {
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = L"";
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH + 1;
    parts.dwUrlPathLength = 1;  // pointers into full, with their lengths
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(full.c_str(), static_cast<DWORD>(full.size()), 0, &parts) ||
        host[0] == L'\0' ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        return false;
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    target.server = host;
    target.port = parts.nPort;
    target.object = text_of(parts.lpszUrlPath, parts.dwUrlPathLength) +
                    text_of(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    // A fragment is never sent.
    size_t hash = target.object.find(L'#');
    if (hash != std::wstring::npos) target.object.resize(hash);
    if (target.object.empty() || target.object[0] != L'/') target.object = L"/" + target.object;
    return true;
}

bool is_scheme(const std::wstring& text, const wchar_t* scheme) {
    const size_t n = wcslen(scheme);
    return text.size() >= n && to_lower(text.substr(0, n)) == scheme;
}

}  // namespace

namespace {

bool matches_at(const std::wstring& text, size_t at, const std::wstring& from) {
    if (at + from.size() > text.size()) return false;
    for (size_t k = 0; k < from.size(); ++k)
        if (fold(text[at + k]) != fold(from[k])) return false;
    return true;
}

// The first occurrence of from at or after `at`, letters A-Z in any case; npos
// when there is none. One plain loop over the text: pages of many megabytes
// are searched fifteen times in a comparison.
size_t find_any_case(const std::wstring& text, size_t at, const std::wstring& from) {
    const wchar_t first = fold(from[0]);
    const size_t n = text.size();
    for (size_t i = at; i < n; ++i)
        if (fold(text[i]) == first && matches_at(text, i, from)) return i;
    return std::wstring::npos;
}

}  // namespace

std::wstring replace_all(std::wstring text, const std::wstring& from, const std::wstring& to) {
    if (from.empty()) return text;
    // One pass, so that a page of many short lines costs no more than a long
    // one. The earliest occurrence in any letter case is also the earliest
    // exact one or comes before it, so the any-case search finds them all.
    const size_t m = from.size();
    if (to.size() < m) {
        // In place: text[0, done) is finished, text[next, end) still to scan.
        // A replacement is put just before the rest, so that the scan goes on
        // at its start (".." by "." collapses a whole run).
        size_t done = 0, next = 0;
        for (;;) {
            const size_t found = find_any_case(text, next, from);
            const size_t stop = found == std::wstring::npos ? text.size() : found;
            if (done != next)
                std::copy(text.begin() + static_cast<long>(next), text.begin() + static_cast<long>(stop),
                          text.begin() + static_cast<long>(done));
            done += stop - next;
            if (found == std::wstring::npos) break;
            next = found + m - to.size();
            std::copy(to.begin(), to.end(), text.begin() + static_cast<long>(next));
        }
        text.resize(done);
        return text;
    }
    // A text without the sought one is handed back as it is, uncopied.
    size_t found = find_any_case(text, 0, from);
    if (found == std::wstring::npos) return text;
    std::wstring out;
    out.reserve(text.size());
    size_t next = 0;
    for (; found != std::wstring::npos; found = find_any_case(text, next, from)) {
        out.append(text, next, found - next);
        out += to;
        next = found + m;
    }
    out.append(text, next, std::wstring::npos);
    return out;
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

fetch_control::fetch_control(DWORD budget_ms) : deadline_(GetTickCount64() + budget_ms) {}

DWORD fetch_control::remaining_ms() const {
    const ULONGLONG now = GetTickCount64();
    if (stopped_ || now >= deadline_) return 0;
    return static_cast<DWORD>(std::min<ULONGLONG>(deadline_ - now, 0xFFFFFFF0u));
}

DWORD fetch_control::step_ms() const { return std::min(remaining_ms(), request_timeout_ms); }

std::wstring redirect_target(const std::wstring& from, const std::wstring& location) {
    if (is_scheme(location, L"http://") || is_scheme(location, L"https://")) return location;
    const size_t colon = location.find(L':');
    if (colon != std::wstring::npos && location.find(L'/') > colon) return L"";  // another scheme
    const size_t scheme_end = from.find(L"//");
    if (scheme_end == std::wstring::npos) return L"";
    if (location.compare(0, 2, L"//") == 0) return from.substr(0, scheme_end) + location;
    const size_t path_start = from.find(L'/', scheme_end + 2);
    const std::wstring origin = from.substr(0, path_start);
    if (!location.empty() && location[0] == L'/') return origin + location;
    std::wstring path = path_start == std::wstring::npos ? L"/" : from.substr(path_start);
    path.resize(path.find_first_of(L"?#") == std::wstring::npos ? path.size()
                                                               : path.find_first_of(L"?#"));
    return origin + path.substr(0, path.rfind(L'/') + 1) + location;
}

namespace {

// Writes body to part (its earlier content replaced); false, noted, when the
// file cannot be opened or written.
bool write_part(const std::wstring& part, const std::vector<uint8_t>& body) {
    DWORD open_error = 0;
    unique_hfile file = open_file_retrying(part, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS,
                                           100, 100, &open_error);
    if (!file) {
        error_note(L"Can't open wb  " + part + L"\t" + std::to_wstring(open_error));
        return false;
    }
    if (!write_open_file(file.get(), body)) {
        error_note(L"Can't write  " + part + L"\t" + std::to_wstring(GetLastError()));
        return false;
    }
    return true;
}

}  // namespace

bool http_get(const std::wstring& scheme, const std::wstring& url, const std::wstring& local,
              fetch_control* control) {
    fetch_control own(default_budget_ms);
    fetch_control& limits = control ? *control : own;
    std::wstring full = scheme + url;
    std::vector<uint8_t> body;
    bool ok = false;
    for (int hop = 0;; ++hop) {
        http_target target;
        if (!parse_target(full, target)) {
            error_note(L"Failed AfxParseURL |" + full);
            break;
        }
        http_answer answer;
        const request_function request = target.secure ? wininet_request : plain_http_request;
        if (!request_on_worker(request, target, u_agent(), limits, answer, body)) break;
        if (answer.status >= 300 && answer.status <= 399 && !answer.location.empty()) {
            if (hop == max_redirects) {
                error_note(request_where(target) + L"more than " + std::to_wstring(max_redirects) +
                           L" redirects");
                break;
            }
            const std::wstring next = redirect_target(full, answer.location);
            if (next.empty()) {
                error_note(request_where(target) + L"redirect refused   " + answer.location);
                break;
            }
            full = next;
            continue;
        }
        if (answer.status < 200 || answer.status > 299) {
            error_note(request_where(target) + L"status " + std::to_wstring(answer.status));
            break;
        }
        if (body.empty()) {
            error_note(request_where(target) + L"empty answer");
            break;
        }
        ok = true;
        break;
    }
    // A stopped transfer keeps nothing, whatever it had read. The answer goes
    // to a sibling first, so that the earlier copy is moved aside only for a
    // whole one.
    if (!ok || limits.stopped()) return false;
    const std::wstring part = local + L".part";
    make_folders(path_folder(local));
    if (!write_part(part, body)) {
        DeleteFileW(part.c_str());
        return false;
    }
    move_aside(local);
    if (!move_file(part, local, true)) {
        error_note(L"Can't move  " + part + L"  to  " + local);
        DeleteFileW(part.c_str());
        return false;
    }
    return true;
}

bool fetch_page(const std::wstring& url, fetch_control* control) {
    fetch_control own(default_budget_ms);
    fetch_control& limits = control ? *control : own;
    const std::wstring u = normalize_url(url);
    const std::wstring local = local_file_of(url);
    if (http_get(L"https:", u, local, &limits)) return true;
    if (limits.expired()) return false;
    return http_get(L"http:", u, local, &limits);
}

std::wstring fetch_url(const std::wstring& url) {
    fetch_page(url);
    return local_file_of(url);
}

}  // namespace quillet
