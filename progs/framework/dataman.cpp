#include "dataman.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

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

static std::atomic<unsigned long> changes{0};
static void Changed() { changes.fetch_add(1, std::memory_order_relaxed); }
unsigned long DMChangeCount() { return changes.load(std::memory_order_relaxed); }

DMValue::DMValue(const DMValue* other)
    : name(nStringDuplicate(other ? other->name : "")), value(nStringDuplicate(other ? other->value : "")) {}

DMValue::~DMValue() {
    free(name);
    free(value);
}

void DMValue::SetValue(const char* v) {
    if (!v || (value && strcmp(value, v) == 0)) return;
    Changed();
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
    Changed();
}

void DMNode::SetIdRaw(const char* newId) {
    char* copy = newId ? nStringDuplicate(newId) : nullptr;
    free(id);
    id = copy;
    Changed();
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
        Changed();
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
    Changed();
    return node;
}

void DMArray::AppendNode(DMNode* node) {
    nodes.InsertLast(node);
    Changed();
}

void DMArray::RemoveNode(int index) {
    if (index < 0 || index >= nodes.count) return;
    DMNode* node = nodes.data[index];
    nodes.RemoveIndex(index);
    delete node;
    Changed();
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
    Changed();
    return a;
}

bool DMDatabase::RemoveArray(const char* arrayId) {
    if (!arrayId) return false;
    for (int i = 0; i < arrays.count; i++) {
        if (!nStringsMatch(arrays.data[i]->GetId(), arrayId)) continue;
        DMArray* a = arrays.data[i];
        arrays.RemoveIndex(i);
        delete a;
        Changed();
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
    Changed();
}

void DMDatabase::Free() {
    FreeArrays();
    SetFileName(nullptr);
}

bool HasFileExtension(const char* file, const char* ext) {
    const int n = nStringLength(file), e = nStringLength(ext);
    return n >= e && strcasecmp(file + n - e, ext) == 0;
}

bool DMDatabase::Load(const char* file) {
    SetFileName(file);
    if (nStringLength(file) < 4) return false;
    if (HasFileExtension(file, ".xml") || HasFileExtension(file, ".dat")) return LoadXML(file);
    if (HasFileExtension(file, ".csv")) return LoadCSV(file);
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
    if (!HasFileExtension(file, ".xml")) {
        Report("Unknown database file type '%s'.\nSupported formats are: .csv .xml", file ? file : "(null)");
        return false;
    }
    return SaveXML(file);
}

// The reader decodes exactly these, so any value survives a save and a
// load unchanged. The text written for the character at `s`; `plain`
// holds one that stands for itself.
static const char* Escape(const char* s, char plain[2]) {
    switch (*s) {
        case '\\': return "\\\\";
        case '"': return "\\\"";
        case '\n': return "\\n";
        case '\r': return "\\r";
        case '\t': return "\\t";
        case '&': return "&amp;";
        default: plain[0] = *s, plain[1] = 0; return plain;
    }
}

std::string DMEscapeValue(const char* s) {
    std::string out;
    char plain[2];
    for (; s && *s; s++) out += Escape(s, plain);
    return out;
}

size_t DMEscapedBytes(const char* s) {
    size_t n = 0;
    char plain[2];
    for (; s && *s; s++) n += strlen(Escape(s, plain));
    return n;
}

namespace {
// Puts a value's text escaped, a run of plain characters at a time.
template <class Put>
void PutEscaped(Put& put, const char* s) {
    char plain[2];
    while (s && *s) {
        size_t run = strcspn(s, "\\\"\n\r\t&");
        if (run) put(s, run);
        s += run;
        if (!*s) break;
        const char* e = Escape(s++, plain);
        put(e, strlen(e));
    }
}
template <class Put>
void PutText(Put& put, const char* text) {
    put(text, strlen(text));
}
struct Counter {
    size_t bytes = 0;
    void operator()(const char*, size_t n) { bytes += n; }
};
}  // namespace

template <class Put>
void DMDatabase::WriteArray(const DMArray* array, bool head, Put& put) {
    if (!head) return PutText(put, "\t</array>\n");
    PutText(put, "\n\t<array id=\"");
    PutEscaped(put, array->GetId());
    PutText(put, "\">\n");
}

template <class Put>
void DMDatabase::WriteNode(const DMNode* node, Put& put, const char* file) {
    bool wide = node->GetNumberOfValues() > 5;
    PutText(put, "\t\t<node ");
    for (int v = 0; v < node->GetNumberOfValues(); v++) {
        const DMValue* value = node->GetValueAt(v);
        const char* name = value->GetName();
        // A name the reader cannot give back (empty, or holding quotes,
        // blanks, '=', '/', '<', '>', '&' or a backslash) would make the
        // whole file unreadable: it is left out.
        if (!name || !*name || strpbrk(name, " \t\r\n\"'=/<>&\\")) {
            if (file)
                kd->PrintDebugf(KD_LOG_WARNING, "Value name '%s' in '%s' cannot be written; left out.\n",
                                name ? name : "", file);
            continue;
        }
        PutText(put, name);
        PutText(put, "=\"");
        PutEscaped(put, value->GetValue());
        PutText(put, "\" ");
        if (wide) PutText(put, "\n\t\t ");
    }
    PutText(put, "/>\n");
    if (wide) PutText(put, "\n");
}

size_t DMDatabase::WrittenBytes(const DMArray* array) {
    Counter c;
    WriteArray(array, true, c);
    WriteArray(array, false, c);
    return c.bytes;
}

size_t DMDatabase::WrittenBytes(const DMNode* node) {
    Counter c;
    WriteNode(node, c, nullptr);
    return c.bytes;
}

static const char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n";
static const char kXmlTail[] = "</root>\n";

size_t DMDatabase::WrittenBytes() const {
    size_t n = sizeof kXmlHead - 1 + sizeof kXmlTail - 1;
    for (int a = 0; a < arrays.count; a++) {
        const DMArray* array = arrays.data[a];
        n += WrittenBytes(array);
        for (int i = 0; i < array->GetSize(); i++) n += WrittenBytes(array->GetNode(i));
    }
    return n;
}

bool DMDatabase::SaveXML(const char* file) {
    AtomicFile out;
    if (!out.Open(file)) {
        Report("Unable to open file '%s' for writing.\n", file ? file : "(null)");
        return false;
    }
    auto put = [&out](const char* text, size_t n) { out.Write(text, (unsigned)n); };
    PutText(put, kXmlHead);
    for (int a = 0; a < arrays.count; a++) {
        DMArray* array = arrays.data[a];
        WriteArray(array, true, put);
        for (int n = 0; n < array->GetSize(); n++) WriteNode(array->GetNode(n), put, file);
        WriteArray(array, false, put);
    }
    PutText(put, kXmlTail);
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

namespace {

// `rest` with "." segments and empty ones (doubled separators) left out,
// ".." taking the segment before it and '\\' read as '/'; false when it
// climbs out of where it starts.
bool ResolveSegments(const char* rest, std::string* out) {
    out->clear();
    for (const char* seg = rest; *seg;) {
        const char* end = seg;
        while (*end && *end != '/' && *end != '\\') end++;
        const std::string part(seg, (size_t)(end - seg));
        seg = *end ? end + 1 : end;
        if (part.empty() || part == ".") continue;
        if (part != "..") {
            *out += (out->empty() ? "" : "/") + part;
            continue;
        }
        if (out->empty()) return false;
        const size_t slash = out->rfind('/');
        out->erase(slash == std::string::npos ? 0 : slash);
    }
    return true;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    return strncasecmp(s.c_str(), prefix, strlen(prefix)) == 0;
}

// `pattern` (SetReservedDataNames) against a data tree path: '*' takes any
// run within one segment; a pattern ending in '/' takes what lies under it.
bool MatchesName(const char* pattern, const char* path) {
    if (!*pattern) return !*path;
    for (; *pattern; pattern++, path++) {
        if (*pattern == '*') {
            for (const char* p = path;; p++) {
                if (MatchesName(pattern + 1, p)) return true;
                if (!*p || *p == '/') return false;
            }
        }
        if (*pattern != *path) return false;
    }
    return !*path || pattern[-1] == '/';
}

std::vector<std::string> reserved_names;
std::vector<std::string> player_files;

}  // namespace

bool DataTreePath(const char* file, std::string* out) {
    out->clear();
    if (!file) return false;
    const char* rest = file;
    const bool user = strncasecmp(rest, "user://", 7) == 0;
    if (user)
        rest += 7;
    else if (strncasecmp(rest, "res://", 6) == 0)
        rest += 6;
    if (!ResolveSegments(rest, out)) return false;
    if (rest == file && file[0] == '/') {
        // A native path counts as the engine's name of it; one outside both
        // trees is the engine's to refuse.
        const std::string native = "/" + *out;
        const char* engine = kd->CallExtension("ConvertNativeOSPathToStaticPath", native.c_str());
        const char* scheme = engine ? strstr(engine, "://") : nullptr;
        if (scheme && !ResolveSegments(scheme + 3, out)) return false;
    }
    // The bundled tree's "data/" is where the user tree's root is.
    if (!user && (StartsWithNoCase(*out, "data/") || strcasecmp(out->c_str(), "data") == 0))
        out->erase(0, out->size() > 4 ? 5 : 4);
    // A folder of the user tree that links elsewhere in it names the place
    // it leads to; one that leads out of the tree is refused.
    const char* real = kd->CallExtension("RealPath", ("user://" + *out).c_str());
    if (real && strncmp(real, "user://", 7) != 0) return false;
    if (real && !ResolveSegments(real + 7, out)) return false;
    for (char& c : *out) c = (char)tolower((unsigned char)c);
    if (out->compare(0, 5, "data/") == 0) out->erase(0, 5);
    return true;
}

bool IsPlayerFile(const char* name) {
    std::string path;
    if (!DataTreePath(name, &path)) return false;
    static const char* const kFolders[] = {"profiles/", "logs/"};
    for (const char* f : kFolders)
        if (path.compare(0, strlen(f), f) == 0) return true;
    const size_t suffix = sizeof kDamagedCopySuffix - 1;
    for (const std::string& file : player_files) {
        std::string f;
        if (!DataTreePath(file.c_str(), &f)) continue;
        // The copies of a damaged one (".damaged", ".damaged-2") hold what
        // the player's file held.
        const size_t n = f.size();
        if (path.compare(0, n, f) == 0 && (!path[n] || path.compare(n, suffix, kDamagedCopySuffix) == 0)) return true;
    }
    return false;
}

void AddPlayerFile(const char* name) {
    if (name && std::find(player_files.begin(), player_files.end(), name) == player_files.end())
        player_files.push_back(name);
}

void SetReservedDataNames(const char* const* names, int count) { reserved_names.assign(names, names + count); }

const char* ReservedFileReason(const char* file) {
    if (!file || !*file) return nullptr;
    std::string path;
    if (!DataTreePath(file, &path)) return "a place outside its folder";
    if (IsPlayerFile(path.c_str())) return "a player file";
    for (const std::string& name : reserved_names)
        if (MatchesName(name.c_str(), path.c_str())) return "a data file the game reads as something else";
    return nullptr;
}

bool RefuseFile(const char* file, const char* why, const char* what, const char* done) {
    if (why) ReportDataFault("%s '%s' names %s; not %s.\n", what, file ? file : "", why, done);
    return why != nullptr;
}

bool RefuseReservedFile(const char* file, const char* what, const char* done) {
    return RefuseFile(file, ReservedFileReason(file), what, done);
}
