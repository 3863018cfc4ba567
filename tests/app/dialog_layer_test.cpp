// The dialog layer on its own: the object bound at WM_INITDIALOG, commands
// routed to handlers, exceptions stopped at the dialog procedure, the control
// wrappers and the wait cursor.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/dialog.h"
#include "app/resource.h"
#include "app/main_window.h"

namespace {

// The About box template, with handlers that count and throw on request.
class probe_dialog : public quillet::dialog {
public:
    probe_dialog() : dialog(IDD_ABOUTBOX) {}
    int inits = 0, commands = 0, oks = 0;
    bool throw_on_command = false;
    HWND hwnd_at_init = nullptr;

protected:
    BOOL OnInitDialog() override {
        ++inits;
        hwnd_at_init = hwnd();
        return TRUE;
    }
    bool on_command(int id, int, HWND) override {
        if (id != 4321) return false;
        ++commands;
        if (throw_on_command) throw std::runtime_error("handler failed");
        return true;
    }
    void OnOK() override {
        ++oks;
        dialog::OnOK();
    }
};

}  // namespace

TEST(DialogLayer, BindsTheObjectAtInitAndRoutesCommands) {
    probe_dialog d;
    ASSERT_TRUE(d.create_modeless());
    EXPECT_EQ(d.inits, 1);
    EXPECT_EQ(d.hwnd_at_init, d.hwnd());
    EXPECT_FALSE(d.is_modal());
    EXPECT_NE(d.item(IDOK), nullptr);
    SendMessageW(d.hwnd(), WM_COMMAND, MAKEWPARAM(4321, BN_CLICKED), 0);
    EXPECT_EQ(d.commands, 1);
    // OK ends a modeless dialog by destroying its window.
    HWND h = d.hwnd();
    SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(d.oks, 1);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(d.hwnd(), nullptr);
}

TEST(DialogLayer, ExceptionsStopAtTheDialogProcedure) {
    probe_dialog d;
    ASSERT_TRUE(d.create_modeless());
    d.throw_on_command = true;
    LRESULT r = SendMessageW(d.hwnd(), WM_COMMAND, MAKEWPARAM(4321, BN_CLICKED), 0);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(d.commands, 1);
    EXPECT_TRUE(IsWindow(d.hwnd()));
}

TEST(DialogLayer, RegistersTheMainWindowOnlyWhenAsked) {
    {
        probe_dialog plain;
        ASSERT_TRUE(plain.create_modeless());
        EXPECT_EQ(quillet::main_window(), nullptr);
    }
    probe_dialog main;
    main.set_registers_main_window(true);
    ASSERT_TRUE(main.create_modeless());
    EXPECT_EQ(quillet::main_window(), main.hwnd());
    main.destroy();
    EXPECT_EQ(quillet::main_window(), nullptr);
}

TEST(DialogLayer, MissingTemplateFailsCleanly) {
    class missing : public quillet::dialog {
    public:
        missing() : dialog(4999) {}
    } d;
    EXPECT_FALSE(d.create_modeless());
    EXPECT_EQ(d.run_modal(nullptr), -1);
    EXPECT_EQ(d.hwnd(), nullptr);
}

TEST(DialogLayer, WaitCursorNests) {
    EXPECT_FALSE(quillet::wait_cursor::active());
    {
        quillet::wait_cursor outer;
        EXPECT_TRUE(quillet::wait_cursor::active());
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
        {
            quillet::wait_cursor inner;
            EXPECT_TRUE(quillet::wait_cursor::active());
        }
        EXPECT_TRUE(quillet::wait_cursor::active());
    }
    EXPECT_FALSE(quillet::wait_cursor::active());
}

TEST(DialogLayer, ControlWrappersOnAWindowlessHandleDoNothing) {
    quillet::list_box list;
    quillet::combo_box combo;
    quillet::edit_box edit;
    EXPECT_FALSE(static_cast<bool>(list));
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.cur_sel(), -1);
    EXPECT_EQ(list.text(0), L"");
    EXPECT_EQ(combo.cur_sel(), -1);
    EXPECT_EQ(combo.text(0), L"");
    EXPECT_EQ(edit.text(), L"");
    edit.set_text(L"x");
    list.reset();
}
