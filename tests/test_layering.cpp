// The folders of src/ are layers: each may include its own headers and those of the layers below
// it, never one above, so there is no include cycle between folders. This reads every #include
// line of the sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// From the floor up.
const std::vector<std::string> kLayers = {"app/platform", "math",    "audio",  "resource", "render",
                                          "procedural",   "formats", "scenes", "app"};

int layerOf(const std::string& folder)
{
    const auto it = std::find(kLayers.begin(), kLayers.end(), folder);
    return it == kLayers.end() ? -1 : static_cast<int>(it - kLayers.begin());
}

std::string folderOf(const std::string& path) // "app/platform/GLWindow.h" -> "app/platform"
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

struct Include
{
    std::string file, target;
    int line;
};

// Every quoted include of every source under src/, with the folder it names.
std::vector<Include> readIncludes(const fs::path& src)
{
    static const std::regex quoted(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::vector<Include> found;
    for (const auto& entry : fs::recursive_directory_iterator(src))
    {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        std::ifstream in(entry.path());
        std::string text;
        for (int n = 1; std::getline(in, text); ++n)
        {
            std::smatch m;
            if (std::regex_search(text, m, quoted))
                found.push_back({fs::relative(entry.path(), src).generic_string(), m[1].str(), n});
        }
    }
    return found;
}

fs::path sourceDir()
{
    const char* s = std::getenv("VQ_SOURCE_DIR");
    return s ? fs::path(s) / "src" : fs::path();
}
} // namespace

TEST(Layering, NoFolderIncludesALayerAboveIt)
{
    const fs::path src = sourceDir();
    if (src.empty() || !fs::is_directory(src))
        GTEST_SKIP() << "VQ_SOURCE_DIR not set (run through ctest)";
    const std::vector<Include> includes = readIncludes(src);
    ASSERT_GT(includes.size(), 100u);
    for (const Include& inc : includes)
    {
        const std::string from = folderOf(inc.file), to = folderOf(inc.target);
        ASSERT_GE(layerOf(from), 0) << inc.file << " lies in a folder that is no layer";
        if (to.empty())
            continue; // a header beside the file
        ASSERT_GE(layerOf(to), 0) << inc.file << ":" << inc.line << " includes \"" << inc.target
                                  << "\" from a folder that is no layer";
        EXPECT_LE(layerOf(to), layerOf(from))
            << inc.file << ":" << inc.line << " includes \"" << inc.target << "\", a layer above its own";
    }
}

TEST(Layering, TheFolderGraphHasNoCycle)
{
    const fs::path src = sourceDir();
    if (src.empty() || !fs::is_directory(src))
        GTEST_SKIP() << "VQ_SOURCE_DIR not set (run through ctest)";
    std::map<std::string, std::set<std::string>> edges;
    for (const Include& inc : readIncludes(src))
    {
        const std::string from = folderOf(inc.file), to = folderOf(inc.target);
        if (!to.empty() && to != from)
            edges[from].insert(to);
    }
    // Depth-first search for a back edge; the path found is reported.
    std::map<std::string, int> state; // 0 unseen, 1 on the path, 2 done
    std::vector<std::string> path;
    std::string cycle;
    std::function<void(const std::string&)> visit = [&](const std::string& f)
    {
        state[f] = 1;
        path.push_back(f);
        for (const std::string& t : edges[f])
        {
            if (state[t] == 1 && cycle.empty())
            {
                for (auto it = std::find(path.begin(), path.end(), t); it != path.end(); ++it)
                    cycle += *it + " -> ";
                cycle += t;
            }
            else if (state[t] == 0)
                visit(t);
        }
        path.pop_back();
        state[f] = 2;
    };
    for (const auto& e : edges)
        if (state[e.first] == 0)
            visit(e.first);
    EXPECT_TRUE(cycle.empty()) << "include cycle: " << cycle;
}
