#include "base/diagnostic.h"

#include <cstdio>

#include "base/wide_text.h"

namespace quillet {

void error_note(const std::wstring& text) {
    // Narrowed here: the runtime's wide output would drop every character
    // outside the "C" locale.
    const std::vector<uint8_t> bytes = wide_to_utf8(text + L"\n");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

}  // namespace quillet
