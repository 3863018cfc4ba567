// A small dialog layer of our own: a dialog object bound to a resource
// template, run modally or created modeless, with its messages routed to
// virtual handlers; thin wrappers of the list box, combo box and edit
// controls; and the wait cursor shown while a handler works.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace quillet {

// One dialog window made from a template of this program's resources. The
// object pointer is stored with the window at WM_INITDIALOG; from then on the
// dialog procedure hands each message to handle_message(). Nothing thrown by
// a handler leaves the dialog procedure: it is caught and logged there.
class dialog {
public:
    explicit dialog(int template_id);
    virtual ~dialog();
    dialog(const dialog&) = delete;
    dialog& operator=(const dialog&) = delete;

    // Runs the dialog modally; returns the value given to end(), or -1 when
    // the template cannot be loaded.
    INT_PTR run_modal(HWND parent = nullptr);
    // Creates the dialog modeless (tests, embedded use); false on failure.
    // The window is not shown; destroy() or the object's destruction ends it.
    bool create_modeless(HWND parent = nullptr);
    void destroy();

    HWND hwnd() const { return hwnd_; }
    HWND item(int id) const { return hwnd_ ? GetDlgItem(hwnd_, id) : nullptr; }
    bool is_modal() const { return modal_; }

    // Ends the dialog: EndDialog when modal, DestroyWindow when modeless.
    void end(INT_PTR result);

    // Makes this dialog the program's main window (set_main_window) while it
    // exists; set before create/run.
    void set_registers_main_window(bool on) { registers_main_window_ = on; }

protected:
    // The message switch. Returns true when the message was handled, with
    // the dialog procedure's result in `result`; false leaves the message to
    // the system's default dialog processing.
    virtual bool handle_message(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result);
    // WM_COMMAND of a control or menu; true when handled.
    virtual bool on_command(int id, int code, HWND control);

    virtual BOOL OnInitDialog();
    // Enter on the default button: ends the dialog with IDOK.
    virtual void OnOK();
    // Escape, the close box or the cancel button: ends the dialog with IDCANCEL.
    virtual void OnCancel();

private:
    static INT_PTR CALLBACK dialog_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR dispatch(UINT msg, WPARAM wp, LPARAM lp);

    int template_id_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    bool registers_main_window_ = false;
};

// Thin wrappers of a child control's window handle; each call is one message.
class list_box {
public:
    list_box() = default;
    explicit list_box(HWND h) : h_(h) {}
    HWND hwnd() const { return h_; }
    explicit operator bool() const { return h_ && IsWindow(h_); }
    int count() const;
    int cur_sel() const;  // -1 when nothing is selected
    bool set_cur_sel(int index) const;
    void reset() const;
    int add(const std::wstring& text) const;
    std::wstring text(int index) const;
    std::vector<std::wstring> texts() const;
    void set_horizontal_extent(int pixels) const;
    int horizontal_extent() const;

private:
    HWND h_ = nullptr;
};

class combo_box {
public:
    combo_box() = default;
    explicit combo_box(HWND h) : h_(h) {}
    HWND hwnd() const { return h_; }
    explicit operator bool() const { return h_ && IsWindow(h_); }
    int count() const;
    int cur_sel() const;  // -1 when nothing is selected
    bool set_cur_sel(int index) const;
    int add(const std::wstring& text) const;
    // Adds an item that carries data (CB_SETITEMDATA); data(index) gives it back.
    int add(const std::wstring& text, LPARAM data) const;
    LPARAM data(int index) const;
    std::wstring text(int index) const;

private:
    HWND h_ = nullptr;
};

class edit_box {
public:
    edit_box() = default;
    explicit edit_box(HWND h) : h_(h) {}
    HWND hwnd() const { return h_; }
    explicit operator bool() const { return h_ && IsWindow(h_); }
    std::wstring text() const;
    void set_text(const std::wstring& text) const;
    void set_sel(int start, int end) const;
    void scroll_caret() const;

private:
    HWND h_ = nullptr;
};

// The whole text of a window.
std::wstring window_text(HWND h);

// Shows the busy cursor from construction to destruction. Nested waits keep
// it until the outermost ends; dialogs of this layer answer WM_SETCURSOR
// with it meanwhile, so moving the mouse does not bring the arrow back.
class wait_cursor {
public:
    wait_cursor();
    ~wait_cursor();
    wait_cursor(const wait_cursor&) = delete;
    wait_cursor& operator=(const wait_cursor&) = delete;
    // True while any wait_cursor lives.
    static bool active();

private:
    HCURSOR previous_;
};

// Holds a flag set for the life of a scope: a handler at work.
class busy_flag {
public:
    explicit busy_flag(bool& flag) : flag_(flag) { flag_ = true; }
    ~busy_flag() { flag_ = false; }
    busy_flag(const busy_flag&) = delete;
    busy_flag& operator=(const busy_flag&) = delete;

private:
    bool& flag_;
};

}  // namespace quillet
