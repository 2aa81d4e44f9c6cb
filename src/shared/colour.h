#pragma once

#include <cstdint>

// Colours as the panel stores them: with the top bit clear a colour is
// red + 256 * green + 65536 * blue; with the top bit set its low byte picks a
// colour of the desktop's colour scheme.
using Colour = std::uint32_t;

constexpr Colour rgb(int r, int g, int b) {
    return static_cast<Colour>(r) | static_cast<Colour>(g) << 8 | static_cast<Colour>(b) << 16;
}

constexpr Colour colour_red = 0x000000FF;
constexpr Colour colour_orange = 0x000080FF;
constexpr Colour colour_yellow = 0x0000FFFF;
constexpr Colour colour_lamp_start = rgb(224, 224, 224); // a lamp before any report
constexpr Colour colour_menu = 0x80000004;               // scheme colour 4: menu background
constexpr Colour colour_window = 0x80000005;             // scheme colour 5: window background

constexpr bool is_scheme_colour(Colour c) {
    return (c & 0x80000000u) != 0;
}
