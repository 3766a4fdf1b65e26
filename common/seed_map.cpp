#include "seed_map.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "output_file.h"
#include "ranged_arrays.h"

namespace seedbank {

namespace {

constexpr unsigned char png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, then the image header chunk: length, type, width, height,
// bit depth, colour type, ... -- the first 26 bytes say all we check.
constexpr std::size_t header_bytes = 26;
// No valid map within the side limit needs more (palette pixels stored
// uncompressed take about 257 MiB at 16384 x 16384).
constexpr std::size_t max_file_bytes = static_cast<std::size_t>(512) << 20;
constexpr const char *oversized_reason = "is larger than any seed map accepted (512 MiB)";

unsigned long big_endian_32(const unsigned char *bytes)
{
    return static_cast<unsigned long>(bytes[0]) << 24 | static_cast<unsigned long>(bytes[1]) << 16 |
           static_cast<unsigned long>(bytes[2]) << 8 | static_cast<unsigned long>(bytes[3]);
}

// The image library reports decoding trouble through a process-wide error
// method; while a map is decoded its first message, the one that names the
// fault (later ones only say that decoding stopped), is kept for our reason.
std::string first_library_message;

void keep_library_message(int, const char *format, va_list arguments)
{
    if (!first_library_message.empty())
        return;
    char text[256];
    std::vsnprintf(text, sizeof text, format, arguments);
    first_library_message = text;
    while (!first_library_message.empty() && first_library_message.back() == '\n')
        first_library_message.pop_back();
    // The fault itself, without the library's own prefix.
    constexpr std::string_view prefix = "gd-png: fatal libpng error: ";
    if (first_library_message.starts_with(prefix))
        first_library_message.erase(0, prefix.size());
}

// PNG colour types (image header byte 25).  Grey and palette pixels decode
// as palette indexes; the others are colours, decoded as true colour.
constexpr unsigned char colour_type_grey = 0;
constexpr unsigned char colour_type_rgb = 2;
constexpr unsigned char colour_type_grey_alpha = 4;
constexpr unsigned char colour_type_rgb_alpha = 6;

constexpr const char *true_colour_reason =
    "is a true-colour image, not a seed map (seed counts are palette indexes)";

// Refuses from the header what can never be a seed map, before the library
// allocates the decoded image (four bytes per pixel for true colour).
// 16-bit greys are refused too: the library keeps only their high byte, so
// counts stored as 16-bit values would silently read as 0.  Combinations
// the format does not allow are left to the decoder, which rejects them.
bool pixel_format_is_acceptable(unsigned char bit_depth, unsigned char colour_type, std::string &reason)
{
    const bool colour_depth = bit_depth == 8 || bit_depth == 16;
    if (colour_depth && (colour_type == colour_type_rgb || colour_type == colour_type_grey_alpha ||
                         colour_type == colour_type_rgb_alpha)) {
        reason = true_colour_reason;
        return false;
    }
    if (colour_type == colour_type_grey && bit_depth == 16) {
        reason = "is a 16-bit greyscale image, not a seed map (seed counts are 8-bit palette indexes or greys)";
        return false;
    }
    return true;
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
    if (width > static_cast<unsigned long>(max_side) || height > static_cast<unsigned long>(max_side)) {
        reason = "declares an image of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels, more than the largest seed map accepted (" + std::to_string(max_side) + " x " +
                 std::to_string(max_side) + ")";
        return false;
    }
    return pixel_format_is_acceptable(data[24], data[25], reason);
}

failure cannot_read(const std::string &filename)
{
    return {failure::kind::other, filename, std::string("cannot read: ") + std::strerror(errno)};
}

failure not_a_seed_map(const std::string &filename, const std::string &reason)
{
    return {failure::kind::other, filename, reason};
}

// Reads the header first and refuses a file that is no acceptable PNG before
// the rest of it is read into memory.
outcome<std::vector<unsigned char>> read_whole_file(FILE *file, const std::string &filename)
{
    std::vector<unsigned char> data(header_bytes);
    data.resize(std::fread(data.data(), 1, header_bytes, file));
    if (std::ferror(file))
        return cannot_read(filename);
    std::string reason;
    if (!header_is_acceptable(data.data(), data.size(), reason, max_seed_map_side))
        return not_a_seed_map(filename, reason);

    // The whole file is held at once: knowing its size up front refuses an
    // oversized file unread and spares the copies of a growing buffer.
    struct stat status;
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode)) {
        if (static_cast<unsigned long long>(status.st_size) > max_file_bytes)
            return not_a_seed_map(filename, oversized_reason);
        data.reserve(static_cast<std::size_t>(status.st_size));
    }

    unsigned char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (data.size() + got > max_file_bytes)
            return not_a_seed_map(filename, oversized_reason);
        data.insert(data.end(), chunk, chunk + got);
    }
    if (std::ferror(file))
        return cannot_read(filename);
    return data;
}

