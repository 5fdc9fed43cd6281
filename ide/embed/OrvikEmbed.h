/* The IDE model of the stand-in IDE, offered to a host written in another language (the Lazarus
 * IDE package, in Pascal) through plain C: the host builds one session, tells it the pages of
 * its palette, shows the model's menus, tool bar and modal forms in its own widgets, and hands
 * the user's clicks and keys back. The session loads the add-in through the model's package
 * manager, as the other hosts do.
 *
 * Conventions:
 * - Every call is made on the host's main thread. Nothing here throws or aborts: a failure is
 *   handed to the host's report callback (the model's event boundary) and the call answers
 *   its "failed" value.
 * - Objects of the model are named by ids (orvik_id). An id is never reused; once its object
 *   is released (a menu is rebuilt at every opening, so its old items go) the id names nothing,
 *   and calls with it answer their "gone" value. Id 0 names nothing.
 * - Strings are UTF-8. A string answered by the session stays valid until the next call on
 *   the same session; copy it at once.
 * - Captions are the model's: "&" marks the hot key and "&&" stands for a literal "&", as in
 *   the LCL and the VCL.
 */
#ifndef ORVIK_EMBED_H
#define ORVIK_EMBED_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ORVIK_EMBED_BUILD)
#define ORVIK_API __attribute__((visibility("default")))
#else
#define ORVIK_API
#endif

#define ORVIK_EMBED_VERSION 1

typedef struct orvik_session orvik_session;
typedef uint64_t orvik_id;

/* What the host does for the model. Every callback may be null, except run_modal when the
 * add-in is to show its dialog. Callbacks must not let exceptions of the host's language
 * escape into the caller. */
typedef struct orvik_host {
  void* context;
  /* Shows a failure to the user: what failed and, where it helps, what to do. */
  void (*report)(void* context, const char* message);
  /* The add-in moved the palette to a tab: make page `index` of the list last given to
   * orvik_set_pages the active page. */
  void (*show_page)(void* context, int index);
  /* Runs a form of the model modally (see the form calls) and answers its modal result. */
  int (*run_modal)(void* context, orvik_id form);
} orvik_host;

/* The version of this interface the library implements (ORVIK_EMBED_VERSION). */
ORVIK_API int orvik_version(void);

/* Builds the IDE model. The host is copied. Null when the model cannot be built (another
 * session lives in this process, say); the reason went to host->report. */
ORVIK_API orvik_session* orvik_open(const orvik_host* host);
/* Loads the add-in: the file `path`, or when path is null or empty the add-in beside this
 * library. Answers 1 when it is registered, 0 when it failed (the reason went to report). */
ORVIK_API int orvik_load_addin(orvik_session* session, const char* path);
/* The file the add-in is looked for when none is named. */
ORVIK_API const char* orvik_default_addin(orvik_session* session);
/* Unloads the add-in (its destruction handler runs) and releases the model. Null is fine. */
ORVIK_API void orvik_close(orvik_session* session);

/* --- the palette: the host's pages, in order, as the host shows their names. The model's
 * palette follows; a page name keeps a literal "&" in every menu. */
ORVIK_API void orvik_set_pages(orvik_session* session, const char* const* names, int count);
/* The model's caption of page `index` (the name with each "&" doubled), for tests. */
ORVIK_API const char* orvik_page_caption(orvik_session* session, int index);

/* --- menus. Flags of an item: */
#define ORVIK_ITEM_VISIBLE 1
#define ORVIK_ITEM_ENABLED 2
#define ORVIK_ITEM_LINE 4 /* a separator line */

/* The root item of the model's main menu; its children are the main-menu entries. */
ORVIK_API orvik_id orvik_main_menu(orvik_session* session);
/* Children of an item; -1 when the item is gone. */
ORVIK_API int orvik_item_count(orvik_session* session, orvik_id item);
ORVIK_API orvik_id orvik_item_child(orvik_session* session, orvik_id item, int index);
/* Null when the item is gone. */
ORVIK_API const char* orvik_item_caption(orvik_session* session, orvik_id item);
/* ORVIK_ITEM_* flags; -1 when the item is gone. */
ORVIK_API int orvik_item_flags(orvik_session* session, orvik_id item);
/* The user clicked the item, or opened it when it has children (the model rebuilds a menu
 * when it opens). An item of a popup menu is clicked through its menu, as the host's popup
 * menus do. Answers 1 when it was done, 0 when the item is gone, -1 when the click failed. */
ORVIK_API int orvik_item_click(orvik_session* session, orvik_id item);

/* --- the tool bar at the palette. Flags of a button: */
#define ORVIK_TOOL_VISIBLE 1
#define ORVIK_TOOL_ENABLED 2
#define ORVIK_TOOL_DROPDOWN 4
#define ORVIK_TOOL_SEPARATOR 8
#define ORVIK_TOOL_CHECK 16
#define ORVIK_TOOL_DOWN 32

