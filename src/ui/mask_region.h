// Turns a button's mask image into the rectangles of its window region: every maximal
// horizontal run of non-white pixels on a row becomes one rectangle one pixel high. Kept
// apart from the GDI calls so that the rule is tested on plain pixel arrays.
#pragma once

#include <cstddef>
#include <vector>

namespace tw {

struct RunRect {
    int left, top, right, bottom;  // right and bottom exclusive, as RECT
    bool operator==(const RunRect&) const = default;
};

// isOutside(x, y) tells whether a pixel is the outside colour (white). A run ends at an
// outside pixel or at the end of the row; the row's last pixel belongs to its run.
template <typename IsOutside>
std::vector<RunRect> MaskRuns(int width, int height, IsOutside isOutside)
{
    std::vector<RunRect> runs;
    for (int y = 0; y < height; ++y) {
        int x = 0;
        while (x < width) {
            while (x < width && isOutside(x, y))
                ++x;
            if (x >= width)
                break;
            int start = x;
            while (x < width && !isOutside(x, y))
                ++x;
            if (runs.size() == runs.capacity())
                runs.reserve(runs.size() + 40);  // the buffer grows by 40 rectangles
            runs.push_back({start, y, x, y + 1});
        }
    }
    return runs;
}

}  // namespace tw
