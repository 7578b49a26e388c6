#include "xmlreader.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "nstring.h"

static bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A double quote is escaped when an odd number of backslashes stands
// right before it; counting them all (not just two) keeps a value that
// ends in an escaped backslash followed by an escaped quote intact.
static bool EscapedAt(const char* start, const char* at) {
    int n = 0;
    while (at > start && at[-1] == '\\') {
        n++;
        at--;
    }
    return n & 1;
}

XMLReader::XMLReader() {}

XMLReader::~XMLReader() { CloseFile(); }

void XMLReader::CloseFile() {
    free(fileName);
    fileName = nullptr;
    depth = 0;
}

bool XMLReader::OnlyWhitespace(const char* s) {
    if (!s) return true;
    for (; *s; s++)
        if (!IsSpace((unsigned char)*s)) return false;
    return true;
}

bool XMLReader::CheckFirstByte() {
    int i = 0;
    while (i < size && IsSpace((unsigned char)data[i])) i++;
    if (i >= size || data[i] == '<') return true;
    int c = (unsigned char)data[i];
    const char* fmt =
        "First non-whitespace char in XML document needs to be '<'. First char in '%s' is #%d '%c'. Note: UTF8 BOM "
        "is not supported.\n";
    kd->Popupf(1, fmt, GetFileName(), c, c);
    kd->PrintDebugf(KD_LOG_WARNING, fmt, GetFileName(), c, c);
    return false;
}

bool XMLReader::OpenFile(const char* name, bool native) {
    CloseFile();
    data.clear();
    damaged = false;
    damageLine = 0;
    size = position = 0;
    if (!name || !*name) return false;
    fileName = nStringDuplicate(name);

    if (native) {
        FILE* f = fopen(name, "rb");
        if (!f) return false;
        bool ok = fseek(f, 0, SEEK_END) == 0;
        long n = ok ? ftell(f) : -1;
        ok = n >= 0 && n < 0x7fffffff && fseek(f, 0, SEEK_SET) == 0;
        if (ok) {
            data.resize((size_t)n + 1);
            ok = fread(data.data(), 1, (size_t)n, f) == (size_t)n;
        }
        fclose(f);
        if (!ok) {
            data.clear();
            return false;
        }
        size = (int)n;
    } else {
        kd_file_t* f = kd->OpenFile(name, "rb");
        if (!f) return false;
        bool ok = kd->SetFilePosition(f, 0, SEEK_END);
        long n = ok ? kd->GetFilePosition(f) : -1;
        ok = n >= 0 && n < 0x7fffffff && kd->SetFilePosition(f, 0, SEEK_SET);
        if (ok) {
            data.resize((size_t)n + 1);
            ok = n == 0 || kd->ReadFile(data.data(), (unsigned)n, f) == (unsigned)n;
        }
        kd->CloseFile(f);
        if (!ok) {
            data.clear();
            return false;
        }
        size = (int)n;
    }
    data[size] = 0;
    return CheckFirstByte();
}

bool XMLReader::OpenFileInMemory(const void* bytes, int n) {
    CloseFile();
    data.clear();
    damaged = false;
    damageLine = 0;
    size = position = 0;
    if (!bytes || n < 4) return false;
    fileName = nStringDuplicate("FromMem");
    data.assign((const char*)bytes, (const char*)bytes + n);
    data.push_back(0);
    size = n;
    return CheckFirstByte();
}

int XMLReader::LineAt(int offset) const {
    int line = 1;
    for (int i = 0; i < offset && i < size; i++)
        if (data[i] == '\n') line++;
    return line;
}

void XMLReader::MarkDamaged() {
    if (!damaged) damageLine = LineAt(position > 0 ? position - 1 : 0);
    damaged = true;
}

void XMLReader::PrintParsingError(const char* what, int ch) {
    int line = 0;
    for (int i = 0; i < position && i < size; i++)
        if (data[i] == '\n') line++;
    int from = position > 0 ? position - 1 : 0;
    std::string around(data.data() + from, (size_t)(size - from < 254 ? size - from : 254));
    const char* fmt = "Parsing error (%s) around line %d in XML '%s'. Unexpected character '%c' (%x) at:\n'%s'\n";
    kd->Popupf(1, fmt, what, line, GetFileName(), ch, ch & 0xff, around.c_str());
    kd->PrintDebugf(KD_LOG_WARNING, fmt, what, line, GetFileName(), ch, ch & 0xff, around.c_str());
}

