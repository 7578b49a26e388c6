// Window library on SDL2 (X11 video driver), input translation and
// screenshots.

#include "host_internal.h"

#include <host/host.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct _screen_context {
    int flags = 0;
};

struct _screen_display {
    int width = 1024;
    int height = 600;
};

namespace kodo_host {

namespace {

_screen_context *g_context = nullptr;
_screen_display g_display;
SDL_Window *g_window = nullptr;
Window g_xid = 0;
Display *g_xdisplay = nullptr;

int g_format = SCREEN_FORMAT_RGBX8888;
int g_usage = 0;
int g_rotation = 0;
int g_idle_mode = SCREEN_IDLE_MODE_NORMAL;
int g_buffers = 0;

bool g_mouse_pointer = false;  // KODO_MOUSE_POINTER=1
bool g_mouse_finger_down = false;

screen_window_t window_handle() { return reinterpret_cast<screen_window_t>(static_cast<uintptr_t>(g_xid)); }

bool is_our_window(screen_window_t win) { return g_window && win && win == window_handle(); }

// "WxH" with sane bounds; anything else is reported and the default kept.
// The display is the window the program gets whole, so it never exceeds
// the screen it is shown on: a smaller screen (800x600) gives its own
// size, and an asked size that does not fit is cut to the screen, with a
// line. The program scales its picture onto whatever it gets.
void read_display_size() {
    g_display.width = 1024;
    g_display.height = 600;
    const char *env = getenv("KODO_DISPLAY_SIZE");
    if (env && *env) {
        int w = 0, h = 0;
        char extra = 0;
        if (sscanf(env, "%dx%d%c", &w, &h, &extra) != 2 || w < 16 || h < 16 || w > 16384 || h > 16384) {
            report("KODO_DISPLAY_SIZE \"%s\" is not WxH (16..16384); using 1024x600", env);
        } else {
            g_display.width = w;
            g_display.height = h;
        }
    }
    SDL_Rect screen;
    if (SDL_GetDisplayUsableBounds(0, &screen) != 0 || screen.w < 16 || screen.h < 16) return;
    if (g_display.width <= screen.w && g_display.height <= screen.h) return;
    if (env && *env)
        report("KODO_DISPLAY_SIZE %dx%d does not fit the %dx%d screen; the display is cut to it", g_display.width,
               g_display.height, screen.w, screen.h);
    if (g_display.width > screen.w) g_display.width = screen.w;
    if (g_display.height > screen.h) g_display.height = screen.h;
}

int buttons_mask(Uint32 sdl_state) {
    int mask = 0;
    if (sdl_state & SDL_BUTTON_LMASK) mask |= SCREEN_LEFT_MOUSE_BUTTON;
    if (sdl_state & SDL_BUTTON_MMASK) mask |= SCREEN_MIDDLE_MOUSE_BUTTON;
    if (sdl_state & SDL_BUTTON_RMASK) mask |= SCREEN_RIGHT_MOUSE_BUTTON;
    return mask;
}

int map_mods(Uint16 mod) {
    int m = 0;
    if (mod & KMOD_SHIFT) m |= KEYMOD_SHIFT;
    if (mod & KMOD_CTRL) m |= KEYMOD_CTRL;
    if (mod & KMOD_ALT) m |= KEYMOD_ALT;
    return m;
}

// Pointer events carry the modifiers held at the time, as key events do:
// Shift with the wheel or a click means something to the editors.
void post_pointer(int x, int y, int buttons, int wheel = 0) {
    _screen_event s;
    s.type = SCREEN_EVENT_POINTER;
    s.pos[0] = x;
    s.pos[1] = y;
    s.buttons = buttons;
    s.wheel = wheel;
    s.key_mods = map_mods(SDL_GetModState());
    post_screen_event(s);
}

void post_touch(int type, int x, int y, int id) {
    _screen_event s;
    s.type = type;
    s.pos[0] = x;
    s.pos[1] = y;
    s.touch_id = id;
    post_screen_event(s);
}

// The numeric pad by its keys (SDL's symbols for them follow Num Lock):
// its own codes, whatever Num Lock says.
int map_keypad(SDL_Scancode code) {
    if (code >= SDL_SCANCODE_KP_1 && code <= SDL_SCANCODE_KP_9) return KEYCODE_KP_0 + 1 + (code - SDL_SCANCODE_KP_1);
    switch (code) {
        case SDL_SCANCODE_KP_0: return KEYCODE_KP_0;
        case SDL_SCANCODE_KP_PLUS: return KEYCODE_KP_PLUS;
        case SDL_SCANCODE_KP_MINUS: return KEYCODE_KP_MINUS;
        case SDL_SCANCODE_KP_MULTIPLY: return KEYCODE_KP_MULTIPLY;
        case SDL_SCANCODE_KP_DIVIDE: return KEYCODE_KP_DIVIDE;
        case SDL_SCANCODE_KP_PERIOD: return KEYCODE_KP_DECIMAL;
        default: return 0;
    }
}

int map_key(const SDL_Keysym &k) {
    if (int pad = map_keypad(k.scancode)) return pad;
    switch (k.sym) {
    case SDLK_BACKSPACE: return KEYCODE_BACKSPACE;
    case SDLK_TAB: return KEYCODE_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return KEYCODE_RETURN;
    case SDLK_ESCAPE: return KEYCODE_ESCAPE;
    case SDLK_DELETE: return KEYCODE_DELETE;
    case SDLK_INSERT: return KEYCODE_INSERT;
    case SDLK_HOME: return KEYCODE_HOME;
    case SDLK_END: return KEYCODE_END;
    case SDLK_PAGEUP: return KEYCODE_PG_UP;
    case SDLK_PAGEDOWN: return KEYCODE_PG_DOWN;
    case SDLK_LEFT: return KEYCODE_LEFT;
    case SDLK_RIGHT: return KEYCODE_RIGHT;
    case SDLK_UP: return KEYCODE_UP;
    case SDLK_DOWN: return KEYCODE_DOWN;
    case SDLK_PAUSE: return KEYCODE_PAUSE;
    case SDLK_LSHIFT: return KEYCODE_LEFT_SHIFT;
    case SDLK_RSHIFT: return KEYCODE_RIGHT_SHIFT;
    case SDLK_LCTRL: return KEYCODE_LEFT_CTRL;
    case SDLK_RCTRL: return KEYCODE_RIGHT_CTRL;
    case SDLK_LALT: return KEYCODE_LEFT_ALT;
    case SDLK_RALT: return KEYCODE_RIGHT_ALT;
    default: break;
    }
    if (k.sym >= SDLK_F1 && k.sym <= SDLK_F12) return KEYCODE_F1 + (k.sym - SDLK_F1);
    if (k.sym >= 32 && k.sym <= 126) {
        int c = k.sym;
        bool upper = ((k.mod & KMOD_SHIFT) != 0) != ((k.mod & KMOD_CAPS) != 0);
        if (c >= 'a' && c <= 'z' && upper) c = c - 'a' + 'A';
        return c;
    }
    return 0;
}

// The characters the engine's keys carry: printable ASCII.
bool printable(char c) { return c >= 32 && c <= 126; }

// What each key's press sent, for its release (-1: nothing; 0: no press
// seen): a Shift let go before the 9 must not turn the release of '('
// into one of '9'.
int g_pressed_sym[SDL_NUM_SCANCODES];

// The symbol a key sends. A key that types sends the character the
// keyboard's layout makes of it ('(' for Shift+9, '"' for Shift with the
// quote key, '@' with AltGr), which SDL's text event right behind its
// press carries, or nothing for a character the engine's keys cannot
// carry. The keys that type nothing (Ctrl+E, the arrows) and the numeric
// pad's send their own symbols, the codes of commands.
int key_symbol(const SDL_KeyboardEvent &k) {
    const SDL_Scancode code = k.keysym.scancode;
    int sym = map_key(k.keysym);
    if (k.type == SDL_KEYUP) {
        if (g_pressed_sym[code]) sym = g_pressed_sym[code] < 0 ? 0 : g_pressed_sym[code];
        g_pressed_sym[code] = 0;
        return sym;
    }
    SDL_Event next;
    if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 && next.type == SDL_TEXTINPUT) {
        SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT);
        const char *text = next.text.text;
        if (!map_keypad(code)) sym = printable(text[0]) && !text[1] ? text[0] : 0;
    }
    g_pressed_sym[code] = sym ? sym : -1;
    return sym;
}

