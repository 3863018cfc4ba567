// The UI text table: whole-text, case-sensitive lookups through code page 932,
// and its application to a dialog's windows.
#include <gtest/gtest.h>

#include "app/ui_text.h"

using quillet::ui_text;

class UiText : public ::testing::Test {
protected:
    void SetUp() override {
        quillet::clear_ui_texts();
        quillet::add_program_ui_texts();
    }
};

TEST_F(UiText, TranslatesTheMessagesOnEverySystem) {
    EXPECT_EQ(ui_text("Did not update.\r\n"), L"更新しませんでした．\r\n");
    EXPECT_EQ(ui_text("Unable to save.\r\n"), L"保存できません．\r\n");
    EXPECT_EQ(ui_text("Not a text file.\r\n"), L"テキストファイルではありません．\r\n");
    EXPECT_EQ(ui_text("Unable to read the list.\r\n"), L"リストを読めません．\r\n");
    EXPECT_EQ(ui_text("Kept unchanged.\r\n"), L"変換せずにコピーしました．\r\n");
    EXPECT_EQ(ui_text("quillet"), L"文字コードを変更してコピー");
    EXPECT_EQ(ui_text("Quillet"), L"変換してコピー");
    EXPECT_EQ(ui_text("Explorer &src"), L"元のフォルダを開く(&S)");
}

TEST_F(UiText, MatchesWholeTextsOnly) {
    EXPECT_EQ(ui_text("Did not update."), L"Did not update.");
    EXPECT_EQ(ui_text("Did not update.\r\n "), L"Did not update.\r\n ");
    EXPECT_EQ(ui_text(""), L"");
}

TEST_F(UiText, IsCaseSensitive) {
    EXPECT_EQ(ui_text("&quit"), L"&quit");
    EXPECT_EQ(ui_text("QUILLET"), L"QUILLET");
}

TEST_F(UiText, ExplorerMapsToItself) { EXPECT_EQ(ui_text("&Explorer"), L"&Explorer"); }

TEST_F(UiText, QuitAndExitShareTheirText) {
    EXPECT_EQ(ui_text("&Quit"), L"終了(&X)");
    EXPECT_EQ(ui_text("E&xit"), L"終了(&X)");
    EXPECT_EQ(ui_text("Cancel"), L"キャンセル");
}

TEST_F(UiText, EmptyTableGivesTheKeyWidenedWithCodePage932) {
    quillet::clear_ui_texts();
    EXPECT_EQ(ui_text("Did not update.\r\n"), L"Did not update.\r\n");
    // 0x82 0xA0 is "あ" in code page 932, whatever the system's code page.
    EXPECT_EQ(ui_text("\x82\xA0"), L"あ");
}

TEST_F(UiText, FirstOfDuplicateKeysWins) {
    quillet::add_ui_text("quillet", L"second");
    EXPECT_EQ(ui_text("quillet"), L"文字コードを変更してコピー");
    quillet::add_ui_text("added", L"追加");
    EXPECT_EQ(ui_text("added"), L"追加");
}

TEST_F(UiText, WideLookupLeavesTextsCodePage932CannotHold) {
    EXPECT_EQ(quillet::ui_text_of(L"Did not update.\r\n"), L"更新しませんでした．\r\n");
    EXPECT_EQ(quillet::ui_text_of(L"Quillét"), L"Quillét");
    EXPECT_EQ(quillet::ui_text_of(L"日本語"), L"日本語");
    EXPECT_EQ(quillet::ui_translator()(L"Unable to save.\r\n"), L"保存できません．\r\n");
}

namespace {

// A window with children, as a dialog would have them.
struct window_tree {
    HWND parent = nullptr;
    HWND child(int i) const { return children[i]; }
    HWND children[4] = {};
    explicit window_tree(const wchar_t* caption, const wchar_t* const texts[4]) {
        parent = CreateWindowExW(0, L"STATIC", caption, WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
        for (int i = 0; i < 4; ++i)
            children[i] = CreateWindowExW(0, L"STATIC", texts[i], WS_CHILD, 0, 0, 10, 10, parent,
                                          nullptr, nullptr, nullptr);
    }
    ~window_tree() { DestroyWindow(parent); }
    static std::wstring text(HWND h) {
        wchar_t buf[256] = {};
        GetWindowTextW(h, buf, 256);
        return buf;
    }
};

}  // namespace

TEST_F(UiText, ApplyTranslatesCaptionAndChildren) {
    const wchar_t* const texts[4] = {L"&Quit", L"Edit i&do", L"unknown", L"Quillét"};
    window_tree tree(L"quillet", texts);
    ASSERT_NE(tree.parent, nullptr);
    quillet::apply_ui_texts(tree.parent);
    EXPECT_EQ(window_tree::text(tree.parent), L"文字コードを変更してコピー");
    EXPECT_EQ(window_tree::text(tree.child(0)), L"終了(&X)");
    EXPECT_EQ(window_tree::text(tree.child(1)), L"i&do 編集");
    EXPECT_EQ(window_tree::text(tree.child(2)), L"unknown");
    // A text code page 932 cannot hold is never damaged by the round trip.
    EXPECT_EQ(window_tree::text(tree.child(3)), L"Quillét");
}

TEST_F(UiText, ApplyKeepsAnUntranslatedCaption) {
    const wchar_t* const texts[4] = {L"", L"OK", L"Cancel", L"E&xit"};
    window_tree tree(L"Ωmega", texts);
    quillet::apply_ui_texts(tree.parent);
    EXPECT_EQ(window_tree::text(tree.parent), L"Ωmega");
    EXPECT_EQ(window_tree::text(tree.child(0)), L"");
    EXPECT_EQ(window_tree::text(tree.child(1)), L"OK");
    EXPECT_EQ(window_tree::text(tree.child(2)), L"キャンセル");
    EXPECT_EQ(window_tree::text(tree.child(3)), L"終了(&X)");
}

TEST_F(UiText, EngineReasonsAreTranslatedByPatternRowsKeepingNamesAndNumbers) {
    using quillet::ui_text_matched;
    EXPECT_EQ(ui_text_matched(L"3 character(s) that Shift_JIS cannot hold"),
              L"Shift_JIS で表せない文字が 3 個あります");
    // A piece is translated too when a pattern row matches it whole.
    EXPECT_EQ(ui_text_matched(L"encoding undecided between Shift_JIS (cut short) and EUC-JP"),
              L"文字コードを決められません（Shift_JIS（途中で切れています） か EUC-JP）");
    EXPECT_EQ(ui_text_matched(L"same destination name as C:\\a (1)\\x.txt"),
              L"C:\\a (1)\\x.txt とコピー先の名前が同じです");
    // Whole keys first; a text no row matches stays English.
    EXPECT_EQ(ui_text_matched(L"destination is newer"), L"コピー先のほうが新しいファイルです");
    EXPECT_EQ(ui_text_matched(L"a reason of tomorrow (42)"), L"a reason of tomorrow (42)");
}