// Opens `filename` for reading.  A named pipe without a writer would block
// the open for ever, so the open does not wait (such a pipe then reads as
// empty); reading itself waits as usual, so pipes with a writer still work.
FILE *open_map_file(const char *filename)
{
    int descriptor = open(filename, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    int flags = fcntl(descriptor, F_GETFL);
    FILE *file = nullptr;
    if (flags != -1 && fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != -1)
        file = fdopen(descriptor, "rb");
    if (file == nullptr) {
        int error_number = errno;
        close(descriptor);
        errno = error_number;
    }
    return file;
}

// The decoder allocates the length a chunk claims before it reads the chunk:
// a file of a hundred bytes claiming a 1.5 GiB text chunk made it take
// 1.5 GiB and seconds before it noticed the file ends.  So the chunk layout
// is checked here first: every chunk up to the image end must lie whole in
// the data.  And only the critical chunks (header, palette, image data,
// end) are handed on: the ancillary ones (text, colour profiles, gamma,
// transparency, ...) carry nothing a seed map needs, since counts are the
// pixel indexes alone, so none of their parsing runs on foreign data.
struct chunk_layout {
    std::size_t end = 0;          // just past the image end chunk
    bool has_ancillary = false;   // some chunk can be left out
};

constexpr std::size_t chunk_overhead = 12;  // length, type, checksum
constexpr unsigned long max_chunk_length = 0x7FFFFFFFul;

std::string chunk_name(const unsigned char *type)
{
    for (int i = 0; i < 4; ++i)
        if (!((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z')))
            return "a chunk";
    return "the " + std::string(reinterpret_cast<const char *>(type), 4) + " chunk";
}

bool chunks_are_whole(const unsigned char *data, std::size_t size, chunk_layout &layout, std::string &reason)
{
    std::size_t at = sizeof png_signature;
    while (size - at >= 8) {
        const unsigned long length = big_endian_32(data + at);
        const unsigned char *type = data + at + 4;
        const std::size_t remaining = size - at;
        if (length > max_chunk_length || remaining < chunk_overhead || length > remaining - chunk_overhead) {
            reason = "is not a PNG image that can be decoded (" + chunk_name(type) + " is cut short)";
            return false;
        }
        if (type[0] & 0x20)  // lower-case first letter: ancillary
            layout.has_ancillary = true;
        at += chunk_overhead + length;
        if (std::memcmp(type, "IEND", 4) == 0) {
            layout.end = at;
            return true;
        }
    }
    reason = "is not a PNG image that can be decoded (the data ends before the image end chunk)";
    return false;
}

// The signature and the critical chunks of data[0, end), in their order.
std::vector<unsigned char> critical_chunks(const unsigned char *data, std::size_t end)
{
    std::vector<unsigned char> kept(data, data + sizeof png_signature);
    for (std::size_t at = sizeof png_signature; at < end;) {
        const std::size_t next = at + chunk_overhead + big_endian_32(data + at);
        if (!(data[at + 4] & 0x20))
            kept.insert(kept.end(), data + at, data + next);
        at = next;
    }
    return kept;
}

gdImagePtr decode_png(const unsigned char *data, std::size_t size, std::string &reason)
{
    first_library_message.clear();
    gdSetErrorMethod(keep_library_message);
    gdImagePtr map = gdImageCreateFromPngPtr(static_cast<int>(size), const_cast<unsigned char *>(data));
    gdClearErrorMethod();
    if (map == nullptr) {
        reason = "is not a PNG image that can be decoded";
        if (!first_library_message.empty())
            reason += " (" + first_library_message + ")";
    }
    return map;
}

}  // namespace

gdImagePtr decode_seed_map(const unsigned char *data, std::size_t size, std::string &reason, int max_side)
{
    if (!header_is_acceptable(data, size, reason, max_side))
        return nullptr;
    if (size > max_file_bytes) {
        reason = oversized_reason;
        return nullptr;
    }
    chunk_layout layout;
    if (!chunks_are_whole(data, size, layout, reason))
        return nullptr;
    gdImagePtr map = nullptr;
    if (layout.has_ancillary) {
        const std::vector<unsigned char> critical = critical_chunks(data, layout.end);
        map = decode_png(critical.data(), critical.size(), reason);
    } else {
        map = decode_png(data, layout.end, reason);
    }
    if (map == nullptr)
        return nullptr;
    if (gdImageTrueColor(map)) {
        gdImageDestroy(map);
        reason = true_colour_reason;
        return nullptr;
    }
    return map;
}

outcome<gd_image> read_seed_map(const std::string &filename)
{
    FILE *file = open_map_file(filename.c_str());
    if (file == nullptr)
        return failure{failure::kind::cannot_open, filename, std::strerror(errno)};
    outcome<std::vector<unsigned char>> data = read_whole_file(file, filename);
    std::fclose(file);
    if (!data)
        return data.error();
    std::string reason;
    gd_image map(decode_seed_map(data.value().data(), data.value().size(), reason));
    if (map == nullptr)
        return not_a_seed_map(filename, reason);
    return map;
}

gd_image create_seed_map(int width, int height)
{
    gd_image map(gdImageCreate(width, height));
    if (map == nullptr)
        fatal_error("allocation failure in gdImageCreate()");
    for (int grey = 0; grey < 256; ++grey)
        gdImageColorAllocate(map.get(), grey, grey, grey);
    return map;
}

outcome<output_file> write_seed_map(gdImagePtr map, const std::string &name)
{
    outcome<output_file> file = open_output(name);
    if (!file)
        return file;
    gdImagePng(map, file.value().stream());
    if (status closed = close_output(file.value()); !closed)
        return closed.error();
    return file;
}

}  // namespace seedbank
