/* Resource ids, shared by Quorvane.rc and the C++ code. */
#ifndef QUORVANE_UI_RESOURCE_H
#define QUORVANE_UI_RESOURCE_H

/* The lowest icon id is the one Explorer shows for the executable. */
#define IDI_QUORVANE 1 /* the main window */
#define IDI_ABOUT 2    /* the About window */

#endif
