#include "ManifestSigner.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Digest.h"

namespace nb::mkpatch {
namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;

std::string LibraryError() {
    const unsigned long code = ERR_get_error();
    if (!code) return "unknown error";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return text;
}

bool ReadWhole(const std::string& path, std::string& out, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    out.clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) out.append(buffer, n);
    if (std::ferror(f.get())) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

// Writes `text` to `path` through a temporary file renamed into place.
bool WriteAtomically(const std::string& path, const std::string& text, std::string& error) {
    const std::string part = path + ".part";
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(part.c_str(), "wb"), &std::fclose);
    bool ok = f && std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
    if (f) ok = std::fclose(f.release()) == 0 && ok;
    if (!ok || std::rename(part.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path;
        std::remove(part.c_str());
        return false;
    }
    return true;
}

std::string Octal(uint32_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode));
    return text;
}

}  // namespace

bool HashFile(const std::string& path, Sha256Bytes& digest, uint64_t& size, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    platform::Digest sha256(platform::DigestKind::kSha256);
    std::vector<char> buffer(1u << 20);
    bool ok = true;
    size = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        size += static_cast<uint64_t>(n);
        sha256.Update(buffer.data(), static_cast<size_t>(n));
    }
    ::close(fd);
    if (!ok || !sha256.Finish(digest.data(), digest.size())) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

bool GenerateKey(const std::string& keyFile, platform::Ed25519PublicKey& publicKey, std::string& error) {
    PkeyCtxPtr ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
    EVP_PKEY* raw = nullptr;
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &raw) != 1) {
        error = "cannot make a key: " + LibraryError();
        return false;
    }
    PkeyPtr key(raw);
    size_t length = publicKey.size();
    if (EVP_PKEY_get_raw_public_key(key.get(), publicKey.data(), &length) != 1 || length != publicKey.size()) {
        error = "cannot read the new public key: " + LibraryError();
        return false;
    }
    // Created with its final permissions, and never over an existing key.
    const int fd = ::open(keyFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno == EEXIST ? keyFile + " already exists; a key file is never replaced"
                                : "cannot create " + keyFile + ": " + std::strerror(errno);
        return false;
    }
    FILE* f = ::fdopen(fd, "wb");
    if (!f) ::close(fd);
    bool ok = f && PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    if (f) ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::remove(keyFile.c_str());
        error = "cannot write " + keyFile;
        return false;
    }
    return true;
}

bool SigningKey::Load(const std::string& keyFile, std::string& error) {
    std::string pem;
    if (!ReadWhole(keyFile, pem, error)) return false;
    std::unique_ptr<BIO, int (*)(BIO*)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
    PkeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    std::fill(pem.begin(), pem.end(), '\0');
    size_t length = m_seed.size();
    const bool ok = key && EVP_PKEY_id(key.get()) == EVP_PKEY_ED25519 &&
                    EVP_PKEY_get_raw_private_key(key.get(), m_seed.data(), &length) == 1 && length == m_seed.size();
    ERR_clear_error();
    if (!ok) {
        error = keyFile + " does not hold an Ed25519 private key in PEM (make one with 'nb-mkpatch keygen')";
        return false;
    }
    return true;
}

bool WriteSignedManifest(const std::string& archive, const PatchManifest& control,
                         const std::vector<PatchEntry>& build, const SigningKey& key, std::string& error) {
    PatchManifest m = control;
    m.files.clear();
    if (!HashFile(archive, m.archiveSha256, m.archiveSize, error)) return false;
    for (const PatchEntry& e : build) {
        const std::string bad = CheckManifestPath(e.name);
        if (!bad.empty()) {
            error = "cannot list " + e.name + " in a manifest: " + bad;
            return false;
        }
        ManifestFile f;
        f.path = e.name;
        f.mode = static_cast<uint32_t>(e.mode & 0777);
        if (!HashFile(e.newPath, f.sha256, f.size, error)) return false;
        m.files.push_back(std::move(f));
    }
    const std::string body = FormatManifestBody(m);
    const auto signature = platform::SignEd25519(key.Seed(), body);
    if (!signature) {
        error = "cannot sign the manifest";
        return false;
    }
    return WriteAtomically(archive + std::string(kManifestSuffix), AppendManifestSignature(body, *signature),
                           error);
}

bool VerifyPatch(const std::vector<platform::Ed25519PublicKey>& keys, const std::string& manifestFile,
                 const std::string& archive, const std::string& installDir) {
    auto report = [](const std::string& line) { std::fprintf(stderr, "nb-mkpatch: %s\n", line.c_str()); };
    std::string text, error;
    PatchManifest m;
    if (!ReadWhole(manifestFile, text, error) || !ParsePatchManifest(text, keys, m, error)) {
        report(manifestFile + ": " + error);
        return false;
    }
    bool ok = true;
    Sha256Bytes digest{};
    uint64_t size = 0;
    if (!HashFile(archive, digest, size, error)) {
        report(error);
        ok = false;
    } else {
        if (size != m.archiveSize) {
            report(archive + ": " + std::to_string(size) + " bytes, the manifest says " +
                   std::to_string(m.archiveSize));
            ok = false;
        }
        if (digest != m.archiveSha256) {
            report(archive + ": SHA-256 " + HexDigest(digest) + ", the manifest says " + HexDigest(m.archiveSha256));
            ok = false;
        }
    }
    if (installDir.empty()) return ok;
    for (const ManifestFile& f : m.files) {
        const std::string path = installDir + "/" + f.path;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            report(path + ": missing or not a file");
            ok = false;
            continue;
        }
        if (!HashFile(path, digest, size, error)) {
            report(error);
            ok = false;
            continue;
        }
        if (size != f.size) {
            report(path + ": " + std::to_string(size) + " bytes, the manifest says " + std::to_string(f.size));
            ok = false;
        } else if (digest != f.sha256) {
            report(path + ": SHA-256 " + HexDigest(digest) + ", the manifest says " + HexDigest(f.sha256));
            ok = false;
        }
        if ((st.st_mode & 0777) != f.mode) {
            report(path + ": mode " + Octal(st.st_mode & 0777) + ", the manifest says " + Octal(f.mode));
            ok = false;
        }
    }
    return ok;
}

}  // namespace nb::mkpatch
