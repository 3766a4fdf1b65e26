// Seed maps for tests, written and read with the image library directly.
#pragma once
#include <functional>
#include <string>
#include <vector>

// Writes a palette seed map of width x height pixels (256 greys) whose pixel
// (x, y) holds count(x, y); pixel row 0 and column 0 included.
void write_seed_map_file(const std::string &path, int width, int height,
                         const std::function<int(int, int)> &count);

// An empty 5000 x 5000 seed map.
void write_empty_seed_map_file(const std::string &path);

// A 5000 x 5000 seed map, empty but for the listed cells.
struct seeded_cell {
    int x, y, count;
};
void write_sparse_seed_map_file(const std::string &path, const std::vector<seeded_cell> &cells,
                                int width = 5000, int height = 5000);

// A small true-colour PNG: a valid image that is no seed map.
void write_true_colour_png_file(const std::string &path);

// A decoded palette image: pixel (x, y) is index[y * width + x]; palette
// colours as (r, g, b) per index.
struct decoded_image {
    int width = 0, height = 0;
    bool true_colour = false;
    std::vector<unsigned char> index;
    std::vector<int> red, green, blue;
    int at(int x, int y) const
    {
        return index[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};
decoded_image decode_png_file(const std::string &path);
