// The shell's pieces in process: the command line split and the failure message.
#include "shell/failure.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SplitCase {
    const char* line;
    int count;
    std::vector<const char*> entries; // entries 0..count; the rest must stay null
};

TEST(Split, FillsTheArgumentTable) {
    const SplitCase table[] = {
        {"prog", 0, {"prog"}},
        {"prog zmen port 80", 0, {"prog zmen port 80"}},
        {"\"C:\\a b\\x.exe\" -q\tzmen", 1, {"\"C:\\a b\\x.exe\" -q", "zmen"}},
        {"prog\tzmen\tport\t80", 3, {"prog", "zmen", "port", "80"}},
        {"prog\tzmen\tport\t80 80", 3, {"prog", "zmen", "port", "80 80"}},
        {"prog\tzmen\t\tx", 3, {"prog", "zmen", "", "x"}},
        {"prog\tzmen\tport\t", 3, {"prog", "zmen", "port", ""}},
        {"\t\t", 2, {"", "", ""}},
        {"p\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10", 10, {"p", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
        {"p\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12", 10, {"p", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
    };
    for (const SplitCase& c : table) {
        std::string line = c.line;
        const shell::Arguments args = shell::split(line.data());
        EXPECT_EQ(args.count, c.count) << c.line;
        for (int i = 0; i < shell::argument_entries; ++i) {
            if (i <= c.count) {
                ASSERT_NE(args.entry[i], nullptr) << c.line << " entry " << i;
                EXPECT_STREQ(args.entry[i], c.entries[static_cast<std::size_t>(i)]) << c.line << " entry " << i;
            } else {
                EXPECT_EQ(args.entry[i], nullptr) << c.line << " entry " << i;
            }
        }
    }
}

TEST(Split, EditsTheLineInPlace) {
    char line[] = "p\tzmen\ta";
    const shell::Arguments args = shell::split(line);
    EXPECT_EQ(args.entry[1], line + 2);
    EXPECT_EQ(args.entry[2], line + 7);
    EXPECT_EQ(line[1], '\0');
}

TEST(Message, FillsTheNumberAndLocationFields) {
    struct Case {
        std::uint32_t number;
        std::uint32_t location;
        const char* text;
    } const table[] = {
        {2, 3, "Runtime error   2 at 00000003"},
        {87, 1, "Runtime error  87 at 00000001"},
        {203, 2, "Runtime error 203 at 00000002"},
        {0, 0, "Runtime error   0 at 00000000"},
        {1224, 10, "Runtime error 1224 at 0000000A"},
        {4294967295u, 0xABCDEF12u, "Runtime error 4294967295 at ABCDEF12"},
    };
    for (const Case& c : table) {
        char out[shell::message_capacity];
        const std::size_t size = shell::format_message(c.number, c.location, out);
        EXPECT_STREQ(out, c.text);
        EXPECT_EQ(size, std::string(c.text).size());
    }
}

TEST(Message, DetailNamesTheStepAndTheCause) {
    char out[shell::detail_capacity];
    shell::format_detail({2, shell::Step::open, nullptr}, out);
    EXPECT_STREQ(out, "extern-set: opening extern.xml for reading: file not found");
    shell::format_detail({100, shell::Step::name, "a name longer than 10 bytes"}, out);
    EXPECT_STREQ(out, "extern-set: extern.xml, in an element name: a name longer than 10 bytes");
    shell::format_detail({1224, shell::Step::write, nullptr}, out);
    EXPECT_STREQ(out, "extern-set: writing extern.xml: error 1224");
}

} // namespace
