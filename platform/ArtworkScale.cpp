#include "platform/ArtworkScale.h"

#include <cstdlib>

int NearestArtworkScale(int dpi)
{
    int nearest = 0;
    for (int i = 1; i < static_cast<int>(ArtworkScales.size()); ++i) {
        // Compared in hundredths of a DPI, so that no division rounds.
        const int distance = std::abs(dpi * 100 - 96 * ArtworkScales[i]);
        if (distance <= std::abs(dpi * 100 - 96 * ArtworkScales[nearest])) nearest = i;
    }
    return nearest;
}
