#pragma once
// Unsigned integers in a file's byte order: little-endian as dBase keeps its header and
// binary fields, big-endian for the few places FoxPro memo files use it. Every read and
// write of such a number in the table engine goes through these.
#include <cstddef>
#include <cstdint>

namespace thq::data::bytes {

inline std::uint16_t loadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t loadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t loadU64(const std::uint8_t* p) {
    return loadU32(p) | static_cast<std::uint64_t>(loadU32(p + 4)) << 32;
}

inline std::uint32_t loadU32BigEndian(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

inline std::uint16_t loadU16BigEndian(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

// Writes the `size` low bytes of `value` at `out`, least significant first.
inline void store(char* out, std::uint64_t value, std::size_t size) {
    for (std::size_t b = 0; b < size; ++b) out[b] = static_cast<char>((value >> (8 * b)) & 0xFF);
}

inline void storeU16(char* out, std::uint16_t value) { store(out, value, 2); }
inline void storeU32(char* out, std::uint32_t value) { store(out, value, 4); }
inline void storeU64(char* out, std::uint64_t value) { store(out, value, 8); }

}  // namespace thq::data::bytes
