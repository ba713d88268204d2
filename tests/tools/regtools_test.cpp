// regsvr32 and keplin-reg as a user runs them: exit statuses, what they print,
// and what they leave in the store.
#include <gtest/gtest.h>

#include "../shell_capture.h"
#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

using test_shell::Result;
using test_shell::Shell;

class RegToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/regtools_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("KEPLIN_REGISTRY", (dir_ + "/registry.db").c_str(), 1);
        setenv("KEPLIN_REGISTRY_BUSY_MS", "100", 1);
        kit_ = std::getenv("KEPLIN_KIT_DIR");
        halvix_ = kit_ + "/Installocx/ocx_M/Halvix.ocx";
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Regsvr32(const std::string& args) { return "'" + kit_ + "/regsvr32' " + args; }
    std::string Reg(const std::string& args) { return "'" + kit_ + "/keplin-reg' " + args; }

    std::string dir_, kit_, halvix_;
};

const char kClass[] = "HKEY_CLASSES_ROOT\\CLSID\\{B3A87E15-2C6D-4F90-8E4B-D1570A9C36E2}";

TEST_F(RegToolsTest, RegisteringShowsTheClassAndUnregisteringRemovesIt) {
    Result r = Shell(Regsvr32("'" + halvix_ + "'"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "DllRegisterServer in " + halvix_ + " succeeded.\n");

    r = Shell(Reg("query 'HKEY_CLASSES_ROOT\\CLSID' --recursive"));
    EXPECT_EQ(r.status, 0);
    const std::string expected = std::string(kClass) + "\n    (Default)    REG_SZ    Halvix Control\n\n" + kClass +
                                 "\\InprocServer32\n    (Default)    REG_SZ    " + halvix_ +
                                 "\n    ThreadingModel    REG_SZ    Apartment\n\n" + kClass +
                                 "\\ProgID\n    (Default)    REG_SZ    HALVIX.HalvixCtrl.1\n";
    EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;

    r = Shell(Reg("query 'hkcr\\halvix.halvixctrl.1\\clsid' --format json"));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"data\": \"{B3A87E15-2C6D-4F90-8E4B-D1570A9C36E2}\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"path\": \"HKEY_CLASSES_ROOT\\\\HALVIX.HalvixCtrl.1\\\\CLSID\""), std::string::npos);

    r = Shell(Reg("export 'HKCR\\HALVIX.HalvixCtrl.1'"));
    EXPECT_NE(r.out.find("[HKEY_CLASSES_ROOT\\HALVIX.HalvixCtrl.1\\CLSID]\n@=\"{B3A87E15"), std::string::npos) << r.out;

    // The flags as a batch file line hands them over: /u, /s and a lone CR.
    r = Shell(Regsvr32("/u /s '" + halvix_ + "' '\r'"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    r = Shell(Reg(std::string("query '") + kClass + "'"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("does not exist"), std::string::npos);
}

TEST_F(RegToolsTest, Regsvr32ExitStatusesSayWhatFailed) {
    const std::string probe = TEST_MODULE;
    EXPECT_EQ(Shell(Regsvr32("")).status, 1);
    EXPECT_EQ(Shell(Regsvr32("-x '" + halvix_ + "'")).status, 1);
    EXPECT_EQ(Shell(Regsvr32("'" + halvix_ + "' '" + halvix_ + "'")).status, 1);

    Result r = Shell(Regsvr32("'" + dir_ + "/missing.ocx'"));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("failed to load"), std::string::npos);
    const std::string text = dir_ + "/text.ocx";
    std::ofstream(text) << "not a module";
    EXPECT_EQ(Shell(Regsvr32("'" + text + "'")).status, 3);
    EXPECT_EQ(Shell(Regsvr32("-s '" + text + "'")).out, "");

    r = Shell(Regsvr32("'" + probe + "'"));
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.out.find("entry-point DllRegisterServer was not found"), std::string::npos) << r.out;

    r = Shell(Regsvr32("-u '" + probe + "'"));
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.out.find("failed with error code 0x80004005"), std::string::npos) << r.out;
}

TEST_F(RegToolsTest, AStoreThatCannotBeWrittenIsNamedAndNothingIsHalfRegistered) {
    ASSERT_EQ(Shell(Regsvr32("-s '" + halvix_ + "'")).status, 0);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ + "/registry.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Result r = Shell(Regsvr32("-u '" + halvix_ + "'"));
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.out.find("0x80040201"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("locked by another process"), std::string::npos) << r.out;
    r = Shell(Reg("delete 'HKCR\\HALVIX.HalvixCtrl.1' --tree"));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("locked by another process"), std::string::npos) << r.out;
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(Shell(Reg(std::string("query '") + kClass + "\\InprocServer32'")).status, 0);

    const std::string junk = dir_ + "/junk.db";
    std::ofstream(junk) << std::string(2048, 'j');
    setenv("KEPLIN_REGISTRY", junk.c_str(), 1);
    r = Shell(Regsvr32("'" + halvix_ + "'"));
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.out.find("damaged or not a registry store"), std::string::npos) << r.out;
    r = Shell(Reg("query HKCR"));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(fs::file_size(junk), 2048u);
}

TEST_F(RegToolsTest, DeletingAKeyWithSubkeysNeedsTree) {
    ASSERT_EQ(Shell(Regsvr32("-s '" + halvix_ + "'")).status, 0);
    Result r = Shell(Reg(std::string("delete '") + kClass + "'"));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("--tree"), std::string::npos);
    EXPECT_EQ(Shell(Reg(std::string("delete '") + kClass + "\\ProgID'")).status, 0);
    EXPECT_EQ(Shell(Reg(std::string("delete '") + kClass + "' --tree")).status, 0);
    EXPECT_EQ(Shell(Reg(std::string("query '") + kClass + "'")).status, 1);
    EXPECT_EQ(Shell(Reg("delete 'HKCR\\Nothing\\Here'")).status, 1);
    EXPECT_EQ(Shell(Reg("delete HKCR")).status, 2);
    EXPECT_EQ(Shell(Reg("query")).status, 2);
    EXPECT_EQ(Shell(Reg("query 'NOROOT\\x'")).status, 1);
}

}  // namespace