void translate(const SDL_Event &e) {
    switch (e.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (e.button.which == SDL_TOUCH_MOUSEID) break;  // already seen as a finger
        if (g_mouse_pointer) {
            post_pointer(e.button.x, e.button.y, buttons_mask(SDL_GetMouseState(nullptr, nullptr)));
        } else if (e.button.button == SDL_BUTTON_RIGHT) {
            // The left button is a finger; the right one has no finger to
            // be, and the editors' menus open with it.
            post_pointer(e.button.x, e.button.y, e.type == SDL_MOUSEBUTTONDOWN ? SCREEN_RIGHT_MOUSE_BUTTON : 0);
        } else if (e.button.button == SDL_BUTTON_LEFT) {
            bool down = e.type == SDL_MOUSEBUTTONDOWN;
            if (down == g_mouse_finger_down) break;
            g_mouse_finger_down = down;
            post_touch(down ? SCREEN_EVENT_MTOUCH_TOUCH : SCREEN_EVENT_MTOUCH_RELEASE, e.button.x, e.button.y, 0);
        }
        break;
    case SDL_MOUSEMOTION:
        if (e.motion.which == SDL_TOUCH_MOUSEID) break;
        if (g_mouse_pointer)
            post_pointer(e.motion.x, e.motion.y, buttons_mask(e.motion.state));
        else if (g_mouse_finger_down) post_touch(SCREEN_EVENT_MTOUCH_MOVE, e.motion.x, e.motion.y, 0);
        break;
    case SDL_MOUSEWHEEL: {
        if (e.wheel.which == SDL_TOUCH_MOUSEID || e.wheel.y == 0) break;
        int x = 0, y = 0;
        Uint32 state = SDL_GetMouseState(&x, &y);
        // In finger mode the left button is a finger, not a pointer button.
        int buttons = buttons_mask(state) & (g_mouse_pointer ? ~0 : ~SCREEN_LEFT_MOUSE_BUTTON);
        post_pointer(x, y, buttons, e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y);
        break;
    }
    case SDL_FINGERDOWN:
    case SDL_FINGERMOTION:
    case SDL_FINGERUP: {
        int w = 0, h = 0;
        video_window_size(&w, &h);
        int type = e.type == SDL_FINGERDOWN ? SCREEN_EVENT_MTOUCH_TOUCH
                   : e.type == SDL_FINGERUP ? SCREEN_EVENT_MTOUCH_RELEASE
                                            : SCREEN_EVENT_MTOUCH_MOVE;
        post_touch(type, static_cast<int>(e.tfinger.x * w), static_cast<int>(e.tfinger.y * h),
                   static_cast<int>(e.tfinger.fingerId));
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int sym = key_symbol(e.key);
        if (sym) deliver_key(sym, e.type == SDL_KEYDOWN, map_mods(e.key.keysym.mod));
        break;
    }
    case SDL_TEXTINPUT:
        // Text with no key of its own (an input method's): each character
        // as a key pressed and let go.
        for (const char *c = e.text.text; *c; c++)
            if (printable(*c)) deliver_key(*c, true, 0), deliver_key(*c, false, 0);
        break;
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_MINIMIZED: set_window_state(NAVIGATOR_WINDOW_THUMBNAIL, false); break;
        case SDL_WINDOWEVENT_HIDDEN: set_window_state(NAVIGATOR_WINDOW_INVISIBLE, false); break;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED: set_window_state(NAVIGATOR_WINDOW_FULLSCREEN, false); break;
        case SDL_WINDOWEVENT_CLOSE: post_navigator(NAVIGATOR_EXIT); break;
        default: break;
        }
        break;
    case SDL_QUIT:
        // The window's own close event has already asked to exit.
        if (!g_window) post_navigator(NAVIGATOR_EXIT);
        break;
    default: break;
    }
}

