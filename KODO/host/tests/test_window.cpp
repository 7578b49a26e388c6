// The window under Xvfb: EGL + GLES 1 on the window handle, resizing,
// display properties and scripted screenshots.

#include <bps/bps.h>
#include <bps/navigator.h>
#include <bps/screen.h>
#include <host/host.h>
#include <screen/screen.h>

#include <EGL/egl.h>
#include <GLES/gl.h>
#include <png.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

#include "test_util.h"

using namespace host_test;

namespace {

struct Png {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    bool ok = false;
};

Png read_png(const std::string &path) {
    Png r;
    png_image img;
    memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return r;
    img.format = PNG_FORMAT_RGB;
    r.rgb.resize(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, r.rgb.data(), 0, nullptr)) return r;
    r.w = static_cast<int>(img.width);
    r.h = static_cast<int>(img.height);
    r.ok = true;
    return r;
}

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        dir = make_temp_dir();
        ASSERT_EQ(0, screen_create_context(&ctx, SCREEN_APPLICATION_CONTEXT));
        ASSERT_EQ(0, screen_create_window(&win, ctx));
        ASSERT_NE(nullptr, win);
    }
    void TearDown() override {
        if (dpy != EGL_NO_DISPLAY) {
            eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            if (context != EGL_NO_CONTEXT) eglDestroyContext(dpy, context);
            if (surface != EGL_NO_SURFACE) eglDestroySurface(dpy, surface);
            eglTerminate(dpy);
            eglReleaseThread();
        }
        if (ctx) screen_destroy_context(ctx);
        host_script_clear();
        run("rm -rf '" + dir + "'");
    }

    // The engine's own set-up: same attributes, same calls.
    void make_gl(EGLNativeDisplayType native) {
        dpy = eglGetDisplay(native);
        ASSERT_NE(EGL_NO_DISPLAY, dpy);
        ASSERT_TRUE(eglInitialize(dpy, nullptr, nullptr));
        ASSERT_TRUE(eglBindAPI(EGL_OPENGL_ES_API));
        const EGLint attrs[] = {EGL_RED_SIZE,     8, EGL_GREEN_SIZE,   8,
                                EGL_BLUE_SIZE,    8, EGL_ALPHA_SIZE,   8,
                                EGL_DEPTH_SIZE,   0, EGL_SURFACE_TYPE, EGL_WINDOW_BIT,
                                EGL_RENDERABLE_TYPE, EGL_OPENGL_ES_BIT, EGL_NONE};
        EGLConfig config;
        EGLint n = 0;
        ASSERT_TRUE(eglChooseConfig(dpy, attrs, &config, 1, &n));
        ASSERT_EQ(1, n);
        surface = eglCreateWindowSurface(dpy, config, static_cast<EGLNativeWindowType>(win), nullptr);
        ASSERT_NE(EGL_NO_SURFACE, surface) << std::hex << eglGetError();
        context = eglCreateContext(dpy, config, EGL_NO_CONTEXT, nullptr);
        ASSERT_NE(EGL_NO_CONTEXT, context);
        ASSERT_TRUE(eglMakeCurrent(dpy, surface, surface, context));
        EXPECT_TRUE(eglSwapInterval(dpy, 1));
    }

    void clear_and_swap(float r, float g, float b) {
        glClearColor(r, g, b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ASSERT_TRUE(eglSwapBuffers(dpy, surface));
    }

    void expect_colour(const std::string &png, int w, int h, int r, int g, int b) {
        Png img = read_png(png);
        ASSERT_TRUE(img.ok) << png;
        EXPECT_EQ(w, img.w);
        EXPECT_EQ(h, img.h);
        for (auto [x, y] : {std::pair{0, 0}, std::pair{w / 2, h / 2}, std::pair{w - 1, h - 1}}) {
            const unsigned char *p = &img.rgb[(static_cast<size_t>(y) * img.w + x) * 3];
            EXPECT_NEAR(r, p[0], 2) << x << "," << y;
            EXPECT_NEAR(g, p[1], 2) << x << "," << y;
            EXPECT_NEAR(b, p[2], 2) << x << "," << y;
        }
    }

    std::string dir;
    screen_context_t ctx = nullptr;
    screen_window_t win = nullptr;
    EGLDisplay dpy = EGL_NO_DISPLAY;
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;
};

