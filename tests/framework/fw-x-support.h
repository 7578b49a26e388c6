// Screenshot support for framework tests under Xvfb: the engine started on
// a real window with the OpenGL ES renderer, the program's `kd` pointing
// at it, "res://" being the bundled data tree, and frames read back from
// the window. Free of the engine's internal headers (whose `kd` would
// clash with the program's).
#ifndef FW_X_SUPPORT_H
#define FW_X_SUPPORT_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct FwImage {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    // Red, green and blue of a pixel; all -1 outside the image.
    void At(int x, int y, int* r, int* g, int* b) const;
};

class FwWindowEngine {
public:
    FwWindowEngine();
    ~FwWindowEngine();
    bool started = false;
    // Runs engine frames with `draw` as the program's Draw and reads the
    // window back.
    FwImage Frame(std::function<void()> draw);

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

#endif
