// Index-ranged vectors and matrices.
//
// Every allocation holds one spare element before the lowest valid index, and
// the pointer handed out is shifted so that the lowest valid index reaches the
// allocation's second element. A matrix is one row-pointer table plus one
// element block; f3tensor adds a pointer plane between the two.
//
// Bounds no caller passes: a range with high < low, or an element count whose size in
// bytes cannot be computed or exceeds PTRDIFF_MAX (the largest object the
// platform can index), is treated exactly like the system allocator yielding
// nothing for that step, so an absurd count never wraps to a small allocation.
#include "ranged_arrays.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace seedbank {

void fatal_error(const char *error_text)
{
    fprintf(stderr, "Run-time error...\n");
    fprintf(stderr, "%s\n", error_text);
    fprintf(stderr, "...now exiting to system...\n");
    exit(1);
}

namespace {

// The number of elements of the range low..high; 0, which no valid range has,
// when high < low or the count does not fit in size_t.
size_t range_count(long low, long high)
{
    if (high < low)
        return 0;
    // Exact in unsigned arithmetic since high >= low.
    const unsigned long span = static_cast<unsigned long>(high) - static_cast<unsigned long>(low);
    if (span >= SIZE_MAX)
        return 0;
    return static_cast<size_t>(span) + 1;
}

// a × b; 0 when either factor is 0 (an invalid count) or the product overflows.
size_t product(size_t a, size_t b)
{
    size_t p;
    if (a == 0 || b == 0 || __builtin_mul_overflow(a, b, &p))
        return 0;
    return p;
}

// Obtains count elements of T plus the spare element from the system
// allocator. A count of 0 stands for a count that could not be computed. Ends
// the process through fatal_error with message when the size is not
// representable or the allocator yields nothing.
template <class T>
T *obtain(size_t count, const char *message)
{
    size_t elements;
    size_t bytes;
    if (count == 0 || __builtin_add_overflow(count, size_t{1}, &elements) ||
        __builtin_mul_overflow(elements, sizeof(T), &bytes) ||
        bytes > static_cast<size_t>(PTRDIFF_MAX))
        fatal_error(message);
    T *p = static_cast<T *>(malloc(bytes));
    if (p == nullptr)
        fatal_error(message);
    return p;
}

template <class T>
T *make_vector(long nl, long nh, const char *message)
{
    T *v = obtain<T>(range_count(nl, nh), message);
    return v + 1 - nl;
}

// The seven steps of the matrix allocators (cmatrix, matrix, dmatrix, imatrix).
template <class T>
T **make_matrix(long nrl, long nrh, long ncl, long nch)
{
    const size_t nrow = range_count(nrl, nrh);
    const size_t ncol = range_count(ncl, nch);

    T **m = obtain<T *>(nrow, "allocation failure 1 in matrix()");
    m = m + 1 - nrl;

    m[nrl] = obtain<T>(product(nrow, ncol), "allocation failure 2 in matrix()");
    m[nrl] = m[nrl] + 1 - ncl;

    // row[r] is m[nrl + r]; counting rows avoids stepping an index past nrh.
    T **row = m + nrl;
    for (size_t r = 1; r < nrow; r++)
        row[r] = row[r - 1] + ncol;
    return m;
}

template <class T>
void release_matrix(T **m, long nrl, long ncl)
{
    free(m[nrl] + ncl - 1);
    free(m + nrl - 1);
}

} // namespace

float *vector(long nl, long nh)
{
    return make_vector<float>(nl, nh, "allocation failure in vector()");
}

int *ivector(long nl, long nh)
{
    return make_vector<int>(nl, nh, "allocation failure in ivector()");
}

unsigned char *cvector(long nl, long nh)
{
    return make_vector<unsigned char>(nl, nh, "allocation failure in cvector()");
}

unsigned long *lvector(long nl, long nh)
{
    return make_vector<unsigned long>(nl, nh, "allocation failure in lvector()");
}

double *dvector(long nl, long nh)
{
    return make_vector<double>(nl, nh, "allocation failure in dvector()");
}

float **matrix(long nrl, long nrh, long ncl, long nch)
{
    return make_matrix<float>(nrl, nrh, ncl, nch);
}

double **dmatrix(long nrl, long nrh, long ncl, long nch)
{
    return make_matrix<double>(nrl, nrh, ncl, nch);
}

unsigned char **cmatrix(long nrl, long nrh, long ncl, long nch)
{
    return make_matrix<unsigned char>(nrl, nrh, ncl, nch);
}

