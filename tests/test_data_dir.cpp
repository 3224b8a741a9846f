// Where the program looks for its data folder: an option, the environment, then beside itself.
#include "app/DataDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace
{
struct Tree
{
    std::string root;
    Tree()
    {
        char dir[] = "/tmp/vq_data_dir_XXXXXX";
        root = mkdtemp(dir) ? dir : "";
        std::system(("mkdir -p '" + root + "/bin' '" + root + "/share/vqdemo'").c_str());
    }
    ~Tree() { std::system(("rm -rf '" + root + "'").c_str()); }
};
} // namespace

TEST(DataDir, AnOptionOrTheEnvironmentIsTakenAsItIs)
{
    Tree t;
    std::string error;
    EXPECT_EQ(FindDataDir("/opt/mine", "/env/data", t.root + "/bin", error), "/opt/mine");
    EXPECT_EQ(FindDataDir("", "/env/data", t.root + "/bin", error), "/env/data")
        << "a folder that was named is not replaced by one that exists";
    EXPECT_EQ(FindDataDir("", "", t.root + "/bin", error), t.root + "/bin/../share/vqdemo")
        << "an empty variable counts as not set";
}

TEST(DataDir, BesideTheProgramComesBeforeTheInstalledTree)
{
    Tree t;
    std::string error;
    EXPECT_EQ(FindDataDir("", nullptr, t.root + "/bin", error), t.root + "/bin/../share/vqdemo");
    std::system(("mkdir -p '" + t.root + "/bin/data'").c_str());
    EXPECT_EQ(FindDataDir("", nullptr, t.root + "/bin", error), t.root + "/bin/data");
}

TEST(DataDir, NoneFoundNamesBothPlacesInOneLine)
{
    Tree t;
    std::system(("rm -rf '" + t.root + "/share'").c_str());
    std::string error;
    EXPECT_EQ(FindDataDir("", nullptr, t.root + "/bin", error), "");
    EXPECT_NE(error.find(t.root + "/bin/data"), std::string::npos) << error;
    EXPECT_NE(error.find(t.root + "/bin/../share/vqdemo"), std::string::npos) << error;
    EXPECT_NE(error.find("--data"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}
