// The platform layer's entry points, shared by `main` and the tests.
#ifndef QNX_KODO_H
#define QNX_KODO_H

#include <bps/bps.h>
#include <screen/screen.h>

int KDQ_Main(int argc, char** argv);
bool KDQ_CreateWindow();
void KDQ_DestroyWindow();
screen_context_t KDQ_GetScreenContext();
screen_window_t KDQ_GetScreenWindow();
// Creates the window on the screen context with its rendering properties
// and buffers. Works while no window exists; true at once
// when one does. Failures are logged by the call that failed.
bool KD_QNX_InitWindowAndContexts();
// The window buffer size chosen at window creation, and its buffer count.
extern int kd_qnx_screen_width, kd_qnx_screen_height, kd_qnx_nbuffers;
// Drains pending platform events, paces, and runs one frame (or sleeps
// 15 ms while inactive). Returns the new frame start time.
unsigned int KDQ_LoopTurn(unsigned int last);
void KDQ_DrainEvents();
void HandleNavigatorEvent(bps_event_t* event);
void HandleScreenEvent(bps_event_t* event);
// Forgets the pointer button state and the report of ignored touch ids.
void KDQ_ResetScreenEventState();
void KDQ_HandleMusicEvent(bps_event_t* event);
// A store or game-centre result (qnx-service-events.cpp).
void KDQ_HandleServiceEvent(bps_event_t* event);

#endif
