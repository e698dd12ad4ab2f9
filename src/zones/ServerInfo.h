#pragma once
#include <cstdint>
#include <string>

namespace nb {

// One server of the zone list; names are code page 936 text.
struct ServerInfo {
    std::string name;
    int32_t id = 0;
    std::string fetch_url;  // empty for a server in maintenance (state 3)
    int32_t state = 0;      // 0 normal, 1 busy, 2 full, 3 maintenance
    int32_t server_tag = 0; // 1 new, 2 recommended, other values no mark
    std::string zone_name;

    bool operator==(const ServerInfo&) const = default;
};

}  // namespace nb
