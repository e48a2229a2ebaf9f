// The case table, run against the real program by whichever runner this test is linked with.
#include "cases.h"
#include "tool.h"

#include <gtest/gtest.h>

namespace {

class Table : public ::testing::TestWithParam<cases::Case> {};

TEST_P(Table, LeavesTheDocumentAndReportsAsExpected) {
    const cases::Case& c = GetParam();
    const std::string dir = tool::make_dir();
    const std::string doc = dir + "/extern.xml";
    if (c.before) tool::write_file(doc, *c.before);

    const tool::Result result = tool::run(dir, c.tail);

    EXPECT_EQ(result.exit_code, c.exit_code);
    if (c.message) {
        EXPECT_EQ(result.first_line(), std::string("Error: ") + c.message);
    } else {
        EXPECT_EQ(result.error_output, "");
    }
    if (!c.before) {
        EXPECT_EQ(tool::list_dir(dir), "") << "no document may be created";
    } else {
        EXPECT_EQ(tool::list_dir(dir), "extern.xml") << "no other file may be left";
        EXPECT_EQ(tool::read_file(doc), c.exit_code ? *c.before : c.after);
        if (c.exit_code == 0 && c.after != *c.before) { // the rewritten document reads back as written
            EXPECT_EQ(tool::run(dir, c.tail).exit_code, 0);
            EXPECT_EQ(tool::read_file(doc), c.after);
        }
    }
    tool::remove_tree(dir);
}

INSTANTIATE_TEST_SUITE_P(Cases, Table, ::testing::ValuesIn(cases::table()),
                         [](const auto& param) { return std::string(param.param.title); });

} // namespace
