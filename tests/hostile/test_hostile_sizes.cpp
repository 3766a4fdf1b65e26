// Maps whose header declares more than any seed map may hold, or whose data
// cannot back what the header declares, are refused by every program with a
// message naming the file and the reason, before the image is allocated,
// and the run creates and changes nothing.
#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>
#include <string>
#include <vector>

#include "hostile_runs.h"
#include "png_bytes.h"
#include "program_run.h"


namespace fs = std::filesystem;

namespace {

struct size_case {
    const char *name;
    std::string bytes;
    std::uintmax_t file_size;  // 0: the bytes as they are; else padded (sparse) to this size
    const char *reason;
};

std::string declared_only(std::uint32_t width, std::uint32_t height, int colour_type)
{
    std::string png = png_signature + image_header(width, height, 8, colour_type);
    if (colour_type == 3)
        png += grey_palette(256);
    return png + png_chunk("IDAT", stored_zlib(std::string(4096, '\0'))) + png_chunk("IEND", "");
}

std::string complete_map(int width, int height)
{
    png_image image;
    image.width = width;
    image.height = height;
    image.value = [](int x, int) { return x % 256; };
    return build_png(image);
}

std::vector<size_case> size_cases()
{
    return {
        {"huge", declared_only(100000, 100000, 3), 0,
         "declares an image of 100000 x 100000 pixels, more than the largest seed map accepted (16384 x 16384)"},
        {"one_too_wide", complete_map(16385, 1), 0, "declares an image of 16385 x 1 pixels"},
        {"one_too_high", complete_map(1, 16385), 0, "declares an image of 1 x 16385 pixels"},
        {"largest_truncated", declared_only(16384, 16384, 3), 0, "is not a PNG image that can be decoded ("},
        {"largest_true_colour", declared_only(16384, 16384, 6), 0, "is a true-colour image"},
        {"larger_than_any_map", complete_map(4, 4), (std::uintmax_t(512) << 20) + 1,
         "is larger than any seed map accepted"},
    };
}

struct program_case {
    const char *name;
    const char *executable;
};

const program_case programs[] = {{"winter", WINTER_EXE}, {"blockmap", BLOCKMAP_EXE}, {"stepmap", STEPMAP_EXE}};

struct size_run {
    size_case map;
    program_case program;
};

void PrintTo(const size_run &c, std::ostream *out)
{
    *out << c.program.name << " on " << c.map.name;
}

std::vector<size_run> size_runs()
{
    std::vector<size_run> runs;
    for (const size_case &map : size_cases())
        for (const program_case &program : programs)
            runs.push_back({map, program});
    return runs;
}

class HostileSizes : public ::testing::TestWithParam<size_run> {};

// The map lives outside the run's directory (the oversized one must not be
// read by the snapshot); winter reaches it through a symbolic link named
// as its fresh-seed map, the summarisers by its path.
TEST_P(HostileSizes, OversizedMapIsRefusedNamingTheFile)
{
    const size_case &c = GetParam().map;
    const program_case &program = GetParam().program;
    scratch_directory maps;
    const std::string map = maps / (std::string(c.name) + ".png");
    write_file(map, c.bytes);
    if (c.file_size != 0)
        fs::resize_file(map, c.file_size);
    scratch_directory run;
    std::vector<std::string> arguments{map};
    std::string named = map;
    if (std::string(program.name) == "winter") {
        write_small_winter_inputs(run.path(), "1");
        fs::remove(run / "Seeds_Yr1.png");
        fs::create_symlink(map, run / "Seeds_Yr1.png");
        arguments = {"1", "2"};
        named = "Seeds_Yr1.png";
    }
    const auto before = snapshot(run.path());
    const program_result result = run_program(program.executable, arguments, run.path());
    expect_clean_failure(result, named, before, run.path());
    EXPECT_NE(result.err.find(named + ": " + c.reason), std::string::npos) << describe(result);
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileSizes, ::testing::ValuesIn(size_runs()),
                         [](const ::testing::TestParamInfo<size_run> &case_info) {
                             return std::string(case_info.param.program.name) + "_" + case_info.param.map.name;
                         });

}  // namespace