bool write_png(const char *path, int w, int h, const std::vector<unsigned char> &rgb, std::string *why) {
    FILE *f = fopen(path, "wb");
    if (!f) {
        *why = strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        fclose(f);
        *why = "libpng could not start";
        return false;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(h));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(f);
        *why = "libpng write error";
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    for (int y = 0; y < h; ++y)
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(&rgb[static_cast<size_t>(y) * static_cast<size_t>(w) * 3]);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    if (fclose(f) != 0) {
        *why = strerror(errno);
        return false;
    }
    return true;
}

int mask_shift(unsigned long mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

unsigned char channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    unsigned long v = (pixel & mask) >> mask_shift(mask);
    unsigned long max = mask >> mask_shift(mask);
    return static_cast<unsigned char>(max == 255 ? v : v * 255 / max);
}

bool g_x_error = false;

int on_x_error(Display *, XErrorEvent *) {
    g_x_error = true;
    return 0;
}

bool take_screenshot(const char *path, int *w, int *h, std::string *why) {
    if (!g_window || !g_xdisplay) {
        *why = "no window";
        return false;
    }
    // Wait for everything already sent to the server, then read back.
    XSync(g_xdisplay, False);
    XWindowAttributes attr;
    if (!XGetWindowAttributes(g_xdisplay, g_xid, &attr)) {
        *why = "window attributes unavailable";
        return false;
    }
    if (attr.map_state != IsViewable) {
        *why = "window not viewable";
        return false;
    }
    *w = attr.width;
    *h = attr.height;
    // A failed read-back must not end the process through Xlib's default
    // error handler.
    g_x_error = false;
    XErrorHandler old = XSetErrorHandler(on_x_error);
    XImage *img = XGetImage(g_xdisplay, g_xid, 0, 0, static_cast<unsigned>(*w), static_cast<unsigned>(*h),
                            AllPlanes, ZPixmap);
    XSync(g_xdisplay, False);
    XSetErrorHandler(old);
    if (img && g_x_error) {
        XDestroyImage(img);
        img = nullptr;
    }
    if (!img) {
        *why = "XGetImage failed";
        return false;
    }
    std::vector<unsigned char> rgb(static_cast<size_t>(*w) * static_cast<size_t>(*h) * 3);
    size_t o = 0;
    for (int y = 0; y < *h; ++y)
        for (int x = 0; x < *w; ++x) {
            unsigned long p = XGetPixel(img, x, y);
            rgb[o++] = channel(p, img->red_mask);
            rgb[o++] = channel(p, img->green_mask);
            rgb[o++] = channel(p, img->blue_mask);
        }
    XDestroyImage(img);
    return write_png(path, *w, *h, rgb, why);
}

