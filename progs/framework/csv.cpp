#include "csv.h"

#include <stdio.h>
#include <stdlib.h>

void CSVReader::CloseFile() {
    open = false;
    columns.clear();
    data.clear();
    position = 0;
}

const char* CSVReader::GetColumnName(int index) const {
    if (index < 0 || index >= (int)columns.size()) return nullptr;
    return columns[index].c_str();
}

bool CSVReader::OpenFile(const char* name) {
    CloseFile();
    if (!name || !*name) return false;
    kd_file_t* f = kd->OpenFile(name, "rb");
    if (!f) return false;
    bool ok = kd->SetFilePosition(f, 0, SEEK_END);
    long n = ok ? kd->GetFilePosition(f) : -1;
    ok = n >= 0 && n < 0x7fffffff && kd->SetFilePosition(f, 0, SEEK_SET);
    if (ok) {
        data.resize((size_t)n);
        ok = n == 0 || kd->ReadFile(data.data(), (unsigned)n, f) == (unsigned)n;
    }
    kd->CloseFile(f);
    if (!ok) {
        kd->PrintDebugf(KD_LOG_WARNING, "CSV file '%s' could not be read.\n", name);
        data.clear();
        return false;
    }
    open = true;

    // Count the header's columns. A header that ends at the end of the
    // file without a line feed still counts its last name.
    int count = 0, i = 0;
    bool any = false;
    for (; i < (int)data.size(); i++) {
        char c = data[i];
        if (c == separator) {
            count++;
            any = false;
        } else if (c == lineEnd) {
            count++;
            any = false;
            break;
        } else if (c != '\r') {
            any = true;
        }
    }
    if (i >= (int)data.size() && any) count++;

    position = 0;
    columns.resize((size_t)count);  // set before reading: no columns, no cells
    char cell[512];
    for (int c = 0; c < count; c++) {
        const char* got = ReadNextAsString(cell, 511);
        columns[c] = got ? got : "";
    }
    return true;
}

char* CSVReader::ReadNextAsString(char* buf, int max) {
    if (!open || columns.empty() || !buf || max < 1 || EndOfFile()) return nullptr;
    int stored = 0;
    bool any = false;
    while (position < (int)data.size()) {
        char c = data[position++];
        if (c == '\r') continue;
        if (c == separator || c == lineEnd) {
            buf[stored] = 0;
            return buf;
        }
        any = true;
        if (stored < max) buf[stored++] = c;
    }
    // The file ended inside the cell: a last cell without a line feed is
    // still a cell, whatever its length.
    buf[stored] = 0;
    return any ? buf : nullptr;
}

int CSVReader::ReadNextAsInt() {
    char cell[257];
    return ReadNextAsString(cell, 256) ? atoi(cell) : 0;
}

float CSVReader::ReadNextAsFloat() {
    char cell[257];
    return ReadNextAsString(cell, 256) ? (float)atof(cell) : 0.0f;
}
