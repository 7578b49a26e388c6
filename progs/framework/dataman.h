// Small in-memory databases of string values: a database holds named
// arrays, an array holds nodes, a node holds named values. Read from XML
// (".xml", ".dat") or semicolon-separated CSV (".csv"), written as XML.
// `dman` caches databases by file name so every caller shares one copy.
#ifndef FRAMEWORK_DATAMAN_H
#define FRAMEWORK_DATAMAN_H

#include <string>

#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

// A value as the database writer puts it between double quotes: the
// reader gives back exactly the text. Every writer of files that the
// databases read uses it for the values it writes.
std::string DMEscapeValue(const char* text);
// Its length, without making it.
size_t DMEscapedBytes(const char* text);

class DMValue {
public:
    DMValue(const char* name, const char* value);
    explicit DMValue(const DMValue* other);
    ~DMValue();
    DMValue(const DMValue&) = delete;
    DMValue& operator=(const DMValue&) = delete;

    const char* GetName() const { return name; }
    const char* GetValue() const { return value; }
    int GetValueInt() const { return value ? atoi(value) : 0; }
    float GetValueFloat() const { return value ? (float)atof(value) : 0.0f; }
    void SetValue(const char* v);  // null leaves the value unchanged
    void SetValueInt(int v);
    void SetValueFloat(float v);

private:
    char* name;
    char* value;
};

class DMNode {
public:
    explicit DMNode(const char* id);  // a non-null id is also the value "id"
    ~DMNode();
    DMNode(const DMNode&) = delete;
    DMNode& operator=(const DMNode&) = delete;

    const char* GetId() const { return id; }
    int GetNumberOfValues() const { return count; }
    DMValue* GetValueAt(int i) const { return i >= 0 && i < count ? values[i] : nullptr; }
    const char* GetValue(const char* name) const;
    // Setting "id" renames the node.
    void SetValue(const char* name, const char* value);
    void RemoveValue(const char* name);
    // Appends without looking for an existing value of that name (files
    // may repeat a name; every attribute is kept).
    void AppendValue(const char* name, const char* value);
    void SetIdRaw(const char* newId);

private:
    char* id = nullptr;
    DMValue** values = nullptr;
    int count = 0;
};

class DMArray {
public:
    explicit DMArray(const char* id);
    ~DMArray();
    DMArray(const DMArray&) = delete;
    DMArray& operator=(const DMArray&) = delete;

    const char* GetId() const { return id; }
    int GetSize() const { return nodes.count; }
    int GetCapacity() const { return nodes.capacity; }
    DMNode* GetNode(int index) const;
    DMNode* GetNode(const char* id) const;
    int GetNodeIndexById(const char* id) const;
    DMNode* AddNode(const char* id);
    void RemoveNode(int index);
    bool RemoveNode(const char* id);
    const char* GetNodeValue(int index, const char* name) const;
    const char* GetNodeValue(const char* id, const char* name) const;
    void SetValue(const char* node, const char* name, const char* value);
    // Takes ownership of a node built elsewhere (the XML loader).
    void AppendNode(DMNode* node);

private:
    char* id;
    nArray<DMNode*> nodes;
};

class DMDatabase {
public:
    DMDatabase() {}
    ~DMDatabase() { Free(); }
    DMDatabase(const DMDatabase&) = delete;
    DMDatabase& operator=(const DMDatabase&) = delete;

    const char* GetFileName() const { return fileName; }
    void SetFileName(const char* name);
    int GetNumberOfArrays() const { return arrays.count; }
    DMArray* GetArray(int index) const;
    DMArray* GetArray(const char* id) const;  // null: the first array without id
    int GetArraySize(const char* id) const;
    const char* GetValue(const char* array, int index, const char* name) const;
    const char* GetValue(const char* array, const char* node, const char* name) const;
    DMArray* AddArray(const char* id);
    bool RemoveArray(const char* id);
    void SetValue(const char* array, const char* node, const char* name, const char* value);

