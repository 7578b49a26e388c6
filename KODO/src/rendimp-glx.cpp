#include "rendimp-glx.h"

#include <GL/glx.h>
#include <GL/glxext.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <string.h>

namespace {

Display* glx_display = nullptr;
Window glx_window = 0;
GLXContext glx_context = nullptr;
bool x_error = false;
int config_depth = 0;

int OnXError(Display*, XErrorEvent*) {
    x_error = true;
    return 0;
}

bool HasExtension(const char* list, const char* name) {
    size_t n = strlen(name);
    for (const char* p = list; p && (p = strstr(p, name)); p += n)
        if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == 0)) return true;
    return false;
}

// Whether a configuration's visual lays pixels out as the window's does:
// the renderer writes frames in the configuration's format into the
// window's, so depth, class and channel masks must agree.
bool SamePixels(const XVisualInfo& a, const XVisualInfo& b) {
    return a.depth == b.depth && a.c_class == b.c_class && a.red_mask == b.red_mask && a.green_mask == b.green_mask &&
           a.blue_mask == b.blue_mask;
}

// The configuration with the fewest depth and stencil bits among those
// whose pixels match the window's visual: nothing draws with a depth or
// stencil buffer (the EGL context asks for none), and a server often
// gives a window's default visual only a 24/8 configuration, whose depth
// buffer would be allocated and cleared for nothing before the first
// frame. The window's own visual wins a tie.
GLXFBConfig WindowConfig(Display* d, Window w) {
    XWindowAttributes attr;
    if (!XGetWindowAttributes(d, w, &attr)) return nullptr;
    XVisualInfo want_info;
    want_info.visualid = XVisualIDFromVisual(attr.visual);
    int count = 0;
    XVisualInfo* window_visual = XGetVisualInfo(d, VisualIDMask, &want_info, &count);
    if (!window_visual) return nullptr;
    const int attributes[] = {
        GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT, GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_DOUBLEBUFFER, True, None};
    int n = 0;
    GLXFBConfig* configs = glXChooseFBConfig(d, DefaultScreen(d), attributes, &n);
    GLXFBConfig found = nullptr;
    int fewest = 0;
    bool found_own = false;
    for (int i = 0; i < n; i++) {
        XVisualInfo* v = glXGetVisualFromFBConfig(d, configs[i]);
        const bool own = v && v->visualid == window_visual->visualid;
        const bool usable = v && SamePixels(*v, *window_visual);
        if (v) XFree(v);
        if (!usable) continue;
        int depth = 0, stencil = 0;
        glXGetFBConfigAttrib(d, configs[i], GLX_DEPTH_SIZE, &depth);
        glXGetFBConfigAttrib(d, configs[i], GLX_STENCIL_SIZE, &stencil);
        const bool better = !found || depth + stencil < fewest || (depth + stencil == fewest && own && !found_own);
        if (better) found = configs[i], fewest = depth + stencil, config_depth = depth, found_own = own;
    }
    if (configs) XFree(configs);
    XFree(window_visual);
    return found;
}

GLXContext CreateContext(Display* d, Window w) {
    int opcode = 0, event = 0, error = 0;
    if (!XQueryExtension(d, "MIT-SHM", &opcode, &event, &error)) return nullptr;
    if (!glXQueryExtension(d, &error, &event)) return nullptr;
    if (!HasExtension(glXQueryExtensionsString(d, DefaultScreen(d)), "GLX_EXT_create_context_es_profile"))
        return nullptr;
    auto create = (PFNGLXCREATECONTEXTATTRIBSARBPROC)glXGetProcAddress((const GLubyte*)"glXCreateContextAttribsARB");
    GLXFBConfig config = create ? WindowConfig(d, w) : nullptr;
    if (!config) return nullptr;
    const int attributes[] = {
        GLX_CONTEXT_MAJOR_VERSION_ARB,  1,   GLX_CONTEXT_MINOR_VERSION_ARB, 1, GLX_CONTEXT_PROFILE_MASK_ARB,
        GLX_CONTEXT_ES_PROFILE_BIT_EXT, None};
    return create(d, config, nullptr, True, attributes);
}

}  // namespace

bool KDID_GLX_Start(void* x_display, unsigned long window) {
    Display* d = static_cast<Display*>(x_display);
    if (!d || !window || glx_context) return glx_context != nullptr;
    // A refusal comes as an X error; Xlib's default handler would end the
    // process rather than let EGL take over.
    XSync(d, False);
    x_error = false;
    XErrorHandler old = XSetErrorHandler(OnXError);
    GLXContext c = CreateContext(d, (Window)window);
    bool current = c && glXMakeCurrent(d, (Window)window, c);
    XSync(d, False);
    XSetErrorHandler(old);
    if (!current || x_error) {
        if (current) glXMakeCurrent(d, None, nullptr);
        if (c) glXDestroyContext(d, c);
        return false;
    }
    glx_display = d;
    glx_window = (Window)window;
    glx_context = c;
    return true;
}

bool KDID_GLX_Active() { return glx_context != nullptr; }

bool KDID_GLX_HasDepthBuffer() { return glx_context && config_depth > 0; }

bool KDID_GLX_MakeCurrent() { return glx_context && glXMakeCurrent(glx_display, glx_window, glx_context); }

void KDID_GLX_Swap() { glXSwapBuffers(glx_display, glx_window); }

void* KDID_GLX_GetProcAddress(const char* name) {
    return reinterpret_cast<void*>(glXGetProcAddress(reinterpret_cast<const GLubyte*>(name)));
}

void KDID_GLX_Stop() {
    if (!glx_context) return;
    glXMakeCurrent(glx_display, None, nullptr);
    glXDestroyContext(glx_display, glx_context);
    glx_context = nullptr;
    glx_display = nullptr;
    glx_window = 0;
}
