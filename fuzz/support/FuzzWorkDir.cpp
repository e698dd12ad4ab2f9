#include "FuzzWorkDir.h"

#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace nbfuzz {
namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

std::string g_root;

void RemoveRoot() {
    if (!g_root.empty()) RemoveTree(g_root);
}

}  // namespace

FuzzWorkDir::FuzzWorkDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/nbfuzz.XXXXXX";
    if (!::mkdtemp(pattern.data()) || ::chdir(pattern.c_str()) != 0) {
        std::perror("fuzz work folder");
        std::abort();
    }
    m_path = pattern + "/";
    g_root = pattern;
    std::atexit(RemoveRoot);
}

const FuzzWorkDir& FuzzWorkDir::Enter() {
    static FuzzWorkDir dir;
    return dir;
}

void FuzzWorkDir::ForgetLog() {
    ::unlink((Enter().Path() + "log1.txt").c_str());
}

void RemoveTree(const std::string& path) {
    // Depth first, physical walk: a link is removed, never followed.
    ::nftw(path.c_str(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS);
}

void WriteWholeFile(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

}  // namespace nbfuzz
