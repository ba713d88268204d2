// The wizard's committed pictures: the sizes and depths the wizard's pages
// are laid out for, and exactly what tools/artgen draws today.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::uint32_t Le(const std::string& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int k = bytes - 1; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(b[at + k]);
  return v;
}

class WizardPictures : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* source = std::getenv("KEPLIN_SOURCE_DIR");
    if (!source) GTEST_SKIP() << "KEPLIN_SOURCE_DIR not set";
    m_res = fs::path(source) / "wizard" / "res";
  }
  fs::path m_res;
};

TEST_F(WizardPictures, EachBitmapHasTheSizeAndDepthItsItemsExpect) {
  struct Expected {
    unsigned id;
    std::uint32_t width, height, bits;
  } const expected[] = {
      {129, 405, 67, 24},  {131, 130, 33, 24},  {133, 363, 99, 24},  {135, 213, 66, 24},  {137, 150, 150, 24},
      {138, 150, 150, 24}, {139, 150, 150, 24}, {140, 150, 150, 24}, {141, 214, 58, 8},   {142, 405, 66, 24},
      {143, 395, 195, 24}, {147, 150, 150, 24}, {148, 150, 150, 24}, {149, 150, 150, 24}, {150, 150, 150, 24},
      {151, 150, 150, 24}, {152, 150, 150, 24}, {153, 150, 150, 24}, {157, 200, 200, 24}, {158, 200, 200, 24},
      {165, 300, 120, 24}, {167, 300, 120, 24},
  };
  for (const Expected& e : expected) {
    const std::string name = "bmp" + std::to_string(e.id) + ".bmp";
    const std::string b = ReadFile(m_res / name);
    ASSERT_GE(b.size(), 54u) << name;
    EXPECT_EQ(b.substr(0, 2), "BM") << name;
    EXPECT_EQ(Le(b, 18, 4), e.width) << name;
    EXPECT_EQ(Le(b, 22, 4), e.height) << name;  // positive: bottom-up, as resources are
    EXPECT_EQ(Le(b, 28, 2), e.bits) << name;
    EXPECT_EQ(Le(b, 30, 4), 0u) << name << " is compressed";
    const std::uint32_t row = (e.width * e.bits / 8 + 3) & ~3u;
    EXPECT_EQ(b.size(), Le(b, 10, 4) + row * e.height) << name;
  }
}

TEST_F(WizardPictures, TheGeneratorDrawsTheCommittedFilesByteForByte) {
  char pattern[] = "/tmp/artgen_test.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path out = pattern;

  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.emplace_back("ASAN_OPTIONS=detect_leaks=0");  // the font libraries keep their caches
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = ARTGEN_PATH, target = out.string();
  char* argv[] = {program.data(), target.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, envp.data()), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::size_t compared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(out)) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = fs::relative(entry.path(), out);
    EXPECT_TRUE(ReadFile(entry.path()) == ReadFile(m_res / relative))
        << relative << " differs: run tools/artgen/regen.sh and commit wizard/res";
    ++compared;
  }
  for (const auto& entry : fs::recursive_directory_iterator(m_res)) {
    const fs::path relative = fs::relative(entry.path(), m_res);
    const std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && (ext == ".bmp" || ext == ".png")) {
      EXPECT_TRUE(fs::exists(out / relative)) << relative << " is no longer drawn";
    }
  }
  EXPECT_EQ(compared, 22u + 2u * 6u + 1u);  // bitmaps, two programs' icons, bitmaps.cmake
  fs::remove_all(out);
}

}  // namespace
