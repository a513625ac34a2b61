// A small test harness: TEST cases registered by name and grouped in suites, CHECK and
// CHECK_EQ that report the file, the line and both values, and a main that runs one suite
// (--suite NAME), one case (--case NAME) or everything, and exits non-zero on a failure.
#pragma once

#include <windows.h>

#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace check {

struct Case {
  const char* suite;
  const char* name;
  void (*run)();
};

std::vector<Case>& Registry();
struct Registrar {
  Registrar(const char* suite, const char* name, void (*run)()) { Registry().push_back({suite, name, run}); }
};

// Records a failed check; the case goes on so that one run shows every failure.
void Fail(const char* file, int line, const std::string& what);
// Aborts the current case (used when going on makes no sense).
[[noreturn]] void Abort(const char* file, int line, const std::string& what);

std::string Utf8(std::wstring_view text);
// Shows a text with its control characters and non-ASCII characters made visible.
std::string Show(std::wstring_view text);
inline std::string Show(std::string_view text) { return Show(std::wstring(text.begin(), text.end())); }
inline std::string Show(const std::wstring& text) { return Show(std::wstring_view(text)); }
inline std::string Show(const wchar_t* text) { return Show(std::wstring_view(text ? text : L"(null)")); }
inline std::string Show(const std::string& text) { return Show(std::string_view(text)); }
inline std::string Show(const char* text) { return Show(std::string_view(text ? text : "(null)")); }
inline std::string Show(bool value) { return value ? "true" : "false"; }
template <typename T>
std::string Show(const T& value) {
  if constexpr (requires(std::ostream& o) { o << value; }) {
    std::ostringstream out;
    out << value;
    return out.str();
  } else {
    std::ostringstream out;
    out << "{";
    bool first = true;
    for (const auto& item : value) {
      out << (first ? "" : ", ") << Show(item);
      first = false;
    }
    out << "}";
    return out.str();
  }
}

// Gives the pumps below a look at each message first (as a program's message loop gives
// IsDialogMessage); true from the filter means the message was handled.
void SetMessageFilter(std::function<bool(MSG&)> filter);

// Pumps this thread's messages until done() holds or the time runs out; true when done.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 15000);
// Pumps whatever messages are waiting, for at least ms milliseconds.
void Pump(DWORD ms = 0);

// A folder of its own for one test, under the test program's folder, emptied on creation.
std::wstring ScratchFolder(const std::wstring& name);
std::wstring ProgramFolder();  // ends in a backslash
// Files and folders at any path length, their names kept as they stand: true when the folder
// is there afterwards, when the file was written whole, when something is at the path.
bool MakeFolder(const std::wstring& path);
bool MakeFile(const std::wstring& path, std::string_view bytes = "BM");
void WriteFile(const std::wstring& path, std::string_view bytes);  // MakeFile, or the case stops
bool Exists(const std::wstring& path);
bool FileExists(const std::wstring& path);  // a file, not a folder
// A file's bytes, at any path length; "(cannot read PATH)" when it cannot be read.
std::string ReadAll(const std::wstring& path);
// The "\\?\" form of a full path, which file functions take at any length and as it stands
// (trailing dots and blanks kept).
std::wstring LongForm(const std::wstring& path);
// The names in a folder exactly as the file system holds them (no "." or "..").
std::vector<std::wstring> NamesIn(const std::wstring& folder);
// Removes a file, or a folder with all it holds, at any depth.
void RemoveTree(const std::wstring& path);

// Makes a folder unreadable to everyone while it lives (an empty access list, which its
// owner may still change) and readable again after. Made() is false where the system does
// not enforce access lists.
class UnreadableFolder {
 public:
  explicit UnreadableFolder(std::wstring folder);
  ~UnreadableFolder();
  UnreadableFolder(const UnreadableFolder&) = delete;
  UnreadableFolder& operator=(const UnreadableFolder&) = delete;
  bool Made() const { return made_; }

 private:
  std::wstring folder_;
  bool made_ = false;
};

}  // namespace check

#define CHECK_CONCAT2(a, b) a##b
#define CHECK_CONCAT(a, b) CHECK_CONCAT2(a, b)

#define TEST(suite, name)                                                         \
  static void suite##_##name();                                                   \
  static ::check::Registrar CHECK_CONCAT(reg_##suite##_##name, __LINE__)(#suite, #name, \
                                                                       &suite##_##name); \
  static void suite##_##name()

#define CHECK(cond)                                                   \
  do {                                                                \
    if (!(cond)) ::check::Fail(__FILE__, __LINE__, "CHECK(" #cond ")"); \
  } while (0)

#define REQUIRE(cond)                                                    \
  do {                                                                   \
    if (!(cond)) ::check::Abort(__FILE__, __LINE__, "REQUIRE(" #cond ")"); \
  } while (0)

#define CHECK_EQ(actual, expected)                                                          \
  do {                                                                                      \
    /* copies: `actual` may be part of a temporary that ends with this statement */          \
    const auto check_a_ = (actual);                                                         \
    const auto check_e_ = (expected);                                                       \
    if (!(check_a_ == check_e_))                                                            \
      ::check::Fail(__FILE__, __LINE__,                                                     \
                    std::string("CHECK_EQ(" #actual ", " #expected ")\n      actual:   ") + \
                        ::check::Show(check_a_) + "\n      expected: " + ::check::Show(check_e_)); \
  } while (0)
