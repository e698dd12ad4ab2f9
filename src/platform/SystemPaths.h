#pragma once
#include <string>
#include <string_view>

// The operating-system primitives that the platform layer's shared logic builds on; one
// implementation per platform. Not for use outside src/platform.
namespace nb::platform::detail {

// The running program's full path as the system reports it.
bool ReadOwnExecutablePath(std::string& path);

// A path that names its place without reference to the current folder.
bool IsAbsolutePath(std::string_view path);

// Whether the path holds a folder separator of this platform.
bool HasFolderPart(std::string_view path);

// A regular file that this platform can start as a program.
bool IsExecutableFile(const std::string& path);

// The folders searched for a bare program name, and the separator between them.
std::string SearchPathList();
char SearchPathListSeparator();

// The platform's own store of per-machine settings (the registry), used when no settings
// file is named; null where the settings always live in a file.
class SystemSettingsStore {
public:
    virtual ~SystemSettingsStore() = default;
    virtual bool KeyExists(const std::string& key) = 0;
    virtual bool CreateKey(const std::string& key) = 0;
    virtual bool ReadString(const std::string& key, const std::string& name, std::string& value) = 0;
    virtual bool WriteString(const std::string& key, const std::string& name, const std::string& value) = 0;
};
SystemSettingsStore* SystemSettings();

// The per-machine settings file when no other location is set; empty with a system store.
std::string DefaultMachineSettingsFile();

}  // namespace nb::platform::detail
