// String and container helpers shared by the engine, the framework and the
// game. Strings are 8-bit and NUL-terminated; string memory comes from
// malloc/free, array storage from array new/delete.
#ifndef NSTRING_H
#define NSTRING_H

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

inline bool nStringsMatch(const char* a, const char* b) { return a && b && strcmp(a, b) == 0; }

// Ignores letter case, whatever the name says.
inline bool nStringsMatchIncaseSensitive(const char* a, const char* b) { return a && b && strcasecmp(a, b) == 0; }

inline char* nStringDuplicate(const char* s) {
    if (!s) s = "";
    size_t n = strlen(s) + 1;
    char* d = (char*)malloc(n);
    if (d) memcpy(d, s, n);
    return d;
}

inline void nStringFree(char* s) { free(s); }

inline int nStringLength(const char* s) { return s ? (int)strlen(s) : 0; }

// Unbounded copy: the caller guarantees room.
inline void nStringCopy(char* dst, const char* src) {
    if (!dst) return;
    if (!src) {
        dst[0] = 0;
        return;
    }
    memmove(dst, src, strlen(src) + 1);
}

#if defined(__GNUC__)
#define N_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define N_PRINTF_LIKE(f, a)
#endif

inline void nStringFormatV(char* dst, int size, const char* fmt, va_list ap) {
    if (!dst || size < 1) return;
    if (!fmt) {
        dst[0] = 0;
        return;
    }
    vsnprintf(dst, (size_t)size, fmt, ap);
}

inline void nStringFormat(char* dst, int size, const char* fmt, ...) N_PRINTF_LIKE(3, 4);
inline void nStringFormat(char* dst, int size, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    nStringFormatV(dst, size, fmt, ap);
    va_end(ap);
}

// Writes at most 1024 bytes including the terminator.
inline void nSprintf(char* dst, const char* fmt, ...) N_PRINTF_LIKE(2, 3);
inline void nSprintf(char* dst, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    nStringFormatV(dst, 1024, fmt, ap);
    va_end(ap);
}

// Finds the piece number `index` of `s` split at `sep` inside a work copy
// (at most `limit` - 1 characters). Returns the start of the piece in
// `work`, cut at the next separator, or null when it does not exist.
inline char* nStringTokenIn(char* work, int limit, const char* s, const char* sep, int index) {
    if (!s || !sep) return nullptr;
    size_t len = strlen(s);
    if ((int)len >= limit) return nullptr;
    memcpy(work, s, len + 1);
    size_t seplen = strlen(sep);
    if (seplen == 0) return index == 0 ? work : nullptr;
    char* piece = work;
    for (int i = 0; i < index; i++) {
        char* hit = strstr(piece, sep);
        if (!hit) return nullptr;
        piece = hit + seplen;
        if (*piece == 0) return nullptr;  // separator was the last thing
    }
    char* end = strstr(piece, sep);
    if (end) *end = 0;
    return piece;
}

// The index-th piece of `s` split at `sep`, in one of 8 rotating static
// buffers of 256 bytes: valid until 8 further calls.
inline char* nStringGetToken(const char* s, const char* sep, int index) {
    static char buffers[8][256];
    static int rotation = 0;
    rotation = (rotation + 1) % 8;
    return nStringTokenIn(buffers[rotation], 256, s, sep, index);
}

// Writes `src` with `find` replaced by `repl` into `dst`; stops quietly when
// the next replacement would not fit. A replacement is never searched again.
inline void nStringReplace(const char* src, const char* find, const char* repl, char* dst, int dstSize) {
    if (!src || !dst || dstSize < 1) return;
    int srclen = (int)strlen(src);
    if (dstSize <= srclen) return;
    memcpy(dst, src, (size_t)srclen + 1);
    if (!find || !*find || !repl || strcmp(find, repl) == 0) return;
    int flen = (int)strlen(find), rlen = (int)strlen(repl);
    int room = dstSize - srclen;
    char* scan = dst;
    for (;;) {
        char* hit = strstr(scan, find);
        if (!hit || room < rlen - flen) break;
        // The terminator must still fit after the move.
        if ((int)strlen(dst) + (rlen - flen) + 1 > dstSize) break;
        memmove(hit + rlen, hit + flen, strlen(hit + flen) + 1);
        memcpy(hit, repl, (size_t)rlen);
        room -= rlen - flen;
        scan = hit + rlen;
    }
}

// A heap string that owns its text (or holds null).
class nString {
public:
    char* text = nullptr;

    // constexpr: a global string or array is whole before any constructor runs,
    // so registries filled during static construction never see it unmade.
    constexpr nString() {}
    nString(const char* s) { Set(s); }
    nString(const nString& o) { Set(o.text); }
    nString& operator=(const nString& o) {
        Set(o.text);
        return *this;
    }
    ~nString() { free(text); }

    // The copy is made before the old text is freed, so Set(text) is safe.
    void Set(const char* s) {
        char* copy = s ? nStringDuplicate(s) : nullptr;
        free(text);
        text = copy;
    }

