#include "update/PatchManifest.h"

#include <cstdio>
#include <cstring>
#include <set>

namespace nb {
namespace {

constexpr std::string_view kFormatLine = "nb-patch-manifest 1";
constexpr std::string_view kSignatureKey = "signature ";
constexpr const char* kControlMember = "ncheck_v.txt";
constexpr char kHex[] = "0123456789abcdef";

// Bytes that would break a space-separated line, and the escape byte itself, are written
// as %XX; every other byte (code page 936 included) stands for itself.
bool NeedsEscape(unsigned char c) {
    return c <= 0x20 || c == 0x7F || c == '%';
}

std::string Escape(std::string_view bytes) {
    static constexpr char kUpper[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (NeedsEscape(c)) {
            out += '%';
            out += kUpper[c >> 4];
            out += kUpper[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

int UpperHexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(std::string_view text, std::string& out, std::string& why) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c != '%') {
            if (NeedsEscape(c)) {
                why = "a byte that must be written as %XX stands bare";
                return false;
            }
            out += text[i];
            continue;
        }
        const int hi = i + 2 < text.size() ? UpperHexValue(text[i + 1]) : -1;
        const int lo = hi >= 0 ? UpperHexValue(text[i + 2]) : -1;
        if (lo < 0) {
            why = "'%' must be followed by two upper-case hexadecimal digits";
            return false;
        }
        out += static_cast<char>(hi << 4 | lo);
        i += 2;
    }
    return true;
}

bool ParseUnsigned(std::string_view text, uint64_t max, uint64_t& value) {
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0')) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (max - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

bool ParseBuild(std::string_view text, int32_t& value) {
    const bool negative = !text.empty() && text[0] == '-';
    uint64_t magnitude = 0;
    if (!ParseUnsigned(negative ? text.substr(1) : text, negative ? 2147483648ull : 2147483647ull, magnitude) ||
        (negative && magnitude == 0))
        return false;
    value = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude));
    return true;
}

bool ParseDigest(std::string_view text, Sha256Bytes& digest) {
    if (text.size() != 64) return false;
    for (size_t i = 0; i < 32; ++i) {
        const char* hi = std::strchr(kHex, text[2 * i]);
        const char* lo = std::strchr(kHex, text[2 * i + 1]);
        if (!text[2 * i] || !text[2 * i + 1] || !hi || !lo) return false;
        digest[i] = static_cast<uint8_t>((hi - kHex) << 4 | (lo - kHex));
    }
    return true;
}

bool ParseMode(std::string_view text, uint32_t& mode) {
    if (text.empty() || text.size() > 4) return false;
    mode = 0;
    for (const char c : text) {
        if (c < '0' || c > '7') return false;
        mode = mode << 3 | static_cast<uint32_t>(c - '0');
    }
    return mode <= 0777;
}

// Splits a line at single spaces into exactly `count` fields (the last may hold none).
bool Fields(std::string_view line, size_t count, std::vector<std::string_view>& fields) {
    fields.clear();
    size_t start = 0;
    while (fields.size() + 1 < count) {
        const size_t space = line.find(' ', start);
        if (space == std::string_view::npos) return false;
        fields.push_back(line.substr(start, space - start));
        start = space + 1;
    }
    fields.push_back(line.substr(start));
    for (const std::string_view f : fields)
        if (f.empty() || f.find(' ') != std::string_view::npos) return false;
    return true;
}

class Reader {
public:
    explicit Reader(std::string_view body) : m_body(body) {}
    bool AtEnd() const { return m_pos >= m_body.size(); }
    size_t LineNumber() const { return m_line; }
    std::string_view Next() {
        const size_t nl = m_body.find('\n', m_pos);  // the body always ends in a line end
        const std::string_view line = m_body.substr(m_pos, nl - m_pos);
        m_pos = nl + 1;
        ++m_line;
        return line;
    }

private:
    std::string_view m_body;
    size_t m_pos = 0;
    size_t m_line = 0;
};

}  // namespace

std::string HexDigest(const Sha256Bytes& digest) {
    std::string out;
    for (const uint8_t b : digest) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

std::string CheckManifestPath(std::string_view path) {
    if (path.empty()) return "the path is empty";
    if (path.find('\0') != std::string_view::npos) return "the path holds a zero byte";
    // The launcher reads a backslash as a folder separator, and Windows a colon as a drive
    // or a stream: either could lead a path out of the installation.
    if (path.find('\\') != std::string_view::npos) return "the path holds a backslash";
    if (path.find(':') != std::string_view::npos) return "the path holds a colon";
    if (path.front() == '/') return "the path is absolute";
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find('/', start);
        const std::string_view segment = path.substr(start, slash - start);
        if (segment.empty()) return "the path has an empty part";
        if (segment == "." || segment == "..") return "the path has a '" + std::string(segment) + "' part";
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    if (path == kControlMember) return std::string("the top-level name ") + kControlMember + " is reserved";
    return {};
}

std::string FormatManifestBody(const PatchManifest& m) {
    std::string out;
    out.append(kFormatLine).append("\n");
    out += "bfrom " + std::to_string(m.buildFrom) + "\n";
    out += "bto " + std::to_string(m.buildTo) + "\n";
    out += "final_version " + Escape(m.finalVersion) + "\n";
    out += "archive_size " + std::to_string(m.archiveSize) + "\n";
    out += "archive_sha256 " + HexDigest(m.archiveSha256) + "\n";
    for (const ManifestFile& f : m.files) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(f.mode & 0777));
        out += "file " + std::to_string(f.size) + " " + HexDigest(f.sha256) + " " + mode + " " + Escape(f.path) +
               "\n";
    }
    return out;
}

