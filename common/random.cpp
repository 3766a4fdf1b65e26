// The uniform generator ran1 and the rrandom / shuffle deviates built on it.
#include "random.h"

#include <bit>
#include <limits>

namespace seedbank {

namespace {

constexpr int32_t multiplier = 16807;
constexpr int32_t modulus = 2147483647;      // 2^31 - 1
constexpr int32_t schrage_quotient = 127773;  // modulus / multiplier
constexpr int32_t schrage_remainder = 2836;   // modulus % multiplier
constexpr int table_size = 32;
constexpr int init_steps = 40;                // the first 8 are discarded
constexpr int32_t table_divisor = 67108864;   // 1 + (modulus - 1) / table_size

// The double nearest to 1 / 2147483647: exactly 2^-31 * (1 + 2^-31).
constexpr double scale = 0x1.00000002p-31;
// The double nearest to 1 - 1.2e-7.
constexpr double upper_bound = 0.99999988;
// 1 - 2^-23, the largest value ran1 returns.
constexpr float clamp_value = 0x1.fffffcp-1f;

static_assert(std::bit_cast<uint64_t>(scale) == 0x3E00000000200000u);
static_assert(std::bit_cast<uint64_t>(upper_bound) == 0x3FEFFFFFBF935359u);
static_assert(std::bit_cast<uint32_t>(clamp_value) == 0x3F7FFFFEu);
static_assert(schrage_quotient == modulus / multiplier);
static_assert(schrage_remainder == modulus % multiplier);
static_assert(table_divisor == 1 + (modulus - 1) / table_size);
static_assert(std::numeric_limits<double>::is_iec559 &&
              std::numeric_limits<float>::is_iec559);
// rrandom_round forms int * float exactly: at most 31 + 24 significant bits.
static_assert(std::numeric_limits<long double>::digits >= 64,
              "extended precision (64-bit significand) is required");

// The shared shuffle table; iy == 0 means "not filled yet".
int32_t iv[table_size];
int32_t iy = 0;

// rrandom's (and so shuffle's) seed word.
int32_t rrandom_idum = -1;

}  // namespace

int32_t ran1_step(int32_t s)
{
    // For s in 0..2147483647: k <= 16807, s - k * 127773 <= 127772, so both
    // products fit (16807 * 127772 = 2147463604, 2836 * 16807 = 47664652).
    const int32_t k = s / schrage_quotient;
    int32_t next = multiplier * (s - k * schrage_quotient) - schrage_remainder * k;
    if (next < 0)
        next += modulus;
    return next;
}

float ran1_value(int32_t table_value)
{
    // The double product rounds once more than the exact one, but only for
    // table value 2147483583, which the clamp covers (the clamp step below).
    const float temp = static_cast<float>(static_cast<double>(table_value) * scale);
    if (static_cast<double>(temp) > upper_bound)
        return clamp_value;
    return temp;
}

float ran1(int32_t *idum)
{
    if (*idum <= 0 || iy == 0) {
        // -s seeds with s; 0, positive values and INT32_MIN (whose negation
        // does not exist) seed with 1.
        if (*idum < 0 && *idum != std::numeric_limits<int32_t>::min())
            *idum = -*idum;
        else
            *idum = 1;
        for (int j = init_steps - 1; j >= 0; --j) {
            *idum = ran1_step(*idum);
            if (j < table_size)
                iv[j] = *idum;
        }
        iy = iv[0];
    }
    *idum = ran1_step(*idum);
    // iy lies in 0..2147483646 (0 only after an out-of-domain seed word).
    const int j = iy / table_divisor;
    iy = iv[j];
    iv[j] = *idum;
    return ran1_value(iy);
}

int rrandom_round(int imax, float r)
{
    // int (31 significant bits) times float (24) is exact in the 64-bit
    // significand of long double; double would round it for |imax| >= 2^29.
    const long double product = static_cast<long double>(imax) * r;
    int imax_r = static_cast<int>(product);
    if (product - imax_r > 0.5L)
        ++imax_r;
    return imax_r;
}

int rrandom(int imax)
{
    const float r = ran1(&rrandom_idum);
    return rrandom_round(imax, r);
}

void shuffle(int **array, int idim)
{
    for (int num = idim - 1; num >= 0; --num) {
        const int rnum = rrandom(idim - 1);
        int *temp = array[num];
        array[num] = array[rnum];
        array[rnum] = temp;
    }
}

void restart_random_module()
{
    for (int32_t &entry : iv)
        entry = 0;
    iy = 0;
    rrandom_idum = -1;
}

}  // namespace seedbank
