// The settings of the external tools (the update check): integers and strings
// in their own INI file, Tool.ini in public documents\Temp\Tool\_setting.
// Integers are stored as unsigned decimal text.
#pragma once
#include <cstdint>
#include <string>

namespace quillet {

class tool_settings {
public:
    // Tool.ini in public documents\Temp\Tool\_setting (the folder is created).
    tool_settings();
    // Another INI file, given by its full path.
    explicit tool_settings(const std::wstring& ini_file);

    // The registry mode is chosen only by a program with a registry key, which
    // this one never has: every access goes to the INI file.
    void set_use_registry(bool flag) { use_registry_ = flag; }
    bool use_registry() const { return use_registry_; }
    bool open_section(const std::wstring& section);

    uint32_t get_dword(const std::wstring& section, const std::wstring& key, uint32_t def);
    uint64_t get_qword(const std::wstring& section, const std::wstring& key, uint64_t def);
    std::wstring get_string(const std::wstring& section, const std::wstring& key,
                            const std::wstring& def);
    bool set_dword(const std::wstring& section, const std::wstring& key, uint32_t value);
    bool set_qword(const std::wstring& section, const std::wstring& key, uint64_t value);
    bool set_string(const std::wstring& section, const std::wstring& key,
                    const std::wstring& value);

    // def unless path, section and key are all non-empty.
    std::wstring ini_get_text(const std::wstring& section, const std::wstring& key,
                              const std::wstring& def);
    // Writes the entry (an empty key deletes the whole section). A failed write
    // is reported on standard error and tried again up to 10 more times.
    bool ini_put_text(const std::wstring& section, const std::wstring& key,
                      const std::wstring& value);

    const std::wstring& name() const { return name_; }
    const std::wstring& path() const { return path_; }

private:
    bool use_registry_ = false;
    std::wstring name_ = L"Tool";
    std::wstring path_;
};

// The folder of Tool.ini: public documents\Temp\Tool\_setting.
std::wstring tool_settings_folder();

}  // namespace quillet
