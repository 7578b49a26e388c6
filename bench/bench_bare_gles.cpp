// The renderer's limit: a bare X11 + OpenGL ES 1.x program, none of the
// engine, drawing what bench_sprites draws (N textured 12 px sprites of
// one texture, moving each frame, one draw call for them all) on a
// 1024 x 600 window, and presenting each frame one of three ways:
//   egl  an EGL window surface and eglSwapBuffers
//   glx  a GLX context with the ES profile and glXSwapBuffers
//   shm  an EGL pbuffer read back with glReadPixels and put on the window
//        with XShmPutImage
// Prints one line: "<mode> N <n> fps <f> cpu_ms <per frame>", and with
// --picture (a full-screen 1024 x 600 picture under the sprites, what a
// loading screen's first frame holds) "first frame presented" once the
// first frame is on the window: the graphics stack's share of a start.
//   KODO/host/tests/with_xvfb.sh build/bench/bench_bare_gles --present glx --sprites 200
// Options: --present egl|glx|shm (egl), --sprites N (200), --frames N (600),
// --picture 1.
#include <EGL/egl.h>
#include <GL/glx.h>
#include <GL/glxext.h>
#include <GLES/gl.h>
#include <GLES/glext.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>

#include <string>
#include <vector>

namespace {

const int kW = 1024, kH = 600, kSize = 12;

struct Vertex {
    float x, y, u, v;
};

Display* dpy = nullptr;
Window win = 0;
std::string mode = "egl";

EGLDisplay edpy = EGL_NO_DISPLAY;
EGLSurface esurf = EGL_NO_SURFACE;
GLXContext gctx = nullptr;
XShmSegmentInfo shm_info;
XImage* shm_image = nullptr;
std::vector<unsigned char> readback;

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

double WallSeconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

bool Fail(const char* what) {
    fprintf(stderr, "bench_bare_gles: %s\n", what);
    return false;
}

bool OpenWindow() {
    dpy = XOpenDisplay(nullptr);
    if (!dpy) return Fail("no X display");
    win = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, kW, kH, 0, 0, 0);
    XMapWindow(dpy, win);
    XSync(dpy, False);
    return true;
}

bool StartEgl(bool pbuffer) {
    edpy = eglGetDisplay((EGLNativeDisplayType)dpy);
    if (!eglInitialize(edpy, nullptr, nullptr)) return Fail("eglInitialize");
    eglBindAPI(EGL_OPENGL_ES_API);
    const EGLint attributes[] = {EGL_RED_SIZE,
                                 8,
                                 EGL_GREEN_SIZE,
                                 8,
                                 EGL_BLUE_SIZE,
                                 8,
                                 EGL_SURFACE_TYPE,
                                 pbuffer ? EGL_PBUFFER_BIT : EGL_WINDOW_BIT,
                                 EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_ES_BIT,
                                 EGL_NONE};
    EGLConfig config;
    EGLint n = 0;
    if (!eglChooseConfig(edpy, attributes, &config, 1, &n) || n != 1) return Fail("eglChooseConfig");
    const EGLint size[] = {EGL_WIDTH, kW, EGL_HEIGHT, kH, EGL_NONE};
    esurf = pbuffer ? eglCreatePbufferSurface(edpy, config, size)
                    : eglCreateWindowSurface(edpy, config, (EGLNativeWindowType)win, nullptr);
    if (esurf == EGL_NO_SURFACE) return Fail("no EGL surface");
    EGLContext ctx = eglCreateContext(edpy, config, EGL_NO_CONTEXT, nullptr);
    if (ctx == EGL_NO_CONTEXT || !eglMakeCurrent(edpy, esurf, esurf, ctx)) return Fail("no EGL context");
    eglSwapInterval(edpy, 0);
    return true;
}

