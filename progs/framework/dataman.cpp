#include "dataman.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "atomic-file.h"
#include "csv.h"
#include "xmlreader.h"

DataMan dman;

// Bad data must be visible outside developer mode too: popups show only
// there, so each report also goes to the log at level 1.
static void Report(const char* format, ...) N_PRINTF_LIKE(1, 2);
static void Report(const char* format, ...) {
    char text[1024];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    kd->Popupf(1, "%s", text);
    kd->PrintDebugf(KD_LOG_WARNING, "%s", text);
}

// ---------------------------------------------------------------------------
// DMValue

DMValue::DMValue(const char* n, const char* v) : name(nStringDuplicate(n)), value(nStringDuplicate(v)) {}

DMValue::DMValue(const DMValue* other)
    : name(nStringDuplicate(other ? other->name : "")), value(nStringDuplicate(other ? other->value : "")) {}

DMValue::~DMValue() {
    free(name);
    free(value);
}

void DMValue::SetValue(const char* v) {
    if (!v) return;
    char* copy = nStringDuplicate(v);  // v may be our own text
    free(value);
    value = copy;
}

void DMValue::SetValueInt(int v) {
    char text[32];
    snprintf(text, sizeof text, "%d", v);
    SetValue(text);
}

void DMValue::SetValueFloat(float v) {
    char text[32];
    snprintf(text, sizeof text, "%g", v);
    SetValue(text);
}

// ---------------------------------------------------------------------------
// DMNode

DMNode::DMNode(const char* nodeId) {
    if (nodeId) {
        id = nStringDuplicate(nodeId);
        AppendValue("id", nodeId);
    }
}

DMNode::~DMNode() {
    for (int i = 0; i < count; i++) delete values[i];
    free(values);
    free(id);
}

const char* DMNode::GetValue(const char* name) const {
    if (!name) return nullptr;
    for (int i = 0; i < count; i++)
        if (nStringsMatch(values[i]->GetName(), name)) return values[i]->GetValue();
    return nullptr;
}

void DMNode::AppendValue(const char* name, const char* value) {
    DMValue** grown = (DMValue**)realloc(values, sizeof(DMValue*) * (size_t)(count + 1));
    if (!grown) return;
    values = grown;
    values[count++] = new DMValue(name, value ? value : "");
}

void DMNode::SetIdRaw(const char* newId) {
    char* copy = newId ? nStringDuplicate(newId) : nullptr;
    free(id);
    id = copy;
}

void DMNode::SetValue(const char* name, const char* value) {
    if (!name) return;
    if (strcmp(name, "id") == 0) SetIdRaw(value ? value : "");
    for (int i = 0; i < count; i++) {
        if (nStringsMatch(values[i]->GetName(), name)) {
            values[i]->SetValue(value);
            return;
        }
    }
    AppendValue(name, value);
}

void DMNode::RemoveValue(const char* name) {
    if (!name) return;
    for (int i = 0; i < count; i++) {
        if (!nStringsMatch(values[i]->GetName(), name)) continue;
        delete values[i];
        memmove(values + i, values + i + 1, sizeof(DMValue*) * (size_t)(count - i - 1));
        count--;
        return;
    }
}

// ---------------------------------------------------------------------------
// DMArray

DMArray::DMArray(const char* arrayId) : id(arrayId ? nStringDuplicate(arrayId) : nullptr) {}

DMArray::~DMArray() {
    for (int i = 0; i < nodes.count; i++) delete nodes[i];
    free(id);
}

DMNode* DMArray::GetNode(int index) const { return index >= 0 && index < nodes.count ? nodes.data[index] : nullptr; }

int DMArray::GetNodeIndexById(const char* nodeId) const {
    if (!nodeId) return -1;
    for (int i = 0; i < nodes.count; i++)
        if (nStringsMatch(nodes.data[i]->GetId(), nodeId)) return i;
    return -1;
}

DMNode* DMArray::GetNode(const char* nodeId) const { return GetNode(GetNodeIndexById(nodeId)); }

DMNode* DMArray::AddNode(const char* nodeId) {
    if (nodeId) {
        DMNode* existing = GetNode(nodeId);
        if (existing) return existing;
    }
    DMNode* node = new DMNode(nodeId);
    nodes.InsertLast(node);
    return node;
}

void DMArray::RemoveNode(int index) {
    if (index < 0 || index >= nodes.count) return;
    DMNode* node = nodes.data[index];
    nodes.RemoveIndex(index);
    delete node;
}