TEST_F(Window, EngineWindowSetupAndDisplayProperties) {
    const int format = SCREEN_FORMAT_RGBX8888;
    const int usage = SCREEN_USAGE_OPENGL_ES1 | SCREEN_USAGE_ROTATION;
    EXPECT_EQ(528, usage);
    EXPECT_EQ(0, screen_set_window_property_iv(win, SCREEN_PROPERTY_FORMAT, &format));
    EXPECT_EQ(0, screen_set_window_property_iv(win, SCREEN_PROPERTY_USAGE, &usage));
    screen_display_t disp = nullptr;
    ASSERT_EQ(0, screen_get_window_property_pv(win, SCREEN_PROPERTY_DISPLAY, reinterpret_cast<void **>(&disp)));
    int size[2] = {0, 0};
    ASSERT_EQ(0, screen_get_display_property_iv(disp, SCREEN_PROPERTY_SIZE, size));
    EXPECT_EQ(1024, size[0]);
    EXPECT_EQ(600, size[1]);
    screen_display_mode_t mode{};
    ASSERT_EQ(0, screen_get_display_property_iv(disp, SCREEN_PROPERTY_MODE, reinterpret_cast<int *>(&mode)));
    EXPECT_EQ(1024, mode.width);
    EXPECT_EQ(600, mode.height);
    int buf[2] = {0, 0};
    ASSERT_EQ(0, screen_get_window_property_iv(win, SCREEN_PROPERTY_BUFFER_SIZE, buf));
    EXPECT_EQ(1024, buf[0]);
    EXPECT_EQ(600, buf[1]);
    const int rotation = 0, idle = SCREEN_IDLE_MODE_KEEP_AWAKE;
    EXPECT_EQ(0, screen_set_window_property_iv(win, SCREEN_PROPERTY_ROTATION, &rotation));
    EXPECT_EQ(0, screen_set_window_property_iv(win, SCREEN_PROPERTY_IDLE_MODE, &idle));
    EXPECT_EQ(0, screen_create_window_buffers(win, 2));

    // Refusals: bad values and foreign handles, with errno.
    const int bad_rotation = 45, bad_size[2] = {0, 600};
    errno = 0;
    EXPECT_EQ(-1, screen_set_window_property_iv(win, SCREEN_PROPERTY_ROTATION, &bad_rotation));
    EXPECT_EQ(EINVAL, errno);
    EXPECT_EQ(-1, screen_set_window_property_iv(win, SCREEN_PROPERTY_BUFFER_SIZE, bad_size));
    EXPECT_EQ(-1, screen_set_window_property_iv(reinterpret_cast<screen_window_t>(0x1234), SCREEN_PROPERTY_FORMAT,
                                                &format));
    screen_window_t second = nullptr;
    EXPECT_EQ(-1, screen_create_window(&second, ctx));
    EXPECT_EQ(EBUSY, errno);
}

TEST_F(Window, ClearedFrameIsInTheScriptedScreenshot) {
    make_gl(EGL_DEFAULT_DISPLAY);
    EGLint w = 0, h = 0;
    eglQuerySurface(dpy, surface, EGL_WIDTH, &w);
    eglQuerySurface(dpy, surface, EGL_HEIGHT, &h);
    EXPECT_EQ(1024, w);
    EXPECT_EQ(600, h);

    std::string trace = dir + "/trace.txt", shot = dir + "/shot.png";
    setenv("KODO_HOST_TRACE", trace.c_str(), 1);
    host_trace_reopen();
    ASSERT_EQ(BPS_SUCCESS, bps_initialize());
    ASSERT_EQ(1, host_script_load_text(("0 screenshot " + shot + "\n").c_str(), "shot"));
    clear_and_swap(1.0f, 0.0f, 0.0f);
    collect(100);
    bps_shutdown();
    unsetenv("KODO_HOST_TRACE");
    host_trace_reopen();
    expect_colour(shot, 1024, 600, 255, 0, 0);
    EXPECT_NE(std::string::npos, read_file(trace).find("screenshot " + shot + " ok 1024x600\n"));
}

