#include "run_fixture.h"

#include "base/paths.h"
#include "engine/dest_name.h"
#include "engine/entry.h"
#include "engine/run_context.h"

#include "base/log.h"

namespace run_test {

bool convert_one(int code, const std::wstring& src, const std::wstring& dest_folder) {
    const quillet::dest_choice choice = quillet::destination_of(quillet::path_add_sep(dest_folder), src);
    if (!choice.ok()) return false;
    quillet::run_shared shared({src});
    quillet::run_context run(shared);
    return quillet::process_entry(run, code, src, choice.path).done();
}

std::wstring log_line_with(const std::wstring& marker) {
    return testing_support::last_line_with(quillet::dump_file_path(), marker);
}

std::wstring fixture::rescue_folder_of(const std::wstring& folder) const {
    std::wstring mirror;
    for (wchar_t c : folder) {
        if (c != L':') mirror.push_back(c);
    }
    while (!mirror.empty() && mirror.back() == L'\\') mirror.pop_back();
    return scratch.path() + L"tmp\\Rescue\\" + mirror + L"\\";
}

}  // namespace run_test
