#include "legend.h"

#include <algorithm>
#include <cstring>

#include <gdfonts.h>

namespace seedbank::summarize {

namespace {

constexpr int tick_count = 4;         // intervals between the labelled values
constexpr int label_every_value = 10;  // up to this largest value every value is labelled

// Largest cell count with a colour of its own: every count above shares the
// ramp's last entry.
int largest_own_colour(const legend_description &legend)
{
    return legend.scale == legend_scale::cell_counts ? std::min(legend.largest, ramp_entries) : legend.largest;
}

int resolve(gdImagePtr image, rgb colour)
{
    return gdImageColorResolve(image, colour.red, colour.green, colour.blue);
}

// The summary's palette, index for index, then its pixels.
void copy_summary(gdImagePtr summary, gdImagePtr image)
{
    for (int index = 0; index < gdImageColorsTotal(summary); ++index)
        gdImageColorAllocateAlpha(image, gdImageRed(summary, index), gdImageGreen(summary, index),
                                  gdImageBlue(summary, index), gdImageAlpha(summary, index));
    for (int y = 0; y < summary_side; ++y)
        std::memcpy(image->pixels[y], summary->pixels[y], summary_side);
}

void draw_text(gdImagePtr image, int x, int y, const std::string &text, int colour)
{
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.push_back('\0');
    gdImageString(image, gdFontGetSmall(), x, y, bytes.data(), colour);
}

std::string scale_text(const legend_description &legend)
{
    if (legend.scale == legend_scale::block_totals)
        return "seeds per 10 x 10 block, 0 to " + std::to_string(legend.largest);
    std::string text = "seeds per cell, 0 to " + std::to_string(legend.largest) + ", palette step " +
                       std::to_string(legend.step);
    if (legend.largest > ramp_entries)
        text += "; " + std::to_string(ramp_entries) + " and more share the last colour";
    return text;
}

std::string tick_label(const legend_description &legend, int value)
{
    if (legend.scale == legend_scale::cell_counts && value == ramp_entries && legend.largest > ramp_entries)
        return std::to_string(ramp_entries) + "+";
    return std::to_string(value);
}

void draw_bar(gdImagePtr image, const legend_description &legend, int black)
{
    const int bottom = legend_bar_top + legend_bar_rows - 1;
    for (int entry = 0; entry <= ramp_entries; ++entry) {
        const rgb colour = entry == 0 ? rgb{255, 255, 255} : ramp_colour(legend.ramp, entry);
        const int left = legend_bar_left + legend_entry_width * entry;
        gdImageFilledRectangle(image, left, legend_bar_top, left + legend_entry_width - 1, bottom,
                               resolve(image, colour));
    }
    const int right = legend_bar_left + legend_entry_width * (ramp_entries + 1) - 1;
    gdImageRectangle(image, legend_bar_left - 1, legend_bar_top - 1, right + 1, bottom + 1, black);
}

void draw_ticks(gdImagePtr image, const legend_description &legend, int black)
{
    const gdFontPtr font = gdFontGetSmall();
    const int tick_top = legend_bar_top + legend_bar_rows + 1;
    for (int value : legend_ticks(legend)) {
        const int centre = legend_bar_left + legend_entry_width * legend_entry(legend, value) + 1;
        gdImageLine(image, centre, tick_top, centre, tick_top + 2, black);
        const std::string label = tick_label(legend, value);
        const int width = static_cast<int>(label.size()) * font->w;
        draw_text(image, std::max(0, centre - width / 2), tick_top + 3, label, black);
    }
}

}  // namespace

int legend_entry(const legend_description &legend, int value)
{
    if (legend.scale == legend_scale::cell_counts)
        return data_pallet_position(value, legend.step);
    const long long entry = static_cast<long long>(ramp_entries) * value / std::max(legend.largest, 1);
    return static_cast<int>(std::clamp(entry, 0LL, static_cast<long long>(ramp_entries)));
}

std::vector<int> legend_ticks(const legend_description &legend)
{
    const int top = largest_own_colour(legend);
    std::vector<int> ticks;
    if (top <= label_every_value) {
        for (int value = 0; value <= top; ++value)
            ticks.push_back(value);
        return ticks;
    }
    for (int k = 0; k <= tick_count; ++k) {
        const int value = static_cast<int>(static_cast<long long>(top) * k / tick_count);
        if (ticks.empty() || ticks.back() != value)
            ticks.push_back(value);
    }
    return ticks;
}

gd_image add_legend(gdImagePtr summary, const legend_description &legend)
{
    gd_image owner(gdImageCreate(summary_side, summary_side + legend_height));
    if (owner == nullptr)
        return owner;
    gdImagePtr image = owner.get();
    copy_summary(summary, image);
    const int white = resolve(image, {255, 255, 255});
    const int black = resolve(image, {0, 0, 0});
    gdImageFilledRectangle(image, 0, summary_side, summary_side - 1, summary_side + legend_height - 1, white);
    draw_text(image, legend_bar_left, summary_side + 3, "map: " + legend.map_name, black);
    draw_text(image, legend_bar_left, summary_side + 17, scale_text(legend), black);
    draw_bar(image, legend, black);
    draw_ticks(image, legend, black);
    return owner;
}

}  // namespace seedbank::summarize
