// The seedling list: plain text, one line per seedling, "%3d   %3d\n" with
// the cell's x (column) and y (row).  Several seedlings in one cell give one
// line each.  Order, coordinate range and file name belong to the writer.
#pragma once
#include <cstdio>
#include <string>

#include "output_file.h"

namespace seedbank {

// Opens the list `name` for writing as an all-or-nothing output.
outcome<output_file> open_seedling_list(const std::string &name);

// Writes the line of one seedling in cell (x, y).
void write_seedling(FILE *list, int x, int y);

}  // namespace seedbank
