#include "platform/com.h"
#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/registry_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        path_ = dir_ + "/registry.db";
        setenv("KEPLIN_REGISTRY", path_.c_str(), 1);
        setenv("KEPLIN_REGISTRY_BUSY_MS", "200", 1);
    }
    void TearDown() override {
        unsetenv("KEPLIN_REGISTRY");
        unsetenv("KEPLIN_REGISTRY_BUSY_MS");
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    static void Create(const std::string& subkey, const std::string& default_value = "") {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, subkey, &key), ERROR_SUCCESS) << subkey;
        if (!default_value.empty()) {
            ASSERT_EQ(RegSetString(key, "", default_value), ERROR_SUCCESS);
        }
        RegCloseKey(key);
    }
    static bool Exists(const std::string& subkey) {
        HKEY key = nullptr;
        const LSTATUS status = RegOpenKeyEx(HKEY_CLASSES_ROOT, subkey, KEY_READ, &key);
        if (status == ERROR_SUCCESS) RegCloseKey(key);
        return status == ERROR_SUCCESS;
    }
    static std::string Default(const std::string& subkey, const std::string& name = "") {
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subkey, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
        RegistryValue value;
        const LSTATUS status = RegQueryValueEx(key, name, &value);
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? value.text : "<no value>";
    }

    std::string dir_;
    std::string path_;
};

ClassRegistration Entry(unsigned n) {
    ClassRegistration entry;
    ParseGuid("{00000000-1111-2222-3333-444444444444}", &entry.clsid);
    entry.clsid.Data1 = n;
    entry.prog_id = "Test.Class" + std::to_string(n) + ".1";
    entry.user_type_name = "Test class " + std::to_string(n);
    entry.module_path = "/kit/module" + std::to_string(n) + ".ocx";
    return entry;
}

// Every class key in the store has all of its parts, and its ProgID key too.
void ExpectEveryClassWhole(const std::string& path, int* classes) {
    sqlite3* db = nullptr;
    // Read-write: opening rolls back what a killed writer left in its journal.
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);

    HKEY clsid = nullptr;
    *classes = 0;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID", KEY_READ, &clsid) != ERROR_SUCCESS) return;
    std::string name;
    for (DWORD i = 0; RegEnumKey(clsid, i, &name) == ERROR_SUCCESS; ++i) {
        ++*classes;
        GUID guid;
        ASSERT_TRUE(ParseGuid(name, &guid)) << name;
        const ClassRegistration entry = Entry(guid.Data1);
        const std::string key = "HKEY_CLASSES_ROOT\\CLSID\\" + name;
        HKEY server = nullptr;
        ASSERT_EQ(RegOpenPath(key + "\\InprocServer32", KEY_READ, &server), ERROR_SUCCESS) << name;
        RegistryValue value;
        ASSERT_EQ(RegQueryValueEx(server, "ThreadingModel", &value), ERROR_SUCCESS) << name;
        EXPECT_EQ(value.text, "Apartment");
        RegCloseKey(server);
        HKEY prog = nullptr;
        ASSERT_EQ(RegOpenPath("HKCR\\" + entry.prog_id + "\\CLSID", KEY_READ, &prog), ERROR_SUCCESS) << name;
        ASSERT_EQ(RegQueryValueEx(prog, "", &value), ERROR_SUCCESS);
        EXPECT_EQ(value.text, name);
        RegCloseKey(prog);
    }
    RegCloseKey(clsid);
}

TEST_F(RegistryTest, NamesMatchWithoutCaseAndKeepTheirSpelling) {
    Create("CLSID\\{AbC}\\InprocServer32", "/x.ocx");
    EXPECT_TRUE(Exists("clsid\\{ABC}\\inprocserver32"));
    EXPECT_EQ(Default("CLSID\\{abc}\\INPROCSERVER32"), "/x.ocx");
    Create("clsid\\{ABC}\\ProgID");  // the existing spelling stays
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID\\{abc}", KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegKeyPath(key), "HKEY_CLASSES_ROOT\\CLSID\\{AbC}");
    std::string name;
    ASSERT_EQ(RegEnumKey(key, 0, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, "InprocServer32");
    RegCloseKey(key);

    HKEY server = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID\\{ABC}\\InprocServer32", KEY_ALL_ACCESS, &server),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetString(server, "ThreadingModel", "Apartment"), ERROR_SUCCESS);
    ASSERT_EQ(RegSetString(server, "threadingmodel", "Both"), ERROR_SUCCESS);  // one value, replaced
    ASSERT_EQ(RegSetNumber(server, "Flags", 131473), ERROR_SUCCESS);
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKey(server, nullptr, &values), ERROR_SUCCESS);
    EXPECT_EQ(values, 3u);  // default, Flags, ThreadingModel
    RegistryValue value;
    ASSERT_EQ(RegQueryValueEx(server, "THREADINGMODEL", &value), ERROR_SUCCESS);
    EXPECT_EQ(value.text, "Both");
    ASSERT_EQ(RegQueryValueEx(server, "flags", &value), ERROR_SUCCESS);
    EXPECT_EQ(value.type, REG_DWORD);
    EXPECT_EQ(value.number, 131473u);
    EXPECT_EQ(RegQueryValueEx(server, "Missing", &value), ERROR_FILE_NOT_FOUND);
    RegCloseKey(server);
}

