// The UI text table and its application to a dialog's windows.
#include "app/ui_text.h"

#include <cwctype>
#include <vector>

#include "app/dialog.h"
#include "app/run_report.h"

namespace quillet {

namespace {

// One row of the table: the English key and its Japanese text. The table has
// room for further languages in its design, but only Japanese is ever filled,
// so only that column is kept.
struct ui_text_row {
    std::wstring key;
    std::wstring ja;
};

// Created on first use (by start-up or by the first lookup) and destroyed at
// process exit.
std::vector<ui_text_row>& table() {
    static std::vector<ui_text_row> rows;
    return rows;
}

// Keys are narrow texts of code page 932, whatever the system's code page.
std::wstring widen_932(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string narrow_932(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), &narrow[0], n, nullptr,
                        nullptr);
    return narrow;
}

// The translation of a window text, or false when it has none. A text that
// does not survive the trip through code page 932 unchanged is never looked
// up: its narrowed form could match a key it does not equal (a best-fit "é"
// becomes "e"), and setting the widened form back would damage the text.
bool translate_window_text(const std::wstring& text, std::wstring& translated) {
    std::string narrow = narrow_932(text);
    if (widen_932(narrow) != text) return false;
    std::wstring wide_key = widen_932(narrow);
    for (const ui_text_row& row : table()) {
        if (row.key == wide_key) {
            translated = row.ja;
            return true;
        }
    }
    return false;
}

// A "%1" ... "%9" at key[k]: the piece's number from 0, else -1.
int piece_at(const std::wstring& key, size_t k) {
    if (key[k] != L'%' || k + 1 >= key.size() || key[k + 1] < L'1' || key[k + 1] > L'9') return -1;
    return key[k + 1] - L'1';
}

// Matches text from t against key from k; each piece takes as little text as
// lets the rest match.
bool match_from(const std::wstring& key, size_t k, const std::wstring& text, size_t t,
                std::vector<std::wstring>& pieces) {
    if (k == key.size()) return t == text.size();
    const int piece = piece_at(key, k);
    if (piece < 0)
        return t < text.size() && key[k] == text[t] && match_from(key, k + 1, text, t + 1, pieces);
    if (pieces.size() <= static_cast<size_t>(piece)) pieces.resize(static_cast<size_t>(piece) + 1);
    for (size_t end = t + 1; end <= text.size(); ++end) {
        pieces[static_cast<size_t>(piece)] = text.substr(t, end - t);
        if (match_from(key, k + 2, text, end, pieces)) return true;
    }
    return false;
}

// A key that holds pieces and words: rows such as "%1 (%2)", which only lay
// pieces out, would match nearly any text and are never matched.
bool is_pattern(const std::wstring& key) {
    bool pieces = false, words = false;
    for (size_t k = 0; k < key.size(); ++k) {
        if (piece_at(key, k) >= 0) {
            pieces = true;
            ++k;
        } else if (std::iswalpha(static_cast<wint_t>(key[k]))) {
            words = true;
        }
    }
    return pieces && words;
}

std::wstring filled(const std::wstring& ja, const std::vector<std::wstring>& pieces) {
    std::wstring out;
    for (size_t k = 0; k < ja.size(); ++k) {
        const int piece = piece_at(ja, k);
        if (piece < 0) {
            out += ja[k];
            continue;
        }
        if (static_cast<size_t>(piece) < pieces.size()) out += pieces[static_cast<size_t>(piece)];
        ++k;
    }
    return out;
}

// ui_text_matched; the pieces of a match go through the pattern rows alone
// (a name is never taken for a whole key), `depth` levels deep.
std::wstring matched(const std::wstring& text, int depth, bool whole_keys) {
    if (whole_keys)
        for (const ui_text_row& row : table())
            if (row.key == text) return row.ja;
    for (const ui_text_row& row : table()) {
        std::vector<std::wstring> pieces;
        if (!is_pattern(row.key) || !match_from(row.key, 0, text, 0, pieces)) continue;
        if (depth > 0)
            for (std::wstring& piece : pieces) piece = matched(piece, depth - 1, false);
        return filled(row.ja, pieces);
    }
    return text;
}

}  // namespace

