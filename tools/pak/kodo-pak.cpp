// kodo-pak <folder> <out.pak>: packs a folder into a package that the
// engine serves as "<scheme>://<folder>/...".
#include <stdio.h>

#include "pak-folder.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: kodo-pak <folder> <out.pak>\n");
        return 2;
    }
    std::vector<unsigned char> bytes;
    std::string error;
    if (!KDPak_PackFolder(argv[1], bytes, &error)) {
        fprintf(stderr, "kodo-pak: %s\n", error.c_str());
        return 1;
    }
    std::string tmp = std::string(argv[2]) + ".tmp";
    FILE* f = fopen(tmp.c_str(), "wb");
    if (!f) {
        perror(tmp.c_str());
        return 1;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    // Replace the old package only once the new one is complete.
    if (!ok || rename(tmp.c_str(), argv[2]) != 0) {
        perror(argv[2]);
        remove(tmp.c_str());
        return 1;
    }
    printf("kodo-pak: %s -> %s (%zu bytes)\n", argv[1], argv[2], bytes.size());
    return 0;
}
