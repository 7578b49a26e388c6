// Helpers for framework tests, free of the engine's internal headers.
#ifndef FW_SUPPORT_H
#define FW_SUPPORT_H

#include <memory>
#include <string>
#include <vector>

// A fresh working folder with the engine started on the null renderer
// and the program's `kd` pointing at the engine's table; all undone on
// destruction.
class FwEngine {
public:
    FwEngine();
    // Starts in an existing folder, which is entered and kept afterwards
    // (processes that share one folder, one after the other).
    explicit FwEngine(const std::string& existingDir);
    ~FwEngine();
    bool started = false;
    std::string dir;  // the working folder
    // Native path of a "user://" name.
    std::string UserPath(const std::string& rest) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// What the program adds to the framework's start-up before the engine
// starts it (the UI's and the services' steps); FwEngine calls it once
// started. fw-steps.cpp has the program's; a test of the framework alone
// has its own.
void FwAddProgramSteps();

// Runs `n` engine frames of `ms` milliseconds each (a millisecond apart),
// with `update` and `draw` as the program's Update and Draw (null: nothing).
void FwRunFrames(int n, int ms, void (*update)(float), void (*draw)(float));

class FwLog {
public:
    FwLog();
    ~FwLog();
    bool Contains(const std::string& text) const;
    const std::vector<std::string>& Lines() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

void WriteNative(const std::string& path, const std::string& text);
std::string ReadNative(const std::string& path);

// A fresh folder under /tmp whose app/native is the bundled data tree
// (KODO_TEST_DATA), for an FwEngine started in it; "" without the data.
// The caller removes it.
std::string FwDataTreeFolder(const std::string& prefix);

struct lua_State;
// Runs Lua in a state and answers its results as "type:value ..." ("" for
// none, "error:<message>" when it fails); the stack is left as it was.
std::string FwEvalLua(lua_State* L, const std::string& code);

#endif