bool StartGlx() {
    auto create = (PFNGLXCREATECONTEXTATTRIBSARBPROC)glXGetProcAddress((const GLubyte*)"glXCreateContextAttribsARB");
    if (!create) return Fail("no glXCreateContextAttribsARB");
    const int fb_attributes[] = {
        GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8,
        GLX_BLUE_SIZE,    8,    GLX_DOUBLEBUFFER,  True,           None};
    int n = 0;
    GLXFBConfig* configs = glXChooseFBConfig(dpy, DefaultScreen(dpy), fb_attributes, &n);
    if (!configs || n < 1) return Fail("glXChooseFBConfig");
    const int attributes[] = {
        GLX_CONTEXT_MAJOR_VERSION_ARB,  1,   GLX_CONTEXT_MINOR_VERSION_ARB, 1, GLX_CONTEXT_PROFILE_MASK_ARB,
        GLX_CONTEXT_ES_PROFILE_BIT_EXT, None};
    gctx = create(dpy, configs[0], nullptr, True, attributes);
    XFree(configs);
    if (!gctx || !glXMakeCurrent(dpy, win, gctx)) return Fail("no GLX ES context");
    return true;
}

bool StartShm() {
    if (!XShmQueryExtension(dpy)) return Fail("no MIT-SHM");
    int screen = DefaultScreen(dpy);
    shm_image = XShmCreateImage(dpy, DefaultVisual(dpy, screen), (unsigned)DefaultDepth(dpy, screen), ZPixmap, nullptr,
                                &shm_info, kW, kH);
    if (!shm_image) return Fail("XShmCreateImage");
    shm_info.shmid = shmget(IPC_PRIVATE, (size_t)shm_image->bytes_per_line * kH, IPC_CREAT | 0600);
    shm_info.shmaddr = shm_image->data = (char*)shmat(shm_info.shmid, nullptr, 0);
    shm_info.readOnly = False;
    XShmAttach(dpy, &shm_info);
    XSync(dpy, False);
    shmctl(shm_info.shmid, IPC_RMID, nullptr);
    readback.resize((size_t)kW * kH * 4);
    return StartEgl(true);
}

// GL's rows run bottom up, the image's top down; BGRA matches the
// server's 24-bit little-endian visual.
void PresentShm() {
    glReadPixels(0, 0, kW, kH, GL_BGRA_EXT, GL_UNSIGNED_BYTE, readback.data());
    for (int y = 0; y < kH; y++)
        memcpy(shm_image->data + (size_t)y * shm_image->bytes_per_line, &readback[(size_t)(kH - 1 - y) * kW * 4],
               (size_t)kW * 4);
    XShmPutImage(dpy, win, DefaultGC(dpy, DefaultScreen(dpy)), shm_image, 0, 0, 0, 0, kW, kH, False);
    XSync(dpy, False);
}

void Present() {
    if (mode == "glx")
        glXSwapBuffers(dpy, win);
    else if (mode == "shm")
        PresentShm();
    else
        eglSwapBuffers(edpy, esurf);
}

// RGBA pixels on a new linear-filtered texture.
GLuint Upload(const unsigned char* px, int w, int h) {
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
    return tex;
}

GLuint MakeTexture() {
    unsigned char px[16 * 16 * 4];
    for (int i = 0; i < 16 * 16; i++) {
        px[i * 4 + 0] = (unsigned char)(i * 7);
        px[i * 4 + 1] = 200;
        px[i * 4 + 2] = (unsigned char)(255 - i);
        px[i * 4 + 3] = 255;
    }
    return Upload(px, 16, 16);
}

// A made-up 1024 x 600 picture on its own texture, drawn opaque.
void DrawPicture(GLuint texture) {
    static const Vertex quad[4] = {{0, 0, 0, 0}, {kW, 0, 1, 0}, {0, kH, 0, 1}, {kW, kH, 1, 1}};
    glBindTexture(GL_TEXTURE_2D, texture);
    glDisable(GL_BLEND);
    glVertexPointer(2, GL_FLOAT, sizeof(Vertex), &quad[0].x);
    glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &quad[0].u);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glEnable(GL_BLEND);
}

