// `cmake --install` into a staging folder: every file in place and valid, and the
// installed programs, run by a user who cannot write their folder, keeping the
// schedule and the log in that user's XDG folders.
#include "support/Spawn.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>

using namespace vantle::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct TOutcome {
    int Code = -1; // exit code, or -1 when it did not exit normally
    std::string Out, Err;
};

class InstallTest : public ::testing::Test {
protected:
    InstallTest() {
        // Others pass through the staging folder on their way to the programs.
        fs::permissions(FDir.Path(), fs::perms::all, fs::perm_options::replace);
        fs::create_directories(FHome);
        fs::permissions(FHome, fs::perms::all, fs::perm_options::replace);
    }

    // The test's own environment, with `extra` ("NAME=value") added.
    std::vector<std::string> Environment(const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> env = {"PATH=/usr/bin:/bin",
                                        "HOME=" + FHome,
                                        "LC_ALL=C.UTF-8",
                                        "TZ=UTC",
                                        "QT_QPA_PLATFORM=offscreen",
                                        "ASAN_OPTIONS=detect_leaks=0"};
        env.insert(env.end(), extra.begin(), extra.end());
        return env;
    }

    // Runs `argv` to its end, its standard output and error kept apart; `env` replaces the
    // test's own environment unless empty.
    TOutcome Run(const std::vector<std::string>& argv,
                 const std::vector<std::string>& env = {}) const {
        const std::string out = FDir.File("run.out"), err = FDir.File("run.err");
        WriteFile(out, "");
        WriteFile(err, "");
        TOutcome outcome;
        int status = 0;
        pid_t pid = Spawn(argv, out, err, env.empty() ? Environment() : env);
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            outcome.Code = WEXITSTATUS(status);
        outcome.Out = ReadFile(out);
        outcome.Err = ReadFile(err);
        return outcome;
    }

    // Installs the build into the staging folder, under /usr as the package does.
    void SetUp() override {
        TOutcome installed = Run({VANTLE_CMAKE, "--install", VANTLE_BINARY_DIR, "--prefix", "/usr"},
                                 Environment({"DESTDIR=" + FStage}));
        ASSERT_EQ(installed.Code, 0) << installed.Out << installed.Err;
    }

    std::string Staged(const std::string& path) const { return FStage + "/usr/" + path; }

    TTempDir FDir;
    std::string FStage = FDir.File("stage");
    std::string FHome = FDir.File("home");
};

TEST_F(InstallTest, PutsEveryFileInPlaceAndEachIsValid) {
    // The files no check reads or runs; the programs are run by another user below. One
    // install rule names each image's folder and file by the same size.
    for (const char* path :
         {"share/icons/hicolor/scalable/apps/vantle-scheduler.svg",
          "share/doc/vantle-scheduler/copyright", "share/doc/vantle-scheduler/changelog.gz"})
        EXPECT_TRUE(fs::is_regular_file(Staged(path))) << path;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        std::string png = Staged("share/icons/hicolor/" + std::to_string(size) + "x" +
                                 std::to_string(size) + "/apps/vantle-scheduler.png");
        EXPECT_TRUE(fs::is_regular_file(png)) << png;
    }

    TOutcome desktop =
        Run({"desktop-file-validate", Staged("share/applications/vantle-scheduler.desktop")});
    EXPECT_EQ(desktop.Code, 0) << desktop.Out << desktop.Err;
    EXPECT_EQ(desktop.Out + desktop.Err, "");
    // The entry starts the scheduler switched on.
    EXPECT_NE(ReadFile(Staged("share/applications/vantle-scheduler.desktop"))
                  .find("\nExec=vantle-scheduler --enable\n"),
              std::string::npos);

    TOutcome metainfo = Run({"appstreamcli", "validate", "--no-net", "--pedantic",
                             Staged("share/metainfo/com.vantle.scheduler.metainfo.xml")});
    EXPECT_EQ(metainfo.Code, 0) << metainfo.Out << metainfo.Err;

    for (const char* page : {"vantle-scheduler", "vantle-schedctl"}) {
        // As lintian checks a manual page: every groff warning shows on standard error.
        TOutcome man = Run({"man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z",
                            Staged(std::string("share/man/man1/") + page + ".1.gz")},
                           Environment({"MANROFFSEQ=", "MANWIDTH=80"}));
        EXPECT_EQ(man.Code, 0) << page << man.Err;
        EXPECT_EQ(man.Err, "") << page;
        EXPECT_GT(man.Out.size(), 1000u) << page;
    }

    // The completion offers the commands, then each command's options.
    std::string completion = Staged("share/bash-completion/completions/vantle-schedctl");
    auto complete = [&](const std::string& words, int current) {
        return Run({"bash", "-c",
                    ". /usr/share/bash-completion/bash_completion && . '" + completion +
                        "' && COMP_WORDS=(" + words + ") && COMP_CWORD=" + std::to_string(current) +
                        " && COMP_LINE=\"${COMP_WORDS[*]}\" && COMP_POINT=${#COMP_LINE} && "
                        "_vantle_schedctl && echo \"${COMPREPLY[*]}\""})
            .Out;
    };
    EXPECT_EQ(complete("vantle-schedctl ru", 1), "run\n");
    EXPECT_EQ(complete("vantle-schedctl run --d", 2), "--dry-run\n");

    std::string unit = ReadFile(Staged("lib/systemd/user/vantle-schedctl.service"));
    EXPECT_NE(unit.find("\nExecStart=/usr/bin/vantle-schedctl run\n"), std::string::npos) << unit;
}

