// A small PNG writer for tests, so that each test builds exactly the file it
// needs: any colour type and bit depth, interlaced or not, short palettes,
// bad checksums, truncated data.  Image data is stored uncompressed.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline std::uint32_t crc32_of(const std::string &bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline std::string big_endian(std::uint32_t value)
{
    return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
}

// A zlib stream of stored (uncompressed) deflate blocks.
inline std::string stored_zlib(const std::string &raw)
{
    std::string out = "\x78\x01";
    std::size_t at = 0;
    do {
        std::size_t length = std::min<std::size_t>(raw.size() - at, 65535);
        bool last = at + length == raw.size();
        out += char(last ? 1 : 0);
        out += char(length & 0xFF);
        out += char(length >> 8);
        out += char(~length & 0xFF);
        out += char((~length >> 8) & 0xFF);
        out += raw.substr(at, length);
        at += length;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return out + big_endian(b << 16 | a);
}

inline std::string png_chunk(const std::string &type, const std::string &body)
{
    return big_endian((std::uint32_t)body.size()) + type + body + big_endian(crc32_of(type + body));
}

inline const std::string png_signature = "\x89PNG\r\n\x1a\n";

inline std::string image_header(std::uint32_t width, std::uint32_t height, int depth, int colour_type,
                                int interlace = 0)
{
    return png_chunk("IHDR", big_endian(width) + big_endian(height) + char(depth) + char(colour_type) +
                                 std::string(2, '\0') + char(interlace));
}

inline std::string grey_palette(int entries)
{
    std::string body;
    for (int i = 0; i < entries; ++i)
        body += std::string(3, char(i));
    return png_chunk("PLTE", body);
}

using pixel_values = std::function<int(int x, int y)>;

// Rows of samples of `depth` bits each (filter byte 0, packed high bits
// first), over the pixels whose coordinates the two lists give.
inline std::string packed_rows(const std::vector<int> &xs, const std::vector<int> &ys, int depth,
                               int samples_per_pixel, const pixel_values &value)
{
    std::string raw;
    for (int y : ys) {
        raw += '\0';
        std::vector<int> samples;
        for (int x : xs)
            for (int s = 0; s < samples_per_pixel; ++s)
                samples.push_back(value(x, y));
        if (depth == 16) {
            for (int sample : samples)
                raw += {char(sample >> 8), char(sample)};
            continue;
        }
        unsigned accumulator = 0;
        int bits = 0;
        for (int sample : samples) {
            accumulator = accumulator << depth | static_cast<unsigned>(sample & ((1 << depth) - 1));
            bits += depth;
            if (bits == 8) {
                raw += char(accumulator);
                accumulator = 0;
                bits = 0;
            }
        }
        if (bits > 0)
            raw += char(accumulator << (8 - bits));
    }
    return raw;
}

inline std::vector<int> range_of(int first, int end, int step = 1)
{
    std::vector<int> values;
    for (int v = first; v < end; v += step)
        values.push_back(v);
    return values;
}

inline int samples_per_pixel(int colour_type)
{
    switch (colour_type) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
    }
}

struct png_image {
    int width = 1;
    int height = 1;
    int depth = 8;
    int colour_type = 3;  // palette
    bool interlaced = false;
    int palette_entries = -1;  // -1: one entry per possible index
    pixel_values value = [](int, int) { return 0; };
};

// The image data of `image`: the seven interlace passes, or plain rows.
inline std::string image_data(const png_image &image)
{
    const int samples = samples_per_pixel(image.colour_type);
    if (!image.interlaced)
        return packed_rows(range_of(0, image.width), range_of(0, image.height), image.depth, samples, image.value);
    struct pass { int x0, y0, dx, dy; };
    const pass passes[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    std::string raw;
    for (const pass &p : passes) {
        std::vector<int> xs = range_of(p.x0, image.width, p.dx);
        std::vector<int> ys = range_of(p.y0, image.height, p.dy);
        if (!xs.empty() && !ys.empty())
            raw += packed_rows(xs, ys, image.depth, samples, image.value);
    }
    return raw;
}

inline std::string build_png(const png_image &image)
{
    std::string png = png_signature +
                      image_header(image.width, image.height, image.depth, image.colour_type, image.interlaced);
    if (image.colour_type == 3)
        png += grey_palette(image.palette_entries >= 0 ? image.palette_entries : 1 << image.depth);
    return png + png_chunk("IDAT", stored_zlib(image_data(image))) + png_chunk("IEND", "");
}
