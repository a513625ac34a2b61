// The picture preview against crafted files, with no window: GDI is handed only buffers that
// end against a page no one may read, so that reading one byte past what it was given faults
// at once instead of showing whatever memory follows. "fuzz" runs seeded mutations of valid
// pictures of every kind (QUORVANE_FUZZ_CASES of them, 5,000 unless set; QUORVANE_SEED picks
// the first seed, and a crash prints the seed of the case, to be run alone with
// QUORVANE_FUZZ_CASES=1).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/PicturePreview.h"
#include "services/ResultWindow.h"
#include "tests/support/bitmaps.h"
#include "tests/support/check.h"

using namespace quorvane;

namespace {

// Buffers that end against a PAGE_NOACCESS page: each size is rounded up to 16, and the
// rounding is filled with a pattern that must be intact when the buffer comes back.
class GuardedMemory : public PreviewMemory {
 public:
  std::uint8_t* Take(size_t bytes) override {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize, rounded = (bytes + 15) / 16 * 16, pages = (rounded + page - 1) / page;
    auto* base = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (base == nullptr || !VirtualProtect(base + pages * page, page, PAGE_NOACCESS, &old)) return nullptr;
    std::uint8_t* buffer = base + pages * page - rounded;
    std::fill(buffer + bytes, buffer + rounded, kPattern);
    const std::lock_guard<std::mutex> hold(lock_);
    bases_[buffer] = base;
    largest = std::max(largest, bytes);
    live += bytes;
    peak = std::max(peak, live);
    ++taken;
    return buffer;
  }
  void Give(std::uint8_t* buffer, size_t bytes) override {
    for (size_t i = bytes; i < (bytes + 15) / 16 * 16; ++i)
      if (buffer[i] != kPattern) ++damaged;
    const std::lock_guard<std::mutex> hold(lock_);
    VirtualFree(bases_[buffer], 0, MEM_RELEASE);
    bases_.erase(buffer);
    live -= bytes;
  }

  size_t largest = 0, live = 0, peak = 0, taken = 0, damaged = 0;

