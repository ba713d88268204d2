#include "wizard/install_worker.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/com.h"
#include "platform/filecopy.h"
#include "platform/registry.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text, fs::perms perms = fs::perms(0644)) {
    if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
    fs::permissions(path, perms);
}

bool Exists(const std::string& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subkey, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string DefaultValue(const std::string& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subkey, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    RegistryValue value;
    const LSTATUS status = RegQueryValueEx(key, "", &value);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? value.text : "<no value>";
}

void CreateKey(const std::string& subkey) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, subkey, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

// A kit folder, a system directory and a registry store in a temporary
// folder; a recording regsvr32 beside the wizard and a recording firewall
// command on PATH.
class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/install_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        kit_ = root_ + "/kit with blanks/";
        system_ = root_ + "/windows/system32";
        fs::create_directories(kit_);
        setenv("KEPLIN_REGISTRY", (root_ + "/registry.db").c_str(), 1);
        setenv("KEPLIN_SYSTEM_DIR", system_.c_str(), 1);
        setenv("KEPLIN_INSTALL_LOG", "1", 1);
        old_path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        const std::string bin = root_ + "/bin";
        WriteFile(bin + "/netsh", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$0.log.tmp\"\n"
                                  "mv \"$0.log.tmp\" \"$0.log\"\n",
                  fs::perms(0755));
        setenv("PATH", (bin + ":" + old_path_).c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", old_path_.c_str(), 1);
        unsetenv("KEPLIN_REGISTRY");
        unsetenv("KEPLIN_SYSTEM_DIR");
        unsetenv("KEPLIN_INSTALL_LOG");
        wizard::SetWow64Probe(nullptr);
        fs::remove_all(root_);
    }

    // A regsvr32 in the kit folder that writes each call's arguments to a log.
    void RecordingRegsvr32() {
        WriteFile(kit_ + "regsvr32",
                  "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done >> \"$(dirname \"$0\")/regsvr32.log\"\n"
                  "echo >> \"$(dirname \"$0\")/regsvr32.log\"\n",
                  fs::perms(0755));
    }

    // Runs the worker and returns what it logged.
    std::string Install() {
        testing::internal::CaptureStderr();
        EXPECT_EQ(wizard::InstallWorker(kit_), 0u);
        return testing::internal::GetCapturedStderr();
    }

    std::string root_, kit_, system_, old_path_;
};

