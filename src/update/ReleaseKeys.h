#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Signature.h"

namespace nb {

// The public keys a patch manifest must be signed with. A program built with keys trusts
// only signed patches; one built without them applies patches as they come.
struct ReleaseKeys {
    // Keys were given at build time. Stays true when none of them could be read, so that a
    // mistyped key makes every patch fail its check instead of switching the check off.
    bool required = false;
    std::vector<platform::Ed25519PublicKey> keys;
};

// Comma-separated base64 keys, blanks around each allowed; an empty text gives no keys.
ReleaseKeys ParseReleaseKeys(std::string_view text);

// The keys built into this program (NB_RELEASE_KEYS), or those a test put in their place.
ReleaseKeys BuiltInReleaseKeys();
void OverrideReleaseKeysForTests(std::optional<std::string> text);

// The text the build was given; defined in a file of its own so that a program can be
// linked with other keys than the library's.
const char* ReleaseKeysText();

}  // namespace nb
