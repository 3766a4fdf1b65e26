// Schedule files: the shipped default holds exactly the built-in constants,
// both accepted layouts read the same table, and every malformed file is
// refused with its name and the line at fault.
#include <bit>
#include <cstdint>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "cohort_schedule.h"
#include "expected_schedule.h"
#include "program_run.h"
#include "schedule_file.h"

using namespace seedbank::distribute;

namespace {

void expect_bits(const cohort_probability_table &table, const cohort_row (&expected)[6])
{
    for (std::size_t k = 0; k < 6; ++k) {
        SCOPED_TRACE(cohort_names[k]);
        EXPECT_EQ(std::bit_cast<uint32_t>(table[k].d_prob), expected[k].d_prob);
        EXPECT_EQ(std::bit_cast<uint32_t>(table[k].pred), expected[k].pred);
    }
}

TEST(DefaultSchedule, ParsesToTheBuiltInBitPatterns)
{
    std::string reason;
    const auto table = read_schedule_file(DEFAULT_SCHEDULE_FILE, reason);
    ASSERT_TRUE(table) << reason;
    expect_bits(*table, expected_cohorts);
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(std::bit_cast<uint32_t>((*table)[k].d_prob), std::bit_cast<uint32_t>(cohort_schedule[k].d_prob));
        EXPECT_EQ(std::bit_cast<uint32_t>((*table)[k].pred), std::bit_cast<uint32_t>(cohort_schedule[k].pred));
    }
}

TEST(DefaultSchedule, BuiltInTableIsTheCompiledSchedule)
{
    expect_bits(built_in_probabilities(), expected_cohorts);
}

// --- Accepted layouts: each must read as the default table. ---

struct layout_case {
    const char *name;
    std::string text;
};

void PrintTo(const layout_case &c, std::ostream *out)
{
    *out << c.name;
}

class ScheduleLayout : public testing::TestWithParam<layout_case> {};

TEST_P(ScheduleLayout, ReadsTheBuiltInTable)
{
    std::string reason;
    const auto table = parse_schedule(GetParam().text, "s.tsv", reason);
    ASSERT_TRUE(table) << reason;
    expect_bits(*table, expected_cohorts);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ScheduleLayout,
    testing::Values(
        layout_case{"oldest_first_without_names",
                    "d_prob\tpred\n0.48\t0.8\n0.9\t0.7\n0.95\t0.6\n0.89\t0.5\n0.88\t0.45\n0.75\t0.4\n"},
        layout_case{"keyed_in_any_order",
                    "cohort\td_prob\tpred\nfresh\t0.75\t0.4\ndorm2\t0.89\t0.5\ndorm5\t0.48\t0.8\n"
                    "dorm1\t0.88\t0.45\ndorm3\t0.95\t0.6\ndorm4\t0.9\t0.7\n"},
        layout_case{"columns_in_another_order",
                    "pred\tcohort\td_prob\n0.8\tdorm5\t0.48\n0.7\tdorm4\t0.9\n0.6\tdorm3\t0.95\n"
                    "0.5\tdorm2\t0.89\n0.45\tdorm1\t0.88\n0.4\tfresh\t0.75\n"},
        layout_case{"crlf_comments_blank_lines_no_final_newline",
                    "# a scenario\r\ncohort\td_prob\tpred\r\n\r\ndorm5\t0.48\t0.8\r\ndorm4\t0.9\t0.7\r\n"
                    "dorm3\t.95\t0.6\r\n# comment\r\ndorm2\t0.89\t0.5\r\ndorm1\t0.88\t0.45\r\nfresh\t0.75\t0.4"},
        layout_case{"literal_spellings",
                    "d_prob\tpred\n4.8e-1\t8e-1\n0.90\t0.7\n0.95\t0.6\n0.89\t0.5\n0.88\t0.45\n0x1.8p-1\t0.4\n"}),
    [](const testing::TestParamInfo<layout_case> &instance) { return std::string(instance.param.name); });

// The literal_spellings case above must not pass by accident: "8e-1" is
// text, so that row is refused; the case is kept honest here.
TEST(ScheduleValues, ParseLikeAFloatLiteral)
{
    std::string reason;
    const auto table = parse_schedule("d_prob\tpred\n0.1\t1\n0\t1e-50\n1.0\t0.3333333333333333\n"
                                      "0x1p-1\t0.99999999\n0.2\t0.2\n0.5\t0.5\n",
                                      "v.tsv", reason);
    ASSERT_TRUE(table) << reason;
    EXPECT_EQ(std::bit_cast<uint32_t>((*table)[0].d_prob), std::bit_cast<uint32_t>(0.1f));
    EXPECT_EQ((*table)[0].pred, 1.0f);
    EXPECT_EQ((*table)[1].pred, 0.0f);  // 1e-50 underflows to 0, as the literal does
    EXPECT_EQ(std::bit_cast<uint32_t>((*table)[2].pred), std::bit_cast<uint32_t>(0.3333333333333333f));
    EXPECT_EQ((*table)[3].d_prob, 0.5f);
    EXPECT_EQ((*table)[3].pred, 1.0f);  // rounds to 1 in single precision
}