/* Controls of the tool bar, in order from the left. */
ORVIK_API int orvik_tool_count(orvik_session* session);
ORVIK_API orvik_id orvik_tool_button(orvik_session* session, int index);
/* ORVIK_TOOL_* flags; -1 when the button is gone. */
ORVIK_API int orvik_tool_flags(orvik_session* session, orvik_id button);
ORVIK_API const char* orvik_tool_name(orvik_session* session, orvik_id button);
ORVIK_API const char* orvik_tool_hint(orvik_session* session, orvik_id button);
/* The button's image as 32-bit ARGB pixels (0 where transparent), row by row from the top,
 * into `pixels` when it holds width * height of them. Answers width * height (0 without an
 * image); width and height are set. */
ORVIK_API int orvik_tool_image(orvik_session* session, orvik_id button, uint32_t* pixels,
                               int capacity, int* width, int* height);
/* The root item of the button's drop-down menu; 0 without one. */
ORVIK_API orvik_id orvik_tool_menu(orvik_session* session, orvik_id button);
/* A click on the button's face. Answers the root item of a menu the click dropped down (show
 * it below the button without orvik_menu_popup), 0 when none, -1 when the click failed. */
ORVIK_API int64_t orvik_tool_click(orvik_session* session, orvik_id button);

/* The host is about to show a popup menu (a drop-down by the button's arrow): its
 * before-show event fires. `menu` is the root item. Answers 1, 0 when gone, -1 on failure. */
ORVIK_API int orvik_menu_popup(orvik_session* session, orvik_id menu);
/* The host's popup menu closed. */
ORVIK_API void orvik_menu_closed(orvik_session* session, orvik_id menu);

/* --- forms shown by run_modal. Kinds of control: */
#define ORVIK_CONTROL_OTHER 0
#define ORVIK_CONTROL_BUTTON 1
#define ORVIK_CONTROL_GRID 2
/* Flags of a button: */
#define ORVIK_BUTTON_DEFAULT 1
#define ORVIK_BUTTON_CANCEL 2

ORVIK_API const char* orvik_form_caption(orvik_session* session, orvik_id form);
/* 1 when the form would be centred on the screen, 0 when it is placed by its bounds. */
ORVIK_API int orvik_form_centred(orvik_session* session, orvik_id form);
ORVIK_API int orvik_form_modal_result(orvik_session* session, orvik_id form);
ORVIK_API int orvik_control_count(orvik_session* session, orvik_id parent);
ORVIK_API orvik_id orvik_control(orvik_session* session, orvik_id parent, int index);
/* ORVIK_CONTROL_*; -1 when gone. */
ORVIK_API int orvik_control_kind(orvik_session* session, orvik_id control);
/* Left, top, width and height (of a form: its client size; left and top as designed).
 * Answers 0 when gone. */
ORVIK_API int orvik_control_bounds(orvik_session* session, orvik_id control, int bounds[4]);
ORVIK_API const char* orvik_control_name(orvik_session* session, orvik_id control);
/* A button's caption; null for other controls. */
ORVIK_API const char* orvik_control_caption(orvik_session* session, orvik_id control);
/* ORVIK_BUTTON_* flags and the button's modal result in the bits from 8 up. */
ORVIK_API int orvik_button_flags(orvik_session* session, orvik_id button);
/* The user pressed the button. Answers the form's modal result afterwards (0: the form goes
 * on), -1 when the click failed. */
ORVIK_API int orvik_button_press(orvik_session* session, orvik_id button);

/* Grid geometry: columns, rows, fixed columns, fixed rows. Answers 0 when gone. */
ORVIK_API int orvik_grid_size(orvik_session* session, orvik_id grid, int size[4]);
ORVIK_API int orvik_grid_col_width(orvik_session* session, orvik_id grid, int col);
ORVIK_API int orvik_grid_row_height(orvik_session* session, orvik_id grid, int row);
ORVIK_API const char* orvik_grid_cell(orvik_session* session, orvik_id grid, int col, int row);
/* The current cell; answers 0 when there is none. */
ORVIK_API int orvik_grid_current(orvik_session* session, orvik_id grid, int* col, int* row);
/* The user selects a cell: 1 when the grid took it, 0 when it refused (or is gone). */
ORVIK_API int orvik_grid_select(orvik_session* session, orvik_id grid, int col, int row);
/* Whether the user may edit the current cell. */
ORVIK_API int orvik_grid_can_edit(orvik_session* session, orvik_id grid);
/* The user typed `text` into the current cell and confirmed it: 1 when taken. */
ORVIK_API int orvik_grid_edit(orvik_session* session, orvik_id grid, const char* text);

#ifdef __cplusplus
}
#endif

#endif
