/* Facilities of the host platform layer that only the launcher and the
 * tests use.
 *
 * Environment:
 *   KODO_DISPLAY_SIZE   "WxH" of the display and the first window size
 *                       (default 1024x600); never larger than the X
 *                       screen: a size that does not fit is cut to it
 *   KODO_MOUSE_POINTER  "1": the mouse sends POINTER events instead of
 *                       acting as finger 0 (the left button; the right
 *                       one and the wheel are POINTER events either way,
 *                       with the modifiers held at the time)
 *   KODO_HOST_SCRIPT    input script read by bps_initialize
 *   KODO_HOST_TRACE     file that receives one line per URL opened,
 *                       keyboard request, screenshot and script line run
 *   KODO_HOST_STORE     "open": the store says it can sell (host/service.h)
 *
 * Opening a URL ("url <link>" in the trace): an http:// or https:// link
 * starts xdg-open with the link as its one argument (no shell, not waited
 * for, reaped); with an input script, nothing is started.
 *   KODO_HOST_PROGRESS  file rewritten with the number of frames run so
 *                       far, every 30 frames (a run's watcher reads it)
 *
 * Script lines (times in ms since bps_initialize, any order; lines of one
 * time run in the order written). An end-to-end run's lines are all at
 * time 0, each placed by the "wait" and "frames" lines before it alone
 * (tests/e2e/e2e-lib.sh, e2e_paced), so that a slow or now and then
 * stopped machine makes the run longer, never different:
 *   # comment
 *   <ms> touch_down|touch_move|touch_up <x> <y> [id]
 *   <ms> key <name-or-code>       press then release (RETURN, F9, a, 65...);
 *                                 "ctrl+" and "shift+" before it hold those
 *                                 modifiers (ctrl+E, shift+TAB)
 *   <ms> xkey <X-key-symbol>      a key as a real keyboard sends it: X key
 *                                 events to the window, read back through
 *                                 the window's own key translation. The
 *                                 symbol is X's name, lower-case for a
 *                                 letter key (e, k, KP_Add, KP_1, Return,
 *                                 Shift_L); "ctrl+" and "shift+" before
 *                                 it press and release those modifier
 *                                 keys around it (xkey ctrl+e), with the
 *                                 modifier state in each event as X
 *                                 gives it
 *   <ms> xkeydown|xkeyup <X-key-symbol>
 *                                 one X press or release alone, waiting
 *                                 as keydown/keyup do: xkeydown Shift_L,
 *                                 a wheel line, xkeyup Shift_L is a wheel
 *                                 turned with Shift held. The server's
 *                                 own keyboard is not pressed (as with
 *                                 xdotool --window): a focus change
 *                                 in between lets a held modifier go
 *   <ms> keydown|keyup <name-or-code>
 *                                 press, or release, alone: the key is held
 *                                 between the two (a held Tab, an arrow);
 *                                 a keyup waits until the program has
 *                                 once found no event waiting after the
 *                                 keydown, so a frame sees the key down
 *   <ms> right_click <x> <y>      the mouse's right button pressed and
 *                                 released at a point
 *   <ms> state fullscreen|thumbnail|invisible
 *   <ms> swipe
 *   <ms> screenshot <path.png>
 *   <ms> exit
 *   <ms> exit_after <count> <file-pattern> <text>
 *                                 from then on, beside the other lines:
 *                                 the program is told to exit once the
 *                                 first file matching the pattern has
 *                                 held the text <count> times
 *   <ms> wait [frames=<n>] <file-pattern> <text>
 *                                 holds the later lines until the first
 *                                 file matching the pattern (glob) holds the
 *                                 text after where the last wait on that
 *                                 file matched; each later line then
 *                                 runs as much after its own time as the
 *                                 script was held. A wait has a deadline
 *                                 of n frames of the program (10000 by
 *                                 default): a text that has not come by
 *                                 then fails the run, with a line on
 *                                 stderr naming the wait, the rest of the
 *                                 script dropped, the program told to
 *                                 exit and host_script_failed true. The
 *                                 game's log is
 *                                 data/<developer>/<title>/logs/kodo-NNNN.log
 *                                 below the working folder (NNNN counts
 *                                 the runs there); the main menu of the
 *                                 first run of the bundled game:
 *                                 0 wait data/Vantreo/Worm/logs/kodo-0001.log PushScreen: 'MainMenu'
 *   <ms> wheel <x> <y> <notches>  the mouse wheel turned at a point
 *                                 (positive: away from the person)
 *   <ms> reply "<text>" | cancel  the answer of the next prompt or file
 *                                 dialog (host/dialog.h)
 *   <ms> frames <n>               holds the later lines, the same way, until
 *                                 the program has run n more frames (taken
 *                                 its pending events n times): a step paced
 *                                 by the program rather than the clock
 *   <ms> service <type> [id=<v>] [x=<v>] [y=<v>] [fifth=<v>]
 *                                 a store or game-centre result (event type
 *                                 19-22 or 32-35, host/service.h); each <v>
 *                                 a whole number or a "text" (\" and \\
 *                                 inside); fields left out are 0:
 *                                 5000 service 34 x="BIG_BALL" y=1
 */
#ifndef KODO_HOST_HOST_H
#define KODO_HOST_HOST_H

#include <host/host_api.h>

KODO_HOST_BEGIN

/* Adds the lines of a script file to the pending script. Returns the
 * number of lines accepted, or -1 with errno set when the file cannot be
 * read. Malformed lines are reported on stderr and skipped. */
KODO_HOST_API int host_script_load(const char *path);
/* Same, from text in memory; name is used in messages. */
KODO_HOST_API int host_script_load_text(const char *text, const char *name);
/* Number of script lines not yet run. */
KODO_HOST_API int host_script_pending(void);
/* Drops every pending script line (and forgets a failed wait). */
KODO_HOST_API void host_script_clear(void);
/* 1 once a wait line has run out of frames (see "wait" above): the program
 * then ends with a failing status. */
KODO_HOST_API int host_script_failed(void);

/* The X11 Display* used by the window (NULL before screen_create_context).
 * eglGetDisplay(EGL_DEFAULT_DISPLAY) works too: X11 window ids are valid
 * on every connection to the same server. */
KODO_HOST_API void *host_get_x11_display(void);

/* Reads the window back and writes it as an RGB PNG. 0 or -1 (errno). */
KODO_HOST_API int host_screenshot(const char *path);

/* Re-reads KODO_HOST_TRACE (the trace is opened lazily, append mode). */
KODO_HOST_API void host_trace_reopen(void);
/* Appends one line to the trace (no-op without a trace file). */
KODO_HOST_API void host_trace(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

KODO_HOST_END

#endif