    bool Load(const char* file);
    bool LoadXML(const char* file);
    bool LoadCSV(const char* file);
    // Null writes back to the file the database came from.
    bool Save(const char* file = nullptr);
    bool SaveXML(const char* file);
    void Free();
    // The bytes SaveXML writes: the whole file, the part of one array
    // without its nodes, and one node's part.
    size_t WrittenBytes() const;
    static size_t WrittenBytes(const DMArray* array);
    static size_t WrittenBytes(const DMNode* node);

private:
    void FreeArrays();
    // The file's text in pieces, to `put(text, length)`; `file` names the
    // file in the line about a value left out (null: no line).
    template <class Put>
    static void WriteArray(const DMArray* array, bool head, Put& put);
    template <class Put>
    static void WriteNode(const DMNode* node, Put& put, const char* file);
    char* fileName = nullptr;
    nArray<DMArray*> arrays;
};

// How many changes all databases have had: a caller that remembers it
// knows whether anything changed since (a save asked for again). Changes
// on other threads (a loader's) count too.
unsigned long DMChangeCount();

class DataMan {
public:
    DataMan() {}
    ~DataMan();
    DMDatabase* GetDatabase(const char* file);
    DMDatabase* CreateDatabase(const char* name);
    void ReleaseDatabase(DMDatabase* db);
    void ReleaseDatabase(const char* name);
    int GetArraySize(const char* file, const char* array);
    const char* GetValue(const char* file, const char* array, const char* node, const char* name);
    const char* GetValue(const char* file, const char* array, int index, const char* name);
    const char* QueryValue(const char* command);
    int QueryArraySize(const char* command);
    int GetNumberOfDatabases() const { return databases.count; }
    // The cached database of a file, or null when nothing has opened it.
    DMDatabase* Find(const char* name) const;

private:
    nArray<DMDatabase*> databases;
};

extern DataMan dman;

// The place in the data tree that `file` names, as the game looks it up,
// so that every spelling of one file gets one answer: without its scheme
// ("user://", "res://") or the tools' leading "data/", a native path under
// either tree as the engine's name of it, "." and empty segments left
// out, ".." taking the segment before it, '\\' read as '/', a linked
// folder of the user tree followed to where it leads, in lower case.
// False when it leads out of its tree.
bool DataTreePath(const char* file, std::string* out);
// Whether `file` ends in `ext` (".xml"), in any case: the loader's test of
// a database's kind.
bool HasFileExtension(const char* file, const char* ext);

// The name of the copy kept of a player's file that did not load: the
// file's name with this added (then "-2", "-3" for a copy of other bytes).
constexpr char kDamagedCopySuffix[] = ".damaged";

// True for a name of the player's own files (profiles, their index and saves,
// play logs, the files the services add, and the copies kept of a damaged
// one), in any spelling (DataTreePath). Data that only reads content
// (worlds, actors) refuses them.
bool IsPlayerFile(const char* name);
// A file of the player's own outside the profiles and logs folders ("user://"
// and its name), added by the service that keeps it when the program adds
// its steps, whether or not the service is then started.
void AddPlayerFile(const char* name);

// The data the game reads by name as something else (its settings,
// timeline, tables, layouts, scripts, pictures and sounds): paths of the
// data tree in lower case, a folder's ending in '/', '*' standing for any
// part of one segment. The layer that knows those files hands the list
// down at start-up; until then only the player's files are reserved.
void SetReservedDataNames(const char* const* names, int count);
// Why `file` may hold no world or actor definition, or null when it may:
// "a place outside its folder", "a player file" or "a data file the game
// reads as something else".
const char* ReservedFileReason(const char* file);
// The one line of every refusal to read or write a file by name: with a
// reason, "<what> '<file>' names <why>; not <done>." (ReportDataFault) and
// true; without one, false.
bool RefuseFile(const char* file, const char* why, const char* what, const char* done);
// RefuseFile with ReservedFileReason.
bool RefuseReservedFile(const char* file, const char* what, const char* done);

#endif
