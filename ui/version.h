/* Quorvane's version and the texts of its About window: what a release sets, in one place.
   Read by the resource compiler (Quorvane.rc: the version resource) and by the C++ code (the
   About window), so only plain macros: narrow string literals, which C++ turns into wide
   ones with QUORVANE_WIDE(QUORVANE_RIGHTS). */
#ifndef QUORVANE_UI_VERSION_H
#define QUORVANE_UI_VERSION_H

/* FILEVERSION and PRODUCTVERSION: four numbers, and the same version as text. */
#define QUORVANE_VERSION_NUMBERS 1,0,0,0
#define QUORVANE_VERSION_TEXT "1.00"

#define QUORVANE_PRODUCT_NAME "Quorvane"
#define QUORVANE_INTERNAL_NAME "Quorvane"
#define QUORVANE_ORIGINAL_FILENAME "Quorvane.exe"
#define QUORVANE_COMPANY_NAME "the Quorvane team"
/* What Task Manager, "Open with" and a pinned taskbar button call the program. */
#define QUORVANE_FILE_DESCRIPTION "Quorvane"

/* The About window. */
#define QUORVANE_AUTHOR "Quorvane team"
#define QUORVANE_NICKNAME "QV"
#define QUORVANE_EMAIL "bugs@quorvane.invalid"
#define QUORVANE_WEB "https://quorvane.example/"
#define QUORVANE_RIGHTS "Copyright (C) 2026 the Quorvane team"

/* L"..." from one of the texts above; the detour expands the macro before pasting. */
#define QUORVANE_WIDE_(text) L##text
#define QUORVANE_WIDE(text) QUORVANE_WIDE_(text)

#endif
