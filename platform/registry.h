// The registry: keys as paths under predefined roots, each key holding named
// string and 32-bit number values and a default value (the empty name). The
// calls have the shape and the results of the classic registry functions the
// kit was written against, so that registration code reads the same.
//
// Where it is kept: $KEPLIN_REGISTRY names one SQLite database that is used
// alone (tests, demos). Otherwise root reads and writes the machine-wide
// /var/lib/keplin/registry.db, and a user writes $XDG_DATA_HOME/keplin/
// registry.db while reading their own keys over the machine's, as the classes
// root merges a user's classes over the machine's.
//
// Key and value names compare without regard to ASCII case and keep the
// spelling they were created with. Every call is atomic; a RegistryTransaction
// makes a series of calls one change that is kept whole or not at all, also if
// the process is killed. Other processes writing at the same time are waited
// for (up to a busy time-out).
//
// Handles belong to the process and may be used on any thread; each thread
// talks to the store through a connection of its own, so a transaction covers
// only the calls made on the thread that opened it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using LSTATUS = long;
using REGSAM = std::uint32_t;
using DWORD = std::uint32_t;

// Results, numbered as the system error codes they stand for.
constexpr LSTATUS ERROR_SUCCESS = 0;
constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;      // no such key or value
constexpr LSTATUS ERROR_ACCESS_DENIED = 5;       // read-only store or handle; a key with subkeys
constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
constexpr LSTATUS ERROR_LOCK_VIOLATION = 33;     // another process held the store too long
constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;
constexpr LSTATUS ERROR_BADDB = 1009;            // the file is not a store, or is damaged
constexpr LSTATUS ERROR_CANTOPEN = 1011;
constexpr LSTATUS ERROR_CANTWRITE = 1013;

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Value types.
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_DWORD = 4;

struct RegistryKey;
using HKEY = RegistryKey*;

// The predefined roots; they are never closed.
extern const HKEY HKEY_CLASSES_ROOT;
extern const HKEY HKEY_CURRENT_USER;
extern const HKEY HKEY_LOCAL_MACHINE;

// One value: its type, and the text (REG_SZ) or the number (REG_DWORD).
struct RegistryValue {
    DWORD type = REG_SZ;
    std::string text;
    std::uint32_t number = 0;
};

// Opens `subkey` below `key` ("A\\B\\C"; an empty subkey opens `key` again).
// ERROR_FILE_NOT_FOUND when it does not exist. The caller closes `*result`.
LSTATUS RegOpenKeyEx(HKEY key, const std::string& subkey, REGSAM access, HKEY* result);

// Opens `subkey`, creating it and any missing key on the way.
LSTATUS RegCreateKeyEx(HKEY key, const std::string& subkey, HKEY* result);

LSTATUS RegCloseKey(HKEY key);

// Sets a value of the open key; the empty name is the key's default value.
LSTATUS RegSetValueEx(HKEY key, const std::string& name, const RegistryValue& value);
LSTATUS RegSetString(HKEY key, const std::string& name, const std::string& text);
LSTATUS RegSetNumber(HKEY key, const std::string& name, std::uint32_t number);

// Reads a value; ERROR_FILE_NOT_FOUND when the key has no such value.
LSTATUS RegQueryValueEx(HKEY key, const std::string& name, RegistryValue* value);

// The name of the index-th direct subkey, in name order; ERROR_NO_MORE_ITEMS
// past the last one.
LSTATUS RegEnumKey(HKEY key, DWORD index, std::string* name);

// The name and value of the index-th value of the key, in name order (the
// default value, when set, first); ERROR_NO_MORE_ITEMS past the last one.
LSTATUS RegEnumValue(HKEY key, DWORD index, std::string* name, RegistryValue* value);

// The numbers of direct subkeys and of values; either pointer may be null.
LSTATUS RegQueryInfoKey(HKEY key, DWORD* subkeys, DWORD* values);

// Deletes `subkey` below `key` with its values. Only a key without subkeys can
// be deleted (ERROR_ACCESS_DENIED otherwise).
LSTATUS RegDeleteKey(HKEY key, const std::string& subkey);

// Deletes `subkey` below `key` with everything beneath it, in one change.
LSTATUS RegDeleteTree(HKEY key, const std::string& subkey);

// Deletes one value of the open key.
LSTATUS RegDeleteValue(HKEY key, const std::string& name);

// The full path of an open key, "HKEY_CLASSES_ROOT\\CLSID\\{...}", with the
// spelling of its creation.
std::string RegKeyPath(HKEY key);

// Opens a key given by its full path, beginning with a root's name
// ("HKEY_CLASSES_ROOT\\CLSID" or "HKCR\\CLSID").
LSTATUS RegOpenPath(const std::string& path, REGSAM access, HKEY* result);

// A text for a result, for messages to the user ("the registry store
// /x/registry.db is read-only").
std::string RegErrorText(LSTATUS status);

// The database the calls of this process write to (for messages).
std::string RegistryStorePath();

// Moves the machine-wide store (tests; call before any other registry call).
void SetMachineRegistryPath(const std::string& path);

// Makes the calls on this thread one change until Commit(). Destroying it
// without Commit() undoes every change made since it began. Transactions nest;
// only the outermost one writes.
class RegistryTransaction {
public:
    RegistryTransaction();
    ~RegistryTransaction();
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;

    // ERROR_SUCCESS when the store could be locked for writing.
    LSTATUS status() const { return status_; }
    LSTATUS Commit();

private:
    LSTATUS status_;
    bool open_;
};

}  // namespace platform
