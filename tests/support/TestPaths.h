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
// A text file the launcher writes (the trace log), its line ends as "\n" whatever the
// system writes for them.
std::string ReadTextFile(const std::string& path);
bool Exists(const std::string& path);
// Waits for a file to appear (another process writes it); false after a minute, a hang
// guard rather than a timing check.
bool WaitForFile(const std::string& path);

// Removes a file; no error when there is none.
void RemoveFile(const std::string& path);

// Sets a file's Unix permission bits; where the system has none, a mode without the owner's
// write bit makes the file read-only and any other mode writable.
void SetFileMode(const std::string& path, unsigned mode);

// Holds a file open for writing the way a second download of it would, so that nobody else
// may write it while the object lives; Held() is false when the file could not be held.
class ScopedWriteHold {
public:
    explicit ScopedWriteHold(const std::string& path);
    ~ScopedWriteHold();
    ScopedWriteHold(const ScopedWriteHold&) = delete;
    ScopedWriteHold& operator=(const ScopedWriteHold&) = delete;
    bool Held() const { return m_handle != nullptr; }

private:
    void* m_handle = nullptr;
};

// Places at `path` a program that writes the arguments it is started with, one per line,
// to the file `record` beside itself (renamed into place, so a reader never sees half of
// it), and so does every copy of it: a shell script where scripts run, the test child
// program elsewhere.
void InstallArgumentRecorder(const std::string& path, const std::string& record);

// prefix followed by the number, e.g. "m14". Written out of line because GCC 12 at -O3
// reports a false overlap (-Wrestrict) for "literal" + std::string in many inlined places.
std::string NumberedText(const char* prefix, long long n);

// Fixtures under tests/data and built programs under the build folder.
std::string DataPath(const std::string& name);
std::string BuildPath(const std::string& name);

}  // namespace nb::test
