// Output files that cannot be written: for every file each program writes,
// its directory is missing, a directory stands in its place, the disk is
// full (the name is a link to /dev/full), the file size limit is hit, or
// the name is too long for the file system.  Each run ends with exit status
// 1 and a message naming the file; every file that was there before is
// left as it was (outputs of an earlier run included) and no temporary
// file is left behind.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fixture_maps.h"
#include "hostile_runs.h"
#include "program_run.h"


namespace fs = std::filesystem;

namespace {

enum class fault { missing_directory, directory_in_the_way, disk_full };

const char *fault_name(fault kind)
{
    switch (kind) {
    case fault::missing_directory: return "missing_directory";
    case fault::directory_in_the_way: return "directory_in_the_way";
    case fault::disk_full: return "disk_full";
    }
    return "";
}

struct output_case {
    std::string name;
    const char *executable;
    std::function<std::vector<std::string>(const std::string &directory)> arguments;
    std::function<void(const std::string &directory)> setup;
    std::string named;  // what the failure message must name
    run_options options;
};

const std::string earlier_output = "written by an earlier run\n";

// Puts `kind` in the place of output `target`, below `directory`.
void apply_fault(const std::string &directory, const std::string &target, fault kind)
{
    const fs::path path = fs::path(directory) / target;
    switch (kind) {
    case fault::missing_directory:
        fs::remove_all(path.parent_path());
        break;
    case fault::directory_in_the_way:
        fs::create_directories(path);
        break;
    case fault::disk_full:
        fs::create_symlink("/dev/full", path);
        break;
    }
}

// Outputs of an earlier run, which a failed run must leave as they are.
void write_earlier_outputs(const std::string &directory, const std::vector<std::string> &outputs)
{
    for (const std::string &output : outputs) {
        const fs::path path = fs::path(directory) / output;
        fs::create_directories(path.parent_path());
        write_file(path.string(), earlier_output);
    }
}

std::function<std::vector<std::string>(const std::string &)> fixed(std::vector<std::string> arguments)
{
    return [arguments](const std::string &) { return arguments; };
}

void add_winter_cases(std::vector<output_case> &cases)
{
    for (fault kind : {fault::missing_directory, fault::directory_in_the_way, fault::disk_full}) {
        // Outputs in directories of their own, so one of them can be missing.
        const std::string label = kind == fault::missing_directory ? "out/2" : "2";
        for (const std::string &target : winter_outputs(label)) {
            cases.push_back({std::string("winter_") + fault_name(kind) + "_" + target, WINTER_EXE,
                             fixed({"1", label}),
                             [label, target, kind](const std::string &directory) {
                                 write_small_winter_inputs(directory, "1");
                                 write_earlier_outputs(directory, winter_outputs(label));
                                 fs::remove(fs::path(directory) / target);
                                 apply_fault(directory, target, kind);
                             },
                             target,
                             {}});
        }
    }
    // Every output name is one component longer than the file system allows.
    const std::string long_label(250, 'y');
    cases.push_back({"winter_name_too_long", WINTER_EXE, fixed({"1", long_label}),
                     [](const std::string &directory) { write_small_winter_inputs(directory, "1"); }, long_label,
                     {}});
    // The first map written (the 4-year cohort's survivors) exceeds the
    // file size limit.
    run_options small_files;
    small_files.file_size_limit = 1000;
    cases.push_back({"winter_file_size_limit", WINTER_EXE, fixed({"1", "2"}),
                     [](const std::string &directory) {
                         write_small_winter_inputs(directory, "1");
                         write_earlier_outputs(directory, winter_outputs("2"));
                     },
                     "Dorm5_Yr2.png", small_files});
}

void add_summary_cases(std::vector<output_case> &cases, const std::string &program, const char *executable)
{
    auto with_map = [](const std::string &directory) {
        write_seed_map_file(directory + "/map.png", 4, 4, [](int x, int y) { return x * y; });
    };
    for (fault kind : {fault::directory_in_the_way, fault::disk_full}) {
        cases.push_back({program + "_" + fault_name(kind), executable, fixed({"map.png"}),
                         [with_map, kind](const std::string &directory) {
                             with_map(directory);
                             apply_fault(directory, "summary.png", kind);
                         },
                         "summary.png",
                         {}});
    }
    // The working directory, where summary.png goes, is removed under the
    // program before it starts.
    cases.push_back({program + "_missing_directory", "/bin/sh",
                     [executable](const std::string &directory) {
                         return std::vector<std::string>{"-c", "mkdir gone && cd gone && rmdir ../gone && exec \"$0\" \"$1\"",
                                                         executable, directory + "/map.png"};
                     },
                     with_map, "summary.png", {}});
    run_options small_files;
    small_files.file_size_limit = 100;
    cases.push_back({program + "_file_size_limit", executable, fixed({"map.png"}),
                     [with_map](const std::string &directory) {
                         with_map(directory);
                         write_earlier_outputs(directory, {"summary.png"});
                     },
                     "summary.png", small_files});
}

void add_generate_cases(std::vector<output_case> &cases)
{
    // A density is a number, so it can no longer name a directory: refused
    // before any file is touched.
    cases.push_back({"generate_density_naming_a_directory", GENERATE_EXE, fixed({"sub/1"}),
                     [](const std::string &) {}, "sub/1", {}});
    for (fault kind : {fault::directory_in_the_way, fault::disk_full}) {
        cases.push_back({std::string("generate_") + fault_name(kind), GENERATE_EXE, fixed({"1"}),
                         [kind](const std::string &directory) { apply_fault(directory, "den_1.dat", kind); },
                         "den_1.dat",
                         {}});
    }
    const std::string long_density = "0." + std::string(300, '0');
    cases.push_back({"generate_name_too_long", GENERATE_EXE, fixed({long_density}), [](const std::string &) {},
                     "den_" + long_density + ".dat", {}});
    run_options small_files;
    small_files.file_size_limit = 1000;
    cases.push_back({"generate_file_size_limit", GENERATE_EXE, fixed({"1000"}),
                     [](const std::string &directory) { write_earlier_outputs(directory, {"den_1000.dat"}); },
                     "den_1000.dat", small_files});
}

std::vector<output_case> output_cases()
{
    std::vector<output_case> cases;
    add_winter_cases(cases);
    add_summary_cases(cases, "blockmap", BLOCKMAP_EXE);
    add_summary_cases(cases, "stepmap", STEPMAP_EXE);
    add_generate_cases(cases);
    return cases;
}

void PrintTo(const output_case &c, std::ostream *out)
{
    *out << c.name;
}

class HostileOutputs : public ::testing::TestWithParam<output_case> {};

TEST_P(HostileOutputs, UnwritableOutputFailsTheRunAndChangesNothing)
{
    const output_case &c = GetParam();
    scratch_directory scratch;
    c.setup(scratch.path());
    const auto before = snapshot(scratch.path());
    const program_result result = run_program(c.executable, c.arguments(scratch.path()), scratch.path(), c.options);
    expect_clean_failure(result, c.named, before, scratch.path());
}

// Test names hold letters, digits and underscores only.
std::string test_name(const std::string &name)
{
    std::string cleaned;
    for (char c : name)
        cleaned += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return cleaned;
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileOutputs, ::testing::ValuesIn(output_cases()),
                         [](const ::testing::TestParamInfo<output_case> &case_info) { return test_name(case_info.param.name); });

}  // namespace