 private:
  static constexpr std::uint8_t kPattern = 0xA5;
  std::mutex lock_;
  std::map<std::uint8_t*, std::uint8_t*> bases_;
};

PreviewImage Decode(const std::string& bytes, GuardedMemory& memory) {
  return DecodePicture({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, 160,
                       PreviewSystem{nullptr, &memory});
}

void Put32(std::string& bytes, size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// Valid pictures of every kind the preview takes.
std::vector<check::BitmapSpec> Kinds() {
  std::vector<check::BitmapSpec> kinds;
  for (int bits : {1, 4, 8, 24}) kinds.push_back({5, 3, bits, BI_RGB, 12});
  for (std::uint32_t header : {40u, 108u, 124u}) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
      kinds.push_back({7, 5, bits, BI_RGB, header});
      kinds.push_back({7, -5, bits, BI_RGB, header});
    }
    for (int bits : {16, 32}) {
      kinds.push_back({6, 4, bits, BI_BITFIELDS, header});
      kinds.push_back({6, -4, bits, BI_BITFIELDS, header});
      kinds.push_back({6, 4, bits, BI_RGB, header, 16});  // a palette that only suggests colours
    }
    kinds.push_back({9, 4, 8, BI_RLE8, header});
    kinds.push_back({9, 4, 4, BI_RLE4, header});
    kinds.push_back({9, 4, 8, BI_RGB, header, 20});  // a short palette
  }
  kinds.push_back({300, 2, 8, BI_RLE8, 40});  // runs longer than 255
  return kinds;
}

// One mutation of a picture, of the kinds that have hurt decoders: header fields at edge
// values, truncation at a field boundary, compressed streams cut inside an escape, runs and
// deltas that leave the picture, tables and offsets that leave the file, and flipped bits.
void Mutate(std::string& bytes, std::mt19937& random) {
  if (bytes.empty()) return;
  auto pick = [&random](size_t n) { return static_cast<size_t>(random() % n); };
  static const size_t kFields[] = {2, 10, 14, 18, 22, 26, 28, 30, 34, 46, 54, 58, 62};
  const std::uint32_t edges[] = {0, 1, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, static_cast<std::uint32_t>(bytes.size()),
                                 static_cast<std::uint32_t>(bytes.size()) + 1 + static_cast<std::uint32_t>(pick(64)),
                                 static_cast<std::uint32_t>(bytes.size()) - 1 - static_cast<std::uint32_t>(pick(8)),
                                 static_cast<std::uint32_t>(pick(300))};
  const std::uint32_t offset = bytes.size() >= 14 ? static_cast<std::uint8_t>(bytes[10]) | static_cast<std::uint8_t>(bytes[11]) << 8 : 0;
  switch (pick(7)) {
    case 0: {
      const size_t at = kFields[pick(std::size(kFields))];
      if (at + 4 <= bytes.size()) Put32(bytes, at, edges[pick(std::size(edges))]);
      break;
    }
    case 1: {
      static const size_t kBoundaries[] = {2, 10, 14, 18, 26, 30, 34, 54, 66};
      const size_t at = pick(2) ? kBoundaries[pick(std::size(kBoundaries))] : offset + pick(16);
      if (at < bytes.size()) bytes.resize(at);
      break;
    }
    case 2:  // a stream cut inside an escape or a pair: 0, then maybe its code, then the end
      if (offset + 4 < bytes.size()) {
        const size_t at = offset + pick(bytes.size() - offset - 2);
        bytes[at] = '\0';
        bytes[at + 1] = static_cast<char>(pick(3) == 0 ? 2 : 3 + pick(253));
        bytes.resize(at + 1 + pick(3));
      }
      break;
    case 3:  // a delta or an absolute run that leaves the picture or the data
      if (offset + 4 < bytes.size()) {
        const size_t at = offset + pick(bytes.size() - offset - 3);
        bytes[at] = '\0';
        bytes[at + 1] = static_cast<char>(pick(2) ? 2 : 255);
        bytes[at + 2] = static_cast<char>(255);
        if (at + 3 < bytes.size()) bytes[at + 3] = static_cast<char>(255);
      }
      break;
    case 4:  // a palette or masks past the end, or the pixels inside the header
      if (bytes.size() >= 54) {
        Put32(bytes, pick(2) ? 46 : 10, pick(2) ? 14 + static_cast<std::uint32_t>(pick(54)) : 0xFFFFF);
      }
      break;
    case 5:  // the pixels said to start at the last byte
      if (bytes.size() >= 14) Put32(bytes, 10, static_cast<std::uint32_t>(bytes.size()) - 1);
      break;
    default:
      for (int flips = 1 + static_cast<int>(pick(8)); flips > 0; --flips)
        bytes[pick(bytes.size())] ^= static_cast<char>(1 << pick(8));
      break;
  }
}

unsigned g_seed = 0;

LONG WINAPI TellSeed(EXCEPTION_POINTERS* exception) {
  std::printf("  CRASH (0x%08lX) in the case of seed %u: run it alone with QUORVANE_SEED=%u QUORVANE_FUZZ_CASES=1\n",
              static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode), g_seed, g_seed);
  std::fflush(stdout);
  return EXCEPTION_CONTINUE_SEARCH;
}

unsigned Setting(const char* name, unsigned otherwise) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : otherwise;
}

// What the header check makes of a file's first bytes, the file being `fileBytes` long (as
// long as the bytes unless given).
std::optional<BitmapFacts> Facts(const std::string& head, std::uint64_t fileBytes = 0) {
  return CheckBitmap({reinterpret_cast<const std::uint8_t*>(head.data()), head.size()},
                     fileBytes ? fileBytes : head.size());
}

}  // namespace

TEST(preview, every_kind_of_picture_is_shown_from_exactly_the_buffers_gdi_is_given) {
  GuardedMemory memory;
  for (const check::BitmapSpec& kind : Kinds()) {
    const PreviewImage image = Decode(check::Bitmap(kind), memory);
    if (image.outcome != PreviewImage::Outcome::kShown)
      check::Fail(__FILE__, __LINE__, "not shown: " + std::to_string(kind.bitCount) + "-bit, compression " +
                                          std::to_string(kind.compression) + ", header " + std::to_string(kind.headerSize) +
                                          ", height " + std::to_string(kind.height));
  }
  CHECK_EQ(memory.damaged, size_t{0});
  CHECK_EQ(memory.live, size_t{0});

  // A compressed stream that ends inside an escape while its header claims far more: GDI may
  // read only what the file holds, however large the header says the stream is.
  for (const char code : {'\2', '\xFF'}) {  // a delta, an absolute run: their operands missing
    for (const int bits : {8, 4}) {
      std::string cut = check::Bitmap({64, 64, bits, bits == 8 ? std::uint32_t{BI_RLE8} : std::uint32_t{BI_RLE4}, 40});
      const std::uint32_t offset = static_cast<std::uint8_t>(cut[10]) | static_cast<std::uint8_t>(cut[11]) << 8;
      cut.resize(offset + 2);
      cut[offset] = '\0';
      cut[offset + 1] = code;
      Put32(cut, 34, 1 << 20);
      CHECK(Decode(cut, memory).outcome != PreviewImage::Outcome::kNotHere);
    }
  }
  CHECK_EQ(memory.damaged, size_t{0});
}

