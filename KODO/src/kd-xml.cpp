// The engine XML reader: one block (tag, closing tag or text) at a time.
#include "kd-xml.h"

#include "kd-internal.h"

static char kd_xml_data_name[] = "DATA";

// Engine files are read in pieces until the file layer says there is no
// more; this bounds a single document so a broken handle cannot make the
// reader allocate without end.
static const int KD_XML_MAX_DOCUMENT = 64 * 1024 * 1024;

static inline bool IsXmlSpace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

KD_XMLReader::KD_XMLReader() {
    buffer_capacity = 4096;
    buffer = (char*)malloc((size_t)buffer_capacity);
    if (!buffer) buffer_capacity = 0;
    memset(&block, 0, sizeof block);
}

KD_XMLReader::~KD_XMLReader() {
    free(name);
    free(data);
    free(buffer);
}

bool KD_XMLReader::OnlyWhitespace(const char* text) {
    if (!text) return true;
    for (; *text; text++)
        if (!IsXmlSpace(*text)) return false;
    return true;
}

void KD_XMLReader::CloseFile() {
    free(name);
    name = nullptr;
}

bool KD_XMLReader::SetDocument(char* bytes, int length) {
    free(data);
    data = bytes;
    size = length;
    position = 0;
    errors = 0;
    damage_line = 0;
    stopped = false;
    buffer_length = 0;
    return data != nullptr;
}

bool KD_XMLReader::CheckFirstCharacter() {
    int i = 0;
    while (i < size && IsXmlSpace(data[i])) i++;
    if (i >= size) return true;  // an empty document reads as no blocks
    if (data[i] == '<') return true;
    unsigned char c = (unsigned char)data[i];
    KD_Popupf(1,
              "First non-whitespace char in XML document needs to be '<'. First char in '%s' is #%d '%c'. Note: "
              "UTF8 BOM is not supported.\n",
              GetName(), (int)c, (char)c);
    KD_PrintDebugf(KD_LOG_ERROR, "KD_XML '%s' does not start with '<' (first byte %d); not read.\n", GetName(), (int)c);
    return false;
}

// Reads pieces until the source runs dry; the result always ends in a NUL.
// False when memory runs out or the document is too large.
template <class F>
static bool ReadWhole(char** out, long* out_length, F read) {
    char* bytes = nullptr;
    long length = 0, capacity = 0;
    for (;;) {
        if (length + 4096 + 1 > capacity) {
            if (capacity > KD_XML_MAX_DOCUMENT) {
                *out = bytes;
                *out_length = length;
                return false;
            }
            long grown = capacity ? capacity * 2 : 8192;
            char* more = (char*)realloc(bytes, (size_t)grown);
            if (!more) {
                *out = bytes;
                return false;
            }
            bytes = more;
            capacity = grown;
        }
        long n = read(bytes + length, 4096);
        if (n <= 0) break;
        if (n > 4096) n = 4096;
        length += n;
    }
    if (!bytes) bytes = (char*)malloc(1);
    *out = bytes;
    *out_length = length;
    if (!bytes) return false;
    bytes[length] = 0;
    return true;
}

bool KD_XMLReader::OpenFile(const char* file, bool native) {
    CloseFile();
    SetDocument(nullptr, 0);
    if (!file || !*file) return false;

    char* bytes = nullptr;
    long length = 0;
    bool ok;
    if (native) {
        FILE* fp = KDI_OpenRegularFile(file, "rb");
        if (!fp) return false;
        ok = ReadWhole(&bytes, &length, [fp](char* dst, long n) -> long { return (long)fread(dst, 1, (size_t)n, fp); });
        if (ferror(fp)) ok = false;
        fclose(fp);
    } else {
        kd_file_t* f = KD_OpenFile(file, "rb");
        if (!f) return false;
        ok = ReadWhole(&bytes, &length,
                       [f](char* dst, long n) -> long { return (long)KD_ReadFile(dst, (unsigned int)n, f); });
        KD_CloseFile(f);
    }
    if (!ok) {
        free(bytes);
        KD_PrintDebugf(KD_LOG_ERROR, "KD_XML '%s' could not be read.\n", file);
        return false;
    }
    name = nStringDuplicate(file);
    SetDocument(bytes, (int)length);
    return CheckFirstCharacter();
}