bool DMArray::RemoveNode(const char* nodeId) {
    int index = GetNodeIndexById(nodeId);
    if (index < 0) return false;
    RemoveNode(index);
    return true;
}

const char* DMArray::GetNodeValue(int index, const char* name) const {
    DMNode* node = GetNode(index);
    return node ? node->GetValue(name) : nullptr;
}

const char* DMArray::GetNodeValue(const char* nodeId, const char* name) const {
    DMNode* node = GetNode(nodeId);
    return node ? node->GetValue(name) : nullptr;
}

void DMArray::SetValue(const char* node, const char* name, const char* value) {
    if (!node) return;
    AddNode(node)->SetValue(name, value);
}

// ---------------------------------------------------------------------------
// DMDatabase

void DMDatabase::SetFileName(const char* name) {
    char* copy = name ? nStringDuplicate(name) : nullptr;
    free(fileName);
    fileName = copy;
}

DMArray* DMDatabase::GetArray(int index) const {
    return index >= 0 && index < arrays.count ? arrays.data[index] : nullptr;
}

DMArray* DMDatabase::GetArray(const char* arrayId) const {
    for (int i = 0; i < arrays.count; i++) {
        const char* a = arrays.data[i]->GetId();
        if (arrayId ? nStringsMatch(a, arrayId) : !a) return arrays.data[i];
    }
    return nullptr;
}

int DMDatabase::GetArraySize(const char* arrayId) const {
    DMArray* a = GetArray(arrayId);
    return a ? a->GetSize() : 0;
}

const char* DMDatabase::GetValue(const char* array, int index, const char* name) const {
    DMArray* a = GetArray(array);
    return a ? a->GetNodeValue(index, name) : nullptr;
}

const char* DMDatabase::GetValue(const char* array, const char* node, const char* name) const {
    DMArray* a = GetArray(array);
    return a ? a->GetNodeValue(node, name) : nullptr;
}

DMArray* DMDatabase::AddArray(const char* arrayId) {
    DMArray* a = new DMArray(arrayId ? arrayId : "");
    arrays.InsertLast(a);
    return a;
}

bool DMDatabase::RemoveArray(const char* arrayId) {
    if (!arrayId) return false;
    for (int i = 0; i < arrays.count; i++) {
        if (!nStringsMatch(arrays.data[i]->GetId(), arrayId)) continue;
        DMArray* a = arrays.data[i];
        arrays.RemoveIndex(i);
        delete a;
        return true;
    }
    return false;
}

void DMDatabase::SetValue(const char* array, const char* node, const char* name, const char* value) {
    DMArray* a = GetArray(array ? array : "");
    if (!a) a = AddArray(array);
    a->SetValue(node, name, value);
}

void DMDatabase::FreeArrays() {
    for (int i = 0; i < arrays.count; i++) delete arrays.data[i];
    arrays.Free();
}

void DMDatabase::Free() {
    FreeArrays();
    SetFileName(nullptr);
}

static bool HasExtension(const char* file, const char* ext) {
    int n = nStringLength(file);
    return n >= 4 && strcasecmp(file + n - 4, ext) == 0;
}

bool DMDatabase::Load(const char* file) {
    SetFileName(file);
    if (nStringLength(file) < 4) return false;
    if (HasExtension(file, ".xml") || HasExtension(file, ".dat")) return LoadXML(file);
    if (HasExtension(file, ".csv")) return LoadCSV(file);
    Report("Unknown database file type '%s'.\nSupported formats are: .csv .xml", file);
    return false;
}

