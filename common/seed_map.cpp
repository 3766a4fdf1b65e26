#include "seed_map.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "output_file.h"

namespace {

constexpr unsigned char png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, then the image header chunk: length, type, width, height,
// bit depth, colour type, ... -- the first 26 bytes say all we check.
constexpr std::size_t header_bytes = 26;
// No valid map within the side limit needs more (palette pixels stored
// uncompressed take about 257 MiB at 16384 x 16384).
constexpr std::size_t max_file_bytes = std::size_t(512) << 20;

unsigned long big_endian_32(const unsigned char *bytes)
{
    return (unsigned long)bytes[0] << 24 | (unsigned long)bytes[1] << 16 | (unsigned long)bytes[2] << 8 |
           (unsigned long)bytes[3];
}

// The image library reports decoding trouble through a process-wide error
// method; while a map is decoded its last message is kept for our reason.
std::string last_library_message;

void keep_library_message(int, const char *format, va_list arguments)
{
    char text[256];
    std::vsnprintf(text, sizeof text, format, arguments);
    last_library_message = text;
    while (!last_library_message.empty() && last_library_message.back() == '\n')
        last_library_message.pop_back();
}

// Checks the signature and the image header before anything is decoded.
bool header_is_acceptable(const unsigned char *data, std::size_t size, std::string &reason, int max_side)
{
    if (size < sizeof png_signature || std::memcmp(data, png_signature, sizeof png_signature) != 0) {
        reason = "is not a PNG image";
        return false;
    }
    if (size < header_bytes || std::memcmp(data + 12, "IHDR", 4) != 0) {
        reason = "is not a PNG image (no image header)";
        return false;
    }
    unsigned long width = big_endian_32(data + 16);
    unsigned long height = big_endian_32(data + 20);
    if (width == 0 || height == 0 || width > 0x7FFFFFFFul || height > 0x7FFFFFFFul) {
        reason = "is not a PNG image (invalid image size)";
        return false;
    }
    if (width > (unsigned long)max_side || height > (unsigned long)max_side) {
        reason = "declares an image of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels, more than the largest seed map accepted (" + std::to_string(max_side) + " x " +
                 std::to_string(max_side) + ")";
        return false;
    }
    return true;
}

[[noreturn]] void fail_to_read(const char *filename)
{
    fail_with_file(filename, std::string("cannot read: ") + std::strerror(errno));
}

// Reads the header first and refuses a file that is no acceptable PNG before
// the rest of it is read into memory.
std::vector<unsigned char> read_whole_file(FILE *file, const char *filename)
{
    std::vector<unsigned char> data(header_bytes);
    data.resize(std::fread(data.data(), 1, header_bytes, file));
    if (std::ferror(file))
        fail_to_read(filename);
    std::string reason;
    if (!header_is_acceptable(data.data(), data.size(), reason, max_seed_map_side))
        fail_with_file(filename, reason);

    unsigned char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (data.size() + got > max_file_bytes)
            fail_with_file(filename, "is larger than any seed map accepted (512 MiB)");
        data.insert(data.end(), chunk, chunk + got);
    }
    if (std::ferror(file))
        fail_to_read(filename);
    return data;
}

}  // namespace

gdImagePtr decode_seed_map(const unsigned char *data, std::size_t size, std::string &reason, int max_side)
{
    if (!header_is_acceptable(data, size, reason, max_side))
        return nullptr;
    if (size > max_file_bytes) {
        reason = "is larger than any seed map accepted (512 MiB)";
        return nullptr;
    }
    last_library_message.clear();
    gdSetErrorMethod(keep_library_message);
    gdImagePtr map = gdImageCreateFromPngPtr((int)size, const_cast<unsigned char *>(data));
    gdClearErrorMethod();
    if (map == nullptr) {
        reason = "is not a PNG image that can be decoded";
        if (!last_library_message.empty())
            reason += " (" + last_library_message + ")";
        return nullptr;
    }
    if (gdImageTrueColor(map)) {
        gdImageDestroy(map);
        reason = "is a true-colour image, not a seed map (seed counts are palette indexes)";
        return nullptr;
    }
    return map;
}

gdImagePtr read_seed_map(const char *filename)
{
    FILE *file = std::fopen(filename, "rb");
    if (file == nullptr) {
        int error_number = errno;
        std::printf("Can't open output file %s\n", filename);
        fail_with_file(filename, std::strerror(error_number));
    }
    std::vector<unsigned char> data = read_whole_file(file, filename);
    std::fclose(file);
    std::string reason;
    gdImagePtr map = decode_seed_map(data.data(), data.size(), reason);
    if (map == nullptr)
        fail_with_file(filename, reason);
    return map;
}

gdImagePtr create_seed_map(int width, int height)
{
    gdImagePtr map = gdImageCreate(width, height);
    if (map == nullptr)
        fail_with_file("seed map", "not enough memory for the image");
    for (int grey = 0; grey < 256; ++grey)
        gdImageColorAllocate(map, grey, grey, grey);
    return map;
}

void write_seed_map(gdImagePtr map, const std::string &name)
{
    output_file file = open_output(name);
    gdImagePng(map, file.stream);
    close_output(file);
}