// X timestamps of the keys the script sends: each later than the last,
// so that a release and the next press of one key never look like the
// auto-repeat of a held key.
unsigned long g_x_key_time = 1;

// One key event sent to the window as the X server delivers a real one:
// the key's code and the modifier state before it, read back by the same
// translation as a person's keys.
bool send_x_key_event(KeySym sym, bool down, unsigned state) {
    KeyCode code = XKeysymToKeycode(g_xdisplay, sym);
    if (!code) return false;
    XEvent ev;
    memset(&ev, 0, sizeof ev);
    XKeyEvent &k = ev.xkey;
    k.type = down ? KeyPress : KeyRelease;
    k.display = g_xdisplay;
    k.window = g_xid;
    k.root = DefaultRootWindow(g_xdisplay);
    k.time = g_x_key_time += 20;
    k.x = k.y = k.x_root = k.y_root = 1;
    k.state = state;
    k.keycode = code;
    k.same_screen = True;
    return XSendEvent(g_xdisplay, g_xid, True, down ? KeyPressMask : KeyReleaseMask, &ev) != 0;
}

}  // namespace

bool video_send_x_key(unsigned long keysym, int mods, int which) {
    if (!g_window || !g_xdisplay) return false;
    struct Mod {
        int flag;
        KeySym sym;
        unsigned mask;
    } const kMods[] = {{KEYMOD_CTRL, XK_Control_L, ControlMask}, {KEYMOD_SHIFT, XK_Shift_L, ShiftMask}};
    unsigned state = 0;
    bool ok = true;
    for (const Mod &m : kMods)
        if (mods & m.flag) {
            ok = send_x_key_event(m.sym, true, state) && ok;
            state |= m.mask;
        }
    if (which != 2) ok = send_x_key_event(keysym, true, state) && ok;
    if (which != 1) ok = send_x_key_event(keysym, false, state) && ok;
    for (int i = 1; i >= 0; i--)
        if (mods & kMods[i].flag) {
            ok = send_x_key_event(kMods[i].sym, false, state) && ok;
            state &= ~kMods[i].mask;
        }
    // Read back at once, so that the script's later lines come after them.
    XSync(g_xdisplay, False);
    video_pump();
    return ok;
}

