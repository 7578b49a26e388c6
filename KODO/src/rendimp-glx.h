// The OpenGL ES 1.x context through GLX, kept apart from the EGL side so
// that desktop GL's headers never meet the ES ones.
//
// Mesa's software renderer presents a GLX frame through X shared memory
// (MIT-SHM) when the server offers it, and an EGL frame by sending every
// pixel over the X socket; where shared memory is there, GLX is several
// times faster at 1024 x 600 (bench/bench_bare_gles).
#pragma once

// Makes an ES 1.x context current on the window when the server offers
// MIT-SHM and GLX can make one; false leaves nothing behind, for EGL.
bool KDID_GLX_Start(void* x_display, unsigned long window);
bool KDID_GLX_Active();
// Whether the window's configuration has depth bits (none under EGL).
bool KDID_GLX_HasDepthBuffer();
bool KDID_GLX_MakeCurrent();
void KDID_GLX_Swap();
void* KDID_GLX_GetProcAddress(const char* name);
void KDID_GLX_Stop();