    void Append(const char* s) {
        size_t a = text ? strlen(text) : 0, b = s ? strlen(s) : 0;
        char* block = (char*)malloc(a + b + 1);
        if (!block) return;
        if (a) memcpy(block, text, a);
        if (b) memcpy(block + a, s, b);
        block[a + b] = 0;
        free(text);
        text = block;
    }

    // At most 1023 characters.
    void Format(const char* fmt, ...) N_PRINTF_LIKE(2, 3) {
        char work[1024];
        va_list ap;
        va_start(ap, fmt);
        nStringFormatV(work, sizeof work, fmt, ap);
        va_end(ap);
        Set(work);
    }

    // The index-th piece split at `sep` as a new string: "" when missing,
    // null only for a null source.
    static nString Token(const char* s, const char* sep, int index) {
        nString r;
        if (!s) return r;
        char work[1024];
        char* piece = nStringTokenIn(work, 1023, s, sep, index);
        r.Set(piece ? piece : "");
        return r;
    }

    const char* c_str() const { return text ? text : ""; }
    int Length() const { return nStringLength(text); }
    bool IsEmpty() const { return !text || !*text; }
    bool operator==(const char* s) const { return nStringsMatch(text, s); }
};

// Growable array. Grows before storing when count + 1 reaches the
// capacity: first 32 slots, then max(2 * capacity, count + 1). With the
// shrink flag set, a removal that leaves at most a quarter in use halves
// the block (never below the count).
template <class T>
class nArray {
public:
    T* data = nullptr;
    int count = 0;
    int capacity = 0;
    bool shrink = true;

    constexpr nArray() {}
    nArray(const nArray& o) { *this = o; }
    nArray& operator=(const nArray& o) {
        if (this == &o) return *this;
        Free();
        shrink = o.shrink;
        if (o.data) {
            data = new T[o.capacity];
            capacity = o.capacity;
            for (int i = 0; i < o.count; i++) data[i] = o.data[i];
            count = o.count;
        }
        return *this;
    }
    ~nArray() { delete[] data; }

    void Free() {
        delete[] data;
        data = nullptr;
        count = capacity = 0;
    }

    void SizeUp() {
        if (!data) {
            capacity = 32;
            data = new T[capacity];
            return;
        }
        Reallocate(2 * capacity > count + 1 ? 2 * capacity : count + 1);
    }

    T& InsertLast(const T& v) {
        if (count + 1 >= capacity) {
            T copy = v;  // v may live inside the block being replaced
            SizeUp();
            data[count] = copy;
        } else {
            data[count] = v;
        }
        return data[count++];
    }

    void InsertFirst(const T& v) {
        T copy = v;
        if (capacity <= count + 1) SizeUp();
        for (int i = count; i > 0; i--) data[i] = data[i - 1];
        data[0] = copy;
        count++;
    }

    void RemoveIndex(int i) {
        if (i < 0 || i >= count) return;
        for (int j = i; j < count - 1; j++) data[j] = data[j + 1];
        count--;
        if (shrink && data && count >= 1 && count <= capacity / 4) {
            Reallocate(capacity / 2 > count ? capacity / 2 : count);
        }
    }

    int Find(const T& v) const {
        for (int i = 0; i < count; i++)
            if (data[i] == v) return i;
        return -1;
    }

    bool Remove(const T& v) {
        int i = Find(v);
        if (i < 0) return false;
        RemoveIndex(i);
        return true;
    }

    T& operator[](int i) { return data[i]; }
    const T& operator[](int i) const { return data[i]; }

private:
    void Reallocate(int n) {
        T* block = new T[n];
        for (int i = 0; i < count; i++) block[i] = data[i];
        delete[] data;
        data = block;
        capacity = n;
    }
};

template <class T>
struct nPair {
    char* key = nullptr;
    T value{};
};

// String-keyed map over an nArray of pairs; keys compare with strcmp.
template <class T>
class nMap {
public:
    nArray<nPair<T> > pairs;

    constexpr nMap() {}
    nMap(const nMap&) = delete;
    nMap& operator=(const nMap&) = delete;
    ~nMap() {
        for (int i = 0; i < pairs.count; i++) free(pairs.data[i].key);
    }

    void AddPair(const char* key, const T& value) {
        nPair<T>* p = FindPair(key);
        if (p) {
            p->value = value;
            return;
        }
        nPair<T> np;
        np.key = nStringDuplicate(key);
        np.value = value;
        pairs.InsertLast(np);
    }

    nPair<T>* FindPair(const char* key) {
        if (!key) key = "";
        for (int i = 0; i < pairs.count; i++)
            if (pairs.data[i].key && strcmp(pairs.data[i].key, key) == 0) return &pairs.data[i];
        return nullptr;
    }

    T* Find(const char* key) {
        nPair<T>* p = FindPair(key);
        return p ? &p->value : nullptr;
    }

    bool Remove(const char* key) {
        for (int i = 0; i < pairs.count; i++) {
            if (pairs.data[i].key && key && strcmp(pairs.data[i].key, key) == 0) {
                free(pairs.data[i].key);
                pairs.RemoveIndex(i);
                return true;
            }
        }
        return false;
    }

    int Count() const { return pairs.count; }
};

#endif
