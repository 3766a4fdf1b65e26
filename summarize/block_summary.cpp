#include "block_summary.h"

#include <cmath>

#include "summary_margins.h"

namespace seedbank::summarize {

namespace {

constexpr int block_side = 10;
constexpr int blocks = data_side / block_side;

}  // namespace

int round(float value, float cutoff)
{
    double down = std::floor(static_cast<double>(value));
    double threshold = static_cast<double>(value) - static_cast<double>(cutoff);
    if (down > threshold)
        return static_cast<int>(down);
    return static_cast<int>(std::ceil(static_cast<double>(value)));
}

int block_maximum(unsigned char **field)
{
    int max_sum = 1;
    for (int i = 1; i <= blocks; ++i) {
        // The totals of the blocks of one block column, gathered over its
        // ten grid columns in storage order.
        int totals[blocks + 1] = {};
        for (int x = block_side * i - (block_side - 1); x <= block_side * i; ++x)
            for (int y = 1; y <= data_side; ++y)
                totals[(y + block_side - 1) / block_side] += field[x][y];
        for (int j = 1; j <= blocks; ++j)
            if (totals[j] > max_sum)
                max_sum = totals[j];
    }
    return max_sum;
}

void scale_blocks(unsigned char **field, int max_sum)
{
    for (int i = 1; i <= blocks; ++i)
        for (int j = 1; j <= blocks; ++j) {
            int sum = 0;
            for (int x = block_side * i - (block_side - 1); x <= block_side * i; ++x)
                for (int y = block_side * j - (block_side - 1); y <= block_side * j; ++y) {
                    sum += field[x][y];
                    field[x][y] = static_cast<unsigned char>(round(static_cast<float>(153 * sum / max_sum), 0.5f));
                }
        }
}

}  // namespace seedbank::summarize