TEST_F(InstallTest, TheBatchFileHoldsItsEightLinesAndRunsTwiceWithTheKitsRegsvr32) {
    RecordingRegsvr32();
    WriteFile(kit_ + "Installocx/KeplinOcx_cn.ocx", "not a module");
    const std::string log = Install();

    const std::string& t = system_;
    EXPECT_EQ(ReadFile(system_ + "/regall.bat"),
              "regsvr32 -u -s " + t + "/KeplinOcx_cn.ocx \r\n"
              "regsvr32 -u -s " + t + "/KeplinOcx_en.ocx \r\n"
              "regsvr32 -u -s " + t + "/ocx_L/Ombrel.ocx \r\n"
              "regsvr32 -u -s " + t + "/ocx_M/Halvix.ocx \r\n"
              "regsvr32 -s " + t + "/KeplinOcx_cn.ocx \r\n"
              "regsvr32 -s " + t + "/KeplinOcx_en.ocx \r\n"
              "regsvr32 -s " + t + "/ocx_L/Ombrel.ocx \r\n"
              "regsvr32 -s " + t + "/ocx_M/Halvix.ocx \r\n");
    // Each line reaches regsvr32 with the carriage return as a last word.
    std::string calls;
    for (const char* flags : {"[-u][-s]", "[-s]"}) {
        for (const char* file : {"KeplinOcx_cn.ocx", "KeplinOcx_en.ocx", "ocx_L/Ombrel.ocx", "ocx_M/Halvix.ocx"})
            calls += std::string(flags) + "[" + t + "/" + file + "][\r]\n";
    }
    EXPECT_EQ(ReadFile(kit_ + "regsvr32.log"), calls + calls);

    // The order of the steps.
    const std::vector<std::string> steps = {
        "install: firewall exception",
        "install: installing " + kit_ + "Installocx into " + system_,
        "install: stale registration CLSID\\{5E885D2D-5D22-4c21-9D9E-2B98B142948E}: none",
        "install: stale registration CLSID\\{4CD1E4D7-7124-48a5-BDB3-240EDFD1969A}: none",
        "install: copy " + kit_ + "Installocx/KeplinOcx_cn.ocx -> " + system_ + "/KeplinOcx_cn.ocx: done",
        "install: batch " + system_ + "/regall.bat: written",
        "install: register KeplinOcx_cn (" + system_ + "/KeplinOcx_cn.ocx): does not load",
        "install: register KeplinOcx_en (" + system_ + "/KeplinOcx_en.ocx): does not load",
        "install: batch " + system_ + "/regall.bat: exit status 0",
        "install: register KeplinOcx_cn",
        "install: register KeplinOcx_en",
        "install: batch " + system_ + "/regall.bat: exit status 0",
        "install: done",
    };
    std::size_t at = 0;
    for (const auto& step : steps) {
        const std::size_t found = log.find(step, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << step << "\nlog:\n" << log;
        at = found + step.size();
    }
}

TEST_F(InstallTest, TheFirewallGetsTheProgramPathAsOneArgument) {
    // The worker runs in a copy of this program inside the folder with blanks.
    const std::string program = kit_ + "TavrinSetup";
    fs::copy_file("/proc/self/exe", program);
    fs::permissions(program, fs::perms(0755));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("INSTALL_TEST_CHILD", kit_.c_str(), 1);
        execl(program.c_str(), program.c_str(), "--gtest_filter=InstallChild.RunsTheWorker", nullptr);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string log = root_ + "/bin/netsh.log";
    for (int i = 0; i < 200 && !fs::exists(log); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadFile(log), "[firewall][add][allowedprogram][" + program + "][ENABLE]");
}

TEST(InstallChild, RunsTheWorker) {
    const char* kit = std::getenv("INSTALL_TEST_CHILD");
    if (!kit) GTEST_SKIP() << "runs only as the child of another test";
    wizard::InstallWorker(kit);
}

TEST_F(InstallTest, AMissingKitFolderStillWritesAndRunsTheBatchAndTriesTheControls) {
    RecordingRegsvr32();
    const std::string log = Install();
    EXPECT_TRUE(fs::exists(system_ + "/regall.bat"));
    std::size_t registrations = 0;
    for (std::size_t at = 0; (at = log.find("register KeplinOcx_cn", at)) != std::string::npos; ++at) ++registrations;
    EXPECT_EQ(registrations, 2u);
    std::string calls = ReadFile(kit_ + "regsvr32.log");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), '\n'), 16);
}

TEST_F(InstallTest, StaleClassKeysLoseOneLevelOfSubkeys) {
    const std::string cn = "CLSID\\{5E885D2D-5D22-4C21-9D9E-2B98B142948E}";
    const std::string en = "CLSID\\{4CD1E4D7-7124-48A5-BDB3-240EDFD1969A}";
    for (const char* sub : {"\\InprocServer32", "\\ProgID", "\\Control"}) CreateKey(cn + sub);
    CreateKey(en + "\\InprocServer32");
    CreateKey(en + "\\TypeLib\\nested");
    CreateKey("CLSID\\{6F1D4C2A-93B7-4E58-A0C1-27D8E5B3F94A}\\InprocServer32");

    wizard::DeleteControlClsids();
    EXPECT_FALSE(Exists(cn));
    EXPECT_FALSE(Exists(en + "\\InprocServer32"));
    EXPECT_TRUE(Exists(en + "\\TypeLib\\nested"));  // one level only: it and its class key stay
    EXPECT_TRUE(Exists("CLSID\\{6F1D4C2A-93B7-4E58-A0C1-27D8E5B3F94A}\\InprocServer32"));
}

TEST_F(InstallTest, On64BitSystemsA32BitWizardInstallsIntoSysWow64) {
    RecordingRegsvr32();
    WriteFile(kit_ + "Installocx/ocx_M/Halvix.ocx", "x");
    wizard::SetWow64Probe([] { return true; });
    Install();
    const std::string wow = root_ + "/windows/SysWOW64";
    EXPECT_TRUE(fs::exists(wow + "/ocx_M/Halvix.ocx"));
    EXPECT_FALSE(fs::exists(system_));
    EXPECT_NE(ReadFile(wow + "/regall.bat").find("regsvr32 -s " + wow + "/ocx_M/Halvix.ocx \r\n"), std::string::npos);
    EXPECT_NE(ReadFile(kit_ + "regsvr32.log").find("[" + wow + "/ocx_M/Halvix.ocx]"), std::string::npos);
}

