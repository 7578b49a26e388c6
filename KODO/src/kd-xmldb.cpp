// Engine XML databases and their cache.
#include "kd-xmldb.h"

#include "kd-internal.h"
#include "kd-xml.h"

KD_DataMan kd_dman;

// ---------------------------------------------------------------- values

KD_DMValue::KD_DMValue(const KD_DMValue& o) {
    name = nStringDuplicate(o.name);
    value = nStringDuplicate(o.value);
}

KD_DMValue& KD_DMValue::operator=(const KD_DMValue& o) {
    if (this == &o) return *this;
    char* n = nStringDuplicate(o.name);
    char* v = nStringDuplicate(o.value);
    free(name);
    free(value);
    name = n;
    value = v;
    return *this;
}

KD_DMValue::~KD_DMValue() {
    free(name);
    free(value);
}

void KD_DMValue::SetValue(const char* text) {
    if (!text) return;
    char* copy = nStringDuplicate(text);  // text may be our own value
    free(value);
    value = copy;
}

void KD_DMValue::SetValueInt(int i) {
    char text[16];
    nStringFormat(text, sizeof text, "%d", i);
    SetValue(text);
}

void KD_DMValue::SetValueFloat(float f) {
    char text[32];
    nStringFormat(text, sizeof text, "%g", (double)f);
    SetValue(text);
}

// ----------------------------------------------------------------- nodes

KD_DMNode::~KD_DMNode() {
    delete[] values;
    free(name);
}

KD_DMValue* KD_DMNode::FindValue(const char* value_name) const {
    if (!value_name) return nullptr;
    for (int i = 0; i < count; i++)
        if (values[i].name && strcmp(values[i].name, value_name) == 0) return &values[i];
    return nullptr;
}

const char* KD_DMNode::GetValue(const char* value_name) const {
    KD_DMValue* v = FindValue(value_name);
    return v ? v->value : nullptr;
}

void KD_DMNode::AppendValue(const char* value_name, const char* value) {
    // The block holds exactly `count` values; the strings move over.
    KD_DMValue* block = new KD_DMValue[count + 1];
    for (int i = 0; i < count; i++) {
        block[i].name = values[i].name;
        block[i].value = values[i].value;
        values[i].name = values[i].value = nullptr;
    }
    block[count].name = nStringDuplicate(value_name);
    block[count].value = nStringDuplicate(value);
    delete[] values;
    values = block;
    count++;
}

void KD_DMNode::SetValue(const char* value_name, const char* value) {
    if (!value_name) return;
    if (strcmp(value_name, "id") == 0) {
        char* copy = nStringDuplicate(value);
        free(name);
        name = copy;
    }
    KD_DMValue* v = FindValue(value_name);
    if (v)
        v->SetValue(value);
    else
        AppendValue(value_name, value);
}

