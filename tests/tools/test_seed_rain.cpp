// Seed rain's laws, checked on large samples drawn from fixed seeds: the
// Poisson seed count, the two dispersal kernels and establishment.  Every
// bound is five standard errors of the statistic for the sample drawn, so a
// correct implementation fails by chance about once in three million runs,
// while a wrong mean, spread or scale shows at once.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "program_run.h"
#include "random.h"
#include "seed_rain.h"

using namespace seedbank;
using namespace seedbank::tools;

namespace {

constexpr double bound_in_standard_errors = 5.0;

struct moments {
    double mean = 0.0;
    double variance = 0.0;
};

moments moments_of(const std::vector<double> &values)
{
    moments m;
    for (double v : values)
        m.mean += v;
    m.mean /= static_cast<double>(values.size());
    for (double v : values)
        m.variance += (v - m.mean) * (v - m.mean);
    m.variance /= static_cast<double>(values.size() - 1);
    return m;
}

// --- The home-made logarithm and exponential. ---

TEST(PortableMath, LogarithmAgreesWithTheLibraryToAFewUlps)
{
    for (double x : {1e-300, 2.2e-16, 4.656612873077393e-10, 1e-6, 0.1, 0.5, 0.7071, 0.99999988079071044921875,
                     1.0, 1.5, 2.0, 3.0, 1e10, 1e300}) {
        const double expected = std::log(x);
        EXPECT_NEAR(portable_log(x), expected, 4.0 * std::abs(expected) * 0x1p-52 + 1e-300) << x;
    }
    restart_random_module();
    uniform_stream stream{-5};
    for (int i = 0; i < 100000; ++i) {
        const double u = stream.next();
        ASSERT_NEAR(portable_log(u), std::log(u), 4.0 * std::abs(std::log(u)) * 0x1p-52 + 0x1p-60) << u;
    }
}

TEST(PortableMath, ExponentialAgreesWithTheLibraryToAFewUlps)
{
    for (int i = 0; i <= 16000; ++i) {
        const double x = i / 1000.0;
        const double expected = std::exp(-x);
        ASSERT_NEAR(portable_exp_minus(x), expected, 8.0 * expected * 0x1p-52) << x;
    }
}

// --- Poisson seed counts: mean and variance both equal the mean asked for. ---

class PoissonSeedCount : public testing::TestWithParam<double> {};

TEST_P(PoissonSeedCount, HasTheMeanAsMeanAndVariance)
{
    const double mean = GetParam();
    const int draws = 200000;
    restart_random_module();
    uniform_stream stream{-2024};
    std::vector<double> counts;
    counts.reserve(draws);
    for (int i = 0; i < draws; ++i)
        counts.push_back(static_cast<double>(poisson_deviate(stream, mean)));
    const moments m = moments_of(counts);
    // Standard errors: sqrt(mean / n) for the mean; for the sample variance
    // sqrt((mu4 - sigma^4) / n) with mu4 = mean (1 + 3 mean).
    const double mean_error = std::sqrt(mean / draws);
    const double variance_error = std::sqrt((mean + 2.0 * mean * mean) / draws);
    EXPECT_NEAR(m.mean, mean, bound_in_standard_errors * mean_error);
    EXPECT_NEAR(m.variance, mean, bound_in_standard_errors * variance_error);
}

INSTANTIATE_TEST_SUITE_P(Means, PoissonSeedCount, testing::Values(0.3, 5.0, 16.0, 16.5, 37.25, 200.0),
                         [](const testing::TestParamInfo<double> &instance) {
                             std::string name = "mean_" + std::to_string(instance.param);
                             for (char &c : name)
                                 if (c == '.')
                                     c = '_';
                             return name;
                         });

TEST(PoissonSeedCount, MeanZeroSetsNoSeedAndDrawsNothing)
{
    restart_random_module();
    uniform_stream stream{-3};
    EXPECT_EQ(poisson_deviate(stream, 0.0), 0);
    EXPECT_EQ(stream.seed_word, -3);
}

// --- Dispersal kernels. ---

struct kernel_sample {
    std::vector<double> dx, dy, distance;
};

kernel_sample draw_kernel(dispersal_kernel kernel, double scale, int draws)
{
    restart_random_module();
    uniform_stream stream{-77};
    kernel_sample sample;
    for (int i = 0; i < draws; ++i) {
        const offset o = dispersal_offset(stream, kernel, scale);
        sample.dx.push_back(o.dx);
        sample.dy.push_back(o.dy);
        sample.distance.push_back(std::hypot(o.dx, o.dy));
    }
    return sample;
}

TEST(DispersalKernel, GaussianOffsetsAreNormalWithTheScaleAsDeviation)
{
    const double scale = 12.5;
    const int draws = 200000;
    const kernel_sample sample = draw_kernel(dispersal_kernel::gaussian, scale, draws);
    const double n = draws;
    for (const std::vector<double> *axis : {&sample.dx, &sample.dy}) {
        const moments m = moments_of(*axis);
        EXPECT_NEAR(m.mean, 0.0, bound_in_standard_errors * scale / std::sqrt(n));
        EXPECT_NEAR(m.variance, scale * scale, bound_in_standard_errors * scale * scale * std::sqrt(2.0 / n));
    }
    // The distance is Rayleigh: mean scale sqrt(pi / 2), deviation
    // scale sqrt((4 - pi) / 2).
    const moments distance = moments_of(sample.distance);
    EXPECT_NEAR(distance.mean, scale * std::sqrt(std::numbers::pi / 2.0),
                bound_in_standard_errors * scale * std::sqrt((4.0 - std::numbers::pi) / 2.0) / std::sqrt(n));
    // x and y independent: their correlation is 0 within 1 / sqrt(n).
    double covariance = 0.0;
    for (int i = 0; i < draws; ++i)
        covariance += sample.dx[static_cast<std::size_t>(i)] * sample.dy[static_cast<std::size_t>(i)];
    EXPECT_NEAR(covariance / n / (scale * scale), 0.0, bound_in_standard_errors / std::sqrt(n));
}

TEST(DispersalKernel, ExponentialDistanceHasTheScaleAsMeanInAUniformDirection)
{
    const double scale = 30.0;
    const int draws = 200000;
    const kernel_sample sample = draw_kernel(dispersal_kernel::exponential, scale, draws);
    const double n = draws;
    const moments distance = moments_of(sample.distance);
    EXPECT_NEAR(distance.mean, scale, bound_in_standard_errors * scale / std::sqrt(n));
    EXPECT_NEAR(distance.variance, scale * scale, bound_in_standard_errors * scale * scale * std::sqrt(8.0 / n));
    // A uniform direction: cos has mean 0 and cos^2 mean 1/2 (deviation
    // 1/sqrt(8)); the same for sin.
    std::vector<double> cosines, squares;
    for (int i = 0; i < draws; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double c = sample.dx[k] / sample.distance[k];
        cosines.push_back(c);
        squares.push_back(c * c);
    }
    EXPECT_NEAR(moments_of(cosines).mean, 0.0, bound_in_standard_errors * std::sqrt(0.5 / n));
    EXPECT_NEAR(moments_of(squares).mean, 0.5, bound_in_standard_errors * std::sqrt(0.125 / n));
}

TEST(DispersalKernel, NoneLeavesTheSeedInItsCellAndDrawsNothing)
{
    restart_random_module();
    uniform_stream stream{-9};
    const offset o = dispersal_offset(stream, dispersal_kernel::none, 40.0);
    EXPECT_EQ(o.dx, 0.0);
    EXPECT_EQ(o.dy, 0.0);
    EXPECT_EQ(stream.seed_word, -9);
}

TEST(DispersalKernel, OffsetsRoundToTheNearestCellHalvesAwayFromZero)
{
    EXPECT_EQ(rounded_cells(0.49999999999999994), 0);
    EXPECT_EQ(rounded_cells(0.5), 1);
    EXPECT_EQ(rounded_cells(-0.5), -1);
    EXPECT_EQ(rounded_cells(-2.4), -2);
    EXPECT_EQ(rounded_cells(1e300), 20000);
    EXPECT_EQ(rounded_cells(-1e300), -20000);
}

// --- Establishment and the map, through the whole rain. ---

// A field of 5000 x 5000 cells as pixel rows, like a seed map's.
struct field_pixels {
    std::vector<unsigned char> cells = std::vector<unsigned char>(5000u * 5000u, 0);
    std::vector<unsigned char *> rows;
    field_pixels()
    {
        for (std::size_t y = 0; y < 5000; ++y)
            rows.push_back(cells.data() + y * 5000);
    }
    long long sum() const
    {
        long long total = 0;
        for (unsigned char c : cells)
            total += c;
        return total;
    }
};

std::string repeated_line(const std::string &line, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += line;
    return text;
}

TEST(SeedRain, EstablishesTheGivenFractionOfSeedlings)
{
    scratch_directory dir;
    const int seedlings = 100000;
    write_file(dir / "list.dat", repeated_line("2500   2500\n", seedlings));
    for (double establish : {0.0, 0.2, 0.75, 1.0}) {
        SCOPED_TRACE(establish);
        field_pixels field;
        std::string reason;
        restart_random_module();
        const auto tally = rain_seeds(dir / "list.dat", {establish, 0.0, dispersal_kernel::none, 0.0, 31},
                                      field.rows.data(), reason);
        ASSERT_TRUE(tally) << reason;
        EXPECT_EQ(tally->seedlings, seedlings);
        const double error = std::sqrt(establish * (1.0 - establish) / seedlings);
        EXPECT_NEAR(static_cast<double>(tally->plants) / seedlings, establish, bound_in_standard_errors * error);
        EXPECT_EQ(tally->seeds_set, 0);
    }
}

TEST(SeedRain, AccountsForEverySeedAndSaturatesCells)
{
    scratch_directory dir;
    // Plants near the corner lose seeds off the field; the crowded cell at
    // (2000, 2000) receives more than 255 with kernel none.
    write_file(dir / "list.dat", "  1     1\n4999   4999\n5000      3\n" + repeated_line("2000   2000\n", 30));
    for (dispersal_kernel kernel : {dispersal_kernel::none, dispersal_kernel::gaussian,
                                    dispersal_kernel::exponential}) {
        field_pixels field;
        std::string reason;
        restart_random_module();
        const auto tally = rain_seeds(dir / "list.dat", {1.0, 20.0, kernel, 3.0, 8}, field.rows.data(), reason);
        ASSERT_TRUE(tally) << reason;
        EXPECT_EQ(tally->plants, 33);
        EXPECT_EQ(tally->seeds_set, tally->seeds_off_field + tally->seeds_landed);
        EXPECT_EQ(tally->seeds_kept, field.sum());
        EXPECT_GT(tally->seeds_off_field, 0);
        for (std::size_t i = 0; i < 5000; ++i) {
            EXPECT_EQ(field.cells[i], 0) << "row 0 belongs to no cell";
            EXPECT_EQ(field.cells[i * 5000], 0) << "column 0 belongs to no cell";
        }
        if (kernel == dispersal_kernel::none) {
            EXPECT_EQ(field.rows[2000][2000], 255);
            EXPECT_GT(tally->seeds_landed, tally->seeds_kept);
        }
    }
}

// --- The seedling list's lines. ---

struct line_case {
    const char *name;
    std::string line;
    int x, y;  // 0: refused
};

void PrintTo(const line_case &c, std::ostream *out)
{
    *out << c.name;
}

class SeedlingLine : public testing::TestWithParam<line_case> {};

TEST_P(SeedlingLine, IsReadOrRefused)
{
    const line_case &c = GetParam();
    std::string reason;
    const auto seedling = parse_seedling_line(c.line, reason);
    if (c.x == 0) {
        EXPECT_FALSE(seedling);
        EXPECT_FALSE(reason.empty());
        return;
    }
    ASSERT_TRUE(seedling) << reason;
    EXPECT_EQ(seedling->x, c.x);
    EXPECT_EQ(seedling->y, c.y);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SeedlingLine,
    testing::Values(line_case{"padded", "  7     9", 7, 9}, line_case{"four_digits", "4711    12", 4711, 12},
                    line_case{"floor_seedling", "100   100", 100, 100}, line_case{"tab", "1\t2", 1, 2},
                    line_case{"field_corner", " 5000 5000 ", 5000, 5000}, line_case{"empty", "", 0, 0},
                    line_case{"one_number", "7", 0, 0}, line_case{"three_numbers", "7 9 3", 0, 0},
                    line_case{"text", "x 5", 0, 0}, line_case{"zero", "0 5", 0, 0},
                    line_case{"beyond_the_field", "5001 1", 0, 0}, line_case{"negative", "-3 4", 0, 0},
                    line_case{"comma", "7,9", 0, 0}, line_case{"plus_sign", "+7 9", 0, 0},
                    line_case{"huge", "12345678901 1", 0, 0}, line_case{"glued", "79", 0, 0}),
    [](const testing::TestParamInfo<line_case> &instance) { return std::string(instance.param.name); });

}  // namespace
