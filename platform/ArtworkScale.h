#pragma once
// The artwork is drawn once per scale, each at its own pixel size; a window shows the one
// nearest to its DPI, so that no picture is stretched at the usual display settings.
#include <array>

// Percent of the standard 96 DPI, in the order of the resource ids.
inline constexpr std::array<int, 4> ArtworkScales{100, 125, 150, 200};

// The index into ArtworkScales whose DPI lies nearest to dpi. Halfway between two, the larger:
// shrinking a picture loses less than enlarging it.
int NearestArtworkScale(int dpi);