bool KD_XMLReader::OpenFileInMemory(const void* bytes, int length) {
    CloseFile();
    SetDocument(nullptr, 0);
    if (!bytes || length < 4) return false;
    char* copy = (char*)malloc((size_t)length + 1);
    if (!copy) return false;
    memcpy(copy, bytes, (size_t)length);
    copy[length] = 0;
    name = nStringDuplicate("FromMem");
    return SetDocument(copy, length);
}

// The block buffer grows with the block (it can never outgrow the document),
// so a long value is never cut.
bool KD_XMLReader::Append(char c) {
    if (buffer_length + 1 >= buffer_capacity) {
        int grown = buffer_capacity ? buffer_capacity * 2 : 4096;
        char* more = (char*)realloc(buffer, (size_t)grown);
        if (!more) {
            Report("buffer overrun");
            return false;
        }
        buffer = more;
        buffer_capacity = grown;
    }
    buffer[buffer_length++] = c;
    buffer[buffer_length] = 0;
    return true;
}

int KD_XMLReader::LineAt(int offset) const {
    int line = 1;
    for (int i = 0; i < offset && i < size; i++)
        if (data[i] == '\n') line++;
    return line;
}

void KD_XMLReader::MarkDamage() {
    errors++;
    if (!damage_line) damage_line = LineAt(position > 0 ? position - 1 : 0);
}

void KD_XMLReader::Report(const char* what, bool counts) {
    if (counts) MarkDamage();
    int at = position > 0 ? position - 1 : 0;
    int line = LineAt(position) - 1;
    char context[255];
    int n = 0;
    for (int i = at; i < size && n < 254; i++) context[n++] = data[i];
    context[n] = 0;
    unsigned char c = at < size ? (unsigned char)data[at] : 0;
    KD_Popupf(1, "Parsing error (%s) around line %d in KD_XML '%s'. Unexpected character '%c' (%x) at:\n'%s'\n", what,
              line, GetName(), (char)c, (unsigned)c, context);
}

int KD_XMLReader::GetNextBlock() {
    buffer_length = 0;
    if (!buffer) return 0;
    buffer[0] = 0;
    bool in_tag = false, in_quote = false, escape = false;

    while (position < size) {
        char c = data[position++];

        if (in_tag && in_quote) {
            // Quoted values pass unchanged; an escaped quote does not end them.
            Append(c);
            if (escape)
                escape = false;
            else if (c == '\\')
                escape = true;
            else if (c == '"')
                in_quote = false;
            continue;
        }

        if (!in_tag) {
            if (c == '<') {
                if (!OnlyWhitespace(buffer)) {
                    position--;  // the tag is the next block
                    return buffer_length;
                }
                buffer_length = 0;
                Append('<');
                in_tag = true;
                continue;
            }
            if (c == '>') Report("not expecting '>'", false);
            Append(c);
            continue;
        }

        char last = buffer_length > 0 ? buffer[buffer_length - 1] : 0;
        if (c == '"') {
            in_quote = true;
            escape = false;
            Append(c);
        } else if (IsXmlSpace(c)) {
            if (last != ' ' && last != '<' && last != '=') Append(' ');
        } else if (c == '=') {
            if (last == ' ') buffer_length--;
            Append('=');
        } else if (c == '<') {
            Report("not expecting another '<'");
        } else if (c == '>') {
            if (buffer_length <= 1) {
                Report("not expecting '<' yet");
                buffer_length = 0;
                buffer[0] = 0;
                in_tag = false;
                continue;
            }
            if (last == ' ') buffer_length--;
            if (buffer_length >= 3 && buffer[buffer_length - 1] == '/' && buffer[buffer_length - 2] == ' ') {
                buffer[buffer_length - 2] = '/';
                buffer_length--;
            }
            buffer[buffer_length] = 0;
            Append('>');
            return buffer_length;
        } else {
            Append(c);
            if (buffer_length == 4 && memcmp(buffer, "<!--", 4) == 0) {
                // Skip the comment and go on as if it had not been there.
                bool closed = false;
                while (position < size) {
                    if (position + 2 < size && data[position] == '-' && data[position + 1] == '-' &&
                        data[position + 2] == '>') {
                        position += 3;
                        closed = true;
                        break;
                    }
                    if (position + 2 < size && data[position] == '<' && data[position + 1] == '!' &&
                        data[position + 2] == '-') {
                        position++;
                        Report("New comment block start within a comment block.", false);
                        continue;
                    }
                    position++;
                }
                if (!closed) Report("Comment block not ended properly.");
                buffer_length = 0;
                buffer[0] = 0;
                in_tag = false;
            }
        }
    }

    if (in_tag) {
        Report("tag not closed before the end of the document");
        buffer_length = 0;
        buffer[0] = 0;
        return 0;
    }
    if (OnlyWhitespace(buffer)) return 0;
    return buffer_length;
}