bool video_running() { return g_context != nullptr; }

void video_window_size(int *w, int *h) {
    if (g_window) {
        SDL_GetWindowSize(g_window, w, h);
    } else {
        *w = g_display.width;
        *h = g_display.height;
    }
}

void video_pump() {
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) translate(e);
}

}  // namespace kodo_host

using namespace kodo_host;

extern "C" {

int screen_create_context(screen_context_t *pctx, int flags) {
    if (!pctx) {
        errno = EINVAL;
        return -1;
    }
    *pctx = nullptr;
    if (g_context) {
        report("screen_create_context: a context already exists");
        errno = EBUSY;
        return -1;
    }
    const char *display = getenv("DISPLAY");
    if (!display || !*display) {
        report("screen_create_context: no X display (DISPLAY is not set); run under X or xvfb-run");
        errno = ENODEV;
        return -1;
    }
    // The host layer turns signals into navigator exits itself, and the
    // window handle must be an X11 window id.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
    SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        report("screen_create_context: cannot open the X display \"%s\": %s", display, SDL_GetError());
        errno = ENODEV;
        return -1;
    }
    read_display_size();
    const char *mp = getenv("KODO_MOUSE_POINTER");
    g_mouse_pointer = mp && strcmp(mp, "1") == 0;
    g_mouse_finger_down = false;
    g_context = new _screen_context;
    g_context->flags = flags;
    *pctx = g_context;
    return 0;
}

int screen_destroy_context(screen_context_t ctx) {
    if (!ctx || ctx != g_context) {
        errno = EINVAL;
        return -1;
    }
    if (g_window) screen_destroy_window(window_handle());
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    delete g_context;
    g_context = nullptr;
    return 0;
}

int screen_create_window(screen_window_t *pwin, screen_context_t ctx) {
    if (!pwin || !ctx || ctx != g_context) {
        errno = EINVAL;
        return -1;
    }
    *pwin = nullptr;
    if (g_window) {
        report("screen_create_window: this process already has its window");
        errno = EBUSY;
        return -1;
    }
    // No SDL_WINDOW_OPENGL: EGL draws on the plain X11 window.
    SDL_Window *w = SDL_CreateWindow("KODO", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, g_display.width,
                                     g_display.height, SDL_WINDOW_SHOWN);
    if (!w) {
        report("screen_create_window: %s", SDL_GetError());
        errno = ENOMEM;
        return -1;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) {
        report("screen_create_window: the window is not an X11 window");
        SDL_DestroyWindow(w);
        errno = ENOTSUP;
        return -1;
    }
    g_window = w;
    g_xid = info.info.x11.window;
    g_xdisplay = info.info.x11.display;
    // The characters keys type come with SDL's text events.
    SDL_StartTextInput();
    g_format = SCREEN_FORMAT_RGBX8888;
    g_usage = 0;
    g_rotation = 0;
    g_buffers = 0;
    XSync(g_xdisplay, False);
    *pwin = window_handle();
    return 0;
}

int screen_destroy_window(screen_window_t win) {
    if (!is_our_window(win)) {
        errno = EINVAL;
        return -1;
    }
    if (g_idle_mode == SCREEN_IDLE_MODE_KEEP_AWAKE) SDL_EnableScreenSaver();
    g_idle_mode = SCREEN_IDLE_MODE_NORMAL;
    SDL_DestroyWindow(g_window);
    g_window = nullptr;
    g_xid = 0;
    g_xdisplay = nullptr;
    g_mouse_finger_down = false;
    return 0;
}

int screen_create_window_buffers(screen_window_t win, int count) {
    if (!is_our_window(win) || count < 1 || count > 8) {
        errno = EINVAL;
        return -1;
    }
    g_buffers = count;  // EGL owns the real buffers
    return 0;
}

