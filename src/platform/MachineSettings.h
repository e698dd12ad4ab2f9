#pragma once
#include <string>

namespace nb::platform {

// The per-machine settings store that stands in for the registry under
// HKEY_LOCAL_MACHINE: one INI file whose sections are key paths ("Software\Ploxa\Nb")
// and whose entries are string values. Its location is "/etc/nblauncher/machine.ini"
// unless NB_MACHINE_SETTINGS names another file or a test sets one.
class MachineSettings {
public:
    static std::string Location();
    static void SetLocation(const std::string& path);  // empty: back to the default

    // Whether the key exists (the section is present in the store).
    static bool KeyExists(const std::string& key);
    // Creates the key; true when it exists afterwards.
    static bool CreateKey(const std::string& key);
    static bool ReadString(const std::string& key, const std::string& name, std::string& value);
    static bool WriteString(const std::string& key, const std::string& name, const std::string& value);
};

}  // namespace nb::platform
