// The patch archive reader: any bytes as an archive, every item's information, and every
// item extracted under its sanitised name into a fresh extraction root. Nothing may land
// outside that root, and no symbolic link may appear inside it.
// NB_FUZZ_NEEDS: src/update/ZipArchive.cpp
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "FuzzWorkDir.h"
#include "update/ZipArchive.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "zip_fuzzer: %s\n", what);
        std::abort();
    }
}

// The extraction root sits three folders deep, so that a step out of it of one, two or
// three levels lands in a folder whose content is known.
struct Layout {
    std::string work;  // holds the archive and "outer"
    std::string archive;
    std::string outer;   // work + "outer/"
    std::string middle;  // outer + "middle/"
    std::string inner;   // middle + "inner/"
    std::string root;    // inner + "root/"
};

const Layout& Paths() {
    static const Layout layout = [] {
        Layout l;
        l.work = nbfuzz::FuzzWorkDir::Enter().Path();
        l.archive = l.work + "patch.nbupd";
        l.outer = l.work + "outer/";
        l.middle = l.outer + "middle/";
        l.inner = l.middle + "inner/";
        l.root = l.inner + "root/";
        return l;
    }();
    return layout;
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") names.insert(name);
        }
        ::closedir(d);
    }
    return names;
}

void CheckNoLinks(const std::string& folder, int depth) {
    Check(depth < 200, "folders nested beyond any item name");
    for (const std::string& name : Entries(folder)) {
        const std::string path = folder + name;
        struct stat st {};
        Check(::lstat(path.c_str(), &st) == 0, "entry vanished");
        Check(!S_ISLNK(st.st_mode), "a symbolic link was extracted");
        Check(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode), "something other than a file or folder");
        Check((st.st_mode & (S_ISUID | S_ISGID)) == 0, "a set-id file was extracted");
        if (S_ISDIR(st.st_mode)) CheckNoLinks(path + "/", depth + 1);
    }
}

bool IsAbsolute(const std::string& name) {
    return (!name.empty() && (name[0] == '/' || name[0] == '\\')) || (name.size() >= 2 && name[1] == ':');
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const Layout& l = Paths();
    ::mkdir(l.outer.c_str(), 0755);
    ::mkdir(l.middle.c_str(), 0755);
    ::mkdir(l.inner.c_str(), 0755);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Layout& l = Paths();
    nbfuzz::WriteWholeFile(l.archive, data, size);
    Check(::mkdir(l.root.c_str(), 0755) == 0, "extraction root left from an earlier run");
    Check(::chdir(l.root.c_str()) == 0, "cannot enter the extraction root");

    if (auto archive = nb::ZipArchive::Open(l.archive)) {
        nb::ZipItemInfo info;
        Check(archive->GetItemInfo(-1, info) == nb::ZipResult::kOk, "count refused");
        Check(info.name.empty() && info.attributes == 0 && info.size == 0, "count record not empty");
        const int32_t count = info.index;
        Check(count >= 0, "negative count");
        Check(archive->GetItemInfo(count, info) == nb::ZipResult::kBadArgument, "index past the end taken");
        Check(archive->ExtractItem(-1, "x") == nb::ZipResult::kBadArgument, "index -1 extracted");

        // A reader that claims more items than the file can hold fails early on each.
        const int32_t limit = count < 256 ? count : 256;
        for (int32_t i = 0; i < limit; ++i) {
            if (archive->GetItemInfo(i, info) != nb::ZipResult::kOk) continue;
            Check(info.index == i, "record of another item");
            Check(info.name.size() < nb::kZipMaxPath, "name longer than the path buffers");
            Check(!IsAbsolute(info.name), "sanitised name is absolute");
            Check(nb::SanitizeZipName(info.name) == info.name, "sanitising is not settled");
            archive->ExtractItem(i, info.name);
        }
        // Asked again in reverse, the reader restarts its walk and agrees with itself.
        for (int32_t i = limit - 1; i >= 0 && i >= limit - 4; --i) {
            nb::ZipItemInfo again;
            if (archive->GetItemInfo(i, again) == nb::ZipResult::kOk) Check(again.index == i, "restart walk");
        }
    }

    Check(::chdir(l.work.c_str()) == 0, "cannot leave the extraction root");
    // Outside the root only the layout itself exists.
    Check(Entries(l.outer) == std::set<std::string>{"middle"}, "something was written beside the root");
    Check(Entries(l.middle) == std::set<std::string>{"inner"}, "something was written two levels up");
    Check(Entries(l.inner) == std::set<std::string>{"root"}, "something was written three levels up");
    for (const std::string& name : Entries(l.work)) {
        Check(name == "outer" || name == "patch.nbupd" || name == "log1.txt",
              "something was written in the work folder");
    }
    CheckNoLinks(l.root, 0);
    nbfuzz::RemoveTree(l.root);
    return 0;
}
