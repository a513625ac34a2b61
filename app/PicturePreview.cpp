#include "app/PicturePreview.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "paths/PathRules.h"
#include "services/ResultWindow.h"

namespace quorvane {
namespace {

constexpr std::uint32_t kFileHeader = 14;
// The headers and tables CheckBitmap needs: the file header, the largest info header, three
// colour masks and a palette of 256 colours.
constexpr size_t kHeadBytes = kFileHeader + 124 + 12 + 256 * 4;

std::uint32_t U16(std::span<const std::uint8_t> b, size_t at) {
  return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t U32(std::span<const std::uint8_t> b, size_t at) {
  return U16(b, at) | U16(b, at + 2) << 16;
}

// Reads up to `bytes` from `file` at `offset`; false when the file gives less.
bool ReadAt(HANDLE file, std::uint64_t offset, std::uint8_t* into, std::uint32_t bytes) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return false;
  while (bytes > 0) {
    DWORD got = 0;
    if (!ReadFile(file, into, bytes, &got, nullptr) || got == 0) return false;
    into += got;
    bytes -= got;
  }
  return true;
}

// The picture, checked, then decoded and scaled by GDI into a 32-bit bitmap of at most
// `box` × `box` pixels. Leaves `image.bitmap` null when anything is wrong with the file.
void Decode(PreviewImage& image, int box, const std::atomic<unsigned>& latest, unsigned generation) {
  const UniqueHandle file(CreateFileW(SystemForm(image.path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return;
  const auto fileBytes = static_cast<std::uint64_t>(size.QuadPart);
  std::vector<std::uint8_t> head(static_cast<size_t>(std::min<std::uint64_t>(fileBytes, kHeadBytes)));
  if (head.empty() || !ReadAt(file.get(), 0, head.data(), static_cast<std::uint32_t>(head.size()))) return;
  const std::optional<BitmapFacts> facts = CheckBitmap(head, fileBytes);
  if (!facts || latest.load() != generation) return;

  // The info header and its tables, as GDI takes them; an old core header is put in the
  // form of an info header, its three-byte colours in four.
  std::vector<std::uint8_t> info;
  if (facts->headerSize == 12) {
    const size_t colors = facts->colorTableBytes / 3;
    info.resize(sizeof(BITMAPINFOHEADER) + colors * 4);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = facts->width;
    header->biHeight = facts->height;
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(facts->bitCount);
    header->biCompression = BI_RGB;
    for (size_t i = 0; i < colors; ++i) {
      const size_t from = kFileHeader + 12 + i * 3;
      std::copy_n(head.begin() + static_cast<std::ptrdiff_t>(from), 3,
                  info.begin() + static_cast<std::ptrdiff_t>(sizeof(BITMAPINFOHEADER) + i * 4));
    }
  } else {
    info.assign(head.begin() + kFileHeader,
                head.begin() + kFileHeader + facts->headerSize + facts->colorTableBytes);
  }
  // Two more zero bytes end a compressed picture that would run on: "end of bitmap".
  std::vector<std::uint8_t> pixels(facts->pixelBytes + 2, 0);
  pixels[facts->pixelBytes + 1] = 1;
  if (!ReadAt(file.get(), facts->pixelOffset, pixels.data(), facts->pixelBytes)) return;
  if (latest.load() != generation) return;

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
  HDC dc = CreateCompatibleDC(nullptr);
  if (!bitmap || dc == nullptr) {
    if (dc != nullptr) DeleteDC(dc);
    return;
  }
  const HGDIOBJ old = SelectObject(dc, bitmap.get());
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  const int lines = StretchDIBits(dc, 0, 0, w, h, 0, 0, width, height, pixels.data(),
                                  reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, SRCCOPY);
  SelectObject(dc, old);
  DeleteDC(dc);
  if (lines == 0 || lines == static_cast<int>(GDI_ERROR)) return;
  image.bitmap = std::move(bitmap);
  image.size = SIZE{w, h};
  image.line = DescribePicture(*facts);
}

struct Job {
  std::wstring path;
  int box;
  std::shared_ptr<std::atomic<unsigned>> latest;
  unsigned generation;
  std::function<void(PreviewImage&)> done;
};

void CALLBACK RunJob(PTP_CALLBACK_INSTANCE, void* context) {
  std::unique_ptr<Job> job(static_cast<Job*>(context));
  if (job->latest->load() != job->generation) return;  // a newer one came meanwhile: not read
  auto image = std::make_shared<PreviewImage>();
  image->path = job->path;
  Decode(*image, job->box, *job->latest, job->generation);
  PostResult([image, latest = job->latest, generation = job->generation, done = std::move(job->done)] {
    if (latest->load() == generation) done(*image);
  });
}

}  // namespace

std::optional<BitmapFacts> CheckBitmap(std::span<const std::uint8_t> head, std::uint64_t fileBytes) {
  if (head.size() < kFileHeader + 12 || fileBytes < head.size() || head[0] != 'B' || head[1] != 'M')
    return std::nullopt;
  BitmapFacts f;
  f.fileBytes = fileBytes;
  f.pixelOffset = U32(head, 10);
  f.headerSize = U32(head, 14);
  int planes = 0;
  std::uint32_t colorsUsed = 0;
  if (f.headerSize == 12) {
    f.width = static_cast<std::int32_t>(U16(head, 18));
    f.height = static_cast<std::int32_t>(U16(head, 20));
    planes = static_cast<int>(U16(head, 22));
    f.bitCount = static_cast<int>(U16(head, 24));
    if (f.bitCount != 1 && f.bitCount != 4 && f.bitCount != 8 && f.bitCount != 24) return std::nullopt;
    if (f.bitCount <= 8) f.colorTableBytes = 3u << f.bitCount;
  } else if (f.headerSize == 40 || f.headerSize == 52 || f.headerSize == 56 || f.headerSize == 108 ||
             f.headerSize == 124) {
    if (head.size() < kFileHeader + f.headerSize) return std::nullopt;
    f.width = static_cast<std::int32_t>(U32(head, 18));
    f.height = static_cast<std::int32_t>(U32(head, 22));
    planes = static_cast<int>(U16(head, 26));
    f.bitCount = static_cast<int>(U16(head, 28));
    f.compression = U32(head, 30);
    colorsUsed = U32(head, 46);
    switch (f.compression) {
      case BI_RGB:
        if (f.bitCount != 1 && f.bitCount != 4 && f.bitCount != 8 && f.bitCount != 16 && f.bitCount != 24 &&
            f.bitCount != 32)
          return std::nullopt;
        break;
      case BI_BITFIELDS:
        if (f.bitCount != 16 && f.bitCount != 32) return std::nullopt;
        if (f.headerSize == 40) f.colorTableBytes = 12;  // the three masks follow the header
        break;
      case BI_RLE8:
      case BI_RLE4:
        if (f.bitCount != (f.compression == BI_RLE8 ? 8 : 4) || f.height < 0) return std::nullopt;
        break;
      default:
        return std::nullopt;  // JPEG, PNG and the like inside a BMP: not for GDI
    }
    if (f.bitCount <= 8) {
      const std::uint32_t most = 1u << f.bitCount;
      if (colorsUsed > most) return std::nullopt;
      f.colorTableBytes += 4 * (colorsUsed == 0 ? most : colorsUsed);
    } else if (colorsUsed > 256) {
      return std::nullopt;
    } else {
      f.colorTableBytes += 4 * colorsUsed;  // a palette that only suggests colours
    }
  } else {
    return std::nullopt;
  }
  if (planes != 1 || f.width <= 0 || f.height == 0 || f.height == INT32_MIN) return std::nullopt;
  const std::uint64_t height = f.height < 0 ? -static_cast<std::int64_t>(f.height) : f.height;
  const std::uint64_t width = static_cast<std::uint64_t>(f.width);
  const std::uint64_t bytesPerPixel = f.bitCount < 8 ? 1 : static_cast<std::uint64_t>(f.bitCount / 8);
  if (width * height * bytesPerPixel > kLargestPreview) return std::nullopt;

  const std::uint64_t tablesEnd = std::uint64_t{kFileHeader} + f.headerSize + f.colorTableBytes;
  if (head.size() < tablesEnd || f.pixelOffset < tablesEnd || f.pixelOffset >= fileBytes) return std::nullopt;
  const std::uint64_t available = fileBytes - f.pixelOffset;
  if (f.compression == BI_RLE8 || f.compression == BI_RLE4) {
    // The compressed size is what the file holds, or less where the header says so; its
    // decoded size is bounded by the picture's.
    const std::uint32_t stated = U32(head, 34);
    f.pixelBytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(
        stated != 0 ? std::min<std::uint64_t>(stated, available) : available, kLargestPreview));
  } else {
    const std::uint64_t stride = (width * static_cast<std::uint64_t>(f.bitCount) + 31) / 32 * 4;
    if (stride * height > available) return std::nullopt;  // truncated: fewer rows than promised
    f.pixelBytes = static_cast<std::uint32_t>(stride * height);
  }
  return f;
}

std::wstring DescribePicture(const BitmapFacts& facts) {
  wchar_t text[96];
  std::swprintf(text, 96, L"%ld \u00d7 %ld, %d-bit, %llu KB", static_cast<long>(facts.width),
                static_cast<long>(facts.height < 0 ? -static_cast<long long>(facts.height) : facts.height),
                facts.bitCount, static_cast<unsigned long long>((facts.fileBytes + 512) / 1024));
  return text;
}

void PreviewReader::Read(const std::wstring& path, int box, std::function<void(PreviewImage&)> done) {
  const unsigned generation = ++*latest_;
  auto job = std::make_unique<Job>(Job{path, box, latest_, generation, std::move(done)});
  if (TrySubmitThreadpoolCallback(&RunJob, job.get(), nullptr)) {
    job.release();
    return;
  }
  // No worker to be had: the preview says the file cannot be shown rather than stall the window.
  PreviewImage image;
  image.path = path;
  job->done(image);
}

}  // namespace quorvane
