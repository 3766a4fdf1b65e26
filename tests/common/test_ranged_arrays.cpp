// Unit tests of the index-ranged arrays.
//
// Layouts are checked through addresses: the spare element is found one
// before the lowest valid index, and in a sanitized build the heap block that
// begins there is asked for its exact requested size, and after release
// whether it was given back. A plain build checks that the block holds at
// least the size and that releasing it does not crash.
#include "ranged_arrays.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <string>
#include <tuple>

using namespace seedbank;

#if defined(__SANITIZE_ADDRESS__)
#define RANGED_ARRAYS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RANGED_ARRAYS_ASAN 1
#endif
#endif

#ifdef RANGED_ARRAYS_ASAN
// From sanitizer/allocator_interface.h, which GCC does not install.
extern "C" int __sanitizer_get_ownership(const volatile void *p);
extern "C" size_t __sanitizer_get_allocated_size(const volatile void *p);

// The death tests allocate absurd sizes; without this the sanitizer would
// abort on them instead of letting malloc return NULL when ASAN_OPTIONS is
// unset. ASAN_OPTIONS, when set, still takes precedence.
extern "C" const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}
#endif

namespace {

// A heap block of at least `bytes` bytes begins at `start`; in a sanitized
// build, exactly `bytes` were requested.
void expect_block(const void *start, size_t bytes)
{
#ifdef RANGED_ARRAYS_ASAN
    ASSERT_TRUE(__sanitizer_get_ownership(start)) << "no heap block begins at " << start;
    EXPECT_EQ(__sanitizer_get_allocated_size(start), bytes);
#else
    EXPECT_GE(malloc_usable_size(const_cast<void *>(start)), bytes);
#endif
}

// The heap block that began at `start` has been given back (sanitized build only).
void expect_given_back([[maybe_unused]] const void *start)
{
#ifdef RANGED_ARRAYS_ASAN
    EXPECT_FALSE(__sanitizer_get_ownership(start)) << "block at " << start << " not given back";
#endif
}

size_t count(long low, long high)
{
    return static_cast<size_t>(high - low + 1);
}

// Upper bounds handed to a release routine: the true one (when `true_high`)
// or one of these, which must make no difference.
const long odd_upper_bounds[] = {LONG_MIN, -1, 0, 12345, LONG_MAX};

// ---------------------------------------------------------------- vectors

struct Range {
    long low;
    long high;
};

std::string range_name(const Range &r)
{
    auto part = [](long v) {
        return v < 0 ? "m" + std::to_string(0UL - static_cast<unsigned long>(v)) : std::to_string(v);
    };
    return part(r.low) + "_" + part(r.high);
}

void PrintTo(const Range &r, std::ostream *os)
{
    *os << range_name(r);
}

// Allocates low..high, checks the layout, fills and reads back every entry,
// releases with `release_high` as upper bound and checks the block went back.
template <class T, T *(*Alloc)(long, long), void (*Release)(T *, long, long)>
void check_vector(Range r, long release_high)
{
    T *v = Alloc(r.low, r.high);
    ASSERT_NE(v, nullptr);
    const size_t n = count(r.low, r.high);
    T *start = &v[r.low] - 1; // the spare element
    expect_block(start, (n + 1) * sizeof(T));
    EXPECT_EQ(&v[r.high], start + n);
    for (long i = r.low; i <= r.high; i++)
        v[i] = static_cast<T>(i - r.low + 1);
    for (long i = r.low; i <= r.high; i++) {
        ASSERT_EQ(v[i], static_cast<T>(i - r.low + 1)) << "index " << i;
        ASSERT_EQ(&v[i], start + 1 + (i - r.low)) << "index " << i;
    }
    Release(v, r.low, release_high);
    expect_given_back(start);
}

struct VectorKind {
    const char *name;
    void (*check)(Range, long release_high);
};

void PrintTo(const VectorKind &k, std::ostream *os)
{
    *os << k.name;
}

const VectorKind vector_kinds[] = {
    {"vector", check_vector<float, vector, free_vector>},
    {"ivector", check_vector<int, ivector, free_ivector>},
    {"cvector", check_vector<unsigned char, cvector, free_cvector>},
    {"lvector", check_vector<unsigned long, lvector, free_lvector>},
    {"dvector", check_vector<double, dvector, free_dvector>},
};

// cvector(0, 255) is pallet, ivector(1, 5000) rows/columns; one-element and
// negative ranges besides.
const Range vector_ranges[] = {{0, 255}, {1, 5000}, {-3, 3}, {1, 1}, {0, 0}, {-7, -7}, {-10, -2}, {100, 103}};

class RangedArraysVector : public testing::TestWithParam<std::tuple<VectorKind, Range>> {};

TEST_P(RangedArraysVector, SpareElementFirstAndEntriesContiguous)
{
    const auto &[kind, range] = GetParam();
    kind.check(range, range.high);
}

INSTANTIATE_TEST_SUITE_P(Cases, RangedArraysVector,
                         testing::Combine(testing::ValuesIn(vector_kinds), testing::ValuesIn(vector_ranges)),
                         [](const auto &case_info) {
                             return std::string(std::get<0>(case_info.param).name) + "_" +
                                    range_name(std::get<1>(case_info.param));
                         });

// The element counts of each layout, spelled out.
TEST(RangedArraysVectorSizes, NamedEdgeCases)
{
    unsigned char *pallet = cvector(0, 255);
    expect_block(&pallet[0] - 1, 257);
    free_cvector(pallet, 0, 255);

    int *rows = ivector(1, 5000);
    expect_block(&rows[1] - 1, 5001 * sizeof(int));
    free_ivector(rows, 1, 5000);

    float *v = vector(-3, 3);
    expect_block(&v[-3] - 1, 8 * sizeof(float));
    free_vector(v, -3, 3);

    double *one = dvector(7, 7);
    expect_block(&one[7] - 1, 2 * sizeof(double));
    free_dvector(one, 7, 7);
}

// ---------------------------------------------------------------- matrices

struct Bounds2 {
    long nrl, nrh, ncl, nch;
};

std::string bounds2_name(const Bounds2 &b)
{
    return range_name({b.nrl, b.nrh}) + "_x_" + range_name({b.ncl, b.nch});
}

void PrintTo(const Bounds2 &b, std::ostream *os)
{
    *os << bounds2_name(b);
}

// Allocates, checks table and block sizes, row adjacency and the position of
// every element, fills every row, releases with the given upper bounds.
template <class T, T **(*Alloc)(long, long, long, long), void (*Release)(T **, long, long, long, long)>
void check_matrix(Bounds2 b, long release_nrh, long release_nch)
{
    T **m = Alloc(b.nrl, b.nrh, b.ncl, b.nch);
    ASSERT_NE(m, nullptr);
    const size_t nrow = count(b.nrl, b.nrh);
    const size_t ncol = count(b.ncl, b.nch);
    T **table = &m[b.nrl] - 1;
    T *block = &m[b.nrl][b.ncl] - 1;
    expect_block(table, (nrow + 1) * sizeof(T *));
    expect_block(block, (nrow * ncol + 1) * sizeof(T));

    for (long x = b.nrl; x <= b.nrh; x++) {
        // Row x begins where row x - 1 ended.
        ASSERT_EQ(&m[x][b.ncl], block + 1 + static_cast<size_t>(x - b.nrl) * ncol) << "row " << x;
        if (x < b.nrh) {
            ASSERT_EQ(&m[x + 1][b.ncl], &m[x][b.nch] + 1) << "row " << x;
        }
        for (long y = b.ncl; y < b.nch; y++)
            ASSERT_EQ(&m[x][y + 1], &m[x][y] + 1) << "row " << x << " column " << y;
        memset(&m[x][b.ncl], 0x5a, ncol * sizeof(T));
    }
    EXPECT_EQ(&m[b.nrh][b.nch], block + nrow * ncol);

    Release(m, b.nrl, release_nrh, b.ncl, release_nch);
    expect_given_back(block);
    expect_given_back(table);
}

struct MatrixKind {
    const char *name;
    void (*check)(Bounds2, long release_nrh, long release_nch);
};

void PrintTo(const MatrixKind &k, std::ostream *os)
{
    *os << k.name;
}

const MatrixKind matrix_kinds[] = {
    {"matrix", check_matrix<float, matrix, free_matrix>},
    {"dmatrix", check_matrix<double, dmatrix, free_dmatrix>},
    {"cmatrix", check_matrix<unsigned char, cmatrix, free_cmatrix>},
    {"imatrix", check_matrix<int, imatrix, free_imatrix>},
};

const Bounds2 matrix_bounds[] = {
    {1, 1, 1, 1}, {0, 0, 0, 0}, {1, 3, 1, 4}, {-2, 3, 0, 4}, {0, 0, -5, -1}, {5, 7, 10, 12}, {-4, -4, 3, 9}, {1, 40, 1, 1},
};

class RangedArraysMatrix : public testing::TestWithParam<std::tuple<MatrixKind, Bounds2>> {};

TEST_P(RangedArraysMatrix, OneTableOneBlockRowsInOrder)
{
    const auto &[kind, b] = GetParam();
    kind.check(b, b.nrh, b.nch);
}

INSTANTIATE_TEST_SUITE_P(Cases, RangedArraysMatrix,
                         testing::Combine(testing::ValuesIn(matrix_kinds), testing::ValuesIn(matrix_bounds)),
                         [](const auto &case_info) {
                             return std::string(std::get<0>(case_info.param).name) + "_" +
                                    bounds2_name(std::get<1>(case_info.param));
                         });

// The seed grids in use: winter's 5000 × 5000 and the summarisers' 6000 × 6000.
class RangedArraysGrid : public testing::TestWithParam<long> {};

TEST_P(RangedArraysGrid, SeedGridIsOneBlockWithByteStride)
{
    const long side = GetParam();
    check_matrix<unsigned char, cmatrix, free_cmatrix>({1, side, 1, side}, side, side);
}

TEST_P(RangedArraysGrid, NamedEdgeCases)
{
    const long side = GetParam();
    unsigned char **m = cmatrix(1, side, 1, side);
    unsigned char *block = &m[1][1] - 1;
    expect_block(block, static_cast<size_t>(side) * side + 1);
    expect_block(&m[1] - 1, static_cast<size_t>(side + 1) * sizeof(unsigned char *));
    EXPECT_EQ(&m[2][1], &m[1][side] + 1);
    EXPECT_EQ(&m[side][side], block + static_cast<size_t>(side) * side);
    free_cmatrix(m, 1, side, 1, side);
}

INSTANTIATE_TEST_SUITE_P(Cases, RangedArraysGrid, testing::Values(5000L, 6000L));

// ---------------------------------------------------------------- views

struct SubmatrixCase {
    const char *name;
    long oldrl, oldrh, oldcl, oldch, newrl, newcl;
};

void PrintTo(const SubmatrixCase &c, std::ostream *os)
{
    *os << c.name;
}

const SubmatrixCase submatrix_cases[] = {
    {"rows_2_4_cols_3_5_to_1_1", 2, 4, 3, 5, 1, 1},
    {"to_0_0", 2, 4, 3, 5, 0, 0},
    {"to_negative", 1, 5, 2, 6, -3, -2},
    {"one_cell", 3, 3, 4, 4, 10, 20},
    {"whole", 1, 5, 1, 6, 1, 1},
};

class RangedArraysSubmatrix : public testing::TestWithParam<SubmatrixCase> {};

TEST_P(RangedArraysSubmatrix, ViewMapsOntoSourceAndOwnsOnlyItsTable)
{
    const SubmatrixCase &c = GetParam();
    float **a = matrix(1, 5, 1, 6);
    for (long i = 1; i <= 5; i++)
        for (long j = 1; j <= 6; j++)
            a[i][j] = static_cast<float>(10 * i + j);

    float **b = submatrix(a, c.oldrl, c.oldrh, c.oldcl, c.oldch, c.newrl, c.newcl);
    const long nrow = c.oldrh - c.oldrl + 1;
    const long ncol = c.oldch - c.oldcl + 1;
    float **table = &b[c.newrl] - 1;
    expect_block(table, static_cast<size_t>(nrow + 1) * sizeof(float *));
    for (long r = 0; r < nrow; r++)
        for (long s = 0; s < ncol; s++)
            ASSERT_EQ(&b[c.newrl + r][c.newcl + s], &a[c.oldrl + r][c.oldcl + s]) << r << "," << s;

    // A write through the view changes the source.
    b[c.newrl + nrow - 1][c.newcl + ncol - 1] = -1.0f;
    EXPECT_EQ(a[c.oldrh][c.oldch], -1.0f);

    free_submatrix(b, c.newrl, c.newrl + nrow - 1, c.newcl, c.newcl + ncol - 1);
    expect_given_back(table);
    // The source is intact and still owned.
    expect_block(&a[1][1] - 1, (5 * 6 + 1) * sizeof(float));
    for (long i = 1; i <= 5; i++)
        for (long j = 1; j <= 6; j++)
            if (i != c.oldrh || j != c.oldch) {
                ASSERT_EQ(a[i][j], static_cast<float>(10 * i + j)) << i << "," << j;
            }
    free_matrix(a, 1, 5, 1, 6);
}

INSTANTIATE_TEST_SUITE_P(Cases, RangedArraysSubmatrix, testing::ValuesIn(submatrix_cases),
                         [](const auto &case_info) { return std::string(case_info.param.name); });

TEST(RangedArraysSubmatrixExamples, NamedEdgeCase)
{
    float **a = matrix(1, 5, 1, 6);
    for (long i = 1; i <= 5; i++)
        for (long j = 1; j <= 6; j++)
            a[i][j] = static_cast<float>(10 * i + j);
    float **b = submatrix(a, 2, 4, 3, 5, 1, 1);
    EXPECT_EQ(b[1][1], a[2][3]);
    EXPECT_EQ(&b[1][1], &a[2][3]);
    EXPECT_EQ(&b[3][3], &a[4][5]);
    b[2][2] = 99.5f;
    EXPECT_EQ(a[3][4], 99.5f);
    free_submatrix(b, 1, 3, 1, 3);
    EXPECT_EQ(a[2][3], 23.0f);
    EXPECT_EQ(a[4][5], 45.0f);
    free_matrix(a, 1, 5, 1, 6);
}

class RangedArraysConvertMatrix : public testing::TestWithParam<Bounds2> {};

TEST_P(RangedArraysConvertMatrix, RowsFollowThePlainArray)
{
    const Bounds2 b = GetParam();
    const size_t nrow = count(b.nrl, b.nrh);
    const size_t ncol = count(b.ncl, b.nch);
    float *a = vector(0, static_cast<long>(nrow * ncol) - 1);
    float **m = convert_matrix(a, b.nrl, b.nrh, b.ncl, b.nch);
    float **table = &m[b.nrl] - 1;
    expect_block(table, (nrow + 1) * sizeof(float *));
    for (long i = b.nrl; i <= b.nrh; i++)
        for (long j = b.ncl; j <= b.nch; j++)
            ASSERT_EQ(&m[i][j], a + static_cast<size_t>(i - b.nrl) * ncol + (j - b.ncl)) << i << "," << j;
    free_convert_matrix(m, b.nrl, b.nrh, b.ncl, b.nch);
    expect_given_back(table);
    expect_block(&a[0] - 1, (nrow * ncol + 1) * sizeof(float));
    free_vector(a, 0, static_cast<long>(nrow * ncol) - 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, RangedArraysConvertMatrix,
                         testing::Values(Bounds2{1, 2, 1, 3}, Bounds2{0, 3, 0, 1}, Bounds2{-2, 0, 5, 8},
                                         Bounds2{1, 1, 1, 1}),
                         [](const auto &case_info) { return bounds2_name(case_info.param); });

TEST(RangedArraysConvertMatrixExamples, NamedEdgeCase)
{
    float a[6] = {1, 2, 3, 4, 5, 6};
    float **m = convert_matrix(a, 1, 2, 1, 3);
    EXPECT_EQ(&m[1][1], &a[0]);
    EXPECT_EQ(&m[1][3], &a[2]);
    EXPECT_EQ(&m[2][1], &a[3]);
    EXPECT_EQ(m[2][3], 6.0f);
    free_convert_matrix(m, 1, 2, 1, 3);
}

// ---------------------------------------------------------------- f3tensor

struct Bounds3 {
    long nrl, nrh, ncl, nch, ndl, ndh;
};

std::string bounds3_name(const Bounds3 &b)
{
    return range_name({b.nrl, b.nrh}) + "_x_" + range_name({b.ncl, b.nch}) + "_x_" + range_name({b.ndl, b.ndh});
}

void PrintTo(const Bounds3 &b, std::ostream *os)
{
    *os << bounds3_name(b);
}

void check_f3tensor(Bounds3 b, long release_nrh, long release_nch, long release_ndh)
{
    float ***t = f3tensor(b.nrl, b.nrh, b.ncl, b.nch, b.ndl, b.ndh);
    const size_t nrow = count(b.nrl, b.nrh);
    const size_t ncol = count(b.ncl, b.nch);
    const size_t ndep = count(b.ndl, b.ndh);
    float ***table = &t[b.nrl] - 1;
    float **plane = &t[b.nrl][b.ncl] - 1;
    float *block = &t[b.nrl][b.ncl][b.ndl] - 1;
    expect_block(table, (nrow + 1) * sizeof(float **));
    expect_block(plane, (nrow * ncol + 1) * sizeof(float *));
    expect_block(block, (nrow * ncol * ndep + 1) * sizeof(float));

    // Row-major order through the plane and the block.
    float **next_entry = plane + 1;
    float *next_element = block + 1;
    for (long i = b.nrl; i <= b.nrh; i++)
        for (long j = b.ncl; j <= b.nch; j++) {
            ASSERT_EQ(&t[i][j], next_entry++) << i << "," << j;
            for (long k = b.ndl; k <= b.ndh; k++) {
                ASSERT_EQ(&t[i][j][k], next_element++) << i << "," << j << "," << k;
                t[i][j][k] = 1.0f;
            }
        }

    free_f3tensor(t, b.nrl, release_nrh, b.ncl, release_nch, b.ndl, release_ndh);
    expect_given_back(block);
    expect_given_back(plane);
    expect_given_back(table);
}

class RangedArraysF3tensor : public testing::TestWithParam<Bounds3> {};

TEST_P(RangedArraysF3tensor, ElementsInRowColumnDepthOrder)
{
    const Bounds3 b = GetParam();
    check_f3tensor(b, b.nrh, b.nch, b.ndh);
}

INSTANTIATE_TEST_SUITE_P(Cases, RangedArraysF3tensor,
                         testing::Values(Bounds3{1, 2, 1, 2, 1, 2}, Bounds3{1, 1, 1, 1, 1, 1},
                                         Bounds3{0, 0, 0, 0, 0, 0}, Bounds3{-1, 1, 0, 2, -3, 0},
                                         Bounds3{0, 3, 5, 6, 1, 4}, Bounds3{2, 5, -1, -1, 7, 9}),
                         [](const auto &case_info) { return bounds3_name(case_info.param); });

TEST(RangedArraysF3tensorExamples, NamedEdgeCase)
{
    float ***t = f3tensor(1, 2, 1, 2, 1, 2);
    float *const order[] = {&t[1][1][1], &t[1][1][2], &t[1][2][1], &t[1][2][2],
                            &t[2][1][1], &t[2][1][2], &t[2][2][1], &t[2][2][2]};
    for (size_t e = 1; e < 8; e++)
        EXPECT_EQ(order[e], order[e - 1] + 1) << "element " << e;
    free_f3tensor(t, 1, 2, 1, 2, 1, 2);
}

// ---------------------------------------------------------------- release

// Every release routine, given upper bounds that are nonsense, gives back
// exactly what it would with the true ones (the checks above verify that the
// blocks went back; a sanitized run would also report a wrong free or a leak).
class RangedArraysRelease : public testing::TestWithParam<long> {};

TEST_P(RangedArraysRelease, UpperBoundsHaveNoEffect)
{
    const long odd = GetParam();
    for (const VectorKind &kind : vector_kinds) {
        SCOPED_TRACE(kind.name);
        kind.check({-2, 9}, odd);
    }
    for (const MatrixKind &kind : matrix_kinds) {
        SCOPED_TRACE(kind.name);
        kind.check({-1, 3, 2, 5}, odd, odd);
    }
    check_f3tensor({-1, 1, 0, 2, 3, 4}, odd, odd, odd);

    float **a = matrix(1, 4, 1, 4);
    float **b = submatrix(a, 2, 3, 2, 3, 1, 1);
    float **sub_table = &b[1] - 1;
    free_submatrix(b, 1, odd, odd, odd);
    expect_given_back(sub_table);
    float **c = convert_matrix(&a[1][1], 0, 3, 0, 3);
    float **conv_table = &c[0] - 1;
    free_convert_matrix(c, 0, odd, odd, odd);
    expect_given_back(conv_table);
    free_matrix(a, 1, odd, 1, odd);
}

INSTANTIATE_TEST_SUITE_P(Cases, RangedArraysRelease, testing::ValuesIn(odd_upper_bounds),
                         [](const auto &case_info) { return range_name({0, case_info.param}).substr(2); });

// ---------------------------------------------------------------- failures

std::string escape(const std::string &text)
{
    std::string out;
    for (char ch : text) {
        if (strchr(".[]()*+?{}|^$\\", ch))
            out += '\\';
        out += ch;
    }
    return out;
}

// The three lines of fatal_error, consecutive somewhere on standard error (the
// sanitizer may add a warning about the failed allocation before them).
std::string fatal_lines(const std::string &message)
{
    return escape("Run-time error...\n" + message + "\n...now exiting to system...\n");
}

TEST(RangedArraysDeathTest, FatalErrorWritesThreeLinesAndExitsWithOne)
{
    EXPECT_EXIT(fatal_error("some text"), testing::ExitedWithCode(1), "^" + fatal_lines("some text") + "$");
    EXPECT_EXIT(fatal_error(""), testing::ExitedWithCode(1), "^" + fatal_lines("") + "$");
}

struct FailureCase {
    const char *name;
    void (*allocate)();
    const char *message;
};

void PrintTo(const FailureCase &c, std::ostream *os)
{
    *os << c.name;
}

constexpr long huge = 1L << 60;
float dummy_array[4];

// The step whose allocation fails names itself. "malloc" cases reach the
// system allocator, which yields nothing for them; "overflow" and "empty"
// cases are rejected by the size computation before any allocation.
const FailureCase failure_cases[] = {
    {"vector_malloc", [] { vector(0, huge); }, "allocation failure in vector()"},
    {"vector_empty", [] { vector(1, 0); }, "allocation failure in vector()"},
    {"ivector_overflow", [] { ivector(1, LONG_MAX); }, "allocation failure in ivector()"},
    {"cvector_empty", [] { cvector(5, 4); }, "allocation failure in cvector()"},
    {"cvector_malloc", [] { cvector(0, huge); }, "allocation failure in cvector()"},
    {"lvector_overflow", [] { lvector(LONG_MIN, LONG_MAX); }, "allocation failure in lvector()"},
    {"dvector_malloc", [] { dvector(-(1L << 58), 0); }, "allocation failure in dvector()"},
    {"matrix_table_malloc", [] { matrix(1, 1L << 59, 1, 1); }, "allocation failure 1 in matrix()"},
    {"matrix_table_empty", [] { matrix(3, 1, 1, 1); }, "allocation failure 1 in matrix()"},
    {"matrix_block_malloc", [] { matrix(1, 2, 1, 1L << 58); }, "allocation failure 2 in matrix()"},
    {"cmatrix_block_malloc", [] { cmatrix(1, 1, 1, huge); }, "allocation failure 2 in matrix()"},
    {"cmatrix_table_overflow", [] { cmatrix(LONG_MIN, LONG_MAX, 1, 1); }, "allocation failure 1 in matrix()"},
    {"dmatrix_block_overflow", [] { dmatrix(1, 4, 1, 1L << 62); }, "allocation failure 2 in matrix()"},
    {"imatrix_block_empty", [] { imatrix(1, 3, 4, 3); }, "allocation failure 2 in matrix()"},
    {"imatrix_block_malloc", [] { imatrix(0, 0, 0, huge); }, "allocation failure 2 in matrix()"},
    // submatrix and convert_matrix fail before they read the source.
    {"submatrix_table_malloc", [] { submatrix(nullptr, 1, 1L << 59, 1, 1, 1, 1); },
     "allocation failure in submatrix()"},
    {"submatrix_table_empty", [] { submatrix(nullptr, 4, 2, 1, 1, 1, 1); }, "allocation failure in submatrix()"},
    {"convert_matrix_table_malloc", [] { convert_matrix(dummy_array, 1, 1L << 59, 1, 1); },
     "allocation failure in convert_matrix()"},
    {"convert_matrix_empty_columns", [] { convert_matrix(dummy_array, 1, 2, 3, 1); },
     "allocation failure in convert_matrix()"},
    {"f3tensor_table_malloc", [] { f3tensor(1, 1L << 59, 1, 1, 1, 1); }, "allocation failure 1 in f3tensor()"},
    {"f3tensor_plane_malloc", [] { f3tensor(1, 1, 1, 1L << 58, 1, 1); }, "allocation failure 2 in f3tensor()"},
    {"f3tensor_plane_empty", [] { f3tensor(1, 2, 2, 1, 1, 1); }, "allocation failure 2 in f3tensor()"},
    {"f3tensor_block_malloc", [] { f3tensor(1, 1, 1, 1, 1, huge); }, "allocation failure 3 in f3tensor()"},
    {"f3tensor_block_overflow", [] { f3tensor(1, 8, 1, 1, 1, 1L << 62); },
     "allocation failure 3 in f3tensor()"},
    {"f3tensor_block_empty", [] { f3tensor(1, 2, 1, 2, 2, 1); }, "allocation failure 3 in f3tensor()"},
};

class RangedArraysAllocationDeathTest : public testing::TestWithParam<FailureCase> {};

TEST_P(RangedArraysAllocationDeathTest, FailedStepEndsThroughFatalError)
{
    const FailureCase &c = GetParam();
    EXPECT_EXIT(c.allocate(), testing::ExitedWithCode(1), fatal_lines(c.message));
}

INSTANTIATE_TEST_SUITE_P(Cases, RangedArraysAllocationDeathTest, testing::ValuesIn(failure_cases),
                         [](const auto &case_info) { return std::string(case_info.param.name); });

} // namespace
