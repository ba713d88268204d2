// The search controls installed as a user and the wizard install them:
// regsvr32 and keplin-reg end to end, and the installation worker run against
// the real kit folder with a system directory and a store of the test's own.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support.h"
#include "wizard/install_worker.h"

namespace fs = std::filesystem;
using namespace platform;
using activex_test::Default;
using activex_test::Result;
using activex_test::Shell;

namespace {

class Install : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/activex_install_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        setenv("KEPLIN_REGISTRY", (m_dir + "/registry.db").c_str(), 1);
        setenv("KEPLIN_SYSTEM_DIR", (m_dir + "/system32").c_str(), 1);
        const char* kit = std::getenv("KEPLIN_KIT_DIR");
        ASSERT_NE(kit, nullptr);
        m_kit = kit;
    }
    void TearDown() override {
        unsetenv("KEPLIN_SYSTEM_DIR");
        fs::remove_all(m_dir);
    }

    std::string m_dir;
    std::string m_kit;
};

TEST_F(Install, Regsvr32RegistersTheControlAndKeplinRegShowsItsProgId) {
    const std::string module = m_kit + "/Installocx/KeplinOcx_cn.ocx";
    Result r = Shell(m_kit + "/regsvr32 " + module);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("DllRegisterServer in " + module + " succeeded."), std::string::npos) << r.out;

    r = Shell(m_kit + "/keplin-reg query 'HKEY_CLASSES_ROOT\\KEPLINACTIVEX.KeplinActiveXCtrl.1' --recursive");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("HKEY_CLASSES_ROOT\\KEPLINACTIVEX.KeplinActiveXCtrl.1\\CLSID\n"
                         "    (Default)    REG_SZ    {5E885D2D-5D22-4C21-9D9E-2B98B142948E}"),
              std::string::npos)
        << r.out;
    r = Shell(m_kit + "/keplin-reg query 'HKCR\\CLSID\\{5E885D2D-5D22-4C21-9D9E-2B98B142948E}\\MiscStatus\\1'");
    EXPECT_NE(r.out.find("131473"), std::string::npos) << r.out;

    r = Shell(m_kit + "/regsvr32 -u -s " + module);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Default("KEPLINACTIVEX.KeplinActiveXCtrl.1\\CLSID"), "<missing>");
    EXPECT_EQ(Default("TypeLib\\{FB9B15A9-CDBE-40B8-80C3-A6DE4EEEBE8F}\\1.0"), "<missing>");
}

TEST_F(Install, TheInstallationPageLeavesAllFourControlsRegisteredInTheSystemDirectory) {
    // A firewall command of the test's own, so that the step touches nothing.
    fs::create_directories(m_dir + "/bin");
    std::ofstream(m_dir + "/bin/netsh") << "#!/bin/sh\nexit 0\n";
    fs::permissions(m_dir + "/bin/netsh", fs::perms(0755));
    const std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (m_dir + "/bin:" + old_path).c_str(), 1);
    wizard::SetWow64Probe([] { return false; });

    EXPECT_EQ(wizard::InstallWorker(m_kit + "/"), 0u);
    setenv("PATH", old_path.c_str(), 1);
    wizard::SetWow64Probe(nullptr);

    const std::string system = fs::canonical(m_dir + "/system32").string();
    const struct {
        const char* clsid;
        const char* name;
        std::string module;
    } expected[] = {
        {"{5E885D2D-5D22-4C21-9D9E-2B98B142948E}", "KeplinActiveX Control", system + "/KeplinOcx_cn.ocx"},
        {"{4CD1E4D7-7124-48A5-BDB3-240EDFD1969A}", "KeplinActiveX_en Control", system + "/KeplinOcx_en.ocx"},
        {"{6F1D4C2A-93B7-4E58-A0C1-27D8E5B3F94A}", "Ombrel Control", system + "/ocx_L/Ombrel.ocx"},
        {"{B3A87E15-2C6D-4F90-8E4B-D1570A9C36E2}", "Halvix Control", system + "/ocx_M/Halvix.ocx"},
    };
    for (const auto& control : expected) {
        const std::string key = std::string("CLSID\\") + control.clsid;
        EXPECT_EQ(Default(key), control.name);
        EXPECT_EQ(Default(key + "\\InprocServer32"), control.module);
    }
    EXPECT_EQ(Default("KEPLINACTIVEXEN.KeplinActiveXenCtrl.1\\CLSID"), "{4CD1E4D7-7124-48A5-BDB3-240EDFD1969A}");
    EXPECT_EQ(Default("TypeLib\\{344770EF-11B1-4881-8552-2A29ED121140}\\1.0\\409\\linux"),
              system + "/KeplinOcx_en.ocx");
}

}  // namespace