int screen_set_window_property_iv(screen_window_t win, int pname, const int *param) {
    if (!is_our_window(win) || !param) {
        errno = EINVAL;
        return -1;
    }
    switch (pname) {
    case SCREEN_PROPERTY_FORMAT:
        if (param[0] != SCREEN_FORMAT_RGBX8888 && param[0] != SCREEN_FORMAT_RGBA8888) break;
        g_format = param[0];
        return 0;
    case SCREEN_PROPERTY_USAGE:
        g_usage = param[0];
        return 0;
    case SCREEN_PROPERTY_BUFFER_SIZE:
    case SCREEN_PROPERTY_SIZE:
        if (param[0] < 1 || param[1] < 1 || param[0] > 16384 || param[1] > 16384) break;
        SDL_SetWindowSize(g_window, param[0], param[1]);
        XSync(g_xdisplay, False);
        return 0;
    case SCREEN_PROPERTY_ROTATION:
        // The host window is never turned; the value is kept for readers.
        if (param[0] != 0 && param[0] != 90 && param[0] != 180 && param[0] != 270) break;
        g_rotation = param[0];
        return 0;
    case SCREEN_PROPERTY_IDLE_MODE:
        if (param[0] == SCREEN_IDLE_MODE_KEEP_AWAKE) SDL_DisableScreenSaver();
        else if (param[0] == SCREEN_IDLE_MODE_NORMAL) SDL_EnableScreenSaver();
        else break;
        g_idle_mode = param[0];
        return 0;
    default: break;
    }
    errno = EINVAL;
    return -1;
}

int screen_get_window_property_iv(screen_window_t win, int pname, int *param) {
    if (!is_our_window(win) || !param) {
        errno = EINVAL;
        return -1;
    }
    switch (pname) {
    case SCREEN_PROPERTY_FORMAT: *param = g_format; return 0;
    case SCREEN_PROPERTY_USAGE: *param = g_usage; return 0;
    case SCREEN_PROPERTY_BUFFER_SIZE:
    case SCREEN_PROPERTY_SIZE: SDL_GetWindowSize(g_window, &param[0], &param[1]); return 0;
    case SCREEN_PROPERTY_ROTATION: *param = g_rotation; return 0;
    case SCREEN_PROPERTY_IDLE_MODE: *param = g_idle_mode; return 0;
    default: errno = EINVAL; return -1;
    }
}

int screen_get_window_property_pv(screen_window_t win, int pname, void **param) {
    if (!is_our_window(win) || !param || pname != SCREEN_PROPERTY_DISPLAY) {
        errno = EINVAL;
        return -1;
    }
    *param = &g_display;
    return 0;
}

int screen_get_display_property_iv(screen_display_t disp, int pname, int *param) {
    if (disp != &g_display || !g_context || !param) {
        errno = EINVAL;
        return -1;
    }
    switch (pname) {
    case SCREEN_PROPERTY_SIZE:
        param[0] = g_display.width;
        param[1] = g_display.height;
        return 0;
    case SCREEN_PROPERTY_MODE:
        param[0] = g_display.width;
        param[1] = g_display.height;
        param[2] = 60;
        param[3] = 0;
        return 0;
    default: errno = EINVAL; return -1;
    }
}

int screen_get_display_property_pv(screen_display_t disp, int pname, void **param) {
    if (pname != SCREEN_PROPERTY_MODE) {
        errno = EINVAL;
        return -1;
    }
    // The caller passes the address of its screen_display_mode_t.
    return screen_get_display_property_iv(disp, pname, reinterpret_cast<int *>(param));
}

void *host_get_x11_display(void) { return g_xdisplay; }

int host_screenshot(const char *path) {
    if (!path || !*path) {
        errno = EINVAL;
        return -1;
    }
    int w = 0, h = 0;
    std::string why;
    if (!take_screenshot(path, &w, &h, &why)) {
        host_trace("screenshot %s failed: %s", path, why.c_str());
        report("screenshot %s failed: %s", path, why.c_str());
        errno = EIO;
        return -1;
    }
    host_trace("screenshot %s ok %dx%d", path, w, h);
    return 0;
}

}  // extern "C"
