// ocxhost's refusals: each says what is wrong and exits with its own status.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/com.h"
#include "support.h"

namespace fs = std::filesystem;
using activex_test::Result;
using activex_test::Shell;

namespace {

class OcxHost : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ocxhost_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        setenv("KEPLIN_REGISTRY", (m_dir + "/registry.db").c_str(), 1);
        m_kit = std::getenv("KEPLIN_KIT_DIR");
        m_host = m_kit + "/ocxhost ";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string m_dir, m_kit, m_host;
};

TEST_F(OcxHost, RefusesWhatItCannotHostWithAMessageAndItsOwnStatus) {
    Result r = Shell(m_host);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Usage: ocxhost"), std::string::npos) << r.out;
    r = Shell(m_host + "KEPLINACTIVEX.KeplinActiveXCtrl.1 --call SetLang");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("--call wants METHOD=ARG"), std::string::npos) << r.out;

    r = Shell(m_host + "KEPLINACTIVEX.KeplinActiveXCtrl.1");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("\"KEPLINACTIVEX.KeplinActiveXCtrl.1\" is not a registered ProgID"), std::string::npos)
        << r.out;
    r = Shell(m_host + "'{5E885D2D-5D22-4C21-9D9E-2B98B142948E}'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("is not registered"), std::string::npos) << r.out;

    // A class whose module is not a loadable file.
    const std::string junk = m_dir + "/junk.ocx";
    std::ofstream(junk) << "not a module";
    platform::ClassRegistration entry;
    platform::ParseGuid("{11111111-2222-3333-4444-555555555555}", &entry.clsid);
    entry.prog_id = "JUNK.JunkCtrl.1";
    entry.user_type_name = "Junk";
    entry.module_path = junk;
    ASSERT_EQ(platform::RegisterClassKeys(entry), platform::S_OK);
    r = Shell(m_host + "JUNK.JunkCtrl.1");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("the module " + junk + " does not load"), std::string::npos) << r.out;

    // A registered control and a method it does not have.
    ASSERT_EQ(Shell(m_kit + "/regsvr32 -s " + m_kit + "/Installocx/KeplinOcx_en.ocx").status, 0);
    r = Shell(m_host + "KEPLINACTIVEXEN.KeplinActiveXenCtrl.1 --call SetLang=lang_en.ini --call Explode=now");
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.out.find("method Explode: 0x80020006 (unknown method)"), std::string::npos) << r.out;
}

}  // namespace