TEST(preview, pictures_are_checked_before_anything_decodes_them) {
  const std::string good = check::Bitmap24(256, 128);
  const auto read = Facts(good);
  REQUIRE(read.has_value());
  CHECK_EQ(DescribePicture(*read), std::wstring(L"256 \u00d7 128, 24-bit, 96 KB"));  // 98,358 bytes
  const auto topDown = Facts(check::Bitmap24(4, 2, 0, -2));
  REQUIRE(topDown.has_value());
  CHECK_EQ(DescribePicture(*topDown), std::wstring(L"4 \u00d7 2, 24-bit, 0 KB"));
  const auto rounded = Facts(check::Bitmap24(16, 16));  // 822 bytes: 0.8 KB, rounded up
  REQUIRE(rounded.has_value());
  CHECK_EQ(DescribePicture(*rounded), std::wstring(L"16 \u00d7 16, 24-bit, 1 KB"));

  std::string farOffset = good;
  farOffset[13] = '\x7f';  // the pixels said to start past the end
  for (const std::string& hostile : {std::string(), good.substr(0, good.size() - 1), good.substr(0, 30),
                                     check::Bitmap24(4, 4, 100000, 100000), std::string("not a picture at all"),
                                     farOffset})
    CHECK(!Facts(hostile).has_value());
  // Within the file, the decoded size decides: 48 MB is shown, 72 MB is not.
  const std::string head = check::Bitmap24(1, 1, 4000, 4000).substr(0, 54);
  CHECK(Facts(head, 54 + 4000ull * 12000).has_value());
  CHECK(!Facts(check::Bitmap24(1, 1, 4000, 6000).substr(0, 54), 54 + 4000ull * 18000).has_value());
}


TEST(preview, what_is_read_and_what_is_decoded_are_each_capped_by_their_real_size) {
  auto headOf = [](const check::BitmapSpec& spec) {
    std::string head = check::Bitmap(spec);
    head.resize(static_cast<std::uint8_t>(head[10]) | static_cast<std::uint8_t>(head[11]) << 8);
    return head;
  };
  // Rows are padded to four bytes: 1,000 rows of one 8-bit pixel read 4,000 bytes, and a file
  // that holds one byte a row is cut short.
  std::string narrow = headOf({1, 1, 8, BI_RGB, 40, 1});
  Put32(narrow, 22, 1000);
  CHECK(Facts(narrow, narrow.size() + 4000).has_value());
  CHECK(!Facts(narrow, narrow.size() + 1000).has_value());
  // A compressed stream is read whole: 64 MiB of it is read, a byte more is refused, though
  // GDI would make only 4 MiB of a 1024 × 1024 picture.
  std::string stream = headOf({9, 4, 8, BI_RLE8, 40});
  Put32(stream, 18, 1024);
  Put32(stream, 22, 1024);
  Put32(stream, 34, 0);  // as long as the file
  CHECK(Facts(stream, stream.size() + (64u << 20)).has_value());
  CHECK(!Facts(stream, stream.size() + (64u << 20) + 1).has_value());
  // A few bytes of compressed pixels may stand for a picture GDI expands to full size at 4
  // bytes a pixel: 4096 × 4096 is 64 MiB, 8192 × 8192 (256 MiB) is refused.
  for (const auto& [side, shown] : {std::pair{4096u, true}, std::pair{8192u, false}}) {
    std::string small = check::Bitmap({9, 4, 4, BI_RLE4, 40});
    Put32(small, 18, side);
    Put32(small, 22, side);
    CHECK_EQ(Facts(small, small.size()).has_value(), shown);
  }
  // Several previews asked for in a row are decoded one after the other: a newer one waits
  // until the older has let go of its memory. The first holds its pixels until the second
  // has taken its own, or for a second when the second cannot.
  class SlowMemory final : public GuardedMemory {
   public:
    HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> pixelBuffers{0};
    std::uint8_t* Take(size_t bytes) override {
      std::uint8_t* buffer = GuardedMemory::Take(bytes);
      if (bytes < 100000) return buffer;
      if (++pixelBuffers == 1)
        WaitForSingleObject(second, 1000);
      else
        SetEvent(second);
      return buffer;
    }
  } memory;
  REQUIRE(MakeResultWindow());
  const std::wstring folder = check::ScratchFolder(L"previews");
  check::WriteFile(folder + L"\\a.bmp", check::Bitmap24(400, 300));
  check::WriteFile(folder + L"\\b.bmp", check::Bitmap24(400, 300));
  PreviewReader reader(PreviewSystem{nullptr, &memory});
  std::wstring shown;
  reader.Read(folder + L"\\a.bmp", 160, [&](PreviewImage& image) { shown = PreviewText(image); });
  REQUIRE(check::PumpUntil([&] { return memory.pixelBuffers.load() == 1; }));
  reader.Read(folder + L"\\b.bmp", 160, [&](PreviewImage& image) { shown = PreviewText(image); });
  REQUIRE(check::PumpUntil([&] { return !shown.empty(); }));
  CHECK_EQ(shown, std::wstring(L"b.bmp: 400 \u00d7 300, 24-bit, 352 KB"));
  CHECK(memory.peak < 2 * 360000u);
  CloseHandle(memory.second);
  check::RemoveTree(folder);
}