std::string AppendManifestSignature(std::string body, const platform::Ed25519Signature& signature) {
    body.append(kSignatureKey);
    body += platform::EncodeBase64(
        std::string_view(reinterpret_cast<const char*>(signature.data()), signature.size()));
    body += '\n';
    return body;
}

bool ParsePatchManifest(std::string_view text, const std::vector<platform::Ed25519PublicKey>& keys,
                        PatchManifest& out, std::string& error) {
    if (text.empty()) {
        error = "the manifest is empty";
        return false;
    }
    if (text.back() != '\n') {
        error = "the manifest is truncated: its last line has no line end";
        return false;
    }
    // The signature line is the last one; everything before it is what it signs.
    const size_t lastStart = text.rfind('\n', text.size() - 2);
    const size_t sigStart = lastStart == std::string_view::npos ? 0 : lastStart + 1;
    const std::string_view sigLine = text.substr(sigStart, text.size() - 1 - sigStart);
    if (sigLine.substr(0, kSignatureKey.size()) != kSignatureKey) {
        error = "the manifest has no signature line at its end (is it truncated?)";
        return false;
    }
    const std::string_view body = text.substr(0, sigStart);

    PatchManifest m;
    Reader reader(body);
    std::vector<std::string_view> f;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(reader.LineNumber() ? reader.LineNumber() : 1) + ": " + why;
        return false;
    };
    auto keyed = [&](std::string_view key) -> bool {
        if (reader.AtEnd()) {
            error = "line " + std::to_string(reader.LineNumber() + 1) + ": expected '" + std::string(key) +
                    "', found the signature";
            return false;
        }
        const std::string_view line = reader.Next();
        if (!Fields(line, 2, f) || f[0] != key) return fail("expected '" + std::string(key) + " VALUE'");
        return true;
    };

    if (reader.AtEnd() || reader.Next() != kFormatLine)
        return fail("not a patch manifest of a known format (expected '" + std::string(kFormatLine) + "')");
    if (!keyed("bfrom")) return false;
    if (!ParseBuild(f[1], m.buildFrom)) return fail("bfrom is not a build number");
    if (!keyed("bto")) return false;
    if (!ParseBuild(f[1], m.buildTo)) return fail("bto is not a build number");
    if (m.buildTo < m.buildFrom) return fail("bto is below bfrom");
    if (!keyed("final_version")) return false;
    std::string why;
    if (!Unescape(f[1], m.finalVersion, why)) return fail("final_version: " + why);
    if (m.finalVersion.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos)
        return fail("final_version must be one line");
    if (m.finalVersion.size() > 255) return fail("final_version is longer than 255 bytes");
    if (!keyed("archive_size")) return false;
    if (!ParseUnsigned(f[1], UINT64_MAX, m.archiveSize)) return fail("archive_size is not a byte count");
    if (!keyed("archive_sha256")) return false;
    if (!ParseDigest(f[1], m.archiveSha256))
        return fail("archive_sha256 is not 64 lower-case hexadecimal digits");

    std::set<std::string> paths;
    while (!reader.AtEnd()) {
        const std::string_view line = reader.Next();
        if (!Fields(line, 5, f) || f[0] != "file") return fail("expected 'file SIZE SHA256 MODE PATH'");
        ManifestFile file;
        if (!ParseUnsigned(f[1], UINT64_MAX, file.size)) return fail("the size is not a byte count");
        if (!ParseDigest(f[2], file.sha256)) return fail("the SHA-256 is not 64 lower-case hexadecimal digits");
        if (!ParseMode(f[3], file.mode)) return fail("the mode is not octal permission bits (at most 0777)");
        if (!Unescape(f[4], file.path, why)) return fail("the path: " + why);
        const std::string bad = CheckManifestPath(file.path);
        if (!bad.empty()) return fail(bad + ": " + Escape(file.path));
        if (!paths.insert(file.path).second) return fail("the path is listed twice: " + Escape(file.path));
        m.files.push_back(std::move(file));
    }
    // A name cannot be a file and a folder at once.
    for (const std::string& p : paths) {
        for (size_t slash = p.find('/'); slash != std::string::npos; slash = p.find('/', slash + 1))
            if (paths.count(p.substr(0, slash))) {
                error = "the path " + Escape(p.substr(0, slash)) + " is listed as a file and as a folder";
                return false;
            }
    }

    const std::optional<std::string> sig = platform::DecodeBase64(sigLine.substr(kSignatureKey.size()));
    platform::Ed25519Signature signature{};
    if (!sig || sig->size() != signature.size()) {
        error = "the signature is not the base64 of 64 bytes";
        return false;
    }
    std::memcpy(signature.data(), sig->data(), signature.size());
    if (keys.empty()) {
        error = "no public key to check the signature with";
        return false;
    }
    bool good = false;
    for (const auto& key : keys) good = good || platform::VerifyEd25519(key, body, signature);
    if (!good) {
        error = "the signature does not match: the manifest was changed or signed by another key";
        return false;
    }
    m.signedText = std::string(text);
    out = std::move(m);
    return true;
}

}  // namespace nb
