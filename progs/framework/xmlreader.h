// Pull reader for the framework's XML data files: hands out one block at
// a time (a normalised tag with its attributes, or the text between two
// tags). No tree, no nesting checks.
#ifndef FRAMEWORK_XMLREADER_H
#define FRAMEWORK_XMLREADER_H

#include <string>
#include <vector>

#include "framework-kd.h"
#include "kodo.h"

// One block. Every pointer points into the reader and stays valid only
// until the next ReadNextBlock.
struct XMLBlock {
    const char* tag = nullptr;  // null for a text block
    int count = 0;              // attributes (1 for a text block: "DATA")
    std::vector<const char*> names;
    std::vector<const char*> values;
    bool end = false;  // </name> or <name/> without attributes
};

class XMLReader {
public:
    XMLReader();
    ~XMLReader();

    // `native` reads with the C library instead of the engine's files.
    bool OpenFile(const char* name, bool native = false);
    bool OpenFileInMemory(const void* data, int size);
    XMLBlock* ReadNextBlock();
    bool EndOfFile() const { return position >= size; }
    int GetDepth() const { return depth; }
    void CloseFile();
    const char* GetFileName() const { return fileName ? fileName : ""; }
    // True once the data turned out to be cut short or malformed beyond
    // repair (an unterminated tag, quote or comment, an attribute without
    // '='), so that callers can refuse a half-read file.
    bool IsDamaged() const { return damaged; }
    // Line (from 1) where the damage was met, or of the next unread byte.
    int GetDamageLine() const { return damageLine ? damageLine : LineAt(position); }

    static bool OnlyWhitespace(const char* s);
    // Backslash escapes, in place.
    static void FormattedStringToBinaryString(char* s);
    // "&quot;" and "&amp;", in place.
    static void ParseXMLEntities(char* s);

private:
    const char* GetNextBlock();
    void PrintParsingError(const char* what, int ch);
    bool CheckFirstByte();
    char* SeekParmEnd(char* s);
    void MarkDamaged();
    int LineAt(int offset) const;

    char* fileName = nullptr;
    int depth = 0;
    bool damaged = false;
    int damageLine = 0;
    int size = 0;
    int position = 0;
    XMLBlock block;
    // The block text grows with its input: a long value must never be cut.
    std::string buffer;
    std::vector<char> data;
};

#endif
