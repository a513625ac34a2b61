// The checks a BMP file's headers must pass before anything decodes it, and the line that
// describes it.
#include <algorithm>
#include <cwchar>

#include "app/PicturePreview.h"

namespace quorvane {
namespace {

std::uint32_t U16(std::span<const std::uint8_t> b, size_t at) {
  return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t U32(std::span<const std::uint8_t> b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

// The 12-byte header of the oldest BMPs, with its palette of 3-byte entries; false when GDI
// would not take its planes or depth.
bool ReadCoreHeader(std::span<const std::uint8_t> head, BitmapFacts& f) {
  f.width = static_cast<std::int32_t>(U16(head, 18));
  f.height = static_cast<std::int32_t>(U16(head, 20));
  if (U16(head, 22) != 1) return false;  // planes
  f.bitCount = static_cast<int>(U16(head, 24));
  if (f.bitCount != 1 && f.bitCount != 4 && f.bitCount != 8 && f.bitCount != 24) return false;
  if (f.bitCount <= 8) {
    f.colors = 1u << f.bitCount;
    f.colorTableBytes = 3 * f.colors;
  }
  return true;
}

// Whether GDI decodes this depth with this compression; the masks that follow a 40-byte header
// counted among its tables.
bool KnownCompression(BitmapFacts& f) {
  switch (f.compression) {
    case BI_RGB:
      return f.bitCount == 1 || f.bitCount == 4 || f.bitCount == 8 || f.bitCount == 16 || f.bitCount == 24 ||
             f.bitCount == 32;
    case BI_BITFIELDS:
      if (f.headerSize == 40) f.colorTableBytes = 12;  // the three masks follow the header
      return f.bitCount == 16 || f.bitCount == 32;
    case BI_RLE8:
    case BI_RLE4:
      return f.bitCount == (f.compression == BI_RLE8 ? 8 : 4) && f.height >= 0;
    default:
      return false;  // JPEG, PNG and the like inside a BMP: not for GDI
  }
}

// The headers of 40 bytes and more, with their palette of 4-byte entries.
bool ReadInfoHeader(std::span<const std::uint8_t> head, BitmapFacts& f) {
  if (head.size() < kBitmapFileHeader + f.headerSize) return false;
  f.width = static_cast<std::int32_t>(U32(head, 18));
  f.height = static_cast<std::int32_t>(U32(head, 22));
  if (U16(head, 26) != 1) return false;  // planes
  f.bitCount = static_cast<int>(U16(head, 28));
  f.compression = U32(head, 30);
  const std::uint32_t colorsUsed = U32(head, 46);
  if (!KnownCompression(f)) return false;
  if (f.bitCount <= 8) {
    const std::uint32_t most = 1u << f.bitCount;
    if (colorsUsed > most) return false;
    f.colors = colorsUsed == 0 ? most : colorsUsed;
    f.colorTableBytes += 4 * f.colors;
    return true;
  }
  if (colorsUsed > 256) return false;
  f.colorTableBytes += 4 * colorsUsed;  // a palette that only suggests colours: GDI is not given it
  return true;
}

// How many bytes of pixels are read from the file; nothing when the file holds fewer rows than
// the header promises.
std::optional<std::uint64_t> PixelBytes(std::span<const std::uint8_t> head, const BitmapFacts& f,
                                        std::uint64_t height) {
  const std::uint64_t available = f.fileBytes - f.pixelOffset;
  if (f.compression == BI_RLE8 || f.compression == BI_RLE4) {
    // The compressed stream is what the file holds, or less where the header says so.
    const std::uint32_t stated = U32(head, 34);
    return stated != 0 ? std::min<std::uint64_t>(stated, available) : available;
  }
  // Every row, padded to four bytes: a narrow picture may read far more than it shows.
  const std::uint64_t bits = static_cast<std::uint64_t>(f.width) * static_cast<std::uint64_t>(f.bitCount);
  const std::uint64_t stride = (bits + 31) / 32 * 4;
  if (stride * height > available) return std::nullopt;
  return stride * height;
}

}  // namespace

std::optional<BitmapFacts> CheckBitmap(std::span<const std::uint8_t> head, std::uint64_t fileBytes) {
  if (head.size() < kBitmapFileHeader + 12 || fileBytes < head.size() || head[0] != 'B' || head[1] != 'M')
    return std::nullopt;
  BitmapFacts f;
  f.fileBytes = fileBytes;
  f.pixelOffset = U32(head, 10);
  f.headerSize = U32(head, 14);
  const bool info = f.headerSize == 40 || f.headerSize == 52 || f.headerSize == 56 || f.headerSize == 108 ||
                    f.headerSize == 124;
  if (!(f.headerSize == 12 ? ReadCoreHeader(head, f) : info && ReadInfoHeader(head, f))) return std::nullopt;
  if (f.width <= 0 || f.height == 0 || f.height == INT32_MIN) return std::nullopt;
  const std::uint64_t height = f.height < 0 ? -static_cast<std::int64_t>(f.height) : f.height;
  if (static_cast<std::uint64_t>(f.width) * height * 4 > kLargestPreview)
    return std::nullopt;  // what GDI makes of it

  const std::uint64_t tablesEnd = std::uint64_t{kBitmapFileHeader} + f.headerSize + f.colorTableBytes;
  if (head.size() < tablesEnd || f.pixelOffset < tablesEnd || f.pixelOffset >= fileBytes) return std::nullopt;
  const std::optional<std::uint64_t> pixels = PixelBytes(head, f, height);
  if (!pixels || *pixels > kLargestPreview) return std::nullopt;  // what would be read
  f.pixelBytes = static_cast<std::uint32_t>(*pixels);
  return f;
}

std::wstring DescribePicture(const BitmapFacts& facts) {
  wchar_t text[96];
  std::swprintf(text, 96, L"%ld \u00d7 %ld, %d-bit, %llu KB", static_cast<long>(facts.width),
                static_cast<long>(facts.height < 0 ? -static_cast<long long>(facts.height) : facts.height),
                facts.bitCount, static_cast<unsigned long long>((facts.fileBytes + 512) / 1024));
  return text;
}

}  // namespace quorvane
