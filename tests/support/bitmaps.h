// BMP files made byte by byte for the tests: a small real picture, and the broken and hostile
// ones a player's folder may hold.
#pragma once

#include <cstdint>
#include <string>

namespace check {

// A bottom-up 24-bit BMP of width × height pixels, all of one colour; `claimWidth` and
// `claimHeight` (when not zero) are what the header says instead, the pixels staying as made.
inline std::string Bitmap24(int width, int height, int claimWidth = 0, int claimHeight = 0) {
  const int stride = (width * 3 + 3) / 4 * 4;
  const std::uint32_t pixels = static_cast<std::uint32_t>(stride * height), offset = 54;
  std::string bytes(offset + pixels, '\0');
  auto put = [&bytes](size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  };
  bytes[0] = 'B', bytes[1] = 'M';
  put(2, offset + pixels, 4);
  put(10, offset, 4);
  put(14, 40, 4);
  put(18, static_cast<std::uint32_t>(claimWidth ? claimWidth : width), 4);
  put(22, static_cast<std::uint32_t>(claimHeight ? claimHeight : height), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(34, pixels, 4);
  for (size_t i = offset; i + 2 < bytes.size(); i += 3) bytes[i + 2] = '\xC0';  // red, rows' padding aside
  return bytes;
}

}  // namespace check
