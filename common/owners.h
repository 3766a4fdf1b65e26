// Owners of the resources the programs hold: images of the image library and
// index-ranged vectors and matrices.  Each releases what it holds exactly
// once, when it goes; none can be copied, so ownership is never shared.
// The index-ranged owners keep the plain ranged indexing ([x][y] on a
// matrix, [i] on a vector): only who frees changes.
#pragma once
#include <memory>
#include <utility>

#include <gd.h>

#include "ranged_arrays.h"

namespace seedbank {

struct gd_image_release {
    void operator()(gdImagePtr image) const { gdImageDestroy(image); }
};

// An image of the image library, destroyed when the owner goes.
using gd_image = std::unique_ptr<gdImage, gd_image_release>;

// A vector over low..high made by `allocate` and given back by `release`
// with the same bounds.
template <class T, T *(*allocate)(long, long), void (*release)(T *, long, long)>
class ranged_vector {
public:
    ranged_vector(long low, long high) : low_(low), high_(high), data_(allocate(low, high)) {}
    ~ranged_vector()
    {
        if (data_ != nullptr)
            release(data_, low_, high_);
    }
    ranged_vector(ranged_vector &&other) noexcept
        : low_(other.low_), high_(other.high_), data_(std::exchange(other.data_, nullptr))
    {
    }
    ranged_vector &operator=(ranged_vector &&other) noexcept
    {
        std::swap(low_, other.low_);
        std::swap(high_, other.high_);
        std::swap(data_, other.data_);
        return *this;
    }
    ranged_vector(const ranged_vector &) = delete;
    ranged_vector &operator=(const ranged_vector &) = delete;

    T &operator[](long i) const { return data_[i]; }
    T *get() const { return data_; }

private:
    long low_, high_;
    T *data_;
};

// A matrix over rows nrl..nrh and columns ncl..nch, indexed [row][column].
template <class T, T **(*allocate)(long, long, long, long), void (*release)(T **, long, long, long, long)>
class ranged_matrix {
public:
    ranged_matrix(long nrl, long nrh, long ncl, long nch)
        : nrl_(nrl), nrh_(nrh), ncl_(ncl), nch_(nch), data_(allocate(nrl, nrh, ncl, nch))
    {
    }
    ~ranged_matrix()
    {
        if (data_ != nullptr)
            release(data_, nrl_, nrh_, ncl_, nch_);
    }
    ranged_matrix(ranged_matrix &&other) noexcept
        : nrl_(other.nrl_), nrh_(other.nrh_), ncl_(other.ncl_), nch_(other.nch_),
          data_(std::exchange(other.data_, nullptr))
    {
    }
    ranged_matrix &operator=(ranged_matrix &&other) noexcept
    {
        std::swap(nrl_, other.nrl_);
        std::swap(nrh_, other.nrh_);
        std::swap(ncl_, other.ncl_);
        std::swap(nch_, other.nch_);
        std::swap(data_, other.data_);
        return *this;
    }
    ranged_matrix(const ranged_matrix &) = delete;
    ranged_matrix &operator=(const ranged_matrix &) = delete;

    T *operator[](long row) const { return data_[row]; }
    T **get() const { return data_; }

private:
    long nrl_, nrh_, ncl_, nch_;
    T **data_;
};

using owned_cvector = ranged_vector<unsigned char, cvector, free_cvector>;
using owned_ivector = ranged_vector<int, ivector, free_ivector>;
using owned_cmatrix = ranged_matrix<unsigned char, cmatrix, free_cmatrix>;

}  // namespace seedbank
