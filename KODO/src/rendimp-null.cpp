#include "rendimp.h"

RendImp* GetRendImpNull() {
    static RendImpNull null_renderer;
    return &null_renderer;
}
