#include <string.h>

#include "test-support.h"

TestProg test_prog;
static kd_prog_t record;

void ResetTestProg() { test_prog = TestProg(); }

static bool TInit() {
    test_prog.init_calls++;
    return test_prog.init_result;
}
static void TShutdown() { test_prog.shutdown_calls++; }
static void TUpdate(float dt) {
    test_prog.update_calls++;
    if (test_prog.on_update) test_prog.on_update(dt);
}
static void TDraw(float dt) {
    test_prog.draw_calls++;
    test_prog.draw_eyes.push_back(kd_state.current_eye);
    if (test_prog.on_draw) test_prog.on_draw(dt);
}
static int TEventProc(kd_event_t e) {
    test_prog.events.push_back(e);
    return 0;
}

kd_prog_t* KD_GetInterface() {
    memset(&record, 0, sizeof record);
    record.interface_version = test_prog.version;
    strncpy(record.title, test_prog.title, sizeof record.title - 1);
    strncpy(record.developer_name, test_prog.developer, sizeof record.developer_name - 1);
    record.parms.reference_counting = true;
    record.parms.flags = true;
    record.parms.width = 1024;
    record.parms.height = 600;
    record.Init = TInit;
    record.Shutdown = TShutdown;
    record.Update = TUpdate;
    record.Draw = TDraw;
    record.EventProc = TEventProc;
    return &record;
}
