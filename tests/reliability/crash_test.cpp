// A save killed at any point leaves a whole file. Each key is replaced on its
// own (write a temp file, flush, rename), so a kill between two of the four
// keys leaves the first keys new and the rest old; never a cut or mixed line.
// A kill before a rename leaves its temp file ".keyconfig.ini.XXXXXX" behind:
// harmless, since nothing ever reads a file by that name, and the next save
// makes a temp file of its own.
#include "app_fixture.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

constexpr std::int32_t kA[kSlotCount] = {1, 2, 3, 4};
constexpr std::int32_t kB[kSlotCount] = {50, 60, 70, 80};

std::string FileWith(const std::int32_t (&values)[kSlotCount]) {
    std::string text = "; kept\r\n[KeyConfig]\r\n";
    for (int slot = 0; slot < kSlotCount; ++slot)
        text += std::string(kSlotKeys[slot]) + "=" + std::to_string(values[slot]) + "\r\n";
    return text + "[Other]\r\nA=1\r\n";
}

// Every file a save from one content to the other can leave: its first k keys
// written, k = 0..4.
std::set<std::string> WholeStates() {
    std::set<std::string> states;
    for (int k = 0; k <= kSlotCount; ++k) {
        std::int32_t aToB[kSlotCount], bToA[kSlotCount];
        for (int slot = 0; slot < kSlotCount; ++slot) {
            aToB[slot] = slot < k ? kB[slot] : kA[slot];
            bToA[slot] = slot < k ? kA[slot] : kB[slot];
        }
        states.insert(FileWith(aToB));
        states.insert(FileWith(bToA));
    }
    return states;
}

bool IsTempName(const std::string& name) {
    return name.size() == std::string(".keyconfig.ini.XXXXXX").size() && name.starts_with(".keyconfig.ini.");
}

class CrashSafety : public testutil::AppTest {};

TEST_F(CrashSafety, ASaveKilledAtAnyPointLeavesAWholeFile) {
    GetIniPath();
    const std::set<std::string> whole = WholeStates();
    std::mt19937 random(20261211);
    // Spinning a random number of rounds after the child has started saving
    // spreads the kills over every step of a save.
    std::uniform_int_distribution<int> spins(0, 40000000);
    constexpr int kKills = 200;
    int killedMidRun = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        // Each round starts from the first content, so that the file a kill
        // leaves can only be one of the whole states of that run.
        WriteBytes(IniFile(), FileWith(kA));
        int started[2];
        ASSERT_EQ(::pipe(started), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(started[0]);
            char one = 1;
            if (::write(started[1], &one, 1) != 1) ::_exit(2);
            for (unsigned n = 0;; ++n) SaveBindings(n % 2 == 0 ? kB : kA);
        }
        ::close(started[1]);
        char one = 0;
        ASSERT_EQ(::read(started[0], &one, 1), 1);
        ::close(started[0]);
        volatile int sink = 0;
        for (int i = spins(random); i > 0; --i) sink = sink + 1;
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) ++killedMidRun;

        std::string now = ReadBytes(IniFile());
        ASSERT_TRUE(whole.count(now)) << "kill " << kill << " left:\n" << now;
        for (const auto& entry : fs::directory_iterator(Dir())) {
            std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "keyconfig.ini" || IsTempName(name)) << name;
        }
    }
    EXPECT_EQ(killedMidRun, kKills);

    // Left-over temp files change nothing: the bindings read are the file's,
    // and the next save writes the file and only the file.
    SlotButtons loaded = LoadBindings();
    std::string now = ReadBytes(IniFile());
    for (int slot = 0; slot < kSlotCount; ++slot)
        EXPECT_NE(now.find(std::string(kSlotKeys[slot]) + "=" + std::to_string(loaded.buttons[slot]) + "\r\n"),
                  std::string::npos);
    ASSERT_TRUE(SaveBindings(kA));
    EXPECT_EQ(ReadBytes(IniFile()), FileWith(kA));
}

}  // namespace