static void Unescape(char* v) {
    char* r = v;
    char* w = v;
    while (*r) {
        if (*r != '\\') {
            *w++ = *r++;
            continue;
        }
        char n = r[1];
        if (!n) break;
        switch (n) {
            case 'n': *w++ = '\n'; break;
            case 'r': *w++ = '\r'; break;
            case 't': *w++ = '\t'; break;
            case '"': *w++ = '"'; break;
            case '\\': *w++ = '\\'; break;
            default: break;  // unknown pairs are dropped
        }
        r += 2;
    }
    *w = 0;
}

bool KD_XMLReader::ParseBlock(int length) {
    block.tag = nullptr;
    block.count = 0;
    block.end = false;
    block.closing = false;

    if (buffer[0] != '<') {
        block.count = 1;
        block.names[0] = kd_xml_data_name;
        block.values[0] = buffer;
        return true;
    }

    // Drop the angle brackets: the block is "<...>".
    buffer[length - 1] = 0;
    char* p = buffer + 1;
    if (*p == '/') {
        block.end = true;
        block.closing = true;
        p++;
    }
    block.tag = p;
    while (*p && *p != ' ' && *p != '/') p++;
    char sep = *p;
    if (sep) *p++ = 0;
    if (sep == '/') {
        block.end = true;
        return true;
    }
    if (sep == 0) return true;

    for (;;) {
        while (*p == ' ') p++;
        if (!*p) break;
        if (*p == '/' && p[1] == 0) {
            block.end = true;
            break;
        }
        if (*p == '?' && p[1] == 0) break;  // end of "<?xml ... ?>"

        char* attr_name = p;
        while (*p && *p != '=' && *p != ' ') p++;
        if (*p != '=') {
            MarkDamage();
            stopped = true;
            KD_Printf("KD_XMLReader Parsing Error1 at %d/%d\n", position, size);
            return false;
        }
        *p++ = 0;

        char* value;
        bool self_closing = false;
        if (*p == '"') {
            value = ++p;
            bool esc = false;
            while (*p) {
                if (esc)
                    esc = false;
                else if (*p == '\\')
                    esc = true;
                else if (*p == '"')
                    break;
                p++;
            }
            if (*p != '"') {
                MarkDamage();
                stopped = true;
                KD_Printf("KD_XMLReader Parsing Error2 at %d/%d\n", position, size);
                return false;
            }
            *p++ = 0;
        } else {
            value = p;
            while (*p && *p != ' ' && !((*p == '/' || *p == '?') && p[1] == 0)) p++;
            if (*p == '/') self_closing = true;
            if (*p) *p++ = 0;
        }
        Unescape(value);

        if (block.count < KD_XML_MAX_ATTRIBUTES) {
            block.names[block.count] = attr_name;
            block.values[block.count] = value;
            block.count++;
            // Raised as the last slot fills: the element may have had more.
            if (block.count == KD_XML_MAX_ATTRIBUTES)
                KD_Popupf(1, "Too many blocks (%d limit) in object '%s' in xml '%s'.\n", KD_XML_MAX_ATTRIBUTES,
                          block.tag, GetName());
        }
        if (self_closing) {
            block.end = true;
            break;
        }
    }
    return true;
}

kd_xml_block_t* KD_XMLReader::ReadNextBlock() {
    if (!buffer || !data || position >= size) return nullptr;
    int length = GetNextBlock();
    if (length <= 0) return nullptr;
    if (!ParseBlock(length)) return nullptr;
    return &block;
}
