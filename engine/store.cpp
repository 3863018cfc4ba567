// The copy list store, its list files and the program's working folders.
#include "engine/store.h"

#include <algorithm>
#include <unordered_set>

#include "base/log.h"
#include "base/paths.h"
#include "base/version_info.h"
#include "text/encodings.h"
#include "engine/entries.h"
#include "engine/file_io.h"
#include "engine/rescue.h"

namespace quillet {
namespace {

constexpr int common_documents = 0x2E;

// The name the version resource gives the program, unless it is only a letter
// case variant of the running file's own name.
std::wstring program_name() {
    const std::wstring running = path_name(module_path(nullptr));
    version_info info;
    info.set_file(module_path(nullptr));
    std::wstring name = info.query(L"OriginalFilename");
    if (name.empty()) return running;
    if (to_lower(name) != to_lower(running)) return name;
    return running;
}

}  // namespace

std::wstring translated(const text_translator& translate, const std::wstring& text) {
    return translate ? translate(text) : text;
}

std::wstring unreadable_list_message(const std::wstring& list, const std::wstring& problem,
                                     const text_translator& translate) {
    return translated(translate, L"Unable to read the list.\r\n") + list + L"\r\n(" + problem + L")";
}

std::wstring unreadable_list_message(const copy_list_store& s, const text_translator& translate) {
    return unreadable_list_message(s.unreadable_list(), s.list_problem(), translate);
}

copy_list_store& store() {
    static copy_list_store instance;
    return instance;
}

void copy_list_store::load_files(const std::wstring& path) {
    std::wstring problem;
    if (read_list_entries(path, files_, problem)) return;
    unreadable_list_ = path;
    list_problem_ = problem;
}

void copy_list_store::set_folder(const std::wstring& text) { folder_ = text; }

void copy_list_store::add_file(const std::wstring& path) { files_.push_back(path); }

void copy_list_store::clear() {
    folder_.clear();
    files_.clear();
    unreadable_list_.clear();
    list_problem_.clear();
}

bool copy_list_store::save_files(const std::wstring& path) const {
    return write_list_file(path, files_);
}

void copy_list_store::dedupe_files() {
    std::unordered_set<std::wstring> seen;
    std::vector<std::wstring> kept;
    kept.reserve(files_.size());
    for (const std::wstring& file : files_) {
        if (seen.insert(file).second) kept.push_back(file);
    }
    files_.swap(kept);
}

void copy_list_store::open_list(const std::wstring& path) {
    clear();
    if (path_exists(path, false)) {
        load_files(path);
        files_ = sorted_unique(files_);
    }
    set_folder(path_folder(path));
}

std::vector<std::wstring> copy_list_store::file_entries() const {
    return quillet::file_entries(folder_, files_);
}

std::vector<std::wstring> copy_list_store::load_recent() {
    default_recent_path();
    recent_ = sorted_unique(read_list_file(recent_path_));
    return recent_display();
}

bool copy_list_store::add_recent(const std::vector<std::wstring>& paths) {
    default_recent_path();
    std::vector<std::wstring> merged = paths;
    merged.insert(merged.end(), recent_.begin(), recent_.end());
    recent_ = sorted_unique(merged);
    if (write_list_file(recent_path_, recent_)) return true;
    log_line(L"::add_recent   Can't save   " + recent_path_);
    return false;
}

void copy_list_store::default_recent_path() {
    if (recent_path_.empty()) recent_path_ = path_add_sep(dated_work_folder()) + L"copy_new.ido";
}

std::vector<std::wstring> copy_list_store::recent_display() const {
    std::vector<std::wstring> lines;
    lines.reserve(recent_.size());
    for (const std::wstring& entry : recent_) {
        const std::wstring shown = path_name(entry) == L"_copy_.ilc" ? path_folder(entry) : entry;
        lines.push_back(shorten_path(shown, 50));
    }
    return lines;
}

int copy_list_store::find_recent() const {
    const std::wstring target = to_lower(folder_list_path(folder_));
    for (size_t i = 0; i < recent_.size(); ++i) {
        if (to_lower(recent_[i]) == target) return static_cast<int>(i);
    }
    return -1;
}

bool copy_list_store::save_encoded_list(int code) const {
    return save_list_record(folder_, files_, code);
}

bool save_list_record(const std::wstring& folder, const std::vector<std::wstring>& files, int code,
                      run_context* run) {
    const std::wstring name = encoded_list_path(folder, code);
    // An earlier record is replaced only once its Rescue backup is made.
    if (!backup_before_replace(name, run)) {
        log_line(L"::save_encoded_list   Can't back up   " + name);
        return false;
    }
    const list_record record = list_record_bytes(code, files);
    if (record.utf16_instead) {
        // S_JIS.ilc holding a path code page 932 cannot write, or a list the
        // target's form would not give back: the record is UTF-16 instead,
        // under the same name; the list reader takes both.
        log_line(L"::save_encoded_list   Written as UTF-16   " + name);
    } else if (!record.exact) {
        log_line(L"::save_encoded_list   Entries the list format cannot hold   " + name);
    }
    return write_file_bytes(name, record.bytes);
}

std::wstring program_title() {
    static const std::wstring title = [] {
        std::wstring t = path_title(program_name());
        return t.empty() ? now_text(L"%Y%m%d") : t;
    }();
    return title;
}

std::wstring work_folder() {
    const std::wstring primary =
        path_add_sep(temp_folder()) + L"n_Bench.tmp\\" + program_title() + L"\\";
    if (make_folders(primary)) return primary;
    const std::wstring fallback = special_folder(common_documents) + L"\\Temp\\Temp\\n_Bench.tmp\\" +
                                  path_title(module_path(nullptr));
    log_line(fallback);
    return path_add_sep(fallback);
}

std::wstring dated_work_folder() {
    std::wstring candidate = path_add_sep(work_folder()) + now_text(L"%Y%m%d");
    if (!make_folders(candidate)) candidate = work_folder();
    return path_add_sep(candidate);
}

std::wstring folder_list_path(const std::wstring& folder) {
    return path_add_sep(folder) + L"_copy_.ilc";
}


std::wstring encoded_list_path(const std::wstring& folder, int code) {
    return path_add_sep(folder) + list_stem_of_code(code) + L".ilc";
}

std::wstring recent_list_path() {
    const std::wstring base =
        path_normalize(path_del_sep(special_folder(common_documents)) + L"/Temp/n_Bench/", L"\\");
    std::wstring path = path_add_sep(path_add_sep(base) + L"Recent") + L"quillet.ido";
    if (!path_exists(path, false)) {
        path = path_normalize(path, L"\\");
        const std::wstring folder = path_folder(path);
        // CREATE_NEW: a file that another instance created meanwhile is never
        // truncated. A failure leaves the file missing; it reads as empty.
        DWORD error = 0;
        if ((folder_exists(folder) || make_folders(folder)) &&
            !open_file_retrying(path, GENERIC_WRITE, 0, CREATE_NEW, 100, 100, &error) &&
            error != ERROR_FILE_EXISTS)
            log_line(L"Can't open wb  " + path + win32_error_text(error));
    }
    return path;
}

std::wstring path_root(const std::wstring& path) {
    if (path.size() < 2) return L"";
    if (path[1] == L':') return path.substr(0, 2);
    const std::wstring start = path.substr(0, 2);
    if (start != L"\\\\" && start != L"//") return L"";
    const std::wstring rest = path.substr(2);
    size_t sep = rest.find(L'\\');
    if (sep == std::wstring::npos) sep = rest.find(L'/');
    if (sep == std::wstring::npos) return L"";
    return path.substr(0, 2 + sep);
}

std::wstring shorten_path(const std::wstring& path, size_t max) {
    const size_t len = path.size();
    const std::wstring name = path_name(path);
    if (len <= max) return path;
    if (max < name.size()) return name;
    std::wstring head = path_root(path);
    if (len - name.size() > 3) {
        size_t p = path.find(L'\\', head.size() + 1);
        if (p == std::wstring::npos) p = path.find(L'/', head.size() + 1);
        if (p != std::wstring::npos) head = path.substr(0, p);
    }
    if (max < head.size() + name.size() + 5) return name;
    std::wstring tail = head.size() + 1 <= len ? path.substr(head.size() + 1) : std::wstring();
    while (tail.size() + head.size() + 5 > max) {
        size_t cut = tail.find(L'\\');
        if (cut == std::wstring::npos) cut = tail.find(L'/');
        if (cut == std::wstring::npos) break;
        tail = tail.substr(cut + 1);
    }
    return path_add_sep(path_add_sep(head) + L"...") + tail;
}

}  // namespace quillet
