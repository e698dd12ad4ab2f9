#include "ZipWriter.h"

#include <algorithm>

namespace nb::zipwriter {
namespace {

constexpr uint32_t kFull32 = 0xFFFFFFFF;
constexpr size_t kChunk = 256 * 1024;

void Put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void Put64(std::string& out, uint64_t v) {
    Put32(out, static_cast<uint32_t>(v));
    Put32(out, static_cast<uint32_t>(v >> 32));
}
uint32_t Short32(uint64_t v) {
    return v >= kFull32 ? kFull32 : static_cast<uint32_t>(v);
}

// Local header with the sizes and checksum known so far (zeros until the item ends).
std::string LocalHeader(const ZipWriterItem& item, uint32_t crc, uint64_t compressed, uint64_t size) {
    std::string h;
    Put32(h, 0x04034b50);
    Put16(h, item.zip64 ? 45 : 20);
    Put16(h, item.flags);
    Put16(h, item.deflated ? 8 : 0);
    Put32(h, item.dosDateTime);
    Put32(h, crc);
    Put32(h, item.zip64 ? kFull32 : static_cast<uint32_t>(compressed));
    Put32(h, item.zip64 ? kFull32 : static_cast<uint32_t>(size));
    Put16(h, static_cast<uint32_t>(item.name.size()));
    Put16(h, static_cast<uint32_t>(item.localExtra.size() + (item.zip64 ? 20 : 0)));
    h += item.name;
    if (item.zip64) {
        Put16(h, 1);
        Put16(h, 16);
        Put64(h, size);
        Put64(h, compressed);
    }
    h += item.localExtra;
    return h;
}

}  // namespace

ZipWriter::~ZipWriter() {
    if (m_bCompressing) deflateEnd(&m_stream);
    if (m_file) std::fclose(m_file);
}

bool ZipWriter::Open(const std::string& path) {
    m_file = std::fopen(path.c_str(), "wb");
    return m_file != nullptr;
}

bool ZipWriter::Put(const std::string& bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) return false;
    m_nOffset += bytes.size();
    return true;
}

