// Reader for semicolon-separated tables through the engine's files, one
// cell at a time. The first line names the columns. No quoting: a cell
// can't hold the separator or a line feed; CR is dropped wherever it
// stands.
#ifndef FRAMEWORK_CSV_H
#define FRAMEWORK_CSV_H

#include <string>
#include <vector>

#include "framework-kd.h"
#include "kodo.h"

class CSVReader {
public:
    CSVReader() {}
    ~CSVReader() { CloseFile(); }

    bool OpenFile(const char* name);
    // Next cell, at most `max` characters (the rest of a longer cell is
    // skipped); `buf` must hold max + 1 bytes. Null when there is none.
    char* ReadNextAsString(char* buf, int max);
    int ReadNextAsInt();
    float ReadNextAsFloat();
    int GetNumberOfColumns() const { return (int)columns.size(); }
    const char* GetColumnName(int index) const;
    bool EndOfFile() const { return position >= (int)data.size(); }
    void CloseFile();

private:
    bool open = false;
    std::vector<std::string> columns;
    std::vector<char> data;  // the whole file, read at open
    int separator = ';';
    int lineEnd = '\n';
    int position = 0;
};

#endif
