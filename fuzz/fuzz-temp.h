// The temporary folder of a fuzz target: under $TMPDIR when set (the CI's
// fuzz loop gives each target its own and checks it is empty afterwards),
// else /tmp.
#ifndef FUZZ_TEMP_H
#define FUZZ_TEMP_H

#include <stdlib.h>

#include <string>

inline std::string FuzzTempDir() {
    const char* t = getenv("TMPDIR");
    return t && *t ? t : "/tmp";
}

#endif
