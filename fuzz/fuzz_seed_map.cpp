// Fuzz target for the seed-map reader shared by winter, blockmap and stepmap.
//
// Every input goes through decode_seed_map with the programs' own side
// limit.  An accepted map is then read the way the programs read it: every
// pixel through seed_count, plus a border beyond the image on each side
// (which must read 0), before the image is destroyed.
//
// Random mutations almost always break a chunk checksum, and the decoder
// stops at the first bad checksum.  So each input is decoded twice: as it
// is, and once more with every chunk checksum recomputed, which lets the
// mutated chunk contents reach the decoder behind the checksum test.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <zlib.h>

#include "seed_map.h"

using namespace seedbank;

namespace {

// Cells read past each edge of the image, where every count must be 0.
constexpr int border = 3;
constexpr std::size_t signature_bytes = 8;

void read_every_cell(gdImagePtr map)
{
    const int width = gdImageSX(map);
    const int height = gdImageSY(map);
    if (width < 1 || height < 1 || width > max_seed_map_side || height > max_seed_map_side)
        std::abort();  // an accepted map must respect the size limit
    unsigned long total = 0;
    for (int y = -border; y < height + border; ++y) {
        for (int x = -border; x < width + border; ++x) {
            int count = seed_count(map, x, y);
            bool inside = x >= 0 && y >= 0 && x < width && y < height;
            if (!inside && count != 0)
                std::abort();
            total += static_cast<unsigned long>(count);
        }
    }
    // Keeps the reads from being optimised away.
    if (total == ~0ul)
        std::abort();
}

void decode_and_read(const std::uint8_t *data, std::size_t size)
{
    std::string reason;
    gdImagePtr map = decode_seed_map(data, size, reason);
    if (map == nullptr) {
        if (reason.empty())
            std::abort();  // every refusal says why
        return;
    }
    if (gdImageTrueColor(map))
        std::abort();  // true-colour images must have been refused
    read_every_cell(map);
    gdImageDestroy(map);
}

std::uint32_t big_endian_32(const std::uint8_t *bytes)
{
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 |
           std::uint32_t(bytes[3]);
}

// Recomputes the checksum of every complete chunk after the signature.
// Returns whether any checksum changed.
bool repair_checksums(std::vector<std::uint8_t> &png)
{
    bool changed = false;
    std::size_t at = signature_bytes;
    while (png.size() - at >= 12) {
        std::size_t length = big_endian_32(&png[at]);
        if (length > png.size() - at - 12)
            break;
        std::uint8_t *type = &png[at + 4];
        std::uint32_t crc = (std::uint32_t)crc32(0, type, (uInt)(length + 4));
        std::uint8_t *stored = type + 4 + length;
        if (big_endian_32(stored) != crc) {
            stored[0] = (std::uint8_t)(crc >> 24);
            stored[1] = (std::uint8_t)(crc >> 16);
            stored[2] = (std::uint8_t)(crc >> 8);
            stored[3] = (std::uint8_t)crc;
            changed = true;
        }
        at += length + 12;
    }
    return changed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    decode_and_read(data, size);
    if (size > signature_bytes) {
        std::vector<std::uint8_t> repaired(data, data + size);
        if (repair_checksums(repaired))
            decode_and_read(repaired.data(), repaired.size());
    }
    return 0;
}