// --- Refusals: the file name, the line and the reason. ---

struct refusal_case {
    const char *name;
    std::string text;
    std::string message;  // expected reason, file name "bad.tsv"
};

void PrintTo(const refusal_case &c, std::ostream *out)
{
    *out << c.name;
}

class ScheduleRefusal : public testing::TestWithParam<refusal_case> {};

TEST_P(ScheduleRefusal, NamesTheFileAndLine)
{
    std::string reason;
    EXPECT_FALSE(parse_schedule(GetParam().text, "bad.tsv", reason));
    EXPECT_EQ(reason, GetParam().message);
}

const std::string header = "cohort\td_prob\tpred\n";
const std::string first_five = "dorm5\t0.48\t0.8\ndorm4\t0.9\t0.7\ndorm3\t0.95\t0.6\ndorm2\t0.89\t0.5\n"
                               "dorm1\t0.88\t0.45\n";

INSTANTIATE_TEST_SUITE_P(
    Refusals, ScheduleRefusal,
    testing::Values(
        refusal_case{"empty_file", "", "bad.tsv: no header line (cohort, d_prob, pred)"},
        refusal_case{"five_rows", header + first_five,
                     "bad.tsv:6: the file ends after 5 cohort rows; six are needed"},
        refusal_case{"seven_rows", header + first_five + "fresh\t0.75\t0.4\nfresh\t0.75\t0.4\n",
                     "bad.tsv:8: more than six cohort rows"},
        refusal_case{"unknown_cohort", header + "dorm6\t0.48\t0.8\n",
                     "bad.tsv:2: unknown cohort 'dorm6' (the cohorts are dorm5, dorm4, dorm3, dorm2, dorm1, fresh)"},
        refusal_case{"duplicate_cohort", header + "dorm5\t0.48\t0.8\ndorm5\t0.48\t0.8\n",
                     "bad.tsv:3: cohort 'dorm5' appears twice"},
        refusal_case{"above_one", header + "dorm5\t1.0000001\t0.8\n",
                     "bad.tsv:2: d_prob: '1.0000001' lies outside [0, 1]"},
        refusal_case{"negative", header + "dorm5\t0.48\t-0.0001\n",
                     "bad.tsv:2: pred: '-0.0001' lies outside [0, 1]"},
        refusal_case{"infinite", header + first_five + "fresh\tinf\t0.4\n",
                     "bad.tsv:7: d_prob: 'inf' lies outside [0, 1]"},
        refusal_case{"nan", header + "dorm5\tnan\t0.8\n", "bad.tsv:2: d_prob: 'nan' is not a number (NaN)"},
        refusal_case{"text", header + "dorm5\t0.48\thigh\n", "bad.tsv:2: pred: 'high' is not a number"},
        refusal_case{"trailing_text", header + "dorm5\t0.48\t0.8f\n", "bad.tsv:2: pred: '0.8f' is not a number"},
        refusal_case{"leading_blank", header + "dorm5\t 0.48\t0.8\n", "bad.tsv:2: d_prob: ' 0.48' is not a number"},
        refusal_case{"empty_value", header + "dorm5\t\t0.8\n", "bad.tsv:2: d_prob: an empty value"},
        refusal_case{"missing_field", header + "dorm5\t0.48\n", "bad.tsv:2: 2 fields where the header has 3"},
        refusal_case{"space_separated", "cohort d_prob pred\n",
                     "bad.tsv:1: unknown column 'cohort d_prob pred' (the columns are cohort, d_prob, pred)"},
        refusal_case{"missing_pred_column", "cohort\td_prob\n", "bad.tsv:1: the header has no column 'pred'"},
        refusal_case{"duplicate_column", "d_prob\tpred\td_prob\n", "bad.tsv:1: column 'd_prob' appears twice"},
        refusal_case{"no_header", "0.48\t0.8\n",
                     "bad.tsv:1: unknown column '0.48' (the columns are cohort, d_prob, pred)"}),
    [](const testing::TestParamInfo<refusal_case> &instance) { return std::string(instance.param.name); });

TEST(ScheduleFile, UnreadableFilesAreRefusedWithTheirName)
{
    scratch_directory dir;
    std::string reason;
    EXPECT_FALSE(read_schedule_file(dir / "missing.tsv", reason));
    EXPECT_EQ(reason, dir / "missing.tsv" + ": No such file or directory");
    EXPECT_FALSE(read_schedule_file(dir.path(), reason));
    EXPECT_EQ(reason, dir.path() + ": Is a directory");
    write_file(dir / "huge.tsv", std::string(100000, '#'));
    EXPECT_FALSE(read_schedule_file(dir / "huge.tsv", reason));
    EXPECT_EQ(reason, dir / "huge.tsv" + ": larger than 65536 bytes, not a schedule");
}

}  // namespace
