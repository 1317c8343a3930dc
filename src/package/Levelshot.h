// The picture the game's menus show of a level while it loads: levelshots/<level>.jpg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace package {

// The levelshot's size: the game's menus stretch it over a 4:3 screen.
constexpr int LevelshotWidth = 640, LevelshotHeight = 480;

// Width x Height pixels of three bytes each (red, green, blue), rows top first, as a JPEG
// file's bytes. Raises when RGB holds fewer bytes than that or the encoder fails.
std::string LevelshotJpeg(const std::vector<uint8_t>& RGB, int Width, int Height);

}  // namespace package