bool ZipWriter::Begin(const ZipWriterItem& item, int level) {
    if (!m_file || m_bOpenItem) return false;
    Written w;
    w.item = item;
    w.offset = m_nOffset;
    m_items.push_back(w);
    m_bOpenItem = true;
    m_nSize = m_nCompressed = 0;
    m_crc = crc32(0L, Z_NULL, 0);
    m_bRaw = level < 0;
    if (std::fgetpos(m_file, &m_headerPosition) != 0 || !Put(LocalHeader(item, 0, 0, 0))) return false;
    if (level >= 0 && item.deflated) {
        m_stream = z_stream{};
        if (deflateInit2(&m_stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
        m_bCompressing = true;
        m_buffer.resize(kChunk);
    }
    return true;
}

bool ZipWriter::Write(const void* data, size_t size) {
    if (!m_bOpenItem) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (!m_bCompressing) {
        // Plain bytes stored are counted here; bytes given as stored keep the caller's count.
        for (size_t done = 0; !m_bRaw && done < size;) {
            const uInt n = static_cast<uInt>(std::min<size_t>(size - done, kChunk));
            m_crc = crc32(m_crc, bytes + done, n);
            done += n;
        }
        m_nSize += size;
        if (std::fwrite(bytes, 1, size, m_file) != size) return false;
        m_nOffset += size;
        m_nCompressed += size;
        return true;
    }
    while (size > 0) {
        const uInt n = static_cast<uInt>(std::min<size_t>(size, kChunk));
        m_crc = crc32(m_crc, bytes, n);
        m_nSize += n;
        m_stream.next_in = const_cast<Bytef*>(bytes);
        m_stream.avail_in = n;
        while (m_stream.avail_in > 0) {
            m_stream.next_out = m_buffer.data();
            m_stream.avail_out = static_cast<uInt>(m_buffer.size());
            if (deflate(&m_stream, Z_NO_FLUSH) == Z_STREAM_ERROR) return false;
            const size_t out = m_buffer.size() - m_stream.avail_out;
            if (std::fwrite(m_buffer.data(), 1, out, m_file) != out) return false;
            m_nOffset += out;
            m_nCompressed += out;
        }
        bytes += n;
        size -= n;
    }
    return true;
}

bool ZipWriter::End() {
    if (!m_bOpenItem) return false;
    if (m_bRaw) return false;
    if (!m_bCompressing) return Finish(m_nSize, static_cast<uint32_t>(m_crc));
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        m_stream.next_out = m_buffer.data();
        m_stream.avail_out = static_cast<uInt>(m_buffer.size());
        rc = deflate(&m_stream, Z_FINISH);
        if (rc == Z_STREAM_ERROR) return false;
        const size_t out = m_buffer.size() - m_stream.avail_out;
        if (std::fwrite(m_buffer.data(), 1, out, m_file) != out) return false;
        m_nOffset += out;
        m_nCompressed += out;
    }
    deflateEnd(&m_stream);
    m_bCompressing = false;
    return Finish(m_nSize, static_cast<uint32_t>(m_crc));
}

bool ZipWriter::EndRaw(uint64_t size, uint32_t crc) {
    if (!m_bOpenItem || !m_bRaw) return false;
    return Finish(size, crc);
}

// Completes the item's local header in place, then goes back to the end.
bool ZipWriter::Finish(uint64_t size, uint32_t crc) {
    Written& w = m_items.back();
    w.size = size;
    w.compressedSize = m_nCompressed;
    w.crc = crc;
    m_bOpenItem = false;
    if (!w.item.zip64 && (size >= kFull32 || m_nCompressed >= kFull32)) return false;
    const std::string header = LocalHeader(w.item, crc, m_nCompressed, size);
    return std::fsetpos(m_file, &m_headerPosition) == 0 &&
           std::fwrite(header.data(), 1, header.size(), m_file) == header.size() &&
           std::fseek(m_file, 0, SEEK_END) == 0;
}

bool ZipWriter::Close(bool forceZip64) {
    if (!m_file || m_bOpenItem) return false;
    const uint64_t directoryOffset = m_nOffset;
    std::string directory;
    for (const Written& w : m_items) {
        std::string zip64;
        if (w.size >= kFull32 || forceZip64) Put64(zip64, w.size);
        if (w.compressedSize >= kFull32 || forceZip64) Put64(zip64, w.compressedSize);
        if (w.offset >= kFull32 || forceZip64) Put64(zip64, w.offset);
        std::string extra;
        if (!zip64.empty()) {
            Put16(extra, 1);
            Put16(extra, static_cast<uint32_t>(zip64.size()));
            extra += zip64;
        }
        extra += w.item.centralExtra;
        Put32(directory, 0x02014b50);
        Put16(directory, w.item.madeBy);
        Put16(directory, zip64.empty() && !w.item.zip64 ? 20 : 45);
        Put16(directory, w.item.flags);
        Put16(directory, w.item.deflated ? 8 : 0);
        Put32(directory, w.item.dosDateTime);
        Put32(directory, w.crc);
        Put32(directory, forceZip64 ? kFull32 : Short32(w.compressedSize));
        Put32(directory, forceZip64 ? kFull32 : Short32(w.size));
        Put16(directory, static_cast<uint32_t>(w.item.name.size()));
        Put16(directory, static_cast<uint32_t>(extra.size()));
        Put16(directory, 0);  // comment
        Put16(directory, 0);  // disk
        Put16(directory, 0);  // internal attributes
        Put32(directory, w.item.externalAttributes);
        Put32(directory, forceZip64 ? kFull32 : Short32(w.offset));
        directory += w.item.name;
        directory += extra;
    }
    bool ok = Put(directory);
    const uint64_t count = m_items.size();
    const bool zip64 = forceZip64 || count >= 0xFFFF || directoryOffset >= kFull32 || directory.size() >= kFull32;
    std::string tail;
    if (zip64) {
        const uint64_t recordOffset = m_nOffset;
        Put32(tail, 0x06064b50);
        Put64(tail, 44);
        Put16(tail, (3u << 8) | 45u);
        Put16(tail, 45);
        Put32(tail, 0);
        Put32(tail, 0);
        Put64(tail, count);
        Put64(tail, count);
        Put64(tail, directory.size());
        Put64(tail, directoryOffset);
        Put32(tail, 0x07064b50);
        Put32(tail, 0);
        Put64(tail, recordOffset);
        Put32(tail, 1);
    }
    Put32(tail, 0x06054b50);
    Put16(tail, 0);
    Put16(tail, 0);
    Put16(tail, zip64 ? 0xFFFF : static_cast<uint32_t>(count));
    Put16(tail, zip64 ? 0xFFFF : static_cast<uint32_t>(count));
    Put32(tail, zip64 ? kFull32 : static_cast<uint32_t>(directory.size()));
    Put32(tail, zip64 ? kFull32 : static_cast<uint32_t>(directoryOffset));
    Put16(tail, 0);
    ok = Put(tail) && ok;
    ok = std::fclose(m_file) == 0 && ok;
    m_file = nullptr;
    return ok;
}

}  // namespace nb::zipwriter
