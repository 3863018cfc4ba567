// Move-only owners of the Win32 handles the program holds, each with its own
// invalid value, so every handle is closed exactly once on every path.
#pragma once
#include <windows.h>

#include <utility>

namespace quillet {

template <typename Traits>
class unique_owner {
public:
    using handle_type = typename Traits::type;
    unique_owner() = default;
    explicit unique_owner(handle_type h) : h_(h) {}
    ~unique_owner() { reset(); }
    unique_owner(const unique_owner&) = delete;
    unique_owner& operator=(const unique_owner&) = delete;
    unique_owner(unique_owner&& o) noexcept : h_(o.release()) {}
    unique_owner& operator=(unique_owner&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    handle_type get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::invalid(); }
    handle_type release() { return std::exchange(h_, Traits::invalid()); }
    void reset(handle_type h = Traits::invalid()) {
        if (h_ != Traits::invalid()) Traits::close(h_);
        h_ = h;
    }
    handle_type* put() {
        reset();
        return &h_;
    }

private:
    handle_type h_ = Traits::invalid();
};

struct file_traits {  // CreateFileW: INVALID_HANDLE_VALUE on failure
    using type = HANDLE;
    static type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(type h) { CloseHandle(h); }
};
struct handle_traits {  // processes, events, threads: null on failure
    using type = HANDLE;
    static type invalid() { return nullptr; }
    static void close(type h) { CloseHandle(h); }
};
struct find_traits {  // FindFirstFileW: INVALID_HANDLE_VALUE on failure
    using type = HANDLE;
    static type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(type h) { FindClose(h); }
};
struct reg_traits {
    using type = HKEY;
    static type invalid() { return nullptr; }
    static void close(type h) { RegCloseKey(h); }
};
struct module_traits {  // LoadLibraryW
    using type = HMODULE;
    static type invalid() { return nullptr; }
    static void close(type h) { FreeLibrary(h); }
};
struct global_traits {  // GlobalAlloc
    using type = HGLOBAL;
    static type invalid() { return nullptr; }
    static void close(type h) { GlobalFree(h); }
};

using unique_hfile = unique_owner<file_traits>;
using unique_handle = unique_owner<handle_traits>;
using unique_hfind = unique_owner<find_traits>;
using unique_hkey = unique_owner<reg_traits>;
using unique_hmodule = unique_owner<module_traits>;
using unique_hglobal = unique_owner<global_traits>;

}  // namespace quillet