bool DMDatabase::LoadXML(const char* file) {
    XMLReader xml;
    if (!xml.OpenFile(file, false)) {
        Report("XML Array File '%s' not found!\n", fileName ? fileName : file);
        return false;
    }
    // Whatever stands before the first array (a declaration, the root tag,
    // comments) is passed over by the loop below; skipping a fixed number
    // of blocks would swallow the first array of a file without a
    // declaration.
    int totalNodes = 0;
    while (!xml.EndOfFile()) {
        XMLBlock* b = xml.ReadNextBlock();
        if (!b) break;
        if (!nStringsMatch(b->tag, "array") || b->end) continue;
        const char* arrayId = nullptr;
        for (int i = 0; i < b->count; i++)
            if (nStringsMatch(b->names[i], "id")) {
                arrayId = b->values[i];
                break;
            }
        DMArray* array = new DMArray(arrayId);
        arrays.InsertLast(array);

        b = xml.ReadNextBlock();
        while (b && !(nStringsMatch(b->tag, "array") && b->end)) {
            if (!nStringsMatch(b->tag, "node") || (b->end && b->count == 0)) {
                // A stray "</node>" holds nothing: skipped rather than
                // turned into an empty node.
                b = xml.ReadNextBlock();
                continue;
            }
            DMNode* node = new DMNode(nullptr);
            const char* nodeId = nullptr;
            for (int i = 0; i < b->count; i++) {
                node->AppendValue(b->names[i], b->values[i]);
                if (nStringsMatch(b->names[i], "id")) nodeId = b->values[i];
            }
            node->SetIdRaw(nodeId);
            array->AppendNode(node);
            totalNodes++;
            b = xml.ReadNextBlock();
            if (!b) {
                if (!xml.EndOfFile() || xml.IsDamaged()) Report("Error parsing file '%s'\n", file);
                break;
            }
            if (!b->tag) {
                node->AppendValue("DATA", b->values[0]);
                xml.ReadNextBlock();  // its end tag
                b = xml.ReadNextBlock();
            }
        }
        if (!b) break;
    }
    if (xml.IsDamaged() || !xml.EndOfFile()) {
        // What came before the damage is kept; false tells the loaders of
        // player files to set the file aside before anything is saved.
        Report("Database file '%s' is damaged at line %d; the %d arrays with %d nodes read before it are kept.\n",
               file, xml.GetDamageLine(), arrays.count, totalNodes);
        return false;
    }
    kd->PrintDebugf(KD_LOG_SYSTEM, "%d Arrays loaded with total %d nodes.\n", arrays.count, totalNodes);
    return true;
}

bool DMDatabase::LoadCSV(const char* file) {
    CSVReader csv;
    if (!csv.OpenFile(file)) {
        Report("CSV Array File '%s' not found!\n", fileName ? fileName : file);
        return false;
    }
    DMArray* array = new DMArray(nullptr);
    arrays.InsertLast(array);
    int columns = csv.GetNumberOfColumns();
    if (columns == 0 && !csv.EndOfFile()) {
        Report("CSV file '%s' has no header line; nothing of it is used.\n", file);
        FreeArrays();
        return false;
    }
    static const int kCell = 4095;
    std::string cell((size_t)kCell + 1, '\0');
    while (!csv.EndOfFile()) {
        DMNode* node = new DMNode(nullptr);
        for (int c = 0; c < columns; c++) {
            const char* got = csv.ReadNextAsString(&cell[0], kCell);
            const char* name = csv.GetColumnName(c);
            node->AppendValue(name ? name : "", got ? got : "");
        }
        array->AppendNode(node);
    }
    kd->PrintDebugf(KD_LOG_SYSTEM, "%d CSV Arrays loaded with total %d nodes.\n", 1, array->GetSize());
    return true;
}

bool DMDatabase::Save(const char* file) {
    if (!file) file = fileName;
    if (!HasExtension(file, ".xml")) {
        Report("Unknown database file type '%s'.\nSupported formats are: .csv .xml", file ? file : "(null)");
        return false;
    }
    return SaveXML(file);
}

// The reader decodes exactly these, so any value survives a save and a
// load unchanged.
std::string DMEscapeValue(const char* s) {
    std::string out;
    for (; s && *s; s++) {
        switch (*s) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '&': out += "&amp;"; break;
            default: out += *s;
        }
    }
    return out;
}

bool DMDatabase::SaveXML(const char* file) {
    AtomicFile out;
    if (!out.Open(file)) {
        Report("Unable to open file '%s' for writing.\n", file ? file : "(null)");
        return false;
    }
    out.Printf("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n");
    out.Printf("<root>\n");
    for (int a = 0; a < arrays.count; a++) {
        DMArray* array = arrays.data[a];
        out.Printf("\n");
        out.Printf("\t<array id=\"%s\">\n", DMEscapeValue(array->GetId()).c_str());
        for (int n = 0; n < array->GetSize(); n++) {
            DMNode* node = array->GetNode(n);
            bool wide = node->GetNumberOfValues() > 5;
            out.Printf("\t\t<node ");
            for (int v = 0; v < node->GetNumberOfValues(); v++) {
                DMValue* value = node->GetValueAt(v);
                const char* name = value->GetName();
                // A name the reader cannot give back (empty, or holding
                // quotes, blanks, '=', '/', '<', '>', '&' or a backslash)
                // would make the whole file unreadable: it is left out.
                if (!name || !*name || strpbrk(name, " \t\r\n\"'=/<>&\\")) {
                    kd->PrintDebugf(KD_LOG_WARNING, "Value name '%s' in '%s' cannot be written; left out.\n",
                                    name ? name : "", file);
                    continue;
                }
                out.Printf("%s=\"%s\" ", name, DMEscapeValue(value->GetValue()).c_str());
                if (wide) out.Printf("\n\t\t ");
            }
            out.Printf("/>\n");
            if (wide) out.Printf("\n");
        }
        out.Printf("\t</array>\n");
    }
    out.Printf("</root>\n");
    return out.Commit();
}

