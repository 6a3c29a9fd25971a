// Copies that fail half way on Linux: a full disk (the file-size limit of a
// child process), a source that cannot be opened, a source that cannot be
// read. Each must keep the previous destination byte for byte.
#include "files/filehandler_fixture.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/System.h"

namespace setup::copiertest {
namespace {

using FileHandlerFaultTest = CopierTest;

TEST_F(FileHandlerFaultTest, FullDiskKeepsThePreviousFile) {
    Make(src_ + "big.bin", std::string(5 * 1024 * 1024, 'n'), T0 + 100 * Sec);
    Make(dst_ + "big.bin", "previous version", T0);
    // The child may write at most 2 MiB per file: the third block fails short.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{2 * 1024 * 1024, 2 * 1024 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(static_cast<int>(
            fh_.CopyOneFile(src_ + "big.bin", dst_ + "big.bin", 0, CopyMode::CompareAsk)));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(CopyResult::NotCopied));
    EXPECT_EQ(testenv::ReadFile(dst_ + "big.bin"), "previous version");
    EXPECT_EQ(Entry(dst_ + "big.bin").writeTime, T0);
    EXPECT_EQ(Names(dst_), std::vector<std::string>{"big.bin"});
    ASSERT_EQ(Prompts().size(), 1u);
    EXPECT_EQ(Prompts()[0],
              Logged("ReportNotCopied", src_ + "big.bin nicht kopiert!", "OK (default)"));
}

TEST_F(FileHandlerFaultTest, UnreadableSourceKeepsThePreviousFile) {
    // A socket cannot be opened as a file, not even by root.
    ASSERT_TRUE(fh_.ForceFolders(src_));
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = testenv::Native(src_ + "sock.dat");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    Make(dst_ + "sock.dat", "previous", T0);
    EXPECT_EQ(fh_.CopyOneFile(src_ + "sock.dat", dst_ + "sock.dat", 0, CopyMode::Copy),
              CopyResult::NotCopied);
    close(s);

    // Opened, but every read fails (EIO at address 0 of the process).
    Make(dst_ + "mem", "previous", T0);
    EXPECT_EQ(
        fh_.CopyOneFile(plat::toWindowsPath("/proc/self/mem"), dst_ + "mem", 0, CopyMode::Copy),
        CopyResult::NotCopied);
    EXPECT_EQ(testenv::ReadFile(dst_ + "sock.dat"), "previous");
    EXPECT_EQ(testenv::ReadFile(dst_ + "mem"), "previous");
    EXPECT_EQ(Names(dst_), (std::vector<std::string>{"mem", "sock.dat"}));
    EXPECT_EQ(fh_.FilesCopied + fh_.FilesSkipped, 0);
    EXPECT_EQ(fh_.ProcessedBytes(), 0);
    // Only the read error is reported; the unopenable source is the caller's to report.
    ASSERT_EQ(Prompts().size(), 1u);
    EXPECT_EQ(Prompts()[0],
              Logged("ReportNotCopied", plat::toWindowsPath("/proc/self/mem") + " nicht kopiert!",
                     "OK (default)"));
}

} // namespace
} // namespace setup::copiertest
