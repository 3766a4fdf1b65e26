// Painting only the pixels that reach the summary image.
//
// The tenfold shrink of the painted 6000 x 6000 image takes, for output
// pixel (d, e), the colour of pixel (10d, 10e) and nothing else: no other
// pixel's colour reaches the output, not even into its colour table, which
// the copy fills with the colours of the pixels it copies, in the order it
// copies them.  So a 600 x 600 image whose pixel (d, e) holds what the full
// painting puts on pixel (10d, 10e), copied one to one, gives the same
// summary image byte for byte, without painting (or even allocating) the 36
// million pixels of the full one.  The tests hold this against the full
// painting, shrunk by the library.
#pragma once
#include <gd.h>

namespace seedbank::summarize {

// Output pixel d of the summary shows pixel shrink_factor * d of the full
// painting.
constexpr int shrink_factor = 10;

// Sets pixel (d, e) of the 600 x 600 `image`, d and e from 1 to 599, to the
// colour the full painting gives pixel (10d, 10e): the data area through the
// stepped `pallet` position, the margins through `pallet` directly, the
// corner left white.  Row 0 and column 0 are left white, as the copy leaves
// them.
void paint_sampled_pixels(gdImagePtr image, unsigned char **field, const unsigned char *pallet, int step);

}  // namespace seedbank::summarize
