// A save killed at any point leaves the old file or the new one. One write of
// the profile service replaces the file at once (a temp file, flushed,
// renamed over it), and keyconfig's save makes its four keys one such
// replace, so a kill never leaves a cut line, nor some keys new and some old.
// A kill before the rename leaves its temp file ".keyconfig.ini.XXXXXX"
// behind; nothing reads a file by that name, and the next save removes it
// once no save holds it.
#include "app_fixture.h"

#include <algorithm>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>
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

bool IsTempName(const std::string& name) {
    return name.size() == std::string(".keyconfig.ini.XXXXXX").size() && name.starts_with(".keyconfig.ini.");
}

class CrashSafety : public testutil::AppTest {
protected:
    // Starts `from` as the file, runs `work` forever in a child and kills it
    // with SIGKILL after a random spin, `kKills` times; after each kill the
    // file must be one of `whole` and the folder must hold nothing but the
    // file and temp files.
    void KillWhileSaving(const std::string& from, const std::set<std::string>& whole, void (*work)()) {
        std::mt19937 random(20261211);
        // Spinning a random number of rounds after the child has started
        // saving spreads the kills over every step of a save.
        std::uniform_int_distribution<int> spins(0, 40000000);
        int killedMidRun = 0;
        for (int kill = 0; kill < kKills; ++kill) {
            // Each round starts from the same content, so that the file a kill
            // leaves can only be one of the states of that run.
            WriteBytes(IniFile(), from);
            int started[2];
            ASSERT_EQ(::pipe(started), 0);
            pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                ::close(started[0]);
                char one = 1;
                if (::write(started[1], &one, 1) != 1) ::_exit(2);
                work();
                ::_exit(3);
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
    }

    // Makes the temp files the kills left look a minute old, as they are
    // by the time the player saves again.
    int AgeLeftovers() {
        int count = 0;
        timespec minuteAgo{::time(nullptr) - 60, 0};
        const timespec times[2] = {minuteAgo, minuteAgo};
        for (const auto& entry : fs::directory_iterator(Dir())) {
            if (!IsTempName(entry.path().filename().string())) continue;
            EXPECT_EQ(::utimensat(AT_FDCWD, entry.path().c_str(), times, 0), 0);
            ++count;
        }
        return count;
    }

    static constexpr int kKills = 200;
};

TEST_F(CrashSafety, AWriteKilledAtAnyPointLeavesTheOldOrTheNewFile) {
    GetIniPath();
    const std::string before = FileWith(kA);
    const std::string after = before.substr(0, before.find("Key3=")) + "Key3=" + std::to_string(kB[2]) +
                              before.substr(before.find("\r\n", before.find("Key3=")));
    KillWhileSaving(before, {before, after}, [] {
        for (unsigned n = 0;; ++n)
            WritePrivateProfileStringA(kSettingsSection, kSlotKeys[2],
                                       std::to_string(n % 2 == 0 ? kB[2] : kA[2]).c_str(), GetIniPath());
    });
}

TEST_F(CrashSafety, ASaveKilledAtAnyPointLeavesTheOldOrTheNewBindingsAndTheNextSaveCleansUp) {
    GetIniPath();
    KillWhileSaving(FileWith(kA), {FileWith(kA), FileWith(kB)}, [] {
        for (unsigned n = 0;; ++n) SaveBindings(n % 2 == 0 ? kB : kA);
    });

    // Left-over temp files change nothing: the bindings read are the file's.
    SlotButtons loaded = LoadBindings();
    std::string now = ReadBytes(IniFile());
    for (int slot = 0; slot < kSlotCount; ++slot)
        EXPECT_NE(now.find(std::string(kSlotKeys[slot]) + "=" + std::to_string(loaded.buttons[slot]) + "\r\n"),
                  std::string::npos);
    // The next save writes the file and removes what the kills left.
    int leftovers = AgeLeftovers();
    ASSERT_TRUE(SaveBindings(kA));
    EXPECT_EQ(ReadBytes(IniFile()), FileWith(kA));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir())) names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"keyconfig.ini"}) << leftovers << " temp files were left by the kills";
}

}  // namespace
