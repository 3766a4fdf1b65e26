#include "hostile_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "fixture_maps.h"


namespace {

const char *const cohort_prefixes[] = {"Dorm5_Yr", "Dorm4_Yr", "Dorm3_Yr", "Dorm2_Yr", "Dorm1_Yr", "Seeds_Yr"};

}  // namespace

std::vector<std::string> winter_inputs(const std::string &label)
{
    std::vector<std::string> names;
    for (const char *prefix : cohort_prefixes)
        names.push_back(prefix + label + ".png");
    return names;
}

std::vector<std::string> winter_outputs(const std::string &label)
{
    return {"Dorm5_Yr" + label + ".png", "Dorm4_Yr" + label + ".png", "Dorm3_Yr" + label + ".png",
            "Dorm2_Yr" + label + ".png", "Dorm1_Yr" + label + ".png", "Seeds_Yr" + label + ".dat"};
}

void write_small_winter_inputs(const std::string &directory, const std::string &label)
{
    for (const std::string &name : winter_inputs(label)) {
        const std::filesystem::path path = directory + "/" + name;
        std::filesystem::create_directories(path.parent_path());
        write_seed_map_file(path.string(), 1, 1, [](int, int) { return 0; });
    }
}

std::string describe(const program_result &result)
{
    return "exit status " + std::to_string(result.exit_status) + ", signal " + std::to_string(result.signal) +
           "\n--- stdout (end) ---\n" + result.out.substr(result.out.size() > 600 ? result.out.size() - 600 : 0) +
           "\n--- stderr ---\n" + result.err.substr(0, 2000);
}

namespace {

// Sanitized builds report to standard error and exit with status 1, which
// a failing run's status alone would not tell apart.
void expect_no_sanitizer_report(const program_result &result)
{
    for (const char *mark : {"Sanitizer", "runtime error:"})
        EXPECT_EQ(result.err.find(mark), std::string::npos) << describe(result);
}

}  // namespace

void expect_clean_failure(const program_result &result, const std::string &file,
                          const std::map<std::string, std::string> &before, const std::string &directory)
{
    EXPECT_EQ(result.signal, 0) << describe(result);
    EXPECT_EQ(result.exit_status, 1) << describe(result);
    expect_no_sanitizer_report(result);
    EXPECT_NE(result.err.find(file), std::string::npos)
        << "standard error does not name " << file.substr(0, 300) << "\n" << describe(result);
    const std::map<std::string, std::string> after = snapshot(directory);
    for (const auto &[name, content] : after) {
        auto was = before.find(name);
        EXPECT_TRUE(was != before.end()) << "left behind: " << name;
        if (was != before.end()) {
            EXPECT_TRUE(was->second == content) << "changed: " << name;
        }
    }
    for (const auto &[name, content] : before)
        EXPECT_TRUE(after.count(name)) << "removed: " << name;
}

void expect_completed(const program_result &result, const std::vector<std::string> &outputs,
                      const std::map<std::string, std::string> &before, const std::string &directory)
{
    EXPECT_EQ(result.signal, 0) << describe(result);
    EXPECT_EQ(result.exit_status, 0) << describe(result);
    expect_no_sanitizer_report(result);
    const std::map<std::string, std::string> after = snapshot(directory);
    auto is_output = [&](const std::string &name) {
        return std::find(outputs.begin(), outputs.end(), name) != outputs.end();
    };
    for (const std::string &output : outputs) {
        auto written = after.find(output);
        EXPECT_TRUE(written != after.end() && !written->second.empty()) << "missing or empty: " << output;
    }
    for (const auto &[name, content] : after) {
        if (is_output(name))
            continue;
        auto was = before.find(name);
        EXPECT_TRUE(was != before.end()) << "unexpected file: " << name;
        if (was != before.end()) {
            EXPECT_TRUE(was->second == content) << "changed: " << name;
        }
    }
    for (const auto &[name, content] : before)
        EXPECT_TRUE(after.count(name)) << "removed: " << name;
}
