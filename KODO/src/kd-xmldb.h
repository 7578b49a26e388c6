// The engine's own small databases: named arrays of nodes of named string
// values, read from and written to one XML layout. Program settings, font
// generation and shader descriptions live in them.
#ifndef KD_XMLDB_H
#define KD_XMLDB_H

#include "include/nstring.h"

class KD_DMValue {
public:
    char* name = nullptr;
    char* value = nullptr;

    KD_DMValue() {}
    KD_DMValue(const KD_DMValue& o);
    KD_DMValue& operator=(const KD_DMValue& o);
    ~KD_DMValue();

    const char* GetValue() const { return value; }
    int GetValueInt() const { return value ? atoi(value) : 0; }
    float GetValueFloat() const { return value ? (float)atof(value) : 0.0f; }
    void SetValue(const char* text);
    void SetValueInt(int i);
    void SetValueFloat(float f);
};

class KD_DMNode {
public:
    char* name = nullptr;  // the node's "id"
    KD_DMValue* values = nullptr;
    int count = 0;

    KD_DMNode() {}
    KD_DMNode(const KD_DMNode&) = delete;
    KD_DMNode& operator=(const KD_DMNode&) = delete;
    ~KD_DMNode();

    const char* GetValue(const char* value_name) const;
    KD_DMValue* FindValue(const char* value_name) const;
    void SetValue(const char* value_name, const char* value);
    bool RemoveValue(const char* value_name);
    // Appends without looking for an existing value of that name (the
    // loader keeps every attribute in file order).
    void AppendValue(const char* value_name, const char* value);
};

class KD_DMArray {
public:
    char* id = nullptr;
    nArray<KD_DMNode*> nodes;

    KD_DMArray() {}
    KD_DMArray(const KD_DMArray&) = delete;
    KD_DMArray& operator=(const KD_DMArray&) = delete;
    ~KD_DMArray();

    KD_DMNode* GetNode(int index) const;
    KD_DMNode* GetNode(const char* node_name) const;
    int GetSize() const { return nodes.count; }
    KD_DMNode* AddNode(const char* node_name);
    bool RemoveNode(const char* node_name);
    const char* GetNodeValue(int index, const char* value_name) const;
    const char* GetNodeValue(const char* node_name, const char* value_name) const;
    void SetValue(const char* node_name, const char* value_name, const char* value);
};

class KD_DMDatabase {
public:
    char* name = nullptr;
    nArray<KD_DMArray*> arrays;

    KD_DMDatabase() {}
    KD_DMDatabase(const KD_DMDatabase&) = delete;
    KD_DMDatabase& operator=(const KD_DMDatabase&) = delete;
    ~KD_DMDatabase() { Free(); }

    void Load(const char* path);
    bool LoadXML(const char* path);
    // Reads a document given in memory; `label` names it in messages and
    // becomes the database name when it has none.
    bool LoadXMLFromMemory(const char* label, const void* data, int size);
    bool Save(const char* path);
    bool SaveXML(const char* path);
    void Free();

    KD_DMArray* GetArray(int index) const;
    KD_DMArray* GetArray(const char* array_id) const;
    int GetNumberOfArrays() const { return arrays.count; }
    int GetArraySize(const char* array_id) const;
    KD_DMArray* AddArray(const char* array_id);
    bool RemoveArray(const char* array_id);
    const char* GetValue(const char* array_id, int index, const char* value_name) const;
    const char* GetValue(const char* array_id, const char* node_name, const char* value_name) const;
    void SetValue(const char* array_id, const char* node_name, const char* value_name, const char* value);

    // The line that named the damage of the last document read, "" when it
    // was whole. Settings files print it on stderr too: their log may not
    // exist yet.
    const char* Damage() const { return damaged; }

private:
    char damaged[512] = "";
    bool ReadDocument(class KD_XMLReader* reader, const char* label);
};

class KD_DataMan {
public:
    nArray<KD_DMDatabase*> databases;

    KD_DataMan() {}
    KD_DataMan(const KD_DataMan&) = delete;
    KD_DataMan& operator=(const KD_DataMan&) = delete;
    ~KD_DataMan();

    KD_DMDatabase* GetDatabase(const char* file);
    // The cached database of that name, or null; never loads.
    KD_DMDatabase* FindDatabase(const char* file) const;
    KD_DMDatabase* CreateDatabase(const char* db_name);
    void ReleaseDatabase(const char* db_name);
    int GetArraySize(const char* file, const char* array_id);
    const char* GetValue(const char* file, const char* array_id, const char* node_name, const char* value_name);
    const char* GetValue(const char* file, const char* array_id, int index, const char* value_name);
    const char* QueryValue(const char* command);
    int QueryArraySize(const char* command);
};

extern KD_DataMan kd_dman;

#endif