const char* XMLReader::GetNextBlock() {
    buffer.clear();
    bool inTag = false, inQuotes = false;
    while (position < size) {
        char c = data[position];
        if (inQuotes) {
            buffer += c;
            position++;
            if (c == '"' && !EscapedAt(buffer.data(), buffer.data() + buffer.size() - 1)) inQuotes = false;
            continue;
        }
        if (c == '"') {
            buffer += c;
            position++;
            inQuotes = true;
            continue;
        }
        if (!inTag) {
            if (c == '<') {
                if (!OnlyWhitespace(buffer.c_str())) return buffer.c_str();
                buffer = "<";
                inTag = true;
                position++;
                continue;
            }
            if (c == '>') PrintParsingError("not expecting '>'", c);
            buffer += c;
            position++;
            continue;
        }
        position++;
        char last = buffer.empty() ? 0 : buffer.back();
        if (IsSpace((unsigned char)c)) {
            if (last && last != ' ' && last != '<' && last != '=') buffer += ' ';
            continue;
        }
        if (c == '<' && last == '<') PrintParsingError("not expecting another '<'", c);
        if (c == '>' && last == '<') PrintParsingError("not expecting '<' yet", c);
        if (c == '=') {
            if (last == ' ') buffer.pop_back();
            buffer += c;
            continue;
        }
        if (c == '>') {
            size_t n = buffer.size();
            if (n >= 2 && buffer[n - 2] == ' ' && buffer[n - 1] == '/') {
                buffer.erase(n - 2);
                buffer += "/>";
            } else if (last == ' ') {
                buffer.back() = '>';
            } else {
                buffer += '>';
            }
            return buffer.c_str();
        }
        buffer += c;
        size_t n = buffer.size();
        if (n >= 4 && buffer.compare(n - 4, 4, "<!--") == 0) {
            buffer.erase(n - 4);
            // Skip the comment; the in-tag state stays, so a comment may
            // stand between blocks or inside a tag.
            bool closed = false;
            while (position < size) {
                if (strncmp(&data[position], "-->", 3) == 0) {
                    position += 3;
                    closed = true;
                    break;
                }
                if (strncmp(&data[position], "<!-", 3) == 0)
                    PrintParsingError("New comment block start within a comment block.", data[position]);
                position++;
            }
            if (!closed) {
                MarkDamaged();
                PrintParsingError("Comment block not ended properly.", 0);
            }
        }
    }
    if (inTag || (inQuotes && !OnlyWhitespace(buffer.c_str()))) MarkDamaged();
    return nullptr;
}

char* XMLReader::SeekParmEnd(char* s) {
    char* start = s;
    bool inQuotes = false;
    for (; *s; s++) {
        if (*s == '"') {
            if (!inQuotes)
                inQuotes = true;
            else if (!EscapedAt(start, s))
                inQuotes = false;
            continue;
        }
        if (inQuotes) continue;
        if (*s == ' ' || *s == '>') return s;
        if (*s == '/' && s[1] == '>') return s;
    }
    return s;
}

void XMLReader::FormattedStringToBinaryString(char* s) {
    if (!s) return;
    char* out = s;
    while (*s) {
        if (*s != '\\') {
            *out++ = *s++;
            continue;
        }
        char e = s[1];
        if (!e) break;  // a lone trailing backslash carries nothing
        s += 2;
        switch (e) {
            case 'n': *out++ = '\n'; break;
            case 'r': *out++ = '\r'; break;
            case 't': *out++ = '\t'; break;
            case '"': *out++ = '"'; break;
            case '\\': *out++ = '\\'; break;
            default: break;  // unknown escapes are dropped
        }
    }
    *out = 0;
}

void XMLReader::ParseXMLEntities(char* s) {
    if (!s) return;
    char* out = s;
    while (*s) {
        if (strncmp(s, "&quot;", 6) == 0) {
            *out++ = '"';
            s += 6;
        } else if (strncmp(s, "&amp;", 5) == 0) {
            // The writer turns '&' into "&amp;" so a value holding
            // "&quot;" as text survives a save and load.
            *out++ = '&';
            s += 5;
        } else {
            *out++ = *s++;
        }
    }
    *out = 0;
}

XMLBlock* XMLReader::ReadNextBlock() {
    if (position >= size) return nullptr;
    if (!GetNextBlock()) return nullptr;
    block.tag = nullptr;
    block.count = 0;
    block.end = false;
    block.names.clear();
    block.values.clear();
    char* s = &buffer[0];
    if (s[0] != '<') {
        block.count = 1;
        block.names.push_back("DATA");
        block.values.push_back(s);
        return &block;
    }
    char* p = s + 1;
    if (*p == '/') {
        block.end = true;
        p++;
    }
    block.tag = p;
    while (*p && *p != ' ' && *p != '>') p++;
    if (*p != ' ') {
        if (p > block.tag && p[-1] == '/') {
            p[-1] = 0;
            block.end = true;
        }
        *p = 0;
        return &block;
    }
    *p++ = 0;
    for (;;) {
        char* name = p;
        char* eq = strchr(p, '=');
        if (!eq) {
            MarkDamaged();
            kd->PrintDebugf(KD_LOG_WARNING, "XMLReader Parsing Error1 at %d/%d\n", position, size);
            return nullptr;
        }
        *eq = 0;
        char* value = eq + 1;
        char* end = SeekParmEnd(value);
        char after = *end;
        char next = after ? end[1] : 0;
        *end = 0;
        if (*value == '"') value++;
        size_t len = strlen(value);
        if (len && value[len - 1] == '"' && !EscapedAt(value, value + len - 1)) value[len - 1] = 0;
        FormattedStringToBinaryString(value);
        ParseXMLEntities(value);
        block.names.push_back(name);
        block.values.push_back(value);
        block.count++;
        if (after == '>' || after == 0 || (after == '/' && next == '>')) break;
        p = end + 1;
    }
    return &block;
}