int **imatrix(long nrl, long nrh, long ncl, long nch)
{
    return make_matrix<int>(nrl, nrh, ncl, nch);
}

float **submatrix(float **a, long oldrl, long oldrh, long oldcl, long /*oldch*/, long newrl, long newcl)
{
    const size_t nrow = range_count(oldrl, oldrh);

    float **m = obtain<float *>(nrow, "allocation failure in submatrix()");
    m = m + 1 - newrl;

    // view[r] is m[newrl + r], source[r] is a[oldrl + r].
    float **view = m + newrl;
    float **source = a + oldrl;
    for (size_t r = 0; r < nrow; r++)
        view[r] = source[r] + oldcl - newcl;
    return m;
}

float **convert_matrix(float *a, long nrl, long nrh, long ncl, long nch)
{
    const size_t nrow = range_count(nrl, nrh);
    const size_t ncol = range_count(ncl, nch);

    // A column range with high < low is rejected like a failed table.
    float **m = obtain<float *>(ncol == 0 ? 0 : nrow, "allocation failure in convert_matrix()");
    m = m + 1 - nrl;

    m[nrl] = a - ncl;
    float **row = m + nrl;
    for (size_t r = 1; r < nrow; r++)
        row[r] = row[r - 1] + ncol;
    return m;
}

float ***f3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh)
{
    const size_t nrow = range_count(nrl, nrh);
    const size_t ncol = range_count(ncl, nch);
    const size_t ndep = range_count(ndl, ndh);

    float ***t = obtain<float **>(nrow, "allocation failure 1 in f3tensor()");
    t = t + 1 - nrl;

    t[nrl] = obtain<float *>(product(nrow, ncol), "allocation failure 2 in f3tensor()");
    t[nrl] = t[nrl] + 1 - ncl;

    t[nrl][ncl] = obtain<float>(product(product(nrow, ncol), ndep), "allocation failure 3 in f3tensor()");
    t[nrl][ncl] = t[nrl][ncl] + 1 - ndl;

    // row[r] is t[nrl + r]; plane[c] is t[nrl + r][ncl + c] for the row at hand.
    // ncol × ndep cannot overflow: nrow × ncol × ndep did not.
    float ***row = t + nrl;
    float **plane = row[0] + ncl;
    for (size_t c = 1; c < ncol; c++)
        plane[c] = plane[c - 1] + ndep;
    for (size_t r = 1; r < nrow; r++) {
        row[r] = row[r - 1] + ncol;
        row[r][ncl] = row[r - 1][ncl] + ncol * ndep;
        plane = row[r] + ncl;
        for (size_t c = 1; c < ncol; c++)
            plane[c] = plane[c - 1] + ndep;
    }
    return t;
}

// Release routines: only the lower bounds are consulted.

void free_vector(float *v, long nl, long /*nh*/)
{
    free(v + nl - 1);
}

void free_ivector(int *v, long nl, long /*nh*/)
{
    free(v + nl - 1);
}

void free_cvector(unsigned char *v, long nl, long /*nh*/)
{
    free(v + nl - 1);
}

void free_lvector(unsigned long *v, long nl, long /*nh*/)
{
    free(v + nl - 1);
}

void free_dvector(double *v, long nl, long /*nh*/)
{
    free(v + nl - 1);
}

void free_matrix(float **m, long nrl, long /*nrh*/, long ncl, long /*nch*/)
{
    release_matrix(m, nrl, ncl);
}

void free_dmatrix(double **m, long nrl, long /*nrh*/, long ncl, long /*nch*/)
{
    release_matrix(m, nrl, ncl);
}

void free_cmatrix(unsigned char **m, long nrl, long /*nrh*/, long ncl, long /*nch*/)
{
    release_matrix(m, nrl, ncl);
}

void free_imatrix(int **m, long nrl, long /*nrh*/, long ncl, long /*nch*/)
{
    release_matrix(m, nrl, ncl);
}

void free_submatrix(float **b, long nrl, long /*nrh*/, long /*ncl*/, long /*nch*/)
{
    free(b + nrl - 1);
}

void free_convert_matrix(float **b, long nrl, long /*nrh*/, long /*ncl*/, long /*nch*/)
{
    free(b + nrl - 1);
}

void free_f3tensor(float ***t, long nrl, long /*nrh*/, long ncl, long /*nch*/, long ndl, long /*ndh*/)
{
    free(t[nrl][ncl] + ndl - 1);
    free(t[nrl] + ncl - 1);
    free(t + nrl - 1);
}

}  // namespace seedbank
