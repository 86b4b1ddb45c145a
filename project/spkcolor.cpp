#include "project/spkcolor.h"

namespace {

const char* const kPalette[] = {
    "#A22A2B", "#010101", "#0000FD", "#006301", "#FF68B5", "#20B2A8", "#32CD34", "#020183",
    "#FF4503", "#DB71D6", "#A01EF0", "#FE0002", "#426AE4", "#FB7F73", "#2F8A58", "#FF8248",
    "#88CEE8", "#708290", "#00FD80", "#4583B4", "#D0B38B", "#D7BFD7", "#FF6349", "#02878C",
    "#8B7F65", "#BF00FE", "#FF3F95", "#8AB92A", "#BFBFBF", "#CB5E5B", "#FFD700", "#218C22",
    "#B42222", "#2090FF", "#6A6A6A", "#01BEFF", "#FF1496", "#9500D2", "#03CECF", "#2F4D4D",
    "#493C8C", "#9A31CC", "#566931", "#B9870C", "#00FEFE", "#6294ED", "#FF8051", "#D4681F",
    "#81FE02", "#5D9CA1", "#DFB98A", "#8B2CE2", "#FFEBD0", "#C2CCCE", "#81FFD5",
};
constexpr int kPaletteSize = sizeof(kPalette) / sizeof(kPalette[0]);
static_assert(kPaletteSize == 55, "the voice palette has 55 colours");

} // namespace

std::string spkcolor(int n) {
    // Negative positions wrap as well instead of reading before the table.
    return kPalette[((n % kPaletteSize) + kPaletteSize) % kPaletteSize];
}