TEST_F(InstallTest, TheRealKitRegistersAllItsControls) {
    const char* kit_dir = std::getenv("KEPLIN_KIT_DIR");
    ASSERT_NE(kit_dir, nullptr);
    fs::copy(std::string(kit_dir) + "/Installocx", kit_ + "Installocx", fs::copy_options::recursive);
    fs::copy_file(std::string(kit_dir) + "/regsvr32", kit_ + "regsvr32");
    // A control registered from elsewhere before is replaced.
    CreateKey("CLSID\\{B3A87E15-2C6D-4F90-8E4B-D1570A9C36E2}\\InprocServer32");

    const auto start = std::chrono::steady_clock::now();
    const std::string log = Install();
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("installation took %lld ms\n", static_cast<long long>(ms));

    for (const auto& [clsid, file] :
         {std::pair<std::string, std::string>{"{6F1D4C2A-93B7-4E58-A0C1-27D8E5B3F94A}", "/ocx_L/Ombrel.ocx"},
          {"{B3A87E15-2C6D-4F90-8E4B-D1570A9C36E2}", "/ocx_M/Halvix.ocx"}}) {
        EXPECT_EQ(DefaultValue("CLSID\\" + clsid + "\\InprocServer32"), system_ + file) << log;
    }
    EXPECT_EQ(DefaultValue("HALVIX.HalvixCtrl.1\\CLSID"), "{B3A87E15-2C6D-4F90-8E4B-D1570A9C36E2}");
    // Nothing the installation made is writable by group or others.
    for (const auto& entry : fs::recursive_directory_iterator(system_)) {
        struct stat info {};
        ASSERT_EQ(lstat(entry.path().c_str(), &info), 0);
        if (!S_ISLNK(info.st_mode)) {
            EXPECT_EQ(info.st_mode & 022, 0u) << entry.path();
        }
    }
}

TEST_F(InstallTest, CopyFolderReplacesTheSourcePrefixOnceAndKeepsLinks) {
    // Relative names make the source's name recur inside the tree.
    const std::string old_dir = fs::current_path();
    fs::current_path(root_);
    WriteFile("kit/a.txt", "top");
    WriteFile("kit/sub/kit/b.txt", "deep");
    fs::create_symlink("a.txt", "kit/link");
    fs::create_directory_symlink("..", "kit/sub/loop");  // a loop is copied as a link, not followed
    EXPECT_EQ(wizard::CopyFolder("kit", "out", false), 1);
    EXPECT_EQ(ReadFile("out/sub/kit/b.txt"), "deep");
    EXPECT_FALSE(fs::exists("out/sub/out"));
    EXPECT_TRUE(fs::is_symlink("out/link"));
    EXPECT_EQ(fs::read_symlink("out/link"), "a.txt");
    EXPECT_TRUE(fs::is_symlink("out/sub/loop"));

    WriteFile("kit/a.txt", "changed");
    wizard::CopyFolder("kit", "out", true);
    EXPECT_EQ(ReadFile("out/a.txt"), "top");  // kept when asked to fail on existing files
    wizard::CopyFolder("kit", "out", false);
    EXPECT_EQ(ReadFile("out/a.txt"), "changed");

    fs::create_directory("empty");
    EXPECT_EQ(wizard::CopyFolder("empty", "out2", false), 0);
    EXPECT_EQ(wizard::CopyFolder("", "out3", false), 0);
    EXPECT_EQ(wizard::CopyFolder("missing", "out4", false), 0);
    WriteFile("blocker", "a file where the target folder should be");
    EXPECT_EQ(wizard::CopyFolder("kit", "blocker/target", false), 0);
    fs::current_path(old_dir);
}

TEST_F(InstallTest, AnInterruptedCopyNeverLeavesATruncatedFile) {
    const std::string source = root_ + "/big.ocx", target = root_ + "/target.ocx";
    WriteFile(source, std::string(32 << 20, 'n'));
    WriteFile(target, "old control");
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    for (int round = 0; round < 5; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) _exit(CopyFileAtomic(source, target, false) ? 0 : 1);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 60000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const auto size = fs::file_size(target);
        EXPECT_TRUE(size == 11 || size == (32u << 20)) << "seed " << seed << ": " << size << " bytes";
    }
}

}  // namespace
