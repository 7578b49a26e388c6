// The engine's small pull parser for its own XML files. A whole document
// is held in memory and handed out one block at a time: an element tag
// with its attributes, a closing tag, or a run of text. No entities, no
// namespaces, no encodings; attributes only as name=value pairs.
#ifndef KD_XML_H
#define KD_XML_H

#define KD_XML_MAX_ATTRIBUTES 128

// One block. `names` and `values` point into the reader's block buffer and
// stay valid until the next ReadNextBlock. A text block has `tag` null and
// one attribute "DATA" holding the text.
struct kd_xml_block_t {
    char* tag;
    int count;
    char* names[KD_XML_MAX_ATTRIBUTES];
    char* values[KD_XML_MAX_ATTRIBUTES];
    bool end;      // closing tag or self-closing element
    bool closing;  // a closing tag "</name>" (end is set too)
};

class KD_XMLReader {
public:
    KD_XMLReader();
    ~KD_XMLReader();
    KD_XMLReader(const KD_XMLReader&) = delete;
    KD_XMLReader& operator=(const KD_XMLReader&) = delete;

    // With `native` the file is read with standard I/O, otherwise through
    // the engine's files. False for a missing file or one whose first
    // non-blank byte is not '<'.
    bool OpenFile(const char* name, bool native);
    // False when size < 4 (the length of "<x/>"). The bytes are copied.
    bool OpenFileInMemory(const void* data, int size);
    void CloseFile();

    kd_xml_block_t* ReadNextBlock();
    bool EndOfFile() const { return position >= size; }
    int GetDepth() const { return 0; }
    static bool OnlyWhitespace(const char* text);

    // Number of parse errors reported since the document was opened.
    int GetErrorCount() const { return errors; }
    // Line (from 1) of the first damage the reader met, 0 for none; the
    // database loader names it when it keeps what came before.
    int GetDamageLine() const { return damage_line; }
    // Line (from 1) of the next unread byte.
    int GetLine() const { return LineAt(position); }
    bool Stopped() const { return stopped; }
    const char* GetName() const { return name ? name : ""; }

private:
    bool SetDocument(char* bytes, int length);  // takes ownership of bytes
    bool CheckFirstCharacter();
    int GetNextBlock();  // collected length, 0 when nothing is left
    bool Append(char c);
    // `counts` false for oddities that the reader tolerates and that do not
    // make the document malformed.
    void Report(const char* what, bool counts = true);
    bool ParseBlock(int length);
    int LineAt(int offset) const;
    void MarkDamage();

    char* name = nullptr;
    char* data = nullptr;
    int size = 0;
    int position = 0;
    int errors = 0;
    int damage_line = 0;
    bool stopped = false;  // a block could not be parsed: the rest is unread
    char* buffer = nullptr;  // the collected block; grows with the block
    int buffer_capacity = 0;
    int buffer_length = 0;
    kd_xml_block_t block;
};

#endif