GLuint MakePicture() {
    std::vector<unsigned char> px((size_t)kW * kH * 4);
    for (size_t i = 0; i < (size_t)kW * kH; i++) {
        px[i * 4 + 0] = (unsigned char)(i % kW / 4);
        px[i * 4 + 1] = (unsigned char)(i / kW * 255 / kH);
        px[i * 4 + 2] = 96;
        px[i * 4 + 3] = 255;
    }
    return Upload(px.data(), kW, kH);
}

}  // namespace

int main(int argc, char** argv) {
    int sprites = 200, frames = 600;
    bool picture = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--present"))
            mode = argv[i + 1];
        else if (!strcmp(argv[i], "--sprites"))
            sprites = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--frames"))
            frames = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--picture"))
            picture = atoi(argv[i + 1]) != 0;
    }
    if (sprites < 1 || sprites > 16000 || frames < 1) return Fail("bad options"), 2;
    if (!OpenWindow()) return 1;
    bool ok = mode == "glx" ? StartGlx() : mode == "shm" ? StartShm() : StartEgl(false);
    if (!ok) return 1;

    glViewport(0, 0, kW, kH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrthof(0, kW, kH, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    GLuint picture_texture = picture ? MakePicture() : 0;
    GLuint sprite_texture = MakeTexture();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);

    std::vector<float> pos((size_t)sprites * 4);
    unsigned seed = 12345;
    for (float& p : pos) {
        seed = seed * 1103515245u + 12345u;
        p = (float)((seed >> 8) & 0xFFFF) / 65535.0f;
    }
    for (int i = 0; i < sprites; i++) {
        pos[(size_t)i * 4] *= kW - kSize;
        pos[(size_t)i * 4 + 1] *= kH - kSize;
        pos[(size_t)i * 4 + 2] = (pos[(size_t)i * 4 + 2] - 0.5f) * 4;
        pos[(size_t)i * 4 + 3] = (pos[(size_t)i * 4 + 3] - 0.5f) * 4;
    }
    std::vector<Vertex> v((size_t)sprites * 4);
    std::vector<GLushort> idx((size_t)sprites * 6);
    for (int q = 0; q < sprites; q++) {
        GLushort b = (GLushort)(q * 4);
        GLushort* i = &idx[(size_t)q * 6];
        i[0] = b, i[1] = (GLushort)(b + 1), i[2] = (GLushort)(b + 2);
        i[3] = (GLushort)(b + 1), i[4] = (GLushort)(b + 2), i[5] = (GLushort)(b + 3);
    }

    double cpu0 = 0, wall0 = 0;
    int warm = frames / 10;
    for (int f = 0; f < frames + warm; f++) {
        if (f == warm) cpu0 = CpuSeconds(), wall0 = WallSeconds();
        for (int i = 0; i < sprites; i++) {
            float* p = &pos[(size_t)i * 4];
            p[0] += p[2], p[1] += p[3];
            if (p[0] < 0 || p[0] > kW - kSize) p[2] = -p[2];
            if (p[1] < 0 || p[1] > kH - kSize) p[3] = -p[3];
            Vertex* q = &v[(size_t)i * 4];
            q[0] = {p[0], p[1], 0, 0};
            q[1] = {p[0] + kSize, p[1], 1, 0};
            q[2] = {p[0], p[1] + kSize, 0, 1};
            q[3] = {p[0] + kSize, p[1] + kSize, 1, 1};
        }
        glClearColor(0.1f, 0.1f, 0.15f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        if (picture) DrawPicture(picture_texture);
        glBindTexture(GL_TEXTURE_2D, sprite_texture);
        glVertexPointer(2, GL_FLOAT, sizeof(Vertex), &v[0].x);
        glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &v[0].u);
        glDrawElements(GL_TRIANGLES, sprites * 6, GL_UNSIGNED_SHORT, idx.data());
        Present();
        if (f == 0 && picture) {
            printf("first frame presented\n");
            fflush(stdout);
        }
    }
    glFinish();
    double cpu = CpuSeconds() - cpu0, wall = WallSeconds() - wall0;
    printf("%s N %d fps %.1f cpu_ms %.3f\n", mode.c_str(), sprites, frames / wall, cpu * 1000.0 / frames);
    return 0;
}