// ---------------------------------------------------------------------------
// DataMan

DataMan::~DataMan() {
    for (int i = 0; i < databases.count; i++) delete databases.data[i];
    databases.Free();
}

DMDatabase* DataMan::Find(const char* name) const {
    if (!name) return nullptr;
    for (int i = 0; i < databases.count; i++)
        if (nStringsMatch(databases.data[i]->GetFileName(), name)) return databases.data[i];
    return nullptr;
}

DMDatabase* DataMan::GetDatabase(const char* file) {
    DMDatabase* db = Find(file);
    if (db) return db;
    db = new DMDatabase();
    if (!db->Load(file)) {
        // Cached anyway, so a missing or damaged file is tried once.
        kd->PrintDebugf(KD_LOG_WARNING, "DataMan: database '%s' could not be loaded; an empty database is used.\n",
                        file ? file : "(null)");
    }
    db->SetFileName(file ? file : "");
    databases.InsertLast(db);
    return db;
}

DMDatabase* DataMan::CreateDatabase(const char* name) {
    DMDatabase* db = Find(name);
    if (db) return db;
    db = new DMDatabase();
    db->SetFileName(name ? name : "");
    databases.InsertLast(db);
    return db;
}

void DataMan::ReleaseDatabase(DMDatabase* db) {
    int i = databases.Find(db);
    if (i < 0) return;
    databases.RemoveIndex(i);
    db->Free();
    delete db;
}

void DataMan::ReleaseDatabase(const char* name) {
    DMDatabase* db = Find(name);
    if (db) ReleaseDatabase(db);
}

int DataMan::GetArraySize(const char* file, const char* array) { return GetDatabase(file)->GetArraySize(array); }

const char* DataMan::GetValue(const char* file, const char* array, const char* node, const char* name) {
    return GetDatabase(file)->GetValue(array, node, name);
}

const char* DataMan::GetValue(const char* file, const char* array, int index, const char* name) {
    return GetDatabase(file)->GetValue(array, index, name);
}

const char* DataMan::QueryValue(const char*) {
    kd->Popupf(1, "DataMan::QueryValue (const char *command) is unimplemented.\n");
    return nullptr;
}

int DataMan::QueryArraySize(const char*) {
    kd->Popupf(1, "DataMan::QueryArraySize (const char *command) is unimplemented.\n");
    return 0;
}

// ---------------------------------------------------------------------------
// Player files

bool IsPlayerFile(const char* name) {
    if (!name) return false;
    // The same file answers to several spellings: either scheme, the tools'
    // leading "data/", doubled or backslash separators and "." segments.
    const char* rest = name;
    if (strncmp(rest, "user://", 7) == 0)
        rest += 7;
    else if (strncmp(rest, "res://", 6) == 0)
        rest += 6;
    std::string path;
    for (const char* seg = rest; *seg;) {
        const char* end = seg;
        while (*end && *end != '/' && *end != '\\') end++;
        std::string part(seg, (size_t)(end - seg));
        if (!part.empty() && part != ".") path += (path.empty() ? "" : "/") + part;
        seg = *end ? end + 1 : end;
    }
    if (path.compare(0, 5, "data/") == 0) path.erase(0, 5);
    static const char* const kFolders[] = {"profiles/", "logs/"};
    static const char* const kFiles[] = {"local-in-app-purchases.xml", "leaderboards-db.xml", "vantreo-news.txt"};
    for (const char* f : kFolders)
        if (path.compare(0, strlen(f), f) == 0) return true;
    for (const char* f : kFiles)
        if (path == f) return true;
    return false;
}
