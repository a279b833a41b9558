#pragma once

// SHA-256 (FIPS 180-4) and HMAC-SHA256 (RFC 2104): enough to derive an identifier from a secret
// without showing the secret.

#include <array>
#include <cstdint>
#include <span>

namespace brenvik::platform {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest sha256(std::span<const std::uint8_t> data);
Sha256Digest hmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message);

} // namespace brenvik::platform
