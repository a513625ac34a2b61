#include "ui/AccessibleNames.h"

#include <commctrl.h>
#include <oleacc.h>

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

constexpr UINT_PTR kSubclassId = 1;  // with the procedure's address, apart from other subclasses

NameSetter g_setter = &SetAccessibleName;

LRESULT CALLBACK NameOnFirstQuestion(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR name) {
  if (message == WM_GETOBJECT || message == WM_NCDESTROY) {
    // Once is enough: the name stays with the control as long as it lives (the service lets it
    // go with the window), and a service that refused once would refuse again. Set before the
    // control answers, it is there before the client has read any name, so no name-change event
    // is due.
    RemoveWindowSubclass(control, &NameOnFirstQuestion, kSubclassId);
    if (message == WM_GETOBJECT)
      g_setter(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
               reinterpret_cast<const wchar_t*>(name));
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

void NameWhenAsked(HWND control, const wchar_t* name) {
  SetWindowSubclass(control, &NameOnFirstQuestion, kSubclassId, reinterpret_cast<DWORD_PTR>(name));
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
