/* Prompts and file dialogs: the text entry and file chooser the program's
 * developer tools ask the platform for. The call is modal: it returns when
 * the person answered.
 *
 * With an input script (KODO_HOST_SCRIPT, host.h) no dialog program is
 * ever started: the answer is the next one the script queued with
 *   <ms> reply "<text>"      (\" and \\ inside)
 *   <ms> reply cancel
 * and a prompt with none queued answers nothing, with one line on stderr.
 * Otherwise the host runs `zenity` (found on PATH, started without a
 * shell, its arguments passed as a list) when a display is set.
 */
#ifndef KODO_HOST_DIALOG_H
#define KODO_HOST_DIALOG_H

#include <bps/bps.h>
#include <stddef.h>

KODO_HOST_BEGIN

enum { HOST_DIALOG_TEXT = 0, HOST_DIALOG_OPEN_FILE = 1, HOST_DIALOG_SAVE_FILE = 2 };

/* Shows a dialog of the given kind titled `title`. For HOST_DIALOG_TEXT
 * `text` is the default text; for the file dialogs it is the folder the
 * chooser starts in, and `filters` (may be NULL) a list of pairs
 * "<name>\0<patterns>\0...\0" ended by an empty text.
 * Returns 1 with the answer in `reply` (cut to size - 1), 0 when the
 * person cancelled or the script queued a cancel or nothing, and -1 when
 * no dialog could be shown at all (no program, no display). */
KODO_HOST_API int host_dialog(int kind, const char *title, const char *text, const char *filters, char *reply,
                              size_t size);

KODO_HOST_END

#endif
