// The layers of the source tree: a file may include only from its own folder
// and the folders below it (docs/layers.md draws them). A wrong include
// builds, since every layer sees the project root; this test catches it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace pw::test {
namespace {

namespace fs = std::filesystem;

// What each layer may include besides itself.
const std::map<std::string, std::set<std::string>> kBelow = {
    {"base", {}},
    {"res", {"base"}},
    {"stores", {"base", "res"}},
    {"mail", {"base", "res"}},
    {"net", {"base", "res", "stores", "mail"}},
    {"rules", {"base", "res", "stores", "mail", "net"}},
    {"engine", {"base", "res", "stores", "mail", "net", "rules"}},
    {"ui", {"base", "res", "stores", "mail", "net", "rules", "engine"}},
    {"app", {"base", "res", "stores", "mail", "net", "rules", "engine", "ui"}},
};

// "file: #include line" for every include of a higher or sibling layer
// under `root` (folders that are no layer, such as the test peers, are not looked at).
std::vector<std::string> wrong_includes(const fs::path& root) {
  static const std::regex include(R"re(^\s*#\s*include\s*"([a-z_]+)/)re");
  std::vector<std::string> wrong;
  for (const auto& [layer, below] : kBelow) {
    if (!fs::is_directory(root / layer)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / layer)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".h" && ext != ".cpp") continue;
      const std::string file = fs::relative(entry.path(), root).generic_string();
      std::ifstream in(entry.path());
      std::smatch m;
      for (std::string line; std::getline(in, line);) {
        if (!std::regex_search(line, m, include)) continue;
        const std::string target = m[1];
        if (target == layer || below.contains(target) || !kBelow.contains(target)) continue;
        wrong.push_back(file + ": " + line);
      }
    }
  }
  return wrong;
}

TEST(Layers, noFileIncludesAHigherLayer) {
  const std::vector<std::string> wrong = wrong_includes(PW_SOURCE_DIR);
  for (const std::string& w : wrong) ADD_FAILURE() << w;
}

TEST(Layers, anIncludeUpwardsOrSidewaysIsFound) {
  const struct {
    const char* file;
    const char* include;
    bool wrong;
  } cases[] = {
      {"net/a.cpp", "engine/check_run.h", true},  {"rules/a.h", "ui/x.h", true},
      {"mail/a.cpp", "stores/x.h", true},         {"stores/a.cpp", "mail/x.h", true},
      {"engine/a.cpp", "net/pop3_session.h", false}, {"app/a.cpp", "ui/x.h", false},
  };
  for (const auto& c : cases) {
    TempDir dir;
    fs::create_directories(dir.path() / fs::path(c.file).parent_path());
    std::ofstream(dir.path() / c.file) << "#include <vector>\n#include \"" << c.include << "\"\n";
    EXPECT_EQ(wrong_includes(dir.path()).size(), c.wrong ? 1u : 0u) << c.file << " -> " << c.include;
  }
}

}  // namespace
}  // namespace pw::test
