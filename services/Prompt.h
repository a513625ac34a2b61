// The prompt service: every warning and question the requests show goes through it, so that
// tests can answer them from a script.
#pragma once

#include <windows.h>

#include <string>

namespace quorvane {

// Message-box style values, as the system defines them.
enum PromptStyle : UINT {
  kWarning = MB_OK | MB_ICONEXCLAMATION,              // 48, every failed check, title "Oops..!"
  kFollowUpQuestion = MB_YESNO | MB_ICONINFORMATION,  // 68, title "Success"
  kExitQuestion = MB_YESNO | MB_ICONQUESTION,         // 36, title "Confirm Exit"
};
static_assert(kWarning == 48 && kFollowUpQuestion == 68 && kExitQuestion == 36);

// The answer code the questions wait for, as the system defines it.
inline constexpr int kAnswerYes = IDYES;  // 6

inline constexpr const wchar_t* kOops = L"Oops..!";

class Prompts {
 public:
  virtual ~Prompts() = default;
  // Shows a modal prompt and returns the answer code.
  virtual int ShowPrompt(const std::wstring& text, const std::wstring& title, UINT style) = 0;
};

// The real thing: a message box, modal to the owner window.
class MessageBoxPrompts final : public Prompts {
 public:
  explicit MessageBoxPrompts(HWND owner) : owner_(owner) {}
  int ShowPrompt(const std::wstring& text, const std::wstring& title, UINT style) override;

  void SetOwner(HWND owner) { owner_ = owner; }
  // The owner window has closed while runs go on: warnings still show, without an owner, but
  // no question is asked any more (the answer is 0, which no caller takes for a Yes).
  void OwnerClosed() { owner_ = nullptr, closed_ = true; }

 private:
  HWND owner_;
  bool closed_ = false;
};

}  // namespace quorvane
