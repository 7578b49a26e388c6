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

// The word stands whole in the list: after the list's start, a blank, ','
// or ';', and before its end or one of those (tags, event lists).
inline bool ServiceHasWord(const char* list, const char* word) {
    if (!list || !word || !*word) return false;
    size_t n = strlen(word);
    for (const char* at = strstr(list, word); at; at = strstr(at + 1, word)) {
        bool starts = at == list || strchr(" ,;", at[-1]);
        char after = at[n];
        if (starts && (after == 0 || after == ' ' || after == ',' || after == ';')) return true;
    }
    return false;
}

#endif
