#include "ui/AccessibleNames.h"

#include <oleacc.h>

#include <algorithm>
#include <vector>

#include "services/Handles.h"
#include "services/SystemLibrary.h"

namespace quorvane::ui {
namespace {

// The annotation service's identifiers, with the values oleacc.h gives them, defined here
// rather than taken from a library: oleacc's import library would tie Quorvane to oleacc.dll
// (mingw's imports identifiers such as IID_IAccessible from it as data, which read wrong), and
// Quorvane imports no DLL beyond Windows' known ones and comctl32.
constexpr GUID kAccPropServices{0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kIAccPropServices{0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kNameProperty{0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};

NameSetter g_setter = &SetAccessibleName;

// The controls watched for their first question, with the procedure each had before; the
// interface thread's only. Not SetWindowSubclass: that finds its data through a window property
// on every message the control gets, and a property is a round trip to the window server under
// Wine, where the lists' many messages made it felt. A handful of controls are looked up here.
struct Watched {
  HWND control;
  WNDPROC before;
  const wchar_t* name;  // null once set
};
std::vector<Watched> g_watched;

LRESULT CALLBACK NameOnFirstQuestion(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto watched = std::find_if(g_watched.begin(), g_watched.end(),
                                    [control](const Watched& w) { return w.control == control; });
  if (watched == g_watched.end()) return DefWindowProcW(control, message, wParam, lParam);
  const WNDPROC before = watched->before;
  if (message == WM_GETOBJECT && watched->name != nullptr) {
    // Once is enough: the name stays with the control as long as it lives (the service lets it
    // go with the window), and a service that refused once would refuse again. Set before the
    // control answers, it is there before the client has read any name, so no name-change event
    // is due. The procedure stays: a subclass made later (the folder lists') sits on top of it.
    const wchar_t* name = watched->name;
    watched->name = nullptr;
    g_setter(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, name);
  } else if (message == WM_NCDESTROY) {
    g_watched.erase(watched);
  }
  return CallWindowProcW(before, control, message, wParam, lParam);
}

}  // namespace

void NameWhenAsked(HWND control, const wchar_t* name) {
  SetLastError(ERROR_SUCCESS);  // a previous procedure of zero would not say that the call failed
  const LONG_PTR before =
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NameOnFirstQuestion));
  if (before == 0 && GetLastError() != ERROR_SUCCESS) return;
  g_watched.push_back({control, reinterpret_cast<WNDPROC>(before), name});
}

HRESULT SetAccessibleName(HWND control, DWORD objectId, DWORD childId, const wchar_t* name) {
  // COM would load oleacc.dll by the name its registration gives; loaded from the system folder
  // first, it is found already loaded, wherever that name would have been looked for.
  static const HMODULE oleacc = LoadSystemLibrary(L"oleacc.dll");
  if (oleacc == nullptr) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  ComPtr<IAccPropServices> service;
  const HRESULT made = CreateSystemObject(kAccPropServices, kIAccPropServices, service.put());
  if (FAILED(made)) return made;
  return service->SetHwndPropStr(control, objectId, childId, kNameProperty, name);
}

NameSetter ReplaceNameSetter(NameSetter setter) {
  const NameSetter before = g_setter;
  g_setter = setter;
  return before;
}

}  // namespace quorvane::ui
