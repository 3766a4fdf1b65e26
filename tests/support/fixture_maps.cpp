#include "fixture_maps.h"

#include <cstdio>
#include <stdexcept>

#include <gd.h>

#include "seed_map.h"

using namespace seedbank;

namespace {

void save_png(gdImagePtr image, const std::string &path)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("cannot write fixture " + path);
    gdImagePng(image, file);
    std::fclose(file);
}

}  // namespace

void write_seed_map_file(const std::string &path, int width, int height,
                         const std::function<int(int, int)> &count)
{
    gd_image map = create_seed_map(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            map->pixels[y][x] = static_cast<unsigned char>(count(x, y));
    save_png(map.get(), path);
}

void write_empty_seed_map_file(const std::string &path)
{
    write_sparse_seed_map_file(path, {});
}

void write_sparse_seed_map_file(const std::string &path, const std::vector<seeded_cell> &cells, int width,
                                int height)
{
    gd_image map = create_seed_map(width, height);
    for (const seeded_cell &cell : cells)
        gdImageSetPixel(map.get(), cell.x, cell.y, cell.count);
    save_png(map.get(), path);
}

void write_true_colour_png_file(const std::string &path)
{
    gd_image image(gdImageCreateTrueColor(8, 8));
    save_png(image.get(), path);
}

decoded_image decode_png_file(const std::string &path)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        throw std::runtime_error("cannot open " + path);
    gdImagePtr image = gdImageCreateFromPng(file);
    std::fclose(file);
    if (image == nullptr)
        throw std::runtime_error("cannot decode " + path);
    decoded_image decoded;
    decoded.width = gdImageSX(image);
    decoded.height = gdImageSY(image);
    decoded.true_colour = gdImageTrueColor(image);
    if (!decoded.true_colour) {
        decoded.index.resize(static_cast<std::size_t>(decoded.width) * decoded.height);
        for (int y = 0; y < decoded.height; ++y)
            for (int x = 0; x < decoded.width; ++x)
                decoded.index[static_cast<std::size_t>(y) * decoded.width + x] = image->pixels[y][x];
        for (int i = 0; i < gdImageColorsTotal(image); ++i) {
            decoded.red.push_back(gdImageRed(image, i));
            decoded.green.push_back(gdImageGreen(image, i));
            decoded.blue.push_back(gdImageBlue(image, i));
        }
    }
    gdImageDestroy(image);
    return decoded;
}
