#include "PatchFileList.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "update/ZipArchive.h"

namespace fs = std::filesystem;

namespace nb::mkpatch {
namespace {

constexpr const char* kControlMember = "ncheck_v.txt";

bool StatFile(const std::string& path, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0;
}

// Walks a folder; calls found(name, path, stat) for every regular file (links followed).
template <typename Found>
bool Walk(const std::string& folder, std::vector<std::string>& warnings, std::string& error, Found found) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        error = "not a folder: " + folder;
        return false;
    }
    const fs::path root(folder);
    fs::recursive_directory_iterator it(root, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        const std::string name = path.lexically_relative(root).generic_string();
        struct stat st {};
        if (!StatFile(path.string(), st)) {
            warnings.push_back("skipped (broken link or unreadable): " + name);
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            if (it->is_symlink(ec)) warnings.push_back("skipped (link to a folder): " + name);
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            warnings.push_back("skipped (not a regular file): " + name);
            continue;
        }
        found(name, path.string(), st);
    }
    if (ec) {
        error = "cannot read " + folder + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

bool PatchFileList::CheckName(const std::string& name) {
    // The launcher reads a backslash as a folder separator and refuses longer names.
    if (name.find('\\') != std::string::npos) {
        m_error = "a file name holds a backslash, which the launcher reads as a folder separator: " + name;
        return false;
    }
    if (name.size() >= kZipMaxPath) {
        m_error = "a file name is longer than the launcher accepts (" + std::to_string(kZipMaxPath - 1) +
                  " bytes): " + name;
        return false;
    }
    if (name == kControlMember) {
        m_error = std::string("the top-level name ") + kControlMember +
                  " is reserved for the patch's control member";
        return false;
    }
    return true;
}

bool PatchFileList::Collect(const std::string& newFolder, const std::string& oldFolder) {
    m_entries.clear();
    m_warnings.clear();
    m_removed = 0;
    bool namesOk = true;
    bool walked = Walk(newFolder, m_warnings, m_error,
                       [&](const std::string& name, const std::string& path, const struct stat& st) {
                           if (!namesOk) return;
                           if (!CheckName(name)) {
                               namesOk = false;
                               return;
                           }
                           PatchEntry entry;
                           entry.name = name;
                           entry.newPath = path;
                           entry.size = static_cast<uint64_t>(st.st_size);
                           entry.mode = st.st_mode & 0777;
                           entry.mtime = st.st_mtime;
                           m_entries.push_back(std::move(entry));
                       });
    if (!walked || !namesOk) return false;
    std::sort(m_entries.begin(), m_entries.end(),
              [](const PatchEntry& a, const PatchEntry& b) { return a.name < b.name; });
    if (oldFolder.empty()) return true;

    std::set<std::string> newNames;
    for (const PatchEntry& e : m_entries) newNames.insert(e.name);
    std::vector<std::string> oldWarnings;
    walked = Walk(oldFolder, oldWarnings, m_error,
                  [&](const std::string& name, const std::string&, const struct stat&) {
                      if (!newNames.count(name)) ++m_removed;
                  });
    if (!walked) return false;

    const fs::path oldRoot(oldFolder);
    for (PatchEntry& e : m_entries) {
        const std::string oldPath = (oldRoot / e.name).string();
        struct stat st {};
        if (StatFile(oldPath, st) && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) == e.size &&
            (st.st_mode & 0777) == e.mode)
            e.oldPath = oldPath;
    }
    return true;
}

}  // namespace nb::mkpatch
