// Names for screen readers, for the controls that nothing on screen names. Windows names an
// edit box or a list box after the static text just before it among its siblings ("Providing
// the Name Property"); a control without one is given its name through the system's annotation
// service instead, which overrides what the system's accessible object for it would say.
//
// The name is set when an accessibility client (a screen reader, UI Automation, Inspect) first
// asks the control for its accessible object (WM_GETOBJECT), which every client does before it
// reads a name: start-up pays nothing, and a run with no such client never loads COM at all.
#pragma once

#include <windows.h>

namespace quorvane::ui {

// Gives `control` the accessible name `name` (static text, kept as a pointer) when a client
// first asks for it. Where the control cannot be watched for that, or the service is missing or
// refuses, the control stays as it was, unnamed: nothing else changes, and nothing is told.
void NameWhenAsked(HWND control, const wchar_t* name);

// Sets the name through the system's annotation service (IAccPropServices::SetHwndPropStr with
// PROPID_ACC_NAME) on the control's accessible object `objectId`, element `childId`; the
// service's answer.
HRESULT SetAccessibleName(HWND control, DWORD objectId, DWORD childId, const wchar_t* name);

// What NameWhenAsked calls, SetAccessibleName unless a test puts a recorder in its place;
// returns the one it replaces. NameWhenAsked names the control's client object itself
// (OBJID_CLIENT, CHILDID_SELF): the object screen readers read a list's or an edit's name from.
using NameSetter = HRESULT (*)(HWND control, DWORD objectId, DWORD childId, const wchar_t* name);
NameSetter ReplaceNameSetter(NameSetter setter);

}  // namespace quorvane::ui
