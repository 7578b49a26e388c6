// Ids and texts that the player services take from the platform's events
// and from files: checked against, or cut to, a known bound, and never
// read past it (an event's text need not end where it should).
#ifndef FRAMEWORK_SERVICE_TEXT_H
#define FRAMEWORK_SERVICE_TEXT_H

#include <string.h>

#include <string>

#include "nstring.h"

// There, not empty, and at most `max` characters: an id must be whole or
// not taken at all.
inline bool ServiceTextFits(const char* s, int max) { return s && *s && strnlen(s, (size_t)max + 1) <= (size_t)max; }

// A shown text, cut to `max` characters; no text for null.
inline nString ServiceTextCut(const char* s, int max) {
    if (!s) return nString();
    return nString(std::string(s, strnlen(s, (size_t)max)).c_str());
}

#endif
