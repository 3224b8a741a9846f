// The data folder the build generates holds exactly the files the program reads: no name that the
// program asks for is missing, and no generator writes a file nobody reads.
#include "app/DataFiles.h"
#include "formats/HlfParse.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;

TEST(DataFiles, TheGeneratedFolderHoldsExactlyWhatTheProgramReads)
{
    const char* data = std::getenv("VQ_DATA_DIR");
    if (!data || !fs::is_directory(data))
        GTEST_SKIP() << "VQ_DATA_DIR not set (run through ctest)";

    std::set<std::string> read(RequiredDataFiles().begin(), RequiredDataFiles().end());
    for (const std::string& f : RequiredDataFiles())
    {
        // The character's list names its parts' files inside itself.
        if (f.size() <= 5 || f.compare(f.size() - 5, 5, ".ohlf") != 0)
            continue;
        std::vector<hlf::OhlfPart> parts;
        std::string fault;
        ASSERT_TRUE(hlf::LoadOHLF(std::string(data) + "/" + f, parts, fault)) << fault;
        for (const hlf::OhlfPart& p : parts)
            for (const std::string& name : {p.model, p.texture, p.anim})
                read.insert(hlf::MapBackslashes(name));
    }

    std::set<std::string> generated;
    for (const auto& entry : fs::recursive_directory_iterator(data))
        if (entry.is_regular_file())
            generated.insert(fs::relative(entry.path(), data).generic_string());

    for (const std::string& f : read)
        EXPECT_TRUE(generated.count(f)) << "the program reads " << f << ", which the build does not make";
    for (const std::string& f : generated)
        EXPECT_TRUE(read.count(f)) << "the build makes " << f << ", which the program never reads";
}