void add_ui_text(const std::string& key, const std::wstring& ja) {
    table().push_back(ui_text_row{widen_932(key), ja});
}

std::wstring ui_text(const std::string& key) {
    std::wstring wide_key = widen_932(key);
    for (const ui_text_row& row : table()) {
        if (row.key == wide_key) return row.ja;
    }
    return wide_key;
}

std::wstring ui_text_of(const std::wstring& key) {
    std::wstring translated;
    return translate_window_text(key, translated) ? translated : key;
}

std::wstring ui_text_with(const std::string& key, const std::vector<std::wstring>& args) {
    return filled(ui_text(key), args);
}

std::wstring ui_text_matched(const std::wstring& text) { return matched(text, 1, true); }

std::function<std::wstring(const std::wstring&)> ui_translator() {
    return [](const std::wstring& key) { return ui_text_of(key); };
}

void add_program_ui_texts() {
    add_ui_text("quillet", L"文字コードを変更してコピー");
    add_ui_text("Quillet", L"変換してコピー");
    add_ui_text("&Quit", L"終了(&X)");
    add_ui_text("Cancel", L"キャンセル");
    add_ui_text("E&xit", L"終了(&X)");
    add_ui_text("Unable to save.\r\n", L"保存できません．\r\n");
    add_ui_text("Not a text file.\r\n", L"テキストファイルではありません．\r\n");
    add_ui_text("Did not update.\r\n", L"更新しませんでした．\r\n");
    // The run's own messages beyond those above: a list that could not be
    // read, the text files copied as they were instead of converted, the
    // files whose declared encoding their bytes are not in, and the entries
    // left alone for a file name an earlier entry has.
    add_ui_text("Unable to read the list.\r\n", L"リストを読めません．\r\n");
    add_ui_text("Kept unchanged.\r\n", L"変換せずにコピーしました．\r\n");
    add_ui_text("Drop a folder, a list file (.ilc) or text files here.",
                L"ここにフォルダ（コピー先。中の _copy_.ilc を開きます）、リストファイル（.ilc）、"
                L"またはテキストファイルをドロップしてください。");
    add_ui_text("The lists you open are kept here.", L"開いたリストがここに残ります。");
    add_ui_text("Drop a folder, a list file (.ilc) or text files onto the window first.\r\n",
                L"コピーするファイルがありません．\r\n"
                L"フォルダ、リストファイル（.ilc）またはテキストファイルを、先にこのウィンドウへ"
                L"ドロップしてください．\r\n");
    add_ui_text("Declared encoding differs.\r\n", L"宣言された文字コードが中身と違います．\r\n");
    add_ui_text("Same file name.\r\n", L"同じファイル名です．\r\n");
    add_ui_text("&Reload ido", L"ido 再読込(&R)");
    add_ui_text("Edit i&do", L"i&do 編集");
    add_ui_text("Edit i&lc", L"i&lc 編集");
    add_ui_text("&Explorer", L"&Explorer");
    add_ui_text("Explorer &src", L"元のフォルダを開く(&S)");
    add_run_report_ui_texts();
}

size_t ui_text_count() { return table().size(); }

void clear_ui_texts() { table().clear(); }

void apply_ui_texts(HWND dialog) {
    if (!dialog) return;
    // The caption is always set again, translated or not.
    std::wstring caption = window_text(dialog);
    std::wstring translated;
    if (!translate_window_text(caption, translated)) translated = caption;
    SetWindowTextW(dialog, translated.c_str());

    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::wstring text = window_text(child);
        if (text.empty()) continue;
        if (translate_window_text(text, translated) && translated != text)
            SetWindowTextW(child, translated.c_str());
    }
}

}  // namespace quillet
