#pragma once
#include <string>

namespace nb::platform {

// The per-machine settings store of the registry's HKEY_LOCAL_MACHINE. On Windows it is the
// registry itself; on Linux one INI file whose sections are key paths ("Software\Ploxa\Nb")
// and whose entries are string values, "/etc/nblauncher/machine.ini". On both, the
// environment variable NB_MACHINE_SETTINGS or a test can name such a file instead.
class MachineSettings {
public:
    // The settings file in use; empty when the settings live in the registry.
    static std::string Location();
    static void SetLocation(const std::string& path);  // empty: back to the default

    // Whether the key exists.
    static bool KeyExists(const std::string& key);
    // Creates the key; true when it exists afterwards.
    static bool CreateKey(const std::string& key);
    static bool ReadString(const std::string& key, const std::string& name, std::string& value);
    static bool WriteString(const std::string& key, const std::string& name, const std::string& value);
};

}  // namespace nb::platform
