#pragma once
// The 52 special-folder identifiers the source menu offers, in the order they
// are looked up, written out here rather than taken from the program's table.
#include <QtGlobal>
#include <array>

namespace vrn::testing {

inline constexpr std::array<qint32, 52> kSpecialFolderIdentifiers = {
    48, 29, 26, 10, 47, 30, 35, 25, 46, 31, 23, 22, 24, 45, 3,  33, 0, 16, 17, 6,  -32768, 16384, -256, 20, 34, 1,
    32, 28, 39, 13, 14, 59, 19, 18, 5,  4,  27, 40, 38, 43, 44, 42, 2, 8,  9,  21, 11,     7,     37,   41, 21, 36};

}  // namespace vrn::testing
