#include "platform/registry.h"

#include <sqlite3.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

struct platform::RegistryKey {
    std::string path;  // "HKEY_CLASSES_ROOT\\A\\B", root spelled in full
    REGSAM access = KEY_READ;
    bool predefined = false;
};

namespace platform {
namespace {

RegistryKey g_classes_root{"HKEY_CLASSES_ROOT", KEY_ALL_ACCESS, true};
RegistryKey g_current_user{"HKEY_CURRENT_USER", KEY_ALL_ACCESS, true};
RegistryKey g_local_machine{"HKEY_LOCAL_MACHINE", KEY_ALL_ACCESS, true};

std::string& MachineStore() {
    static std::string path = "/var/lib/keplin/registry.db";
    return path;
}
constexpr std::size_t kMaxNameBytes = 255;
constexpr int kDefaultBusyMs = 5000;

// Where this process keeps its keys: the database it writes, and for a user
// the machine's database beneath it, read-only.
struct Location {
    std::string writable;
    std::string overlay;
    bool operator==(const Location& other) const {
        return writable == other.writable && overlay == other.overlay;
    }
};

Location CurrentLocation() {
    const char* named = std::getenv("KEPLIN_REGISTRY");
    if (named && *named) return {named, ""};
    if (geteuid() == 0) return {MachineStore(), ""};
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        data = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        data = std::string(home) + "/.local/share";
    } else {
        data = "/tmp";
    }
    return {data + "/keplin/registry.db", MachineStore()};
}

LSTATUS FromSqlite(int code) {
    switch (code & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_LOCK_VIOLATION;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return ERROR_BADDB;
    case SQLITE_CANTOPEN:
        return ERROR_CANTOPEN;
    default:
        return ERROR_CANTWRITE;
    }
}

int BusyMilliseconds() {
    const char* text = std::getenv("KEPLIN_REGISTRY_BUSY_MS");
    if (!text || !*text) return kDefaultBusyMs;
    const long value = std::strtol(text, nullptr, 10);
    return value < 0 ? 0 : value > 600000 ? 600000 : static_cast<int>(value);
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        status_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, const std::string& text) {
        if (stmt_) sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int index, std::int64_t number) {
        if (stmt_) sqlite3_bind_int64(stmt_, index, number);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() {
        if (status_ != SQLITE_OK) return status_;
        return sqlite3_step(stmt_);
    }
    std::string Text(int column) const {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return data ? std::string(data, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                    : std::string();
    }
    std::int64_t Number(int column) const { return sqlite3_column_int64(stmt_, column); }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int status_ = SQLITE_OK;
};

int Execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS reg_keys("
    " path TEXT PRIMARY KEY COLLATE NOCASE,"
    " parent TEXT NOT NULL COLLATE NOCASE,"
    " name TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS reg_keys_parent ON reg_keys(parent);"
    "CREATE TABLE IF NOT EXISTS reg_values("
    " key TEXT NOT NULL COLLATE NOCASE,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL,"
    " data BLOB,"
    " PRIMARY KEY(key, name));";

bool HasSchema(sqlite3* db, int* code) {
    Statement query(db, "SELECT count(*) FROM sqlite_master WHERE name IN ('reg_keys','reg_values')");
    *code = query.Step();
    if (*code != SQLITE_ROW) return false;
    *code = SQLITE_OK;
    return query.Number(0) == 2;
}

// One open database.
class Database {
public:
    ~Database() { Close(); }

    // Opens `path`; with `create`, makes it (and its folder) when missing.
    // Without, a missing file leaves the database closed and is no error.
    LSTATUS Open(const std::string& path, bool create, bool read_only) {
        if (db_) return ERROR_SUCCESS;
        if (!create && access(path.c_str(), F_OK) != 0) return ERROR_SUCCESS;
        bool made = false;
        if (create && access(path.c_str(), F_OK) != 0) {
            std::error_code error;
            const auto folder = std::filesystem::path(path).parent_path();
            if (!folder.empty() && !std::filesystem::exists(folder, error)) {
                std::filesystem::create_directories(folder, error);
                if (error) return ERROR_CANTOPEN;
                chmod(folder.c_str(), 0755);
            }
            made = true;
        }
        const int flags = read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        int code = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
        if (code != SQLITE_OK) {
            Close();
            return FromSqlite(code);
        }
        // The modules registered here are loaded by root: nobody but the
        // owner may change the store.
        if (made) chmod(path.c_str(), 0644);
        sqlite3_busy_timeout(db_, BusyMilliseconds());
        sqlite3_extended_result_codes(db_, 0);
        if (!HasSchema(db_, &code)) {
            if (code == SQLITE_OK && !read_only) code = Execute(db_, kSchema);
            if (code != SQLITE_OK) {
                Close();
                return FromSqlite(code);
            }
        }
        return ERROR_SUCCESS;
    }

    void Close() {
        if (db_) sqlite3_close(db_);
        db_ = nullptr;
    }
    // A connection inherited through fork() belongs to the parent: it is
    // forgotten, never used or closed here.
    void Forget() { db_ = nullptr; }

    sqlite3* get() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

// The connections of one thread.
struct ThreadStore {
    pid_t pid = 0;
    Location location;
    Database writable;
    Database overlay;
    int depth = 0;  // open transactions

    void Prepare() {
        if (pid != getpid()) {
            writable.Forget();
            overlay.Forget();
            depth = 0;
            pid = getpid();
        }
        if (depth > 0) return;  // a transaction keeps its store
        const Location now = CurrentLocation();
        if (!(now == location)) {
            writable.Close();
            overlay.Close();
            location = now;
        }
    }
};

thread_local ThreadStore t_store;

// The databases to read, the writable one first. Either may be null.
struct Readers {
    sqlite3* first = nullptr;
    sqlite3* second = nullptr;
    LSTATUS status = ERROR_SUCCESS;
};

Readers OpenReaders() {
    ThreadStore& store = t_store;
    store.Prepare();
    Readers readers;
    readers.status = store.writable.Open(store.location.writable, false, false);
    if (readers.status != ERROR_SUCCESS) return readers;
    if (!store.location.overlay.empty() && store.location.overlay != store.location.writable) {
        readers.status = store.overlay.Open(store.location.overlay, false, true);
        if (readers.status != ERROR_SUCCESS) return readers;
    }
    readers.first = store.writable.get();
    readers.second = store.overlay.get();
    return readers;
}

LSTATUS OpenWriter(sqlite3** db) {
    ThreadStore& store = t_store;
    store.Prepare();
    const LSTATUS status = store.writable.Open(store.location.writable, true, false);
    *db = store.writable.get();
    return status;
}

// Splits "A\\B\\C" into its names; empty names (doubled or outer
// backslashes) are skipped. False for a name longer than the store allows.
bool SplitNames(const std::string& subkey, std::vector<std::string>* names) {
    std::size_t start = 0;
    while (start <= subkey.size()) {
        std::size_t end = subkey.find('\\', start);
        if (end == std::string::npos) end = subkey.size();
        if (end > start) {
            if (end - start > kMaxNameBytes) return false;
            names->push_back(subkey.substr(start, end - start));
        }
        start = end + 1;
    }
    return true;
}

std::string ParentOf(const std::string& path) {
    const auto slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string LastName(const std::string& path) {
    const auto slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsRoot(const std::string& path) { return path.find('\\') == std::string::npos; }

// 1 found, 0 not found, or -(error).
int KeyIn(sqlite3* db, const std::string& path) {
    if (!db) return 0;
    Statement query(db, "SELECT 1 FROM reg_keys WHERE path = ?1");
    query.Bind(1, path);
    const int result = query.Step();
    if (result == SQLITE_ROW) return 1;
    if (result == SQLITE_DONE) return 0;
    return -static_cast<int>(FromSqlite(result));
}

LSTATUS KeyExists(const std::string& path, bool* exists) {
    *exists = false;
    if (IsRoot(path)) {
        *exists = true;
        return ERROR_SUCCESS;
    }
    const Readers readers = OpenReaders();
    if (readers.status != ERROR_SUCCESS) return readers.status;
    for (sqlite3* db : {readers.first, readers.second}) {
        const int found = KeyIn(db, path);
        if (found < 0) return -found;
        if (found) {
            *exists = true;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_SUCCESS;
}

// Subkey names of `path` in both stores, each once (the writable store's
// spelling first), in name order.
LSTATUS SubkeyNames(const std::string& path, std::vector<std::string>* names) {
    const Readers readers = OpenReaders();
    if (readers.status != ERROR_SUCCESS) return readers.status;
    std::map<std::string, std::string, bool (*)(const std::string&, const std::string&)> merged(
        [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
    for (sqlite3* db : {readers.first, readers.second}) {
        if (!db) continue;
        Statement query(db, "SELECT name FROM reg_keys WHERE parent = ?1");
        query.Bind(1, path);
        int code;
        while ((code = query.Step()) == SQLITE_ROW) {
            const std::string name = query.Text(0);
            merged.emplace(name, name);
        }
        if (code != SQLITE_DONE) return FromSqlite(code);
    }
    names->clear();
    for (const auto& entry : merged) names->push_back(entry.second);
    return ERROR_SUCCESS;
}

struct NamedValue {
    std::string name;
    RegistryValue value;
};

RegistryValue ReadValue(const Statement& query, int type_column, int data_column) {
    RegistryValue value;
    value.type = static_cast<DWORD>(query.Number(type_column));
    if (value.type == REG_DWORD) {
        value.number = static_cast<std::uint32_t>(query.Number(data_column));
    } else {
        value.text = query.Text(data_column);
    }
    return value;
}

// Values of `path`, the writable store's over the overlay's, in name order
// (the default value first).
LSTATUS ValuesOf(const std::string& path, std::vector<NamedValue>* values) {
    const Readers readers = OpenReaders();
    if (readers.status != ERROR_SUCCESS) return readers.status;
    std::map<std::string, NamedValue, bool (*)(const std::string&, const std::string&)> merged(
        [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
    for (sqlite3* db : {readers.first, readers.second}) {
        if (!db) continue;
        Statement query(db, "SELECT name, type, data FROM reg_values WHERE key = ?1");
        query.Bind(1, path);
        int code;
        while ((code = query.Step()) == SQLITE_ROW) {
            NamedValue entry{query.Text(0), ReadValue(query, 1, 2)};
            merged.emplace(entry.name, entry);
        }
        if (code != SQLITE_DONE) return FromSqlite(code);
    }
    values->clear();
    for (auto& entry : merged) values->push_back(std::move(entry.second));
    return ERROR_SUCCESS;
}

// Inserts `path` and every missing key above it into the writable store.
LSTATUS InsertKeyPath(sqlite3* db, const std::string& path) {
    std::vector<std::string> chain;
    for (std::string at = path; !IsRoot(at); at = ParentOf(at)) chain.push_back(at);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        Statement insert(db, "INSERT OR IGNORE INTO reg_keys(path, parent, name) VALUES(?1, ?2, ?3)");
        insert.Bind(1, *it).Bind(2, ParentOf(*it)).Bind(3, LastName(*it));
        const int code = insert.Step();
        if (code != SQLITE_DONE) return FromSqlite(code);
    }
    return ERROR_SUCCESS;
}

LSTATUS ResolvePath(HKEY key, const std::string& subkey, std::string* path) {
    if (!key) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (!SplitNames(subkey, &names)) return ERROR_INVALID_PARAMETER;
    *path = key->path;
    for (const auto& name : names) *path += "\\" + name;
    return ERROR_SUCCESS;
}

bool CanWrite(HKEY key) { return key && (key->access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0; }

// Runs `change` as one transaction on the writable store.
template <typename Change>
LSTATUS Write(Change change) {
    RegistryTransaction transaction;
    if (transaction.status() != ERROR_SUCCESS) return transaction.status();
    sqlite3* db = nullptr;
    LSTATUS status = OpenWriter(&db);
    if (status != ERROR_SUCCESS) return status;
    status = change(db);
    if (status != ERROR_SUCCESS) return status;
    return transaction.Commit();
}

}  // namespace

const HKEY HKEY_CLASSES_ROOT = &g_classes_root;
const HKEY HKEY_CURRENT_USER = &g_current_user;
const HKEY HKEY_LOCAL_MACHINE = &g_local_machine;

LSTATUS RegOpenKeyEx(HKEY key, const std::string& subkey, REGSAM access, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string path;
    LSTATUS status = ResolvePath(key, subkey, &path);
    if (status != ERROR_SUCCESS) return status;
    bool exists = false;
    status = KeyExists(path, &exists);
    if (status != ERROR_SUCCESS) return status;
    if (!exists) return ERROR_FILE_NOT_FOUND;
    *result = new RegistryKey{path, access, false};
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyEx(HKEY key, const std::string& subkey, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string path;
    LSTATUS status = ResolvePath(key, subkey, &path);
    if (status != ERROR_SUCCESS) return status;
    if (!CanWrite(key)) return ERROR_ACCESS_DENIED;
    status = Write([&](sqlite3* db) { return InsertKeyPath(db, path); });
    if (status != ERROR_SUCCESS) return status;
    *result = new RegistryKey{path, KEY_ALL_ACCESS, false};
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    if (!key) return ERROR_INVALID_HANDLE;
    if (!key->predefined) delete key;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueEx(HKEY key, const std::string& name, const RegistryValue& value) {
    if (!key) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (name.size() > 16383 || (value.type != REG_SZ && value.type != REG_DWORD))
        return ERROR_INVALID_PARAMETER;
    if (IsRoot(key->path)) return ERROR_ACCESS_DENIED;
    bool exists = false;
    LSTATUS status = KeyExists(key->path, &exists);
    if (status != ERROR_SUCCESS) return status;
    if (!exists) return ERROR_FILE_NOT_FOUND;
    return Write([&](sqlite3* db) {
        // A user writing to a machine key writes to a copy of their own.
        LSTATUS made = InsertKeyPath(db, key->path);
        if (made != ERROR_SUCCESS) return made;
        Statement upsert(db,
                         "INSERT INTO reg_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
                         "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
        upsert.Bind(1, key->path).Bind(2, name).Bind(3, static_cast<std::int64_t>(value.type));
        if (value.type == REG_DWORD) {
            upsert.Bind(4, static_cast<std::int64_t>(value.number));
        } else {
            upsert.Bind(4, value.text);
        }
        return FromSqlite(upsert.Step());
    });
}

LSTATUS RegSetString(HKEY key, const std::string& name, const std::string& text) {
    RegistryValue value;
    value.type = REG_SZ;
    value.text = text;
    return RegSetValueEx(key, name, value);
}

LSTATUS RegSetNumber(HKEY key, const std::string& name, std::uint32_t number) {
    RegistryValue value;
    value.type = REG_DWORD;
    value.number = number;
    return RegSetValueEx(key, name, value);
}

LSTATUS RegQueryValueEx(HKEY key, const std::string& name, RegistryValue* value) {
    if (!key) return ERROR_INVALID_HANDLE;
    if (!value) return ERROR_INVALID_PARAMETER;
    const Readers readers = OpenReaders();
    if (readers.status != ERROR_SUCCESS) return readers.status;
    for (sqlite3* db : {readers.first, readers.second}) {
        if (!db) continue;
        Statement query(db, "SELECT type, data FROM reg_values WHERE key = ?1 AND name = ?2");
        query.Bind(1, key->path).Bind(2, name);
        const int code = query.Step();
        if (code == SQLITE_ROW) {
            *value = ReadValue(query, 0, 1);
            return ERROR_SUCCESS;
        }
        if (code != SQLITE_DONE) return FromSqlite(code);
    }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS RegEnumKey(HKEY key, DWORD index, std::string* name) {
    if (!key) return ERROR_INVALID_HANDLE;
    if (!name) return ERROR_INVALID_PARAMETER;
    std::vector<std::string> names;
    const LSTATUS status = SubkeyNames(key->path, &names);
    if (status != ERROR_SUCCESS) return status;
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    *name = names[index];
    return ERROR_SUCCESS;
}

LSTATUS RegEnumValue(HKEY key, DWORD index, std::string* name, RegistryValue* value) {
    if (!key) return ERROR_INVALID_HANDLE;
    if (!name || !value) return ERROR_INVALID_PARAMETER;
    std::vector<NamedValue> values;
    const LSTATUS status = ValuesOf(key->path, &values);
    if (status != ERROR_SUCCESS) return status;
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    *name = values[index].name;
    *value = values[index].value;
    return ERROR_SUCCESS;
}

LSTATUS RegQueryInfoKey(HKEY key, DWORD* subkeys, DWORD* values) {
    if (!key) return ERROR_INVALID_HANDLE;
    if (subkeys) {
        std::vector<std::string> names;
        const LSTATUS status = SubkeyNames(key->path, &names);
        if (status != ERROR_SUCCESS) return status;
        *subkeys = static_cast<DWORD>(names.size());
    }
    if (values) {
        std::vector<NamedValue> list;
        const LSTATUS status = ValuesOf(key->path, &list);
        if (status != ERROR_SUCCESS) return status;
        *values = static_cast<DWORD>(list.size());
    }
    return ERROR_SUCCESS;
}

namespace {

// Deletes `path` (and with `tree`, everything beneath it) from the writable
// store. A key that only the machine's store holds cannot be deleted by a user.
LSTATUS DeletePath(HKEY key, const std::string& subkey, bool tree) {
    std::string path;
    LSTATUS status = ResolvePath(key, subkey, &path);
    if (status != ERROR_SUCCESS) return status;
    if (IsRoot(path)) return ERROR_ACCESS_DENIED;
    if (!CanWrite(key)) return ERROR_ACCESS_DENIED;
    bool exists = false;
    status = KeyExists(path, &exists);
    if (status != ERROR_SUCCESS) return status;
    if (!exists) return ERROR_FILE_NOT_FOUND;
    if (!tree) {
        std::vector<std::string> names;
        status = SubkeyNames(path, &names);
        if (status != ERROR_SUCCESS) return status;
        if (!names.empty()) return ERROR_ACCESS_DENIED;
    }
    return Write([&](sqlite3* db) {
        const int found = KeyIn(db, path);
        if (found < 0) return static_cast<LSTATUS>(-found);
        if (!found) return ERROR_ACCESS_DENIED;  // only in the machine's store
        const char* keys_sql = tree ? "DELETE FROM reg_keys WHERE path = ?1 OR "
                                      "substr(path, 1, length(?1) + 1) = (?1 || '\\') COLLATE NOCASE"
                                    : "DELETE FROM reg_keys WHERE path = ?1";
        const char* values_sql = tree ? "DELETE FROM reg_values WHERE key = ?1 OR "
                                        "substr(key, 1, length(?1) + 1) = (?1 || '\\') COLLATE NOCASE"
                                      : "DELETE FROM reg_values WHERE key = ?1";
        for (const char* sql : {values_sql, keys_sql}) {
            Statement erase(db, sql);
            erase.Bind(1, path);
            const int code = erase.Step();
            if (code != SQLITE_DONE) return FromSqlite(code);
        }
        return ERROR_SUCCESS;
    });
}

}  // namespace

LSTATUS RegDeleteKey(HKEY key, const std::string& subkey) { return DeletePath(key, subkey, false); }

LSTATUS RegDeleteTree(HKEY key, const std::string& subkey) { return DeletePath(key, subkey, true); }

LSTATUS RegDeleteValue(HKEY key, const std::string& name) {
    if (!key) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    RegistryValue existing;
    LSTATUS status = RegQueryValueEx(key, name, &existing);
    if (status != ERROR_SUCCESS) return status;
    return Write([&](sqlite3* db) {
        Statement erase(db, "DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
        erase.Bind(1, key->path).Bind(2, name);
        const int code = erase.Step();
        if (code != SQLITE_DONE) return FromSqlite(code);
        return sqlite3_changes(db) > 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    });
}

std::string RegKeyPath(HKEY key) {
    if (!key) return std::string();
    const Readers readers = OpenReaders();
    for (sqlite3* db : {readers.first, readers.second}) {
        if (!db) continue;
        Statement query(db, "SELECT path FROM reg_keys WHERE path = ?1");
        query.Bind(1, key->path);
        if (query.Step() == SQLITE_ROW) return query.Text(0);
    }
    return key->path;
}

LSTATUS RegOpenPath(const std::string& path, REGSAM access, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const auto slash = path.find('\\');
    const std::string root = path.substr(0, slash);
    const std::string rest = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    struct Alias {
        const char* full;
        const char* shortened;
        HKEY key;
    };
    const Alias aliases[] = {{"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
                             {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
                             {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE}};
    for (const Alias& alias : aliases) {
        if (strcasecmp(root.c_str(), alias.full) == 0 || strcasecmp(root.c_str(), alias.shortened) == 0)
            return RegOpenKeyEx(alias.key, rest, access, result);
    }
    return ERROR_FILE_NOT_FOUND;
}

void SetMachineRegistryPath(const std::string& path) { MachineStore() = path; }

std::string RegistryStorePath() { return CurrentLocation().writable; }

std::string RegErrorText(LSTATUS status) {
    const std::string store = RegistryStorePath();
    switch (status) {
    case ERROR_SUCCESS:
        return "the operation completed successfully";
    case ERROR_FILE_NOT_FOUND:
        return "the key or value does not exist";
    case ERROR_ACCESS_DENIED:
        return "access denied: the registry store " + store +
               " is read-only here, or the key still has subkeys or belongs to the machine";
    case ERROR_INVALID_HANDLE:
        return "the key handle is not valid";
    case ERROR_LOCK_VIOLATION:
        return "the registry store " + store + " is locked by another process";
    case ERROR_INVALID_PARAMETER:
        return "a key or value name is not valid";
    case ERROR_NO_MORE_ITEMS:
        return "no more items";
    case ERROR_BADDB:
        return "the registry store " + store + " is damaged or not a registry store (it was left as it is)";
    case ERROR_CANTOPEN:
        return "the registry store " + store + " cannot be opened";
    default:
        return "the registry store " + store + " cannot be written";
    }
}

RegistryTransaction::RegistryTransaction() : status_(ERROR_SUCCESS), open_(false) {
    sqlite3* db = nullptr;
    status_ = OpenWriter(&db);
    if (status_ != ERROR_SUCCESS) return;
    ThreadStore& store = t_store;
    const std::string begin =
        store.depth == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT nested" + std::to_string(store.depth);
    const int code = Execute(db, begin.c_str());
    if (code != SQLITE_OK) {
        status_ = FromSqlite(code);
        return;
    }
    ++store.depth;
    open_ = true;
}

LSTATUS RegistryTransaction::Commit() {
    if (!open_) return status_;
    ThreadStore& store = t_store;
    open_ = false;
    --store.depth;
    sqlite3* db = store.writable.get();
    const std::string end = store.depth == 0 ? "COMMIT" : "RELEASE nested" + std::to_string(store.depth);
    const int code = Execute(db, end.c_str());
    if (code != SQLITE_OK) {
        status_ = FromSqlite(code);
        if (store.depth == 0) Execute(db, "ROLLBACK");
    }
    return status_;
}

RegistryTransaction::~RegistryTransaction() {
    if (!open_) return;
    ThreadStore& store = t_store;
    --store.depth;
    sqlite3* db = store.writable.get();
    if (store.depth == 0) {
        Execute(db, "ROLLBACK");
    } else {
        const std::string name = "nested" + std::to_string(store.depth);
        Execute(db, ("ROLLBACK TO " + name + "; RELEASE " + name).c_str());
    }
}

}  // namespace platform
