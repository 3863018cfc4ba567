#include "run_fixture.h"

#include "base/log.h"

namespace run_test {

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
