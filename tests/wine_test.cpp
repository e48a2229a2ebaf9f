// What only the Windows program shows: its message box call, its PE header, and the file
// sharing of Windows. Run under Wine.
#include "document_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <regex>

namespace {

using cases::D;
using cases::P;

using Wine = DocumentDir;

TEST_F(Wine, MessageBoxHasNoOwnerCaptionErrorAndStyleZero) {
    const tool::Process process =
        tool::start_wine(dir, {tool::windows_path(EXTERN_SET_EXE), tool::hex("extern-set.exe\tzmen\tport\t80")}, {}, "+relay");
    const tool::Collected log = tool::collect(process);
    // The relay log holds the call with its arguments: owner, text, caption, style.
    const std::regex call(R"re(Call user32\.MessageBoxA\(([0-9a-f]+),[0-9a-f]+ "([^"]*)",[0-9a-f]+ "([^"]*)",([0-9a-f]+)\))re");
    std::vector<std::smatch> calls;
    for (std::sregex_iterator it(log.output.begin(), log.output.end(), call), end; it != end; ++it) calls.push_back(*it);
    ASSERT_EQ(calls.size(), 1u) << log.output.substr(0, 2000);
    EXPECT_EQ(calls[0][1], "00000000");
    EXPECT_EQ(calls[0][2], "Runtime error   2 at 00000003");
    EXPECT_EQ(calls[0][3], "Error");
    EXPECT_EQ(calls[0][4], "00000000");
    EXPECT_NE(log.output.find("exit 2"), std::string::npos);
}

TEST_F(Wine, DocumentHeldWithoutSharingGives32AndStaysUnchanged) {
    tool::write_file(doc, old_doc);
    const tool::Process process = tool::start_wine(
        dir, {"--hold", "extern.xml", tool::windows_path(EXTERN_SET_EXE), tool::hex("extern-set.exe\tzmen\tport\t80")}, {},
        "-all");
    const tool::Collected out = tool::collect(process);
    EXPECT_NE(out.output.find("box none Error|Runtime error  32 at 00000003"), std::string::npos) << out.output;
    EXPECT_NE(out.output.find("exit 32"), std::string::npos) << out.output;
    EXPECT_EQ(tool::read_file(doc), old_doc);
    EXPECT_EQ(tool::list_dir(dir), "extern.xml");
}

TEST_F(Wine, ReadOnlyDocumentGives5AndStaysUnchanged) {
    tool::write_file(doc, old_doc);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(doc.c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(chmod(doc.c_str(), 0444), 0);
    const tool::Result result = tool::run(dir, "\tzmen\tport\t80", {.unprivileged = true});
    EXPECT_EQ(result.exit_code, 5);
    EXPECT_EQ(result.first_line(), "Error: Runtime error   5 at 0000000B");
    EXPECT_EQ(tool::read_file(doc), old_doc);
    EXPECT_EQ(tool::list_dir(dir), "extern.xml");
}

TEST_F(Wine, HardLinksKeepSharingTheDocument) {
    tool::write_file(doc, old_doc);
    ASSERT_EQ(link(doc.c_str(), (dir + "/other.xml").c_str()), 0);
    const tool::Result result = tool::run(dir, "\tzmen\tport\t80");
    EXPECT_EQ(result.exit_code, 0) << result.error_output;
    EXPECT_EQ(tool::read_file(doc), D + "<port>80</port>");
    EXPECT_EQ(tool::read_file(dir + "/other.xml"), D + "<port>80</port>");
    EXPECT_EQ(tool::list_dir(dir), "extern.xml other.xml");
}

TEST_F(Wine, ParallelRunsLoseNoUpdate) {
    tool::write_file(doc, P);
    constexpr int runs = 12;
    std::vector<tool::Process> started;
    for (int i = 0; i < runs; ++i) started.push_back(tool::start(dir, "\tzmen\tn" + std::to_string(i) + "\tv"));
    for (const auto& process : started) {
        const tool::Result result = tool::wait(process);
        EXPECT_EQ(result.exit_code, 0) << result.error_output;
    }
    const std::string after = tool::read_file(doc);
    for (int i = 0; i < runs; ++i) {
        const std::string element = "<n" + std::to_string(i) + ">v</n" + std::to_string(i) + ">";
        EXPECT_NE(after.find(element), std::string::npos) << element;
    }
    EXPECT_EQ(tool::list_dir(dir), "extern.xml");
}

// The program file itself: a 32-bit GUI-subsystem PE, stripped, with its manifest and
// version information, importing only DLLs every Windows has.
TEST(WindowsProgram, IsA32BitGuiProgramNeedingOnlySystemDlls) {
    const std::string exe = tool::read_file(EXTERN_SET_EXE);
    auto u16 = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(exe[at]) | static_cast<unsigned char>(exe[at + 1]) << 8); };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    ASSERT_EQ(exe.substr(0, 2), "MZ");
    const std::size_t pe = u32(0x3C);
    ASSERT_EQ(exe.substr(pe, 4), std::string("PE\0\0", 4));
    EXPECT_EQ(u16(pe + 4), 0x14Cu) << "machine: i386";
    EXPECT_EQ(u32(pe + 12), 0u) << "no symbol table: stripped";
    const std::size_t optional = pe + 24;
    EXPECT_EQ(u16(optional), 0x10Bu) << "PE32";
    EXPECT_EQ(u16(optional + 68), 2u) << "subsystem: Windows GUI";
    EXPECT_NE(exe.find("asInvoker"), std::string::npos) << "manifest";
    const char original[] = "O\0r\0i\0g\0i\0n\0a\0l\0F\0i\0l\0e\0n\0a\0m\0e";
    EXPECT_NE(exe.find(std::string(original, sizeof original - 1)), std::string::npos) << "version information";

    FILE* dump = popen("i686-w64-mingw32-objdump -p " EXTERN_SET_EXE, "r");
    ASSERT_NE(dump, nullptr);
    char line[512];
    std::vector<std::string> dlls;
    while (std::fgets(line, sizeof line, dump))
        if (const char* name = std::strstr(line, "DLL Name: ")) dlls.emplace_back(name + 10, std::strcspn(name + 10, "\r\n"));
    pclose(dump);
    ASSERT_FALSE(dlls.empty());
    for (const std::string& dll : dlls) EXPECT_TRUE(dll == "KERNEL32.dll" || dll == "USER32.dll" || dll == "msvcrt.dll") << dll;
}

} // namespace