TEST_F(RegistryTest, OpenEnumerateCountAndDeleteAsTheClassicCallsDo) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID\\{missing}", KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);

    for (const char* name : {"c", "A", "b"}) Create(std::string("Class\\") + name);
    Create("Class\\b\\nested");
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "Class", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    DWORD subkeys = 0;
    ASSERT_EQ(RegQueryInfoKey(key, &subkeys, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 3u);
    std::vector<std::string> names;
    std::string name;
    DWORD index = 0;
    LSTATUS status;
    while ((status = RegEnumKey(key, index++, &name)) == ERROR_SUCCESS) names.push_back(name);
    EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "c"}));

    // One level at a time: a key that still has subkeys stays.
    EXPECT_EQ(RegDeleteKey(key, "b"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "Class"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(key, "a"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(key, "a"), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Exists("Class\\b\\nested"));
    EXPECT_EQ(RegDeleteTree(key, "B"), ERROR_SUCCESS);
    EXPECT_FALSE(Exists("Class\\b"));
    EXPECT_FALSE(Exists("Class\\b\\nested"));
    EXPECT_TRUE(Exists("Class\\c"));
    RegCloseKey(key);

    // A handle opened for reading does not write.
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "Class", KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetString(key, "", "x"), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

TEST_F(RegistryTest, ATransactionThatIsNotCommittedLeavesNothingBehind) {
    {
        RegistryTransaction transaction;
        ASSERT_EQ(transaction.status(), ERROR_SUCCESS);
        ASSERT_EQ(RegisterClassKeys(Entry(1)), S_OK);
        {
            RegistryTransaction inner;
            Create("Inner");
            ASSERT_EQ(inner.Commit(), ERROR_SUCCESS);
        }
        EXPECT_TRUE(Exists("Inner"));  // visible inside the transaction
    }
    EXPECT_FALSE(Exists("CLSID"));
    EXPECT_FALSE(Exists("Inner"));

    ASSERT_EQ(RegisterClassKeys(Entry(2)), S_OK);
    {
        RegistryTransaction transaction;
        ASSERT_EQ(UnregisterClassKeys(Entry(2).clsid, Entry(2).prog_id), S_OK);
        EXPECT_FALSE(Exists("Test.Class2.1"));
    }
    EXPECT_TRUE(Exists("Test.Class2.1\\CLSID"));
    EXPECT_EQ(Default("CLSID\\{00000002-1111-2222-3333-444444444444}\\InprocServer32"), "/kit/module2.ocx");
}

TEST_F(RegistryTest, ReadOnlyLockedAndDamagedStoresGiveClearResultsAndStayAsTheyAre) {
    Create("Kept", "value");

    // Another process holds the write lock.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, "New", &key), ERROR_LOCK_VIOLATION);
    EXPECT_NE(RegErrorText(ERROR_LOCK_VIOLATION).find("locked by another process"), std::string::npos);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // A store the process may not write: reading still works.
    if (geteuid() != 0) {
        chmod(path_.c_str(), 0444);
        EXPECT_EQ(Default("Kept"), "value");
        EXPECT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, "New", &key), ERROR_ACCESS_DENIED);
        chmod(path_.c_str(), 0644);
    }

    // A file that is not a store is never replaced.
    const std::string junk = dir_ + "/junk.db";
    {
        std::ofstream out(junk, std::ios::binary);
        out << std::string(4096, 'x');
    }
    setenv("KEPLIN_REGISTRY", junk.c_str(), 1);
    EXPECT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, "New", &key), ERROR_BADDB);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "Kept", KEY_READ, &key), ERROR_BADDB);
    std::ifstream in(junk, std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contents, std::string(4096, 'x'));
}

