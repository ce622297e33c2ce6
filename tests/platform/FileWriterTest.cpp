// The scheduler's own files are written only where their user meant: links planted by
// another user are refused, a save keeps who may read and write the file.
#include "platform/FileWriter.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace vantle;
using namespace vantle::test;

namespace {

constexpr uid_t Nobody = 65534;

void Append(const std::string& path, const std::string& text) {
    TOwnFd fd = OpenOwnFile(path, O_WRONLY | O_APPEND, true);
    AppendWhole(fd.Get(), text, path);
}

void Empty(const std::string& path, const std::string&) {
    OpenOwnFile(path, O_WRONLY | O_TRUNC, true);
}

void Replace(const std::string& path, const std::string& text) {
    ReplaceFileContent(path, text, 0600);
}

struct TWriteCase {
    const char* Name;
    std::function<void(const std::string& path, const std::string& text)> Write;
    const char* Expected; // the link's target afterwards, "precious" before
};

class LinkedFile : public testing::TestWithParam<TWriteCase> {
protected:
    LinkedFile() {
        WriteFile(Target, "precious");
        EXPECT_EQ(symlink(Target.c_str(), Link.c_str()), 0);
    }
    TTempDir Dir;
    std::string Target = Dir.File("target.txt"), Link = Dir.File("s.LOG");
};

TEST_P(LinkedFile, AUsersOwnLinkIsFollowed) {
    GetParam().Write(Link, "new");
    EXPECT_EQ(ReadFile(Target), GetParam().Expected);
    struct stat st {};
    ASSERT_EQ(lstat(Link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
}

TEST_P(LinkedFile, ALinkOwnedByAnotherUserIsRefusedAndNothingWritten) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a link to another user";
    ASSERT_EQ(lchown(Link.c_str(), Nobody, Nobody), 0);
    try {
        GetParam().Write(Link, "new");
        ADD_FAILURE() << "wrote through another user's link";
    } catch (const EInOutError& e) {
        EXPECT_EQ(DescribeError(e), Link + ": refusing to follow a link owned by another user");
    }
    EXPECT_EQ(ReadFile(Target), "precious");
}

INSTANTIATE_TEST_SUITE_P(Writes, LinkedFile,
                         testing::Values(TWriteCase{"Append", Append, "preciousnew"},
                                         TWriteCase{"Empty", Empty, ""},
                                         TWriteCase{"Replace", Replace, "new"}),
                         [](const auto& info) { return info.param.Name; });

TEST(FileWriter, NewFilesAreNeverOpenedThroughAPlantedNameAndOnlyRegularFilesAreWritten) {
    TTempDir dir;
    // A FIFO would block an open for writing until a reader came.
    const std::string fifo = dir.File("fifo.LOG");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(Append(fifo, "x"), EInOutError);
    const std::string folder = dir.File("folder.LOG");
    std::filesystem::create_directory(folder);
    try {
        Append(folder, "x");
        ADD_FAILURE() << "appended to a folder";
    } catch (const EInOutError& e) {
        EXPECT_NE(DescribeError(e).find("folder.LOG"), std::string::npos) << DescribeError(e);
    }
    try {
        Append(dir.File("missing/s.LOG"), "x");
        ADD_FAILURE() << "appended in a missing folder";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 2) << "the open's own reason, not a later one's";
    }
    // The temporary file of a replace never reuses a name that is there already.
    const std::string state = dir.File("s.STATE");
    WriteFile(dir.File("elsewhere"), "kept");
    ASSERT_EQ(symlink(dir.File("elsewhere").c_str(), (state + ".tmp").c_str()), 0);
    Replace(state, "2026.12.07 08.05\r\n");
    EXPECT_EQ(ReadFile(dir.File("elsewhere")), "kept");
    EXPECT_EQ(ReadFile(state), "2026.12.07 08.05\r\n");
    struct stat st {};
    ASSERT_EQ(stat(state.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Temporary files that a killed save left behind go; a live saver's stay, and the saver
// is only asked whether it lives.
TEST(FileWriter, AReplaceRemovesTheTemporaryFilesOfDeadSaversOnly) {
    TTempDir dir;
    pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    ASSERT_EQ(waitpid(dead, nullptr, 0), dead);
    pid_t live = fork();
    if (live == 0) {
        std::signal(SIGHUP, SIG_DFL); // any signal at all would end it
        pause();
        _exit(0);
    }
    auto temporary = [&](pid_t pid) {
        return dir.File(".s.INI." + std::to_string(pid) + ".1.abc");
    };
    WriteFile(temporary(dead), "");
    WriteFile(temporary(live), "");
    ReplaceFileContent(dir.File("s.INI"), "new", 0600);
    EXPECT_FALSE(std::filesystem::exists(temporary(dead)));
    EXPECT_TRUE(std::filesystem::exists(temporary(live)));
    EXPECT_EQ(waitpid(live, nullptr, WNOHANG), 0) << "the live saver was signalled";
    kill(live, SIGKILL);
    waitpid(live, nullptr, 0);
}

// An access list in the kernel's form: a header (version 2), then tag, rights and id
// per entry, little-endian.
std::string AccessList(std::initializer_list<std::array<std::uint32_t, 3>> entries) {
    std::string blob;
    auto put = [&blob](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            blob += static_cast<char>((value >> (8 * i)) & 0xff);
    };
    put(2, 4);
    for (const auto& entry : entries) {
        put(entry[0], 2);
        put(entry[1], 2);
        put(entry[2], 4);
    }
    return blob;
}

TEST(FileWriter, AReplaceKeepsTheAccessListAndOtherAttributes) {
    TTempDir dir;
    const std::string path = dir.File("a.INI");
    WriteFile(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    // user::rw- user:nobody:rw- group::r-- mask::rw- other::---
    const std::string acl = AccessList(
        {{0x01, 6, ~0u}, {0x02, 6, Nobody}, {0x04, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 0, ~0u}});
    if (setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
        GTEST_SKIP() << "no access lists on this file system: " << std::strerror(errno);
    const bool userAttributes = setxattr(path.c_str(), "user.origin", "kept", 4, 0) == 0;

    std::vector<std::string> warnings = ReplaceFileContent(path, "new", 0600);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    EXPECT_EQ(ReadFile(path), "new");
    char value[256];
    ssize_t size = getxattr(path.c_str(), "system.posix_acl_access", value, sizeof value);
    ASSERT_GT(size, 0) << "the access list went";
    EXPECT_EQ(std::string(value, static_cast<std::size_t>(size)), acl);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660u) << "group bits show the mask, as before";
    if (userAttributes) {
        size = getxattr(path.c_str(), "user.origin", value, sizeof value);
        EXPECT_EQ(std::string(value, static_cast<std::size_t>(std::max<ssize_t>(size, 0))), "kept");
    }
}

} // namespace
