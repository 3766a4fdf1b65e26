#include "seed_rain.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "random.h"

namespace seedbank::tools {

namespace {

constexpr int field_side = 5000;
constexpr int last_written_cell = field_side - 1;  // cell 5000 has no pixel in a 5000 x 5000 map

constexpr double ln2 = 0x1.62e42fefa39efp-1;
constexpr double sqrt_half = 0x1.6a09e667f3bcdp-1;
// The Poisson mean is drawn in parts of at most this size, so that exp(-part)
// stays far above the smallest uniform and the multiplication is exact
// enough; the sum of independent Poisson deviates is a Poisson deviate.
constexpr double largest_poisson_part = 16.0;

// A point drawn uniformly in the unit disc, without its centre: both
// coordinates from 2u - 1, redrawn while s = x^2 + y^2 is 0 or at least 1.
struct disc_point {
    double x, y, s;
};

disc_point draw_disc_point(uniform_stream &stream)
{
    while (true) {
        const double x = 2.0 * stream.next() - 1.0;
        const double y = 2.0 * stream.next() - 1.0;
        const double s = x * x + y * y;
        if (s > 0.0 && s < 1.0)
            return {x, y, s};
    }
}

long long poisson_part(uniform_stream &stream, double part)
{
    const double threshold = portable_exp_minus(part);
    long long count = 0;
    double product = stream.next();
    while (product > threshold) {
        ++count;
        product *= stream.next();
    }
    return count;
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// Digits at `text[at]`, as a coordinate of at most 9 digits.
std::optional<long> read_coordinate(const std::string &text, std::size_t &at)
{
    const std::size_t start = at;
    long value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        if (at - start >= 9)
            return std::nullopt;
        value = value * 10 + (text[at] - '0');
        ++at;
    }
    if (at == start)
        return std::nullopt;
    return value;
}

void skip_blanks(const std::string &text, std::size_t &at)
{
    while (at < text.size() && is_blank(text[at]))
        ++at;
}

// Adds one seed to the cell it lands on, if that lies on the written map.
void land_seed(unsigned char **pixels, long long x, long long y, seed_rain_tally &tally)
{
    if (x < 1 || x > last_written_cell || y < 1 || y > last_written_cell) {
        ++tally.seeds_off_field;
        return;
    }
    ++tally.seeds_landed;
    unsigned char &count = pixels[y][x];
    if (count < 255) {
        ++count;
        ++tally.seeds_kept;
    }
}

void rain_from_plant(uniform_stream &stream, const seed_rain_parameters &parameters, cell plant,
                     unsigned char **pixels, seed_rain_tally &tally)
{
    const long long seeds = poisson_deviate(stream, parameters.fecundity);
    tally.seeds_set += seeds;
    for (long long s = 0; s < seeds; ++s) {
        const offset landing = dispersal_offset(stream, parameters.kernel, parameters.scale);
        land_seed(pixels, plant.x + rounded_cells(landing.dx), plant.y + rounded_cells(landing.dy), tally);
    }
}

using file_handle = std::unique_ptr<FILE, int (*)(FILE *)>;

}  // namespace

double uniform_stream::next()
{
    return static_cast<double>(ran1(&seed_word));
}

double portable_log(double x)
{
    // x = m * 2^e exactly, m in [sqrt(1/2), sqrt(2)); log m = 2 atanh(t) with
    // t = (m - 1) / (m + 1), |t| < 0.172, whose series gains 1.5 digits a term.
    int exponent = 0;
    double mantissa = std::frexp(x, &exponent);
    if (mantissa < sqrt_half) {
        mantissa *= 2.0;
        --exponent;
    }
    const double t = (mantissa - 1.0) / (mantissa + 1.0);
    const double t2 = t * t;
    double power = t;
    double sum = 0.0;
    for (int k = 0; k < 14; ++k) {
        sum += power / static_cast<double>(2 * k + 1);
        power *= t2;
    }
    return 2.0 * sum + static_cast<double>(exponent) * ln2;
}

double portable_exp_minus(double x)
{
    // exp(-x) = 2^-k exp(-r), r = x - k ln 2 in [0, ln 2): the Taylor series
    // of exp(-r) to 22 terms, then an exact scaling.
    const double k = std::floor(x / ln2);
    const double r = x - k * ln2;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n <= 22; ++n) {
        term *= -r / static_cast<double>(n);
        sum += term;
    }
    return std::ldexp(sum, -static_cast<int>(k));
}

