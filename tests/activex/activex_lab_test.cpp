// ocxhost hosting each search control in the lab: a search from the hosted
// dialog lists the lab's cameras of both protocols.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "lab_support.h"
#include "support.h"

using namespace keplin::lab;
using activex_test::Result;

namespace {

TEST(ActiveXLab, OcxHostWithEitherControlListsTheLabsCameras) {
    const Lab lab = Lab::require();
    const std::string dir = makeTempDir();
    setenv("KEPLIN_REGISTRY", (dir + "/registry.db").c_str(), 1);
    for (const char* module : {"KeplinOcx_cn.ocx", "KeplinOcx_en.ocx"})
        ASSERT_EQ(activex_test::Shell(Lab::kitPath("regsvr32") + " -s " + Lab::kitPath(std::string("Installocx/") + module))
                      .status,
                  0);

    CamSim text(lab, 0, {"--camera", "kind=text,ip=10.213.0.50,name=Door"});
    CamSim broadcast(lab, 1, {"--camera", "kind=broadcast,ip=10.213.0.70,name=Gate"});

    for (const char* prog_id : {"KEPLINACTIVEX.KeplinActiveXCtrl.1", "KEPLINACTIVEXEN.KeplinActiveXenCtrl.1"}) {
        // The list fills 2.5 s after the search. A host that hangs fails here
        // (status 124) instead of holding the whole run.
        const Result r =
            activex_test::Shell("timeout 60 " + Lab::kitPath("ocxhost") + " " + prog_id + " --search --list-after 4000", false);
        EXPECT_EQ(r.status, 0) << prog_id;
        EXPECT_NE(r.out.find("\tDoor\t10.213.0.50\n"), std::string::npos) << prog_id << ":\n" << r.out;
        EXPECT_NE(r.out.find("\tGate\t10.213.0.70\n"), std::string::npos) << prog_id << ":\n" << r.out;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
