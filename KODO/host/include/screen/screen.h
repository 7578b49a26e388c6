/* Window library: one window per process, drawn with EGL + OpenGL ES 1.x.
 *
 * The window handle is the X11 window id cast to a pointer, so it can be
 * passed unchanged as the native window of eglCreateWindowSurface when the
 * program is compiled with EGL_NO_PLATFORM_SPECIFIC_TYPES. */
#ifndef KODO_HOST_SCREEN_SCREEN_H
#define KODO_HOST_SCREEN_SCREEN_H

#include <host/host_api.h>

KODO_HOST_BEGIN

typedef struct _screen_context *screen_context_t;
typedef struct _screen_window *screen_window_t;
typedef struct _screen_display *screen_display_t;
typedef struct _screen_event *screen_event_t;

/* Context flags. */
#define SCREEN_APPLICATION_CONTEXT 0

/* Window and display properties. */
#define SCREEN_PROPERTY_BUFFER_SIZE 5
#define SCREEN_PROPERTY_DISPLAY 11
#define SCREEN_PROPERTY_FORMAT 14
#define SCREEN_PROPERTY_ROTATION 38
#define SCREEN_PROPERTY_SIZE 40
#define SCREEN_PROPERTY_USAGE 48
#define SCREEN_PROPERTY_IDLE_MODE 80
#define SCREEN_PROPERTY_MODE 90

/* Event properties. */
#define SCREEN_PROPERTY_TYPE 201
#define SCREEN_PROPERTY_POSITION 202        /* 2 ints, window pixels */
#define SCREEN_PROPERTY_SOURCE_POSITION 203 /* 2 ints, as delivered */
#define SCREEN_PROPERTY_TOUCH_ID 204
#define SCREEN_PROPERTY_BUTTONS 205
#define SCREEN_PROPERTY_KEY_FLAGS 206
#define SCREEN_PROPERTY_KEY_SYM 207
#define SCREEN_PROPERTY_KEY_CAP 208
#define SCREEN_PROPERTY_KEY_MODIFIERS 209
#define SCREEN_PROPERTY_MOUSE_WHEEL 210 /* notches of a pointer event */

/* Pixel formats. */
#define SCREEN_FORMAT_RGBA8888 8
#define SCREEN_FORMAT_RGBX8888 9

/* Usage bits. */
#define SCREEN_USAGE_READ (1 << 1)
#define SCREEN_USAGE_WRITE (1 << 2)
#define SCREEN_USAGE_OPENGL_ES1 (1 << 4)
#define SCREEN_USAGE_ROTATION (1 << 9)

/* Idle mode. */
#define SCREEN_IDLE_MODE_NORMAL 0
#define SCREEN_IDLE_MODE_KEEP_AWAKE 1

/* Event types. */
enum {
    SCREEN_EVENT_NONE = 0,
    SCREEN_EVENT_POINTER = 1,
    SCREEN_EVENT_KEYBOARD = 2,
    SCREEN_EVENT_MTOUCH_TOUCH = 3,
    SCREEN_EVENT_MTOUCH_MOVE = 4,
    SCREEN_EVENT_MTOUCH_RELEASE = 5
};

/* Pointer button mask. */
#define SCREEN_LEFT_MOUSE_BUTTON (1 << 0)
#define SCREEN_MIDDLE_MOUSE_BUTTON (1 << 1)
#define SCREEN_RIGHT_MOUSE_BUTTON (1 << 2)

/* Keyboard event flags. */
#define KEY_DOWN 0x01
#define KEY_REPEAT 0x02
#define KEY_SYM_VALID 0x40
#define KEY_CAP_VALID 0x80

/* Key modifiers. */
#define KEYMOD_SHIFT 0x01
#define KEYMOD_CTRL 0x02
#define KEYMOD_ALT 0x04

/* Key symbols: printable characters are their own codes; the others sit
 * in a private range derived from the X11 function-key symbols. */
#define KEYCODE_BACKSPACE 0xF008
#define KEYCODE_TAB 0xF009
#define KEYCODE_RETURN 0xF00D
#define KEYCODE_PAUSE 0xF013
#define KEYCODE_ESCAPE 0xF01B
#define KEYCODE_HOME 0xF050
#define KEYCODE_LEFT 0xF051
#define KEYCODE_UP 0xF052
#define KEYCODE_RIGHT 0xF053
#define KEYCODE_DOWN 0xF054
#define KEYCODE_PG_UP 0xF055
#define KEYCODE_PG_DOWN 0xF056
#define KEYCODE_END 0xF057
#define KEYCODE_INSERT 0xF063
#define KEYCODE_F1 0xF0BE
#define KEYCODE_F2 0xF0BF
#define KEYCODE_F3 0xF0C0
#define KEYCODE_F4 0xF0C1
#define KEYCODE_F5 0xF0C2
#define KEYCODE_F6 0xF0C3
#define KEYCODE_F7 0xF0C4
#define KEYCODE_F8 0xF0C5
#define KEYCODE_F9 0xF0C6
#define KEYCODE_F10 0xF0C7
#define KEYCODE_F11 0xF0C8
#define KEYCODE_F12 0xF0C9
#define KEYCODE_LEFT_SHIFT 0xF0E1
#define KEYCODE_RIGHT_SHIFT 0xF0E2
#define KEYCODE_LEFT_CTRL 0xF0E3
#define KEYCODE_RIGHT_CTRL 0xF0E4
#define KEYCODE_LEFT_ALT 0xF0E9
#define KEYCODE_RIGHT_ALT 0xF0EA
#define KEYCODE_DELETE 0xF0FF
#define KEYCODE_SPACE 0x0020
/* The numeric pad: keys of their own, whatever Num Lock says. */
#define KEYCODE_KP_MULTIPLY 0xF0AA
#define KEYCODE_KP_PLUS 0xF0AB
#define KEYCODE_KP_MINUS 0xF0AD
#define KEYCODE_KP_DECIMAL 0xF0AE
#define KEYCODE_KP_DIVIDE 0xF0AF
#define KEYCODE_KP_0 0xF0B0 /* to KEYCODE_KP_0 + 9 */

/* Display mode: all ints, so screen_get_display_property_iv may fill it
 * through an int pointer as well as screen_get_display_property_pv. */
typedef struct screen_display_mode {
    int width;
    int height;
    int refresh;
    int index;
} screen_display_mode_t;

/* All calls return 0 on success and -1 with errno set on failure. */
KODO_HOST_API int screen_create_context(screen_context_t *pctx, int flags);
KODO_HOST_API int screen_destroy_context(screen_context_t ctx);

KODO_HOST_API int screen_create_window(screen_window_t *pwin, screen_context_t ctx);
KODO_HOST_API int screen_destroy_window(screen_window_t win);
KODO_HOST_API int screen_create_window_buffers(screen_window_t win, int count);

KODO_HOST_API int screen_set_window_property_iv(screen_window_t win, int pname, const int *param);
KODO_HOST_API int screen_get_window_property_iv(screen_window_t win, int pname, int *param);
KODO_HOST_API int screen_get_window_property_pv(screen_window_t win, int pname, void **param);

/* SIZE: 2 ints. MODE: the four ints of screen_display_mode_t. */
KODO_HOST_API int screen_get_display_property_iv(screen_display_t disp, int pname, int *param);
KODO_HOST_API int screen_get_display_property_pv(screen_display_t disp, int pname, void **param);

KODO_HOST_API int screen_get_event_property_iv(screen_event_t ev, int pname, int *param);

KODO_HOST_END

#endif
