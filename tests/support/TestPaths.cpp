#include "TestPaths.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace nb::test {

ScopedTempDir::ScopedTempDir() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "nbtest-" << std::hex << random() << random();
        std::error_code ec;
        if (std::filesystem::create_directory(base / name.str(), ec)) {
            m_path = (base / name.str()).string() + "/";
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made under " + base.string());
}

ScopedTempDir::~ScopedTempDir() {
    std::error_code ec;
    // Read-only folders made by a test must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(m_path, ec);
}

ScopedChdir::ScopedChdir(const std::string& dir) {
    std::error_code ec;
    m_previous = std::filesystem::current_path(ec).string();
    std::filesystem::current_path(dir, ec);
    if (ec) throw std::runtime_error("cannot change to folder " + dir);
}

ScopedChdir::~ScopedChdir() {
    std::error_code ec;
    if (!m_previous.empty()) std::filesystem::current_path(m_previous, ec);
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

std::string DataPath(const std::string& name) { return std::string(NB_TEST_DATA_DIR) + "/" + name; }
std::string BuildPath(const std::string& name) { return std::string(NB_BUILD_DIR) + "/" + name; }

}  // namespace nb::test