TEST_F(InstallTest, ProgramsKeepTheirFilesInTheUsersFoldersWhenTheirsIsNotWritable) {
    fs::permissions(FStage + "/usr/bin",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const std::string schedule = FHome + "/.config/vantle-scheduler/vantle-scheduler.INI";
    const std::string log = FHome + "/.local/state/vantle-scheduler/vantle-scheduler.LOG";
    auto asUser = [](std::vector<std::string> argv) {
        argv.insert(argv.begin(), VANTLE_ASUSER);
        return argv;
    };

    // vantle-schedctl's files are proven by its run below, which reads the one and logs to
    // the other.
    TOutcome desktopPaths = Run(asUser({Staged("bin/vantle-scheduler"), "--paths"}));
    EXPECT_EQ(desktopPaths.Code, 0) << desktopPaths.Err;
    EXPECT_EQ(desktopPaths.Out, "schedule: " + schedule + "\nlog: " + log + "\nsettings: " + FHome +
                                    "/.config/Vantle/vantle-scheduler.conf\n");

    // The desktop program, switched on, makes its folders (private, as the location tests
    // show) and logs there.
    const std::string desktopOut = FDir.File("desktop.out");
    pid_t desktop =
        Spawn(asUser({Staged("bin/vantle-scheduler"), "--enable"}), desktopOut, {}, Environment());
    bool logged = WaitUntil(
        [&] { return ReadFile(log).find("Scheduler has been Enabled") != std::string::npos; }, 30s);
    kill(desktop, SIGTERM);
    EXPECT_TRUE(WaitFor(desktop, 30s)) << "the desktop program did not end";
    ASSERT_TRUE(logged) << ReadFile(desktopOut);

    // vantle-schedctl without FILE serves the same schedule and log.
    std::string recorder = FDir.File("recorder"), record = FDir.File("record");
    fs::copy_file(VANTLE_ARGRECORDER, recorder);
    WriteFile(FDir.File("template.INI"),
              ScheduleText(
                  {{.Name = "every minute", .Command = recorder, .Parms = "from the schedule"}}));
    TOutcome copied = Run(asUser({"/bin/cp", FDir.File("template.INI"), schedule}));
    ASSERT_EQ(copied.Code, 0) << copied.Err;
    TOutcome cycle = Run(asUser({Staged("bin/vantle-schedctl"), "run", "--once"}),
                         Environment({"VANTLE_ARGRECORDER_OUT=" + record}));
    EXPECT_EQ(cycle.Code, 0) << cycle.Err;
    EXPECT_EQ(WaitForRecord(record).Args, std::vector<std::string>({"from", "the", "schedule"}));
    std::string logText = ReadFile(log);
    EXPECT_NE(logText.find("Executing every minute (Command " + recorder + ")"), std::string::npos)
        << logText;
    // Nothing was written beside the programs.
    EXPECT_EQ(std::distance(fs::directory_iterator(FStage + "/usr/bin"), fs::directory_iterator()),
              2);
}

// `cmake --install --prefix ~/.local`, as the README says for one user: the unit goes
// where the user manager looks (~/.local/share/systemd/user, not ~/.local/lib), and the
// programs in the writable ~/.local/bin keep their files in the XDG folders.
TEST_F(InstallTest, AHomePrefixInstallPutsTheUnitWhereSystemdLooksAndUsesTheXdgFolders) {
    const std::string prefix = FHome + "/.local";
    TOutcome installed = Run({VANTLE_CMAKE, "--install", VANTLE_BINARY_DIR, "--prefix", prefix});
    ASSERT_EQ(installed.Code, 0) << installed.Out << installed.Err;
    EXPECT_FALSE(fs::exists(prefix + "/lib/systemd/user/vantle-schedctl.service"));
    std::string unit = ReadFile(prefix + "/share/systemd/user/vantle-schedctl.service");
    EXPECT_NE(unit.find("\nExecStart=" + prefix + "/bin/vantle-schedctl run\n"), std::string::npos)
        << unit;
    const std::string schedule = FHome + "/.config/vantle-scheduler/vantle-scheduler.INI";
    const std::string log = FHome + "/.local/state/vantle-scheduler/vantle-scheduler.LOG";
    TOutcome desktop = Run({prefix + "/bin/vantle-scheduler", "--paths"});
    EXPECT_EQ(desktop.Code, 0) << desktop.Err;
    EXPECT_EQ(desktop.Out.rfind("schedule: " + schedule + "\nlog: " + log + "\n", 0), 0u)
        << desktop.Out;
    TOutcome schedctl = Run({prefix + "/bin/vantle-schedctl", "--paths"});
    EXPECT_EQ(schedctl.Code, 0) << schedctl.Err;
    EXPECT_NE(schedctl.Out.find(schedule), std::string::npos) << schedctl.Out;
    EXPECT_NE(schedctl.Out.find(log), std::string::npos) << schedctl.Out;
}

} // namespace
