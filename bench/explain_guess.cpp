// Explains the encoding detection of files: for each file named on the
// command line, the decision and every valid candidate with its score and
// its decoded text (as UTF-8). Used to study the detection corpus.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "text/guess.h"

namespace {

std::string utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(),
                                      int(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? n : 0);
    for (char& c : out) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    using namespace quillet;
    for (int a = 1; a < argc; ++a) {
        std::ifstream in(argv[a], std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        const code_guess g = guess_encoding(bytes.data(), bytes.size(), false);
        std::printf("%s: %d%s\n", utf8(argv[a]).c_str(), g.code, g.undecided ? " undecided" : "");
        for (size_t k = 0; k < g.candidates.size(); ++k) {
            std::vector<undecodable> first;
            std::wstring text;
            find_undecodable(bytes.data(), bytes.size(), g.candidates[k], first, &text);
            const double score = k < g.scores.size() ? g.scores[k] : 0.0;
            std::printf("  %2d %7.2f  %s\n", g.candidates[k], score, utf8(text).c_str());
        }
    }
    return 0;
}
