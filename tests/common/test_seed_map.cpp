// Tests of the seed-map reader: which PNG files are seed maps, which counts
// they read as, and how every refusal and failure is reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "png_bytes.h"
#include "fixture_maps.h"
#include "program_run.h"
#include "seed_map.h"

using namespace seedbank;

namespace fs = std::filesystem;

namespace {

struct image_deleter {
    void operator()(gdImagePtr image) const { gdImageDestroy(image); }
};
using image_handle = std::unique_ptr<gdImage, image_deleter>;

image_handle decode(const std::string &png, std::string &reason, int max_side = max_seed_map_side)
{
    return image_handle(decode_seed_map(reinterpret_cast<const unsigned char *>(png.data()), png.size(), reason,
                                        max_side));
}

int pattern(int x, int y, int depth)
{
    return (x * 7 + y * 3) % (1 << depth);
}

// ---------------------------------------------------------------------------
// Accepted maps and the counts they read as.

struct format_case {
    const char *name;
    int colour_type;
    int depth;
};

void PrintTo(const format_case &format, std::ostream *out)
{
    *out << format.name;
}

class SeedMapCounts : public testing::TestWithParam<format_case> {};

// Palette and greyscale maps of every bit depth up to 8 read each pixel's
// stored sample as its count: indexes for palette images, the grey sample
// itself (not scaled to 0..255) for greyscale ones.  Interlaced files read
// the same as plain ones.
TEST_P(SeedMapCounts, EveryPixelReadsAsItsStoredSample)
{
    const format_case format = GetParam();
    for (bool interlaced : {false, true}) {
        png_image image;
        image.width = 13;
        image.height = 11;
        image.depth = format.depth;
        image.colour_type = format.colour_type;
        image.interlaced = interlaced;
        image.value = [&](int x, int y) { return pattern(x, y, format.depth); };
        std::string reason;
        image_handle map = decode(build_png(image), reason);
        ASSERT_NE(map, nullptr) << (interlaced ? "interlaced: " : "") << reason;
        EXPECT_FALSE(gdImageTrueColor(map.get()));
        ASSERT_EQ(gdImageSX(map.get()), 13);
        ASSERT_EQ(gdImageSY(map.get()), 11);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(seed_count(map.get(), x, y), pattern(x, y, format.depth))
                    << "pixel (" << x << ", " << y << ")" << (interlaced ? " interlaced" : "");
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, SeedMapCounts,
                         testing::Values(format_case{"palette1", 3, 1}, format_case{"palette2", 3, 2},
                                         format_case{"palette4", 3, 4}, format_case{"palette8", 3, 8},
                                         format_case{"grey1", 0, 1}, format_case{"grey2", 0, 2},
                                         format_case{"grey4", 0, 4}, format_case{"grey8", 0, 8}),
                         [](const testing::TestParamInfo<format_case> &case_info) { return case_info.param.name; });

// Readers use the index alone, so a palette shorter than the indexes used
// (or one of any colours) still gives the counts.
TEST(SeedMapDecode, IndexesBeyondAShortPaletteAreStillCounts)
{
    png_image image;
    image.width = 16;
    image.height = 16;
    image.palette_entries = 2;
    image.value = [](int x, int y) { return y * 16 + x; };
    std::string reason;
    image_handle map = decode(build_png(image), reason);
    ASSERT_NE(map, nullptr) << reason;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(seed_count(map.get(), x, y), y * 16 + x);
}

// Ancillary chunks (text, profiles, transparency, ...) carry nothing a seed
// map needs; whatever they hold, even broken, the counts stay the same.
TEST(SeedMapDecode, AncillaryChunksDoNotChangeTheCounts)
{
    png_image image;
    image.width = 9;
    image.height = 7;
    image.value = [](int x, int y) { return x * 20 + y; };
    const std::string plain = build_png(image);
    const std::size_t palette_at = plain.find("PLTE") - 4;
    const std::size_t end_at = plain.find("IEND") - 4;
    std::string broken_text = png_chunk("tEXt", "Comment");
    broken_text[broken_text.size() - 1] ^= 1;  // bad checksum
    const std::string before_palette = png_chunk("gAMA", big_endian(45455)) +
                                       png_chunk("iCCP", std::string("icc\0\0", 5) + "not deflate data") +
                                       png_chunk("zTXt", std::string("Title\0\0", 7) + "\x78\x9c garbage") +
                                       broken_text + png_chunk("sBIT", "\x08");
    const std::string after_palette = png_chunk("tRNS", std::string(256, '\0')) + png_chunk("bKGD", "\x05") +
                                      png_chunk("hIST", std::string(512, '\x01'));
    const std::string after_data = png_chunk("tIME", std::string(7, '\x01')) + png_chunk("prVt", "private");
    std::string decorated = plain.substr(0, palette_at) + before_palette;
    const std::size_t data_at = plain.find("IDAT") - 4;
    decorated += plain.substr(palette_at, data_at - palette_at) + after_palette;
    decorated += plain.substr(data_at, end_at - data_at) + after_data + plain.substr(end_at);

    std::string reason;
    image_handle map = decode(decorated, reason);
    ASSERT_NE(map, nullptr) << reason;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(seed_count(map.get(), x, y), x * 20 + y);
}

// The side limit is inclusive, holds for width and height alike, and is the
// caller's.
TEST(SeedMapDecode, SideLimitIsInclusiveInBothDirections)
{
    struct size_case {
        int width, height, max_side;
        bool accepted;
    };
    const size_case cases[] = {
        {max_seed_map_side, 1, max_seed_map_side, true},
        {1, max_seed_map_side, max_seed_map_side, true},
        {max_seed_map_side + 1, 1, max_seed_map_side, false},
        {1, max_seed_map_side + 1, max_seed_map_side, false},
        {10, 10, 10, true},
        {10, 10, 9, false},
    };
    for (const size_case &c : cases) {
        png_image image;
        image.width = c.width;
        image.height = c.height;
        image.value = [](int x, int y) { return (x + y) % 256; };
        std::string reason;
        image_handle map = decode(build_png(image), reason, c.max_side);
        std::string label = std::to_string(c.width) + " x " + std::to_string(c.height) + " limit " +
                            std::to_string(c.max_side);
        if (c.accepted) {
            ASSERT_NE(map, nullptr) << label << ": " << reason;
            EXPECT_EQ(seed_count(map.get(), c.width - 1, c.height - 1), (c.width + c.height - 2) % 256) << label;
        } else {
            EXPECT_EQ(map, nullptr) << label;
            EXPECT_EQ(reason, "declares an image of " + std::to_string(c.width) + " x " + std::to_string(c.height) +
                                  " pixels, more than the largest seed map accepted (" +
                                  std::to_string(c.max_side) + " x " + std::to_string(c.max_side) + ")")
                << label;
        }
    }
}

// ---------------------------------------------------------------------------
// Refused input: each case is refused with a reason that says why.

struct refusal_case {
    const char *name;
    std::string png;
    const char *reason_pattern;  // regular expression the whole reason matches
};

const char *const not_png = "is not a PNG image";
const char *const undecodable = "is not a PNG image that can be decoded \\(.+\\)";
const char *const true_colour = "is a true-colour image, not a seed map .*";

std::string valid_map()
{
    png_image image;
    image.width = 8;
    image.height = 8;
    image.value = [](int x, int y) { return x * 8 + y; };
    return build_png(image);
}

std::string with_byte_changed(std::string png, std::size_t at)
{
    png[at] = char(png[at] ^ 0x55);
    return png;
}

std::string grey_png(int depth, int colour_type)
{
    png_image image;
    image.width = 3;
    image.height = 2;
    image.depth = depth;
    image.colour_type = colour_type;
    return build_png(image);
}

std::vector<refusal_case> refusal_cases()
{
    const std::string palette = grey_palette(256);
    const std::string data = png_chunk("IDAT", stored_zlib(std::string(9 * 8, '\0')));
    const std::string end = png_chunk("IEND", "");
    const std::string good = valid_map();
    const std::size_t idat_at = good.find("IDAT") - 4;
    std::string bad_filter_rows;
    for (int y = 0; y < 4; ++y)
        bad_filter_rows += std::string("\x07") + std::string(4, '\0');
    return {
        {"Empty", "", not_png},
        {"Text", "P5 1 1 255\n", not_png},
        {"SignatureOnly", png_signature, "is not a PNG image \\(no image header\\)"},
        {"OtherChunkFirst", png_signature + png_chunk("tEXt", std::string("a\0b", 3)) + end,
         "is not a PNG image \\(no image header\\)"},
        {"ZeroWidth", png_signature + image_header(0, 4, 8, 3) + palette + data + end,
         "is not a PNG image \\(invalid image size\\)"},
        {"HeightBeyond31Bits", png_signature + image_header(4, 0x80000000u, 8, 3) + palette + data + end,
         "is not a PNG image \\(invalid image size\\)"},
        {"Huge", png_signature + image_header(100000, 100000, 8, 3) + palette + data + end,
         "declares an image of 100000 x 100000 pixels, more than the largest seed map accepted \\(16384 x 16384\\)"},
        {"WideByOne", png_signature + image_header(16385, 1, 8, 3) + palette + data + end,
         "declares an image of 16385 x 1 pixels, .*"},
        {"LargestTruncated", png_signature + image_header(16384, 16384, 8, 3) + palette + data + end, undecodable},
        {"Rgb8", grey_png(8, 2), true_colour},
        {"Rgb16", grey_png(16, 2), true_colour},
        {"GreyAlpha8", grey_png(8, 4), true_colour},
        {"Rgba8", grey_png(8, 6), true_colour},
        {"Rgba16", grey_png(16, 6), true_colour},
        {"Grey16", grey_png(16, 0), "is a 16-bit greyscale image, not a seed map .*"},
        {"InvalidDepthForColour", png_signature + image_header(4, 4, 3, 2) + data + end, undecodable},
        {"HeaderOnly", png_signature + image_header(8, 8, 8, 3), undecodable},
        {"NoPalette", png_signature + image_header(8, 8, 8, 3) + data + end, undecodable},
        {"NoEnd", good.substr(0, good.size() - 12),
         "is not a PNG image that can be decoded \\(the data ends before the image end chunk\\)"},
        // The decoder would first allocate the 1.5 GiB the text chunk claims.
        {"ChunkLongerThanTheFile",
         png_signature + image_header(32, 32, 1, 3) + big_endian(0x5F000000) + "zTXt" + std::string(40, 'x'),
         "is not a PNG image that can be decoded \\(the zTXt chunk is cut short\\)"},
        {"ChunkLengthBeyond31Bits", png_signature + image_header(8, 8, 8, 3) + big_endian(0xFFFFFFF0u) + "IDAT",
         "is not a PNG image that can be decoded \\(the IDAT chunk is cut short\\)"},
        {"GarbageChunkType", png_signature + image_header(8, 8, 8, 3) + big_endian(99) + "\x01\x02\x03\x04",
         "is not a PNG image that can be decoded \\(a chunk is cut short\\)"},
        {"TruncatedData", good.substr(0, idat_at + 40), undecodable},
        {"BadHeaderChecksum", with_byte_changed(good, 29), undecodable},
        {"BadDataChecksum", with_byte_changed(good, good.size() - 13), undecodable},
        {"BadFilter",
         png_signature + image_header(4, 4, 8, 3) + palette + png_chunk("IDAT", stored_zlib(bad_filter_rows)) + end,
         undecodable},
    };
}

TEST(SeedMapRefusal, EveryBrokenOrUnsuitableFileIsRefusedWithItsReason)
{
    for (const refusal_case &c : refusal_cases()) {
        std::string reason;
        image_handle map = decode(c.png, reason);
        EXPECT_EQ(map, nullptr) << c.name;
        EXPECT_TRUE(std::regex_match(reason, std::regex(c.reason_pattern)))
            << c.name << ": reason \"" << reason << "\" does not match \"" << c.reason_pattern << "\"";
    }
}

// A refusal leaves nothing behind that changes the next decode.
TEST(SeedMapRefusal, AValidMapDecodesAfterARefusal)
{
    std::string reason;
    EXPECT_EQ(decode(png_signature + image_header(8, 8, 8, 3), reason), nullptr);
    reason.clear();
    image_handle map = decode(valid_map(), reason);
    ASSERT_NE(map, nullptr) << reason;
    EXPECT_EQ(seed_count(map.get(), 7, 6), 62);
}

// ---------------------------------------------------------------------------
// seed_count outside the image.

TEST(SeedMapCount, CellsOutsideTheImageReadZero)
{
    gd_image map = create_seed_map(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            gdImageSetPixel(map.get(), x, y, 200);
    struct cell { int x, y, count; };
    const cell cells[] = {{0, 0, 200},  {2, 1, 200},        {-1, 0, 0},     {0, -1, 0},
                          {3, 0, 0},    {0, 2, 0},          {3, 2, 0},      {INT_MIN, 0, 0},
                          {0, INT_MAX, 0}, {INT_MAX, INT_MIN, 0}, {5000, 5000, 0}};
    for (const cell &c : cells)
        EXPECT_EQ(seed_count(map.get(), c.x, c.y), c.count) << "(" << c.x << ", " << c.y << ")";
}

// ---------------------------------------------------------------------------
// The PNG conformance suite: which kinds of PNG are seed maps.
//
// Files are named by kind: characters 4 and 5 give the colour type (0 grey,
// 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA) and 6..7 the bit depth, as in
// basn3p08; names starting with 'x' are deliberately corrupt files.

#ifndef PNGSUITE_DIR
#define PNGSUITE_DIR ""
#endif

struct png_kind {
    int colour_type;
    int depth;
    bool operator<(const png_kind &other) const
    {
        return colour_type != other.colour_type ? colour_type < other.colour_type : depth < other.depth;
    }
};

// What the reader makes of each kind of valid PNG.
const std::map<png_kind, bool> seed_map_kinds = {
    {{0, 1}, true},  {{0, 2}, true},  {{0, 4}, true}, {{0, 8}, true}, {{0, 16}, false},
    {{2, 8}, false}, {{2, 16}, false},
    {{3, 1}, true},  {{3, 2}, true},  {{3, 4}, true}, {{3, 8}, true},
    {{4, 8}, false}, {{4, 16}, false},
    {{6, 8}, false}, {{6, 16}, false},
};

std::vector<fs::path> suite_files()
{
    std::vector<fs::path> files;
    const std::regex suite_name("[a-z0-9]{3}[ni][0-6][a-z][0-9]{2}\\.png");
    for (const fs::directory_entry &entry : fs::directory_iterator(PNGSUITE_DIR))
        if (std::regex_match(entry.path().filename().string(), suite_name))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string file_bytes(const fs::path &path)
{
    return read_file(path.string());
}

TEST(SeedMapPngSuite, PaletteAndGreyUpTo8BitsAreSeedMapsOthersAreRefused)
{
    ASSERT_TRUE(fs::is_directory(PNGSUITE_DIR)) << "PNG suite missing at " << PNGSUITE_DIR;
    std::vector<fs::path> files = suite_files();
    ASSERT_GT(files.size(), 100u);
    int accepted = 0, refused_corrupt = 0;
    for (const fs::path &path : files) {
        const std::string name = path.filename().string();
        std::string reason;
        image_handle map = decode(file_bytes(path), reason);
        if (name[0] == 'x') {
            EXPECT_EQ(map, nullptr) << name << " is corrupt but was accepted";
            EXPECT_FALSE(reason.empty()) << name;
            ++refused_corrupt;
            continue;
        }
        const png_kind kind{name[4] - '0', std::stoi(name.substr(6, 2))};
        auto expected = seed_map_kinds.find(kind);
        ASSERT_NE(expected, seed_map_kinds.end()) << name << ": kind missing from the table";
        if (!expected->second) {
            EXPECT_EQ(map, nullptr) << name << " should be refused";
            EXPECT_TRUE(reason.find("true-colour") != std::string::npos ||
                        reason.find("16-bit greyscale") != std::string::npos)
                << name << ": " << reason;
            continue;
        }
        ASSERT_NE(map, nullptr) << name << ": " << reason;
        ++accepted;
        EXPECT_FALSE(gdImageTrueColor(map.get())) << name;
        // A count is a stored sample, so it fits the bit depth.
        int largest = 0;
        for (int y = 0; y < gdImageSY(map.get()); ++y)
            for (int x = 0; x < gdImageSX(map.get()); ++x)
                largest = std::max(largest, seed_count(map.get(), x, y));
        EXPECT_LT(largest, 1 << kind.depth) << name;
    }
    EXPECT_GT(accepted, 50);
    EXPECT_GT(refused_corrupt, 10);
}

// Interlaced files of the suite read exactly like their plain twins.
TEST(SeedMapPngSuite, InterlacedFilesReadLikeTheirPlainTwins)
{
    ASSERT_TRUE(fs::is_directory(PNGSUITE_DIR)) << "PNG suite missing at " << PNGSUITE_DIR;
    int compared = 0;
    for (const fs::path &path : suite_files()) {
        std::string name = path.filename().string();
        if (name.substr(0, 4) != "basi")
            continue;
        std::string twin_name = "basn" + name.substr(4);
        std::string reason, twin_reason;
        image_handle map = decode(file_bytes(path), reason);
        image_handle twin = decode(file_bytes(path.parent_path() / twin_name), twin_reason);
        ASSERT_EQ(map == nullptr, twin == nullptr) << name;
        if (map == nullptr)
            continue;
        ++compared;
        ASSERT_EQ(gdImageSX(map.get()), gdImageSX(twin.get()));
        ASSERT_EQ(gdImageSY(map.get()), gdImageSY(twin.get()));
        for (int y = 0; y < gdImageSY(map.get()); ++y)
            for (int x = 0; x < gdImageSX(map.get()); ++x)
                ASSERT_EQ(seed_count(map.get(), x, y), seed_count(twin.get(), x, y)) << name << " (" << x << ", "
                                                                                     << y << ")";
    }
    EXPECT_GE(compared, 8);
}

// ---------------------------------------------------------------------------
// read_seed_map: a file that is no seed map is refused with a reason that
// names what is wrong; the caller decides what to do with it.

TEST(SeedMapRead, ReadsTheCountsOfAMapFile)
{
    scratch_directory scratch;
    const std::string path = scratch / "map.png";
    write_seed_map_file(path, 20, 10, [](int x, int y) { return (x * 11 + y) % 256; });
    outcome<gd_image> map = read_seed_map(path);
    ASSERT_TRUE(map.ok()) << map.error().reason;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(seed_count(map.value().get(), x, y), (x * 11 + y) % 256);
}

struct refused_read {
    const char *name;
    void (*make)(const std::string &path);  // makes the file at `path`
    failure::kind kind;
    const char *reason_pattern;
};

void PrintTo(const refused_read &c, std::ostream *out)
{
    *out << c.name;
}

void make_nothing(const std::string &) {}
void make_directory(const std::string &path) { fs::create_directory(path); }
void make_text(const std::string &path) { write_file(path, "not an image\n"); }
void make_huge(const std::string &path) { write_file(path, png_signature + image_header(100000, 100000, 8, 3)); }
void make_truncated(const std::string &path)
{
    write_file(path, png_signature + image_header(16384, 16384, 8, 3) + grey_palette(256));
}
void make_rgb(const std::string &path) { write_file(path, grey_png(8, 2)); }
void make_silent_pipe(const std::string &path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }
// Sparse: costs no disk.
void make_oversized(const std::string &path)
{
    write_file(path, valid_map());
    fs::resize_file(path, (std::uintmax_t(512) << 20) + 1);
}

class SeedMapRefused : public ::testing::TestWithParam<refused_read> {};

TEST_P(SeedMapRefused, NamesTheFileAndTheReason)
{
    const refused_read &c = GetParam();
    scratch_directory scratch;
    const std::string path = scratch / "map.png";
    c.make(path);
    alarm(20);  // a read that hangs is ended by the alarm, which fails the case
    outcome<gd_image> map = read_seed_map(path);
    alarm(0);
    ASSERT_FALSE(map.ok());
    EXPECT_EQ(map.error().file, path);
    EXPECT_EQ(map.error().what, c.kind);
    EXPECT_TRUE(std::regex_match(map.error().reason, std::regex(c.reason_pattern))) << map.error().reason;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SeedMapRefused,
    ::testing::Values(
        refused_read{"missing", make_nothing, failure::kind::cannot_open, "No such file or directory"},
        refused_read{"directory", make_directory, failure::kind::other, "cannot read: Is a directory"},
        refused_read{"text", make_text, failure::kind::other, "is not a PNG image"},
        refused_read{"huge", make_huge, failure::kind::other, "declares an image of 100000 x 100000 pixels.*"},
        refused_read{"truncated", make_truncated, failure::kind::other,
                     "is not a PNG image that can be decoded \\(.+\\)"},
        refused_read{"rgb", make_rgb, failure::kind::other, "is a true-colour image.*"},
        refused_read{"pipe_without_writer", make_silent_pipe, failure::kind::other, "is not a PNG image"},
        refused_read{"oversized", make_oversized, failure::kind::other,
                     "is larger than any seed map accepted \\(512 MiB\\)"}),
    [](const ::testing::TestParamInfo<refused_read> &case_info) { return std::string(case_info.param.name); });

}  // namespace
