#include "driver/file_names.h"

#include <gtest/gtest.h>

namespace scantelk {
namespace {

TEST(ReplaceExtension, ReplacesOnlyFromTheLastDotOfTheFileName) {
    EXPECT_EQ(replace_extension("run1.dat", ".rep"), "run1.rep");
    EXPECT_EQ(replace_extension("model.run2.dat", ".rep"), "model.run2.rep");
    EXPECT_EQ(replace_extension("model.run2.dat", ".tmp"), "model.run2.tmp");
    EXPECT_EQ(replace_extension("/data/runs/base.dat", ".tmp"), "/data/runs/base.tmp");
    EXPECT_EQ(replace_extension("run.", ".rep"), "run.rep");
}

TEST(ReplaceExtension, NeverCutsInsideADirectoryName) {
    EXPECT_EQ(replace_extension("runs.v2/base", ".rep"), "runs.v2/base.rep");
    EXPECT_EQ(replace_extension("runs.v2/base", ".tmp"), "runs.v2/base.tmp");
    EXPECT_EQ(replace_extension("./base", ".tmp"), "./base.tmp");
    EXPECT_EQ(replace_extension("../x.y/z.dat", ".rep"), "../x.y/z.rep");
}

TEST(ReplaceExtension, AppendsWhenTheFileNameHasNoDot) {
    EXPECT_EQ(replace_extension("base", ".rep"), "base.rep");
    EXPECT_EQ(replace_extension("", ".tmp"), ".tmp");
    EXPECT_EQ(replace_extension("dir/", ".tmp"), "dir/.tmp");
}

TEST(ReplaceExtension, HandlesPathsOfAnyLength) {
    const std::string long_dir(5000, 'd');
    EXPECT_EQ(replace_extension(long_dir + "/run.dat", ".rep"), long_dir + "/run.rep");
}

TEST(ReplaceExtension, BackslashSeparatesDirectoriesOnlyOnWindows) {
#ifdef _WIN32
    EXPECT_EQ(replace_extension("runs.v2\\base", ".rep"), "runs.v2\\base.rep");
#else
    EXPECT_EQ(replace_extension("runs.v2\\base", ".rep"), "runs.rep");
#endif
}

}  // namespace
}  // namespace scantelk