bool KD_DMNode::RemoveValue(const char* value_name) {
    if (!value_name) return false;
    for (int i = 0; i < count; i++) {
        if (!values[i].name || strcmp(values[i].name, value_name) != 0) continue;
        free(values[i].name);
        free(values[i].value);
        for (int j = i; j < count - 1; j++) {
            values[j].name = values[j + 1].name;
            values[j].value = values[j + 1].value;
        }
        values[count - 1].name = values[count - 1].value = nullptr;
        count--;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- arrays

KD_DMArray::~KD_DMArray() {
    for (int i = 0; i < nodes.count; i++) delete nodes[i];
    free(id);
}

KD_DMNode* KD_DMArray::GetNode(int index) const {
    if (index < 0 || index >= nodes.count) return nullptr;
    return nodes[index];
}

KD_DMNode* KD_DMArray::GetNode(const char* node_name) const {
    if (!node_name) return nullptr;
    for (int i = 0; i < nodes.count; i++)
        if (nodes[i]->name && strcmp(nodes[i]->name, node_name) == 0) return nodes[i];
    return nullptr;
}

KD_DMNode* KD_DMArray::AddNode(const char* node_name) {
    KD_DMNode* node = GetNode(node_name);
    if (node) return node;
    node = new KD_DMNode;
    if (node_name) {
        node->name = nStringDuplicate(node_name);
        node->AppendValue("id", node_name);
    }
    nodes.InsertLast(node);
    return node;
}

bool KD_DMArray::RemoveNode(const char* node_name) {
    if (!node_name) return false;
    for (int i = 0; i < nodes.count; i++) {
        if (nodes[i]->name && strcmp(nodes[i]->name, node_name) == 0) {
            delete nodes[i];
            nodes.RemoveIndex(i);
            return true;
        }
    }
    return false;
}

const char* KD_DMArray::GetNodeValue(int index, const char* value_name) const {
    KD_DMNode* node = GetNode(index);
    return node ? node->GetValue(value_name) : nullptr;
}

const char* KD_DMArray::GetNodeValue(const char* node_name, const char* value_name) const {
    KD_DMNode* node = GetNode(node_name);
    return node ? node->GetValue(value_name) : nullptr;
}

void KD_DMArray::SetValue(const char* node_name, const char* value_name, const char* value) {
    if (!node_name) return;
    AddNode(node_name)->SetValue(value_name, value);
}

// ------------------------------------------------------------- databases

void KD_DMDatabase::Free() {
    for (int i = 0; i < arrays.count; i++) delete arrays[i];
    arrays.Free();
    free(name);
    name = nullptr;
}

KD_DMArray* KD_DMDatabase::GetArray(int index) const {
    if (index < 0 || index >= arrays.count) return nullptr;
    return arrays[index];
}

KD_DMArray* KD_DMDatabase::GetArray(const char* array_id) const {
    if (!array_id) return nullptr;
    for (int i = 0; i < arrays.count; i++)
        if (arrays[i]->id && strcmp(arrays[i]->id, array_id) == 0) return arrays[i];
    return nullptr;
}

int KD_DMDatabase::GetArraySize(const char* array_id) const {
    KD_DMArray* a = GetArray(array_id);
    return a ? a->GetSize() : 0;
}

KD_DMArray* KD_DMDatabase::AddArray(const char* array_id) {
    KD_DMArray* a = new KD_DMArray;
    a->id = array_id ? nStringDuplicate(array_id) : nullptr;
    arrays.InsertLast(a);
    return a;
}

bool KD_DMDatabase::RemoveArray(const char* array_id) {
    if (!array_id) return false;
    for (int i = 0; i < arrays.count; i++) {
        if (arrays[i]->id && strcmp(arrays[i]->id, array_id) == 0) {
            delete arrays[i];
            arrays.RemoveIndex(i);
            return true;
        }
    }
    return false;
}

const char* KD_DMDatabase::GetValue(const char* array_id, int index, const char* value_name) const {
    KD_DMArray* a = GetArray(array_id);
    return a ? a->GetNodeValue(index, value_name) : nullptr;
}

const char* KD_DMDatabase::GetValue(const char* array_id, const char* node_name, const char* value_name) const {
    KD_DMArray* a = GetArray(array_id);
    return a ? a->GetNodeValue(node_name, value_name) : nullptr;
}

void KD_DMDatabase::SetValue(const char* array_id, const char* node_name, const char* value_name,
                             const char* value) {
    KD_DMArray* a = GetArray(array_id);
    if (!a) a = AddArray(array_id ? array_id : "");
    a->SetValue(node_name, value_name, value);
}

static bool HasXmlExtension(const char* path) {
    int n = nStringLength(path);
    return n >= 4 && strcasecmp(path + n - 4, ".xml") == 0;
}

void KD_DMDatabase::Load(const char* path) {
    char* copy = nStringDuplicate(path);
    free(name);
    name = copy;
    if (!path) return;
    if (HasXmlExtension(path))
        LoadXML(path);
    else if (strlen(path) >= 4)
        KD_Popupf(1, "Unknown database file type '%s'.\nSupported formats are: .xml", path);
}

static const char* FindAttribute(const kd_xml_block_t* b, const char* attr) {
    for (int i = 0; i < b->count; i++)
        if (b->names[i] && strcasecmp(b->names[i], attr) == 0) return b->values[i];
    return nullptr;
}

// Reads arrays and nodes. A damaged document keeps everything read before
// the damage (a settings file with one bad element still gives its other
// values); one line names the file and the line where reading stopped.
bool KD_DMDatabase::ReadDocument(KD_XMLReader* reader, const char* label) {
    int first_new = arrays.count;
    int total_nodes = 0;
    int damage_line = 0;
    KD_DMArray* current = nullptr;
    damaged[0] = 0;

    kd_xml_block_t* b = reader->ReadNextBlock();
    while (b) {
        if (!current) {
            if (b->tag && !b->end && strcasecmp(b->tag, "array") == 0) {
                current = AddArray(FindAttribute(b, "id"));
            }
            b = reader->ReadNextBlock();
            continue;
        }
        if (!b->tag) {
            b = reader->ReadNextBlock();
            continue;
        }
        if (b->closing && strcasecmp(b->tag, "array") == 0) {
            current = nullptr;
            b = reader->ReadNextBlock();
            continue;
        }
        // A closing "</node>" only ends the element; it is not a node.
        if (b->closing || strcasecmp(b->tag, "node") != 0) {
            b = reader->ReadNextBlock();
            continue;
        }

        KD_DMNode* node = new KD_DMNode;
        const char* node_id = FindAttribute(b, "id");
        node->name = node_id ? nStringDuplicate(node_id) : nullptr;
        for (int i = 0; i < b->count; i++) node->AppendValue(b->names[i], b->values[i]);
        current->nodes.InsertLast(node);
        total_nodes++;

        b = reader->ReadNextBlock();
        if (!b) {
            KD_Popupf(1, "Error parsing file '%s'\n", label);
            if (!damage_line) damage_line = reader->GetLine();
            current = nullptr;
            break;
        }
        if (!b->tag) {
            node->AppendValue("DATA", b->values[0]);
            b = reader->ReadNextBlock();
            if (b && b->closing) b = reader->ReadNextBlock();
        }
    }
    if (reader->GetDamageLine()) damage_line = reader->GetDamageLine();
    if (current && !damage_line) damage_line = reader->GetLine();  // ended inside an array

    int kept_arrays = arrays.count - first_new;
    if (damage_line) {
        nStringFormat(damaged, sizeof damaged,
                      "KD_XML '%s' is damaged at line %d; %s there, keeping the %d arrays with %d nodes read.\n",
                      label, damage_line, reader->Stopped() || current ? "reading stopped" : "a part was skipped",
                      kept_arrays, total_nodes);
        KD_PrintDebugf(KD_LOG_ERROR, "%s", damaged);
        return false;
    }
    KD_Printf("%d Arrays loaded with total %d nodes.\n", kept_arrays, total_nodes);
    return true;
}

bool KD_DMDatabase::LoadXML(const char* path) {
    if (!name) name = nStringDuplicate(path);
    KD_XMLReader reader;
    // Before the interface table is filled the engine's files are not
    // there yet: read natively then.
    bool native = !kd || !kd->OpenFile;
    if (!reader.OpenFile(path, native)) {
        KD_Popupf(1, "KD_XML Array File '%s' not found!\n", name);
        KD_PrintDebugf(KD_LOG_WARNING, "KD_XML '%s' could not be opened; using an empty database.\n",
                       path ? path : "(null)");
        return false;
    }
    bool ok = ReadDocument(&reader, path);
    reader.CloseFile();
    return ok;
}

bool KD_DMDatabase::LoadXMLFromMemory(const char* label, const void* data, int size) {
    if (!label) label = "FromMem";
    if (!name) name = nStringDuplicate(label);
    KD_XMLReader reader;
    if (!reader.OpenFileInMemory(data, size)) {
        KD_PrintDebugf(KD_LOG_ERROR, "KD_XML '%s' is too short to be a document; using an empty database.\n", label);
        return false;
    }
    return ReadDocument(&reader, label);
}

// Escapes exactly what the reader decodes, so that any value survives a
// save and a load unchanged.
static void WriteEscaped(FILE* fp, const char* s) {
    for (; s && *s; s++) {
        switch (*s) {
            case '\\': fputs("\\\\", fp); break;
            case '"': fputs("\\\"", fp); break;
            case '\n': fputs("\\n", fp); break;
            case '\r': fputs("\\r", fp); break;
            case '\t': fputs("\\t", fp); break;
            default: fputc(*s, fp); break;
        }
    }
}

// A value name is written bare before '='; one that the reader could not
// give back unchanged is left out.
static bool IsWritableName(const char* s) {
    if (!s || !*s) return false;
    for (; *s; s++)
        if (strchr(" \t\r\n=\"<>/\\?", *s)) return false;
    return true;
}

bool KD_DMDatabase::SaveXML(const char* path) {
    if (!path) return false;
    FILE* fp = KDI_OpenRegularFile(path, "wt");
    if (!fp) {
        KD_Popupf(1, "Unable to open file '%s' for writing.\n", path);
        KD_PrintDebugf(KD_LOG_ERROR, "Unable to open file '%s' for writing.\n", path);
        return false;
    }
    fputs("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n", fp);
    for (int a = 0; a < arrays.count; a++) {
        KD_DMArray* array = arrays[a];
        if (array->id) {
            fputs("\n\t<array id=\"", fp);
            WriteEscaped(fp, array->id);
            fputs("\">\n", fp);
        } else {
            fputs("\n\t<array>\n", fp);
        }
        for (int n = 0; n < array->nodes.count; n++) {
            KD_DMNode* node = array->nodes[n];
            bool long_form = node->count > 3;
            fputs("\t\t<node ", fp);
            for (int v = 0; v < node->count; v++) {
                const KD_DMValue& value = node->values[v];
                if (!IsWritableName(value.name)) {
                    KD_PrintDebugf(KD_LOG_WARNING, "KD_XML '%s': value name '%s' cannot be written; left out.\n", path,
                                   value.name ? value.name : "");
                    continue;
                }
                fputs(value.name, fp);
                fputs("=\"", fp);
                WriteEscaped(fp, value.value);
                fputs("\" ", fp);
                if (long_form) fputs("\n\t\t ", fp);
            }
            fputs("/>\n", fp);
            if (long_form) fputs("\n", fp);
        }
        fputs("\t</array>\n", fp);
    }
    fputs("</root>\n", fp);
    bool failed = ferror(fp) != 0;
    if (fclose(fp) != 0) failed = true;
    if (failed) {
        KD_PrintDebugf(KD_LOG_ERROR, "Writing '%s' failed; the file is incomplete.\n", path);
        return false;
    }
    return true;
}

bool KD_DMDatabase::Save(const char* path) {
    if (!HasXmlExtension(path)) {
        KD_Popupf(1, "Unknown database file type '%s'.\nSupported formats are: .xml", path ? path : "");
        return false;
    }
    return SaveXML(path);
}

// ----------------------------------------------------------- data manager

KD_DataMan::~KD_DataMan() {
    for (int i = 0; i < databases.count; i++) delete databases[i];
    databases.Free();
}

KD_DMDatabase* KD_DataMan::FindDatabase(const char* file) const {
    if (!file) return nullptr;
    for (int i = 0; i < databases.count; i++)
        if (databases[i]->name && strcasecmp(databases[i]->name, file) == 0) return databases[i];
    return nullptr;
}

KD_DMDatabase* KD_DataMan::GetDatabase(const char* file) {
    if (!file) return nullptr;
    KD_DMDatabase* db = FindDatabase(file);
    if (db) return db;
    db = new KD_DMDatabase;
    databases.InsertLast(db);
    // A file that fails to load stays cached as an empty database, so it is
    // not looked for again.
    db->Load(file);
    return db;
}

KD_DMDatabase* KD_DataMan::CreateDatabase(const char* db_name) {
    if (!db_name) return nullptr;
    KD_DMDatabase* db = FindDatabase(db_name);
    if (db) return db;
    db = new KD_DMDatabase;
    db->name = nStringDuplicate(db_name);
    databases.InsertLast(db);
    return db;
}

void KD_DataMan::ReleaseDatabase(const char* db_name) {
    KD_DMDatabase* db = FindDatabase(db_name);
    if (!db) return;
    databases.Remove(db);
    delete db;
}

int KD_DataMan::GetArraySize(const char* file, const char* array_id) {
    KD_DMDatabase* db = GetDatabase(file);
    return db ? db->GetArraySize(array_id) : 0;
}

const char* KD_DataMan::GetValue(const char* file, const char* array_id, const char* node_name,
                                 const char* value_name) {
    KD_DMDatabase* db = GetDatabase(file);
    return db ? db->GetValue(array_id, node_name, value_name) : nullptr;
}

const char* KD_DataMan::GetValue(const char* file, const char* array_id, int index, const char* value_name) {
    KD_DMDatabase* db = GetDatabase(file);
    return db ? db->GetValue(array_id, index, value_name) : nullptr;
}

const char* KD_DataMan::QueryValue(const char* command) {
    KD_Popupf(1, "KD_DataMan::QueryValue (const char *command) is unimplemented.\n");
    return nullptr;
}

int KD_DataMan::QueryArraySize(const char* command) {
    KD_Popupf(1, "KD_DataMan::QueryArraySize (const char *command) is unimplemented.\n");
    return 0;
}
