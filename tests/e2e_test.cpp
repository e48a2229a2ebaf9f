// The real extern-set binary, run in temporary directories; documents compared byte for byte.
#include "cases.h" // D and P, the declaration and a prolog
#include "tool.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <set>

namespace {

using cases::D;
using cases::P;

// ---- the file system around the document -----------------------------------------------------

class FileSystem : public ::testing::Test {
protected:
    void SetUp() override {
        dir = tool::make_dir();
        doc = dir + "/extern.xml";
    }
    void TearDown() override { tool::remove_tree(dir); }

    // Hands the directory and the document to the unprivileged user the tool runs as.
    void give_away(mode_t dir_mode, mode_t doc_mode) {
        ASSERT_EQ(chown(doc.c_str(), 65534, 65534), 0);
        ASSERT_EQ(chmod(doc.c_str(), doc_mode), 0);
        ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
        ASSERT_EQ(chmod(dir.c_str(), dir_mode), 0);
    }

    std::string dir;
    std::string doc;
    const std::string old_doc = P + "<port>8</port>";
    const std::string new_doc = D + "<port>80</port>";
    const std::string set_port = "\tzmen\tport\t80";
};

TEST_F(FileSystem, MissingDirectoryOnTheWayGives3) {
    ASSERT_EQ(symlink("missing/extern.xml", doc.c_str()), 0);
    tool::write_file(dir + "/plain", "x");
    const std::string through_file = dir + "/second";
    ASSERT_EQ(mkdir(through_file.c_str(), 0755), 0);
    ASSERT_EQ(symlink("../plain/extern.xml", (through_file + "/extern.xml").c_str()), 0);

    for (const std::string& where : {dir, through_file}) {
        const tool::Result result = tool::run(where, set_port);
        EXPECT_EQ(result.exit_code, 3) << where;
        EXPECT_EQ(result.first_line(), "Error: Runtime error   3 at 00000003");
    }
}

TEST_F(FileSystem, DirectoryNamedLikeTheDocumentGives5) {
    ASSERT_EQ(mkdir(doc.c_str(), 0755), 0);
    const tool::Result result = tool::run(dir, set_port);
    EXPECT_EQ(result.exit_code, 5);
    EXPECT_EQ(result.first_line(), "Error: Runtime error   5 at 00000003");
}

TEST_F(FileSystem, ReadOnlyDocumentGives5AndStaysUnchanged) {
    tool::write_file(doc, old_doc);
    give_away(0755, 0444);
    const tool::Result result = tool::run(dir, set_port, {.unprivileged = true});
    EXPECT_EQ(result.exit_code, 5);
    EXPECT_EQ(result.first_line(), "Error: Runtime error   5 at 0000000B");
    EXPECT_EQ(tool::read_file(doc), old_doc);
    EXPECT_EQ(tool::list_dir(dir), "extern.xml");
}

TEST_F(FileSystem, UnwritableDirectoryWritesTheDocumentInPlace) {
    const std::string longer = P + "<port>8</port><a>" + std::string(100, 'x') + "</a>";
    for (const auto& [before, tail, after] :
         {std::tuple{old_doc, set_port, new_doc}, // grows
          std::tuple{longer, set_port, D + "<port>80</port><a>" + std::string(100, 'x') + "</a>"}, // shrinks
          std::tuple{old_doc, std::string("\tzmen\tport\t1"), D + "<port>1</port>"}}) {
        ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
        tool::write_file(doc, before);
        give_away(0555, 0644);
        const tool::Result result = tool::run(dir, tail, {.unprivileged = true});
        EXPECT_EQ(result.exit_code, 0) << result.error_output;
        EXPECT_EQ(tool::read_file(doc), after);
        EXPECT_EQ(tool::list_dir(dir), "extern.xml");
    }
}

TEST_F(FileSystem, SymlinkStaysAndItsTargetIsUpdated) {
    ASSERT_EQ(mkdir((dir + "/real").c_str(), 0755), 0);
    tool::write_file(dir + "/real/settings.xml", old_doc);
    ASSERT_EQ(symlink("real/settings.xml", doc.c_str()), 0);
    const tool::Result result = tool::run(dir, set_port);
    EXPECT_EQ(result.exit_code, 0) << result.error_output;
    struct stat st;
    ASSERT_EQ(lstat(doc.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(tool::read_file(dir + "/real/settings.xml"), new_doc);
    EXPECT_EQ(tool::list_dir(dir + "/real"), "settings.xml");
}

TEST_F(FileSystem, KeepsPermissionBitsOwnerAndGroup) {
    tool::write_file(doc, old_doc);
    ASSERT_EQ(chmod(doc.c_str(), 0604), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(doc.c_str(), 1234, 5678), 0);
    }
    struct stat before;
    ASSERT_EQ(stat(doc.c_str(), &before), 0);
    EXPECT_EQ(tool::run(dir, set_port).exit_code, 0);
    struct stat after;
    ASSERT_EQ(stat(doc.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(tool::read_file(doc), new_doc);
}

TEST_F(FileSystem, HardLinksKeepSharingTheDocument) {
    tool::write_file(doc, old_doc);
    ASSERT_EQ(link(doc.c_str(), (dir + "/other.xml").c_str()), 0);
    EXPECT_EQ(tool::run(dir, set_port).exit_code, 0);
    EXPECT_EQ(tool::read_file(doc), new_doc);
    EXPECT_EQ(tool::read_file(dir + "/other.xml"), new_doc);
    EXPECT_EQ(tool::list_dir(dir), "extern.xml other.xml");
}

TEST_F(FileSystem, WriteRefusedPartWayLeavesTheDocumentWhole) {
    tool::write_file(doc, old_doc);
    // Through a temporary file: nothing may be written at all.
    tool::Result result = tool::run(dir, set_port, {.file_size_limit = 0});
    EXPECT_EQ(result.exit_code, 223);
    EXPECT_EQ(result.first_line(), "Error: Runtime error 223 at 0000000E");
    EXPECT_EQ(tool::read_file(doc), old_doc);
    EXPECT_EQ(tool::list_dir(dir), "extern.xml");

    // In place: the document may not grow past its size, so the run fails before any old byte changes.
    give_away(0555, 0644);
    result = tool::run(dir, set_port, {.unprivileged = true, .file_size_limit = static_cast<long>(old_doc.size())});
    EXPECT_EQ(result.exit_code, 223);
    EXPECT_EQ(result.first_line(), "Error: Runtime error 223 at 0000000E");
    EXPECT_EQ(tool::read_file(doc), old_doc);
    EXPECT_EQ(tool::list_dir(dir), "extern.xml");
}

TEST_F(FileSystem, DocumentHeldByAnotherRunGives32AfterWaiting) {
    tool::write_file(doc, old_doc);
    const int held = open(doc.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const auto start = std::chrono::steady_clock::now();
    const tool::Result result = tool::run(dir, set_port);
    const auto waited = std::chrono::steady_clock::now() - start;
    close(held);
    EXPECT_EQ(result.exit_code, 32);
    EXPECT_EQ(result.first_line(), "Error: Runtime error  32 at 00000004");
    EXPECT_GE(waited, std::chrono::seconds(5));
    EXPECT_EQ(tool::read_file(doc), old_doc);
}

TEST_F(FileSystem, ParallelRunsLoseNoUpdate) {
    tool::write_file(doc, P);
    constexpr int runs = 100;
    std::vector<tool::Process> started;
    for (int i = 0; i < runs; ++i) started.push_back(tool::start(dir, "\tzmen\tn" + std::to_string(i) + "\t" + std::to_string(i)));
    for (const auto& process : started) {
        const tool::Result result = tool::wait(process);
        EXPECT_EQ(result.exit_code, 0) << result.error_output;
    }
    const std::string after = tool::read_file(doc);
    for (int i = 0; i < runs; ++i) {
        const std::string element = "<n" + std::to_string(i) + ">" + std::to_string(i) + "</n" + std::to_string(i) + ">";
        EXPECT_NE(after.find(element), std::string::npos) << element;
    }
    EXPECT_EQ(tool::list_dir(dir), "extern.xml");
}

} // namespace
