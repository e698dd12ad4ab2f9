#pragma once
#include <string>
#include <vector>

namespace nb::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScopedTempDir {
public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    // The folder, ending in '/'.
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

// Makes a folder the working folder for a scope (the launcher's files are relative to it).
class ScopedChdir {
public:
    explicit ScopedChdir(const std::string& dir);
    ~ScopedChdir();
    ScopedChdir(const ScopedChdir&) = delete;
    ScopedChdir& operator=(const ScopedChdir&) = delete;

private:
    std::string m_previous;
};

// The names in a folder, sorted; names in code page 936 on every platform, like the launcher's.
std::vector<std::string> FolderEntries(const std::string& folder);

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);  // empty when missing
bool Exists(const std::string& path);

// Fixtures under tests/data and built programs under the build folder.
std::string DataPath(const std::string& name);
std::string BuildPath(const std::string& name);

}  // namespace nb::test