TEST_F(RegistryTest, TheStoreIsNotWritableByGroupOrOthers) {
    const mode_t old = umask(0);
    setenv("KEPLIN_REGISTRY", (dir_ + "/deeper/registry.db").c_str(), 1);
    Create("Key");
    umask(old);
    struct stat info {};
    ASSERT_EQ(stat((dir_ + "/deeper/registry.db").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 022, 0u);
    ASSERT_EQ(stat((dir_ + "/deeper").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 022, 0u);
}

TEST_F(RegistryTest, AProcessKilledAtAnyMomentLeavesTheStoreWhole) {
    const unsigned seed = std::random_device{}();
    std::printf("seed %u\n", seed);
    std::mt19937 random(seed);
    int total = 0;
    for (int round = 0; round < 8; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (unsigned n = 0; n < 1000; ++n) {
                const unsigned id = static_cast<unsigned>(round) * 1000 + n;
                if (FAILED(RegisterClassKeys(Entry(id)))) _exit(1);
                if (n % 3 == 2 && FAILED(UnregisterClassKeys(Entry(id - 1).clsid, Entry(id - 1).prog_id)))
                    _exit(1);
            }
            _exit(0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 300000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << "seed " << seed;
        int classes = 0;
        ExpectEveryClassWhole(path_, &classes);
        if (HasFailure()) {
            ADD_FAILURE() << "seed " << seed << ", round " << round;
            return;
        }
        total = classes;
    }
    EXPECT_GT(total, 0);
}

TEST_F(RegistryTest, TwoProcessesRegisteringAtOnceWaitForEachOther) {
    setenv("KEPLIN_REGISTRY_BUSY_MS", "20000", 1);
    std::vector<pid_t> children;
    for (unsigned process = 0; process < 2; ++process) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (unsigned n = 0; n < 150; ++n) {
                if (FAILED(RegisterClassKeys(Entry(process * 1000 + n)))) _exit(1);
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int classes = 0;
    ExpectEveryClassWhole(path_, &classes);
    EXPECT_EQ(classes, 300);
}

// A user sees the machine's keys beneath their own, writes only their own
// store, and cannot delete what belongs to the machine.
TEST_F(RegistryTest, AUsersKeysLieOverTheMachines) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    chmod(dir_.c_str(), 0755);  // the other user reads the machine's store
    const std::string machine = dir_ + "/machine/registry.db";
    SetMachineRegistryPath(machine);
    unsetenv("KEPLIN_REGISTRY");
    Create("CLSID\\{M}\\InprocServer32", "/machine/module.ocx");
    Create("Shared", "machine");
    ASSERT_TRUE(Exists("CLSID\\{M}"));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string home = dir_ + "/home";
        mkdir(home.c_str(), 0755);
        chown(home.c_str(), 65534, 65534);
        setenv("XDG_DATA_HOME", home.c_str(), 1);
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
        if (Default("CLSID\\{m}\\InprocServer32") != "/machine/module.ocx") _exit(11);
        Create("Shared", "user");
        Create("CLSID\\{U}");
        if (Default("Shared") != "user") _exit(12);
        HKEY clsid = nullptr;
        if (RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID", KEY_ALL_ACCESS, &clsid) != ERROR_SUCCESS) _exit(13);
        DWORD subkeys = 0;
        if (RegQueryInfoKey(clsid, &subkeys, nullptr) != ERROR_SUCCESS || subkeys != 2) _exit(14);
        if (RegDeleteTree(clsid, "{M}") != ERROR_ACCESS_DENIED) _exit(15);
        if (RegDeleteKey(clsid, "{U}") != ERROR_SUCCESS) _exit(16);
        RegCloseKey(clsid);
        if (RegistryStorePath() != home + "/keplin/registry.db") _exit(17);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Default("Shared"), "machine");  // the user's value went to the user's store
    EXPECT_FALSE(Exists("CLSID\\{U}"));
    SetMachineRegistryPath("/var/lib/keplin/registry.db");
}

TEST(Guid, ParsesAndFormatsTheBracedForm) {
    GUID guid;
    ASSERT_TRUE(ParseGuid("{5E885D2D-5D22-4c21-9D9E-2B98B142948E}", &guid));
    EXPECT_EQ(guid.Data1, 0x5E885D2Du);
    EXPECT_EQ(guid.Data4[7], 0x8E);
    EXPECT_EQ(FormatGuid(guid), "{5E885D2D-5D22-4C21-9D9E-2B98B142948E}");
    EXPECT_TRUE(ParseGuid("5e885d2d-5d22-4c21-9d9e-2b98b142948e", nullptr));
    for (const char* bad : {"", "{}", "{5E885D2D-5D22-4c21-9D9E-2B98B142948E", "{5E885D2D-5D22-4c21-9D9E2B98B142948E}",
                            "{5E885D2D-5D22-4c21-9D9E-2B98B142948G}", "{5E885D2D-5D22-4c21-9D9E-2B98B142948E}x"}) {
        EXPECT_FALSE(ParseGuid(bad, &guid)) << bad;
    }
}

}  // namespace
