// A small SHA-256 (FIPS 180-4), enough to check embedded files against their
// published hashes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tintora {

// Lower-case hexadecimal digest of `size` bytes.
std::string Sha256Hex(const std::uint8_t* data, std::size_t size);

}  // namespace tintora
