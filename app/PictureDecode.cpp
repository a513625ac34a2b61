// The decode: a checked picture handed to GDI, which scales it into a bitmap of its own.
#include <algorithm>
#include <cstring>
#include <vector>

#include "app/PicturePreview.h"

namespace quorvane {
namespace {

class HeapMemory final : public PreviewMemory {
 public:
  std::uint8_t* Take(size_t bytes) override {
    return static_cast<std::uint8_t*>(HeapAlloc(GetProcessHeap(), 0, bytes));
  }
  void Give(std::uint8_t* buffer, size_t) override { HeapFree(GetProcessHeap(), 0, buffer); }
};

// One buffer handed to GDI, given back however the decode ends.
class Buffer {
 public:
  Buffer(PreviewMemory& memory, size_t bytes) : memory_(memory), data_(memory.Take(bytes)), size_(bytes) {}
  ~Buffer() {
    if (data_ != nullptr) memory_.Give(data_, size_);
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  std::uint8_t* data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  PreviewMemory& memory_;
  std::uint8_t* data_;
  size_t size_;
};

size_t InfoBytes(const BitmapFacts& facts) {
  return sizeof(BITMAPINFOHEADER) + (facts.compression == BI_BITFIELDS ? 12 : 0) + facts.colors * size_t{4};
}

// The info header GDI is given, with its masks and palette: always the plain 40-byte header,
// whatever the file's own, so that GDI reads exactly the tables put here, and with
// biSizeImage the exact length of the pixel buffer, which is all GDI may read of the pixels
// (a compressed picture's stream ends where its buffer does, whatever the file claims).
void MakeInfo(const BitmapFacts& facts, std::span<const std::uint8_t> head, std::uint8_t* into) {
  std::memset(into, 0, InfoBytes(facts));
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = facts.width;
  header.biHeight = facts.height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(facts.bitCount);
  header.biCompression = facts.compression;
  header.biSizeImage = facts.pixelBytes;
  header.biClrUsed = facts.colors;
  std::memcpy(into, &header, sizeof header);
  size_t at = sizeof header;
  // The three colour masks follow a 40-byte header, and are the next fields of a larger one:
  // at the same place in the file either way.
  if (facts.compression == BI_BITFIELDS) {
    std::copy_n(head.begin() + kBitmapFileHeader + 40, 12, into + at);
    at += 12;
  }
  const bool core = facts.headerSize == 12;
  const size_t entry = core ? 3 : 4;
  size_t from = kBitmapFileHeader + facts.headerSize;
  if (facts.headerSize == 40 && facts.compression == BI_BITFIELDS) from += 12;
  for (std::uint32_t i = 0; i < facts.colors; ++i, at += 4, from += entry)
    std::copy_n(head.begin() + static_cast<std::ptrdiff_t>(from), 3, into + at);  // the fourth byte stays 0
}

}  // namespace

PreviewImage DecodePicture(std::uint64_t fileBytes, const ReadPicture& read, int box, const PreviewSystem& system,
                           const std::function<bool()>& stale) {
  PreviewImage image;
  std::vector<std::uint8_t> head(static_cast<size_t>(std::min<std::uint64_t>(fileBytes, kBitmapHeadBytes)));
  if (head.empty() || !read(0, head.data(), static_cast<std::uint32_t>(head.size()))) return image;
  const std::optional<BitmapFacts> facts = CheckBitmap(head, fileBytes);
  if (!facts || (stale && stale())) return image;

  HeapMemory heap;
  PreviewMemory& memory = system.memory != nullptr ? *system.memory : heap;
  const Buffer info(memory, InfoBytes(*facts));
  const Buffer pixels(memory, facts->pixelBytes);
  if (!info || !pixels) return image;
  MakeInfo(*facts, head, info.data());
  if (!read(facts->pixelOffset, pixels.data(), facts->pixelBytes) || (stale && stale())) return image;

  const int width = facts->width, height = facts->height < 0 ? -facts->height : facts->height;
  const double scale = std::min(1.0, std::min(static_cast<double>(box) / width, static_cast<double>(box) / height));
  const int w = std::max(1, static_cast<int>(width * scale + 0.5)), h = std::max(1, static_cast<int>(height * scale + 0.5));

  BITMAPINFO target{};
  target.bmiHeader.biSize = sizeof target.bmiHeader;
  target.bmiHeader.biWidth = w;
  target.bmiHeader.biHeight = -h;
  target.bmiHeader.biPlanes = 1;
  target.bmiHeader.biBitCount = 32;
  target.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(nullptr, &target, DIB_RGB_COLORS, &bits, nullptr, 0));
  const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!bitmap || !dc) return image;
  int lines = 0;
  {
    const ScopedSelect selected(dc.get(), bitmap.get());
    SetStretchBltMode(dc.get(), HALFTONE);
    SetBrushOrgEx(dc.get(), 0, 0, nullptr);
    lines = StretchDIBits(dc.get(), 0, 0, w, h, 0, 0, width, height, pixels.data(),
                          reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, SRCCOPY);
  }
  if (lines == 0 || lines == static_cast<int>(GDI_ERROR)) return image;
  image.outcome = PreviewImage::Outcome::kShown;
  image.bitmap = std::move(bitmap);
  image.size = SIZE{w, h};
  image.line = DescribePicture(*facts);
  return image;
}

PreviewImage DecodePicture(std::span<const std::uint8_t> file, int box, const PreviewSystem& system) {
  const ReadPicture read = [file](std::uint64_t offset, std::uint8_t* into, std::uint32_t bytes) {
    if (offset > file.size() || bytes > file.size() - offset) return false;
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(offset), bytes, into);
    return true;
  };
  return DecodePicture(file.size(), read, box, system, {});
}

}  // namespace quorvane