long long poisson_deviate(uniform_stream &stream, double mean)
{
    if (!(mean > 0.0))
        return 0;
    const double parts = std::ceil(mean / largest_poisson_part);
    const double part = mean / parts;
    long long count = 0;
    for (double p = 0; p < parts; p += 1.0)
        count += poisson_part(stream, part);
    return count;
}

offset dispersal_offset(uniform_stream &stream, dispersal_kernel kernel, double scale)
{
    switch (kernel) {
    case dispersal_kernel::none:
        return {};
    case dispersal_kernel::gaussian: {
        // Polar method: (x, y) sqrt(-2 log s / s) are two independent
        // standard normal deviates.
        const disc_point point = draw_disc_point(stream);
        const double factor = scale * std::sqrt(-2.0 * portable_log(point.s) / point.s);
        return {point.x * factor, point.y * factor};
    }
    case dispersal_kernel::exponential: {
        const disc_point point = draw_disc_point(stream);
        const double length = std::sqrt(point.s);
        const double distance = -scale * portable_log(stream.next());
        return {distance * point.x / length, distance * point.y / length};
    }
    }
    return {};
}

long long rounded_cells(double offset_cells)
{
    // Far offsets leave the field whatever their exact size; clamping keeps
    // the conversion defined.
    const double bounded = std::clamp(offset_cells, -4.0 * field_side, 4.0 * field_side);
    return static_cast<long long>(std::round(bounded));
}

std::optional<cell> parse_seedling_line(const std::string &line, std::string &reason)
{
    std::size_t at = 0;
    skip_blanks(line, at);
    const std::optional<long> x = read_coordinate(line, at);
    const std::size_t before_gap = at;
    skip_blanks(line, at);
    std::optional<long> y;
    if (x && at > before_gap)
        y = read_coordinate(line, at);
    skip_blanks(line, at);
    if (!x || !y || at != line.size()) {
        reason = "not a seedling line of two whole numbers, x and y: '" + line.substr(0, 80) + "'";
        return std::nullopt;
    }
    const long x_value = *x;
    const long y_value = *y;
    if (x_value < 1 || x_value > field_side || y_value < 1 || y_value > field_side) {
        reason = "cell (" + std::to_string(x_value) + ", " + std::to_string(y_value) +
                 ") lies outside the field 1..5000";
        return std::nullopt;
    }
    return cell{static_cast<int>(x_value), static_cast<int>(y_value)};
}

std::optional<seed_rain_tally> rain_seeds(const std::string &list_path, const seed_rain_parameters &parameters,
                                          unsigned char **pixels, std::string &reason)
{
    file_handle list(std::fopen(list_path.c_str(), "r"), std::fclose);
    if (!list) {
        reason = list_path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    uniform_stream stream{-parameters.seed};
    seed_rain_tally tally;
    std::unique_ptr<char, decltype(&std::free)> buffer(nullptr, std::free);
    std::size_t capacity = 0;
    long long line_number = 0;
    while (true) {
        char *raw = buffer.release();
        errno = 0;
        const ssize_t length = getline(&raw, &capacity, list.get());
        buffer.reset(raw);
        if (length < 0)
            break;
        ++line_number;
        std::string line(raw, static_cast<std::size_t>(length));
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string problem;
        const std::optional<cell> seedling = parse_seedling_line(line, problem);
        if (!seedling) {
            reason = list_path + ":" + std::to_string(line_number) + ": " + problem;
            return std::nullopt;
        }
        ++tally.seedlings;
        if (!(stream.next() < parameters.establish))
            continue;
        ++tally.plants;
        rain_from_plant(stream, parameters, *seedling, pixels, tally);
    }
    if (std::ferror(list.get())) {
        reason = list_path + ": " + std::strerror(errno != 0 ? errno : EIO);
        return std::nullopt;
    }
    return tally;
}

}  // namespace seedbank::tools
