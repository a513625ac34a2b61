// BMP files made byte by byte for the tests: a small real picture, and the broken and hostile
// ones a player's folder may hold.
#pragma once

#include <algorithm>
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

// A BMP of any kind GDI decodes, for the preview's checks and its fuzz test: pixels in a
// pattern, a palette where the depth has one, the colour masks of 5-6-5 (16-bit) or 8-8-8
// (32-bit) where asked for, and compressed rows that use every kind of run (encoded,
// absolute, a delta) where compressed.
struct BitmapSpec {
  int width = 4, height = 4;  // height < 0: the rows run top to bottom
  int bitCount = 24;
  std::uint32_t compression = 0;   // BI_RGB, BI_RLE8, BI_RLE4 or BI_BITFIELDS
  std::uint32_t headerSize = 40;   // 12 (core), 40, 108 (V4) or 124 (V5)
  std::uint32_t colors = 0;        // palette entries: 0 for the full palette of 8 bits or fewer, none above
};

inline std::string Bitmap(const BitmapSpec& spec) {
  std::string pixels;
  const int rows = spec.height < 0 ? -spec.height : spec.height;
  auto value = [&](int x, int y) { return static_cast<char>((x * 7 + y * 3) % (spec.bitCount >= 8 ? 251 : 1 << spec.bitCount)); };
  if (spec.compression == 1 || spec.compression == 2) {
    const bool four = spec.compression == 2;
    for (int y = 0; y < rows; ++y) {
      int x = 0;
      if (y == 1 && spec.width > 1) {  // a delta: the row's first pixel skipped
        pixels += std::string("\0\2\1\0", 4);
        x = 1;
      }
      while (x < spec.width) {
        const int left = spec.width - x;
        if (left >= 3 && (x + y) % 2 == 0) {  // an absolute run, padded to a word
          const int n = std::min(left, 255);
          pixels += '\0';
          pixels += static_cast<char>(n);
          const int bytes = four ? (n + 1) / 2 : n;
          for (int i = 0; i < bytes; ++i) pixels += four ? static_cast<char>(value(x + 2 * i, y) << 4 | value(x + 2 * i + 1, y)) : value(x + i, y);
          if (bytes % 2) pixels += '\0';
          x += n;
        } else {  // an encoded run
          const int n = std::min(left, 2);
          pixels += static_cast<char>(n);
          pixels += four ? static_cast<char>(value(x, y) << 4 | value(x + 1, y)) : value(x, y);
          x += n;
        }
      }
      pixels += y + 1 == rows ? std::string("\0\1", 2) : std::string("\0\0", 2);
    }
  } else {
    const int stride = (spec.width * spec.bitCount + 31) / 32 * 4;
    for (int y = 0; y < rows; ++y)
      for (int i = 0; i < stride; ++i) pixels += value(i, y);
  }
  const bool core = spec.headerSize == 12;
  const std::uint32_t colors = spec.bitCount <= 8 ? (spec.colors ? spec.colors : 1u << spec.bitCount) : spec.colors;
  const std::uint32_t masks = spec.compression == 3 && spec.headerSize == 40 ? 12 : 0;
  const std::uint32_t offset = 14 + spec.headerSize + masks + colors * (core ? 3 : 4);
  std::string bytes(offset, '\0');
  auto put = [&bytes](size_t at, std::uint32_t v, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
  };
  bytes[0] = 'B', bytes[1] = 'M';
  put(2, offset + static_cast<std::uint32_t>(pixels.size()), 4);
  put(10, offset, 4);
  put(14, spec.headerSize, 4);
  if (core) {
    put(18, static_cast<std::uint32_t>(spec.width), 2);
    put(20, static_cast<std::uint32_t>(spec.height), 2);
    put(22, 1, 2);
    put(24, static_cast<std::uint32_t>(spec.bitCount), 2);
  } else {
    put(18, static_cast<std::uint32_t>(spec.width), 4);
    put(22, static_cast<std::uint32_t>(spec.height), 4);
    put(26, 1, 2);
    put(28, static_cast<std::uint32_t>(spec.bitCount), 2);
    put(30, spec.compression, 4);
    put(34, static_cast<std::uint32_t>(pixels.size()), 4);
    put(46, spec.bitCount <= 8 && !spec.colors ? 0 : colors, 4);
    if (spec.compression == 3) {  // right after a 40-byte header, or its next fields
      const bool sixteen = spec.bitCount == 16;
      put(54, sixteen ? 0xF800 : 0xFF0000, 4);
      put(58, sixteen ? 0x07E0 : 0x00FF00, 4);
      put(62, sixteen ? 0x001F : 0x0000FF, 4);
    }
  }
  for (std::uint32_t i = 0; i < colors; ++i)
    put(14 + spec.headerSize + masks + i * (core ? 3 : 4), 0x102030u * i, 3);
  return bytes + pixels;
}

}  // namespace check