TEST_F(Window, ResizedWindowOnTheHostDisplayConnection) {
    const int size[2] = {640, 480};
    ASSERT_EQ(0, screen_set_window_property_iv(win, SCREEN_PROPERTY_BUFFER_SIZE, size));
    ASSERT_NE(nullptr, host_get_x11_display());
    make_gl(static_cast<EGLNativeDisplayType>(host_get_x11_display()));
    clear_and_swap(0.0f, 0.0f, 1.0f);  // the surface follows the new size
    EGLint w = 0, h = 0;
    eglQuerySurface(dpy, surface, EGL_WIDTH, &w);
    eglQuerySurface(dpy, surface, EGL_HEIGHT, &h);
    EXPECT_EQ(640, w);
    EXPECT_EQ(480, h);
    clear_and_swap(0.0f, 1.0f, 0.0f);
    std::string shot = dir + "/green.png";
    ASSERT_EQ(0, host_screenshot(shot.c_str()));
    expect_colour(shot, 640, 480, 0, 255, 0);
}

// The display is never larger than the screen (1024x600 here) it is shown
// on: an asked size that does not fit is cut to it, with a line.
TEST(WindowEnv, DisplaySizeFromEnvironmentFitsTheScreenAndBadValueFallsBack) {
    setenv("KODO_DISPLAY_SIZE", "600x400", 1);
    screen_context_t ctx = nullptr;
    screen_window_t win = nullptr;
    ASSERT_EQ(0, screen_create_context(&ctx, 0));
    ASSERT_EQ(0, screen_create_window(&win, ctx));
    int buf[2] = {0, 0};
    ASSERT_EQ(0, screen_get_window_property_iv(win, SCREEN_PROPERTY_BUFFER_SIZE, buf));
    EXPECT_EQ(600, buf[0]);
    EXPECT_EQ(400, buf[1]);
    ASSERT_EQ(0, screen_destroy_context(ctx));

    setenv("KODO_DISPLAY_SIZE", "600x1024", 1);
    testing::internal::CaptureStderr();
    ASSERT_EQ(0, screen_create_context(&ctx, 0));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("does not fit the 1024x600 screen"));
    ASSERT_EQ(0, screen_create_window(&win, ctx));
    ASSERT_EQ(0, screen_get_window_property_iv(win, SCREEN_PROPERTY_BUFFER_SIZE, buf));
    EXPECT_EQ(600, buf[0]);
    EXPECT_EQ(600, buf[1]);
    ASSERT_EQ(0, screen_destroy_context(ctx));

    setenv("KODO_DISPLAY_SIZE", "big", 1);
    testing::internal::CaptureStderr();
    ASSERT_EQ(0, screen_create_context(&ctx, 0));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("KODO_DISPLAY_SIZE")) << err;
    screen_display_t disp = nullptr;
    ASSERT_EQ(0, screen_create_window(&win, ctx));
    ASSERT_EQ(0, screen_get_window_property_pv(win, SCREEN_PROPERTY_DISPLAY, reinterpret_cast<void **>(&disp)));
    ASSERT_EQ(0, screen_get_display_property_iv(disp, SCREEN_PROPERTY_SIZE, buf));
    EXPECT_EQ(1024, buf[0]);
    EXPECT_EQ(600, buf[1]);
    ASSERT_EQ(0, screen_destroy_context(ctx));
    unsetenv("KODO_DISPLAY_SIZE");
}

}  // namespace
