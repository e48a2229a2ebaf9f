// The real extern-set binary, run in temporary directories; documents compared byte for byte.
#include "document_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <regex>
#include <thread>

namespace {

using cases::D;
using cases::P;

// ---- the file system around the document -----------------------------------------------------

class FileSystem : public DocumentDir {
protected:
    // Hands the directory and the document to the unprivileged user the tool runs as.
    void give_away(mode_t dir_mode, mode_t doc_mode) {
        ASSERT_EQ(chown(doc.c_str(), 65534, 65534), 0);
        ASSERT_EQ(chmod(doc.c_str(), doc_mode), 0);
        ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
        ASSERT_EQ(chmod(dir.c_str(), dir_mode), 0);
    }

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

TEST_F(FileSystem, AccessControlListIsKept) {
    tool::write_file(doc, old_doc);
    // user::rw- user:65534:rw- group::r-- mask::rw- other::r--, in the kernel's layout:
    // a version, then per entry the tag and the permissions (16 bits each) and an id.
    const std::uint32_t acl[] = {2,
                                 0x00060001u, 0xFFFFFFFFu, // user::rw-
                                 0x00060002u, 65534u,      // user:65534:rw-
                                 0x00040004u, 0xFFFFFFFFu, // group::r--
                                 0x00060010u, 0xFFFFFFFFu, // mask::rw-
                                 0x00040020u, 0xFFFFFFFFu}; // other::r--
    ASSERT_EQ(setxattr(doc.c_str(), "system.posix_acl_access", acl, sizeof acl, 0), 0) << std::strerror(errno);
    char before[256];
    const ssize_t before_size = getxattr(doc.c_str(), "system.posix_acl_access", before, sizeof before);
    ASSERT_GT(before_size, 0);

    EXPECT_EQ(tool::run(dir, set_port).exit_code, 0);
    char after[256];
    const ssize_t after_size = getxattr(doc.c_str(), "system.posix_acl_access", after, sizeof after);
    ASSERT_EQ(after_size, before_size) << "the access control list was lost";
    EXPECT_EQ(std::memcmp(before, after, static_cast<std::size_t>(before_size)), 0);
    EXPECT_EQ(tool::read_file(doc), new_doc);
    EXPECT_EQ(tool::list_dir(dir), "extern.xml");
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

// 100 runs at once, each setting its own name, while two readers keep reading the document:
// every update lands, and every read sees a whole document.
TEST_F(FileSystem, ParallelRunsLoseNoUpdateAndReadersSeeWholeDocuments) {
    tool::write_file(doc, P);
    constexpr int runs = 100;
    std::atomic<bool> done{false};
    std::atomic<long> reads{0};
    std::atomic<long> torn{0};
    auto read_while_running = [&] {
        const std::regex whole("(<n[0-9]+>[0-9]+</n[0-9]+>)*");
        while (!done) {
            const std::string seen = tool::read_file(doc);
            ++reads;
            const bool ok = seen == P || (seen.compare(0, D.size(), D) == 0 &&
                                          std::regex_match(seen.begin() + static_cast<long>(D.size()), seen.end(), whole));
            if (!ok) ++torn;
        }
    };
    std::thread readers[] = {std::thread(read_while_running), std::thread(read_while_running)};
    std::vector<tool::Process> started;
    for (int i = 0; i < runs; ++i) started.push_back(tool::start(dir, "\tzmen\tn" + std::to_string(i) + "\t" + std::to_string(i)));
    int succeeded = 0;
    for (const auto& process : started) {
        const tool::Result result = tool::wait(process);
        EXPECT_EQ(result.exit_code, 0) << result.error_output;
        succeeded += result.exit_code == 0;
    }
    done = true;
    for (auto& reader : readers) reader.join();

    const std::string after = tool::read_file(doc);
    int present = 0;
    for (int i = 0; i < runs; ++i) {
        const std::string element = "<n" + std::to_string(i) + ">" + std::to_string(i) + "</n" + std::to_string(i) + ">";
        const bool found = after.find(element) != std::string::npos;
        EXPECT_TRUE(found) << element;
        present += found;
    }
    EXPECT_EQ(torn.load(), 0) << "reads saw a broken document";
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(tool::list_dir(dir), "extern.xml");
    std::printf("parallel: %d runs succeeded, %d names present, %ld reads, %ld broken\n", succeeded, present, reads.load(), torn.load());
}

// Hostile documents and arguments: each gives its number, or 0, promptly, and leaves the
// document as it was.
TEST_F(FileSystem, HostileInputsAnswerPromptlyAndChangeNothing) {
    std::string junk;
    unsigned seed = 12345;
    while (junk.size() < 100000) { // binary junk without 0x00
        seed = seed * 1103515245u + 12345u;
        const char c = static_cast<char>(seed >> 16);
        if (c) junk += c;
    }
    struct Hostile {
        const char* title;
        std::string before;
        std::string tail;
        std::vector<int> exit_codes; // the documented numbers it may give
    };
    const Hostile table[] = {
        {"a prolog of a megabyte", "<" + std::string(1 << 20, '?') + ">" + "<a>1</a>", "\tzmen\ta\t2", {0}},
        {"megabytes after an end mark", P + "<a>1</a>\x1A" + std::string(4 << 20, 'j'), "\tzmen\ta\t2", {0}},
        {"a name of 11 bytes", P + "<abcdefghijk>1</abcdefghijk>", "\tzmen\ta\t2", {100}},
        {"0x00 in a value", P + std::string("<a>1\0</a>", 10), "\tzmen\ta\t2", {100}},
        {"binary junk", junk, "\tzmen\ta\t2", {100, 201}},
        {"a 2001-byte result", P, "\tzmen\ta\t" + std::string(1949, 'v'), {201}},
        {"an argument of 100 KB", P, "\tzmen\ta\t" + std::string(100000, 'v'), {201}},
    };
    for (const Hostile& h : table) {
        tool::write_file(doc, h.before);
        const auto start = std::chrono::steady_clock::now();
        const tool::Result result = tool::run(dir, h.tail);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_NE(std::find(h.exit_codes.begin(), h.exit_codes.end(), result.exit_code), h.exit_codes.end())
            << h.title << ": " << result.exit_code << " " << result.error_output;
        EXPECT_LT(took, std::chrono::seconds(3)) << h.title;
        if (result.exit_code != 0) {
            EXPECT_EQ(tool::read_file(doc), h.before) << h.title;
        } else {
            EXPECT_EQ(tool::read_file(doc), D + "<a>2</a>") << h.title;
        }
        EXPECT_EQ(tool::list_dir(dir), "extern.xml") << h.title;
    }
}

TEST_F(FileSystem, FifoNamedLikeTheDocumentIsNotWaitedFor) {
    ASSERT_EQ(mkfifo(doc.c_str(), 0644), 0);
    const auto start = std::chrono::steady_clock::now();
    // Another keyword: the document is not opened at all.
    EXPECT_EQ(tool::run(dir, "\tset\ta\t1").exit_code, 0);
    // The keyword: a pipe with no writer holds no document.
    const tool::Result result = tool::run(dir, "\tzmen\ta\t1");
    EXPECT_EQ(result.exit_code, 100);
    EXPECT_EQ(result.first_line(), "Error: Runtime error 100 at 00000006");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    struct stat st;
    ASSERT_EQ(lstat(doc.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

} // namespace
