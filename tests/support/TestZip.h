#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nb::test {

// One item of a hand-made zip archive. Defaults: a Unix host, mode 100644, deflated, a
// fixed DOS time (2021-06-15 10:20:30), no extra fields.
struct TestZipItem {
    std::string name;
    std::string content;
    uint32_t madeBy = (3u << 8) | 20u;  // host in the high byte
    uint32_t externalAttributes = 0100644u << 16;
    uint32_t dosDate = kDosDate;
    std::string localExtra;
    std::string centralExtra;
    bool deflate = true;
    bool encryptedFlag = false;          // marks the item encrypted without encrypting it
    std::optional<std::string> rawData;  // stored bytes used as they are (sizes and CRC from content)
    std::optional<uint32_t> crc;         // overrides the content's CRC-32

    static constexpr uint32_t kDosDate =
        (41u << 25) | (6u << 21) | (15u << 16) | (10u << 11) | (20u << 5) | 15u;

    static TestZipItem File(std::string name, std::string content, uint32_t mode = 0100644) {
        TestZipItem item;
        item.name = std::move(name);
        item.content = std::move(content);
        item.externalAttributes = mode << 16;
        return item;
    }
    // An item as a DOS or Windows host stores it: attribute bits in the low byte.
    static TestZipItem DosFile(std::string name, std::string content, uint32_t attributes) {
        TestZipItem item;
        item.name = std::move(name);
        item.content = std::move(content);
        item.madeBy = 20;
        item.externalAttributes = attributes;
        return item;
    }
};

// Writes the archive; false when it cannot be written.
bool WriteTestZip(const std::string& path, const std::vector<TestZipItem>& items);

// An extended-timestamp ("UT") extra block with the given flags and times.
std::string UtExtraBlock(uint8_t flags, const std::vector<int32_t>& times);

// Raw deflate of a text, as zip items hold it.
std::string RawDeflate(const std::string& content);

// The local time a DOS date and time stand for, as seconds since the epoch.
int64_t DosTimeAsUnix(uint32_t dosDate);

}  // namespace nb::test
