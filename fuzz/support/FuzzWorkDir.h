#pragma once
#include <string>

namespace nbfuzz {

// The fuzz targets' working folder: a fresh folder under the system's temporary folder,
// made the current folder for the whole run and removed when the process ends. Every file
// the launcher code writes (log1.txt, downloads, replies, extracted items) lands in it.
class FuzzWorkDir {
public:
    // Made once per process; later calls return the same folder.
    static const FuzzWorkDir& Enter();

    // The folder, ending in '/'.
    const std::string& Path() const { return m_path; }

    // Removes the trace log, which would otherwise grow by every run.
    static void ForgetLog();

private:
    FuzzWorkDir();
    std::string m_path;
};

// Removes a folder and everything in it without following symbolic links.
void RemoveTree(const std::string& path);

// Writes a whole file; aborts when it cannot (the harness itself is broken then).
void WriteWholeFile(const std::string& path, const void* data, size_t size);

}  // namespace nbfuzz