TEST(preview, a_picture_only_in_the_cloud_is_neither_opened_nor_read) {
  const std::wstring folder = check::ScratchFolder(L"cloud");
  check::WriteFile(folder + L"\\red.bmp", check::Bitmap24(8, 8));
  GuardedMemory memory;
  static DWORD attributes = 0;
  PreviewSystem system{[](const std::wstring&) { return attributes; }, &memory};
  for (DWORD away : {0x00400000ul /* recall on data access */, 0x00040000ul /* recall on open */,
                     DWORD{FILE_ATTRIBUTE_OFFLINE}}) {
    attributes = FILE_ATTRIBUTE_ARCHIVE | away;
    const PreviewImage image = ReadPreview(folder + L"\\red.bmp", 160, system);
    CHECK(image.outcome == PreviewImage::Outcome::kNotHere);
    CHECK_EQ(PreviewText(image), std::wstring(L"red.bmp: not on this computer"));
  }
  CHECK_EQ(memory.taken, size_t{0});
  attributes = FILE_ATTRIBUTE_ARCHIVE;  // the same file, here: shown
  CHECK_EQ(PreviewText(ReadPreview(folder + L"\\red.bmp", 160, system)), std::wstring(L"red.bmp: 8 \u00d7 8, 24-bit, 0 KB"));
  attributes = INVALID_FILE_ATTRIBUTES;  // cannot tell: not opened either
  CHECK_EQ(PreviewText(ReadPreview(folder + L"\\red.bmp", 160, system)), std::wstring(L"red.bmp: cannot be shown"));
  CHECK_EQ(memory.taken, size_t{2});
  check::RemoveTree(folder);
}

TEST(fuzz, no_crafted_picture_crashes_stalls_or_overspends_the_preview) {
  const unsigned first = Setting("QUORVANE_SEED", 20261208), cases = Setting("QUORVANE_FUZZ_CASES", 5000);
  std::vector<std::string> seeds;
  for (const check::BitmapSpec& kind : Kinds()) seeds.push_back(check::Bitmap(kind));
  GuardedMemory memory;
  SetUnhandledExceptionFilter(&TellSeed);
  std::map<PreviewImage::Outcome, int> outcomes;
  int refused = 0;
  ULONGLONG longest = 0;
  for (unsigned i = 0; i < cases; ++i) {
    g_seed = first + i;
    std::mt19937 random(g_seed);
    std::string bytes = seeds[random() % seeds.size()];
    for (int mutations = random() % 3 ? 1 : 2 + static_cast<int>(random() % 3); mutations > 0; --mutations)
      Mutate(bytes, random);
    const size_t takenBefore = memory.taken;
    const ULONGLONG start = GetTickCount64();
    const PreviewImage image = Decode(bytes, memory);
    const ULONGLONG took = GetTickCount64() - start;
    longest = std::max(longest, took);
    ++outcomes[image.outcome];
    const bool passes = Facts(bytes).has_value();
    refused += passes ? 0 : 1;
    if (took > 5000 || (!passes && (image.outcome == PreviewImage::Outcome::kShown || memory.taken != takenBefore)) ||
        memory.damaged != 0 || memory.live != 0)
      check::Fail(__FILE__, __LINE__, "the case of seed " + std::to_string(g_seed) + " took " + std::to_string(took) +
                                          " ms, passed the check: " + std::to_string(passes) + ", damaged " +
                                          std::to_string(memory.damaged));
  }
  SetUnhandledExceptionFilter(nullptr);
  CHECK(memory.largest <= kLargestPreview);
  std::printf("  %u cases from seed %u: %d refused by the check, %d shown, %d cannot be shown; longest %llu ms, "
              "largest buffer %zu bytes\n",
              cases, first, refused, outcomes[PreviewImage::Outcome::kShown],
              outcomes[PreviewImage::Outcome::kCannotBeShown], longest, memory.largest);
}
