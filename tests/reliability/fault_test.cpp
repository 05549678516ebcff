// Faults of the disk and the file system met by a save: through SaveBindings
// (its result and last error) and through the dialog (the error box, and the
// window left open so that the player's choices are not lost). A failed save
// leaves the file byte for byte as it was and writes nothing elsewhere.
#include "app_fixture.h"
#include "profile_fixture.h"

#include "headless/headless.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using shell::headless::Pump;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

constexpr const char* kStored = "; the game's own file\r\n[KeyConfig]\r\nKey1=5\r\nKey2=9\r\nKey3=2\r\nKey4=11\r\n[Video]\r\nFull=1\r\n";
constexpr std::int32_t kNew[kSlotCount] = {7, 6, 5, 4};

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Fault : public testutil::AppTest {
protected:
    // The dialog's answer to 保存して終了: true when it reported the failure
    // in one error box and stayed open.
    BOOL ClickSaveExpectingReport() {
        CMainForm form;
        HWND h = form.Create(nullptr);
        if (h == nullptr) return FALSE;
        for (int slot = 0; slot < kSlotCount; ++slot) form.m_slotButtons[slot] = kNew[slot];
        shell::headless::Click(GetDlgItem(h, IDOK));
        Pump();
        bool reported = shell::headless::MessageBoxes().size() == 1 && IsWindow(h);
        if (IsWindow(h)) DestroyWindow(h);
        return reported ? TRUE : FALSE;
    }
};

// Each case sets up a fault; the save must fail with `error` through both
// ways in, and leave the directory as the fault left it.
struct FaultCase {
    const char* name;
    std::function<void(const fs::path& dir, const fs::path& ini)> arrange;
    profile_test::ChildLimits limits;
    DWORD error;
};

TEST_F(Fault, EachFaultIsReportedAndTheFileStaysAsItWas) {
    const FaultCase cases[] = {
        {"read-only directory",
         [](const fs::path& dir, const fs::path& ini) {
             WriteBytes(ini, kStored);
             fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
         },
         {.unprivileged = true, .maxFileBytes = std::nullopt}, EACCES},
        {"read-only file",
         [](const fs::path&, const fs::path& ini) {
             WriteBytes(ini, kStored);
             fs::permissions(ini, fs::perms::owner_read | fs::perms::others_read);
         },
         {}, EACCES},
        {"keyconfig.ini is a directory", [](const fs::path&, const fs::path& ini) { fs::create_directory(ini); }, {},
         EISDIR},
        {"full disk (file-size limit below the new file)",
         [](const fs::path&, const fs::path& ini) { WriteBytes(ini, kStored); },
         {.unprivileged = false, .maxFileBytes = 40}, EFBIG},
    };
    // The child that gives up root must still reach the case's directory.
    fs::permissions(Dir(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path dir = Dir() / "case";
        fs::create_directory(dir);
        fs::permissions(dir, fs::perms::all);
        fs::path ini = dir / "keyconfig.ini";
        c.arrange(dir, ini);
        std::string before = fs::is_regular_file(ini) ? ReadBytes(ini) : std::string();
        std::vector<std::string> namesBefore = Names(dir);
        std::snprintf(g_iniPath, sizeof g_iniPath, "%s", ini.c_str());

        auto result = profile_test::CallWithLimits(c.limits, [] { return SaveBindings(kNew) ? TRUE : FALSE; });
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, c.error);
        auto dialog = profile_test::CallWithLimits(c.limits, [this] { return ClickSaveExpectingReport(); });
        EXPECT_TRUE(dialog.ok) << "no error box, or the window closed";

        if (fs::is_regular_file(ini)) {
            EXPECT_EQ(ReadBytes(ini), before);
        }
        EXPECT_EQ(Names(dir), namesBefore);
        std::error_code ec;
        fs::permissions(dir, fs::perms::all, ec);
        fs::permissions(ini, fs::perms::all, ec);
        fs::remove_all(dir);
        g_iniPath[0] = '\0';
        shell::headless::Reset();
    }
}

// Things another program does to the file or its directory while the dialog
// is open, between the load and the save.
class WhileOpen : public testutil::AppTest {
protected:
    HWND Open() {
        HWND h = form.Create(nullptr);
        EXPECT_NE(h, nullptr);
        for (int slot = 0; slot < kSlotCount; ++slot) form.m_slotButtons[slot] = kNew[slot];
        return h;
    }
    void ClickSave() {
        shell::headless::Click(GetDlgItem(form.m_hWnd, IDOK));
        Pump();
    }
    CMainForm form;
};

constexpr const char* kSaved = "[KeyConfig]\r\nKey1=7\r\nKey2=6\r\nKey3=5\r\nKey4=4\r\n";

TEST_F(WhileOpen, AFileDeletedMeanwhileIsCreatedAgain) {
    WriteBytes(IniFile(), kStored);
    HWND h = Open();
    fs::remove(IniFile());
    ClickSave();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(ReadBytes(IniFile()), kSaved);
}

TEST_F(WhileOpen, AFileChangedMeanwhileKeepsTheOtherProgramsKeysAndSections) {
    WriteBytes(IniFile(), kStored);
    HWND h = Open();
    const std::string changed = "[KeyConfig]\r\nKey1=1\r\nTurbo=on\r\nKey3=1\r\n[Sound]\r\nVol=80\r\n";
    WriteBytes(IniFile(), changed);
    ClickSave();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(ReadBytes(IniFile()),
              "[KeyConfig]\r\nKey1=7\r\nTurbo=on\r\nKey3=5\r\nKey2=6\r\nKey4=4\r\n[Sound]\r\nVol=80\r\n");
}

TEST_F(WhileOpen, TwoCopiesSavingOneAfterTheOtherLeaveTheLaterOnesBindings) {
    WriteBytes(IniFile(), kStored);
    HWND first = Open();
    CMainForm second;
    HWND h2 = second.Create(nullptr);
    ASSERT_NE(h2, nullptr);
    for (int slot = 0; slot < kSlotCount; ++slot) second.m_slotButtons[slot] = 20 + slot;
    shell::headless::Click(GetDlgItem(h2, IDOK));
    Pump();
    EXPECT_FALSE(IsWindow(h2));
    ClickSave();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(ReadBytes(IniFile()),
              "; the game's own file\r\n[KeyConfig]\r\nKey1=7\r\nKey2=6\r\nKey3=5\r\nKey4=4\r\n[Video]\r\nFull=1\r\n");
    EXPECT_EQ(Names(Dir()), std::vector<std::string>{"keyconfig.ini"});
}

TEST_F(WhileOpen, ASymbolicLinkIsWrittenThroughAndStaysALink) {
    fs::create_directory(Dir() / "real");
    WriteBytes(Dir() / "real" / "game.ini", kStored);
    fs::create_symlink("real/game.ini", IniFile());
    HWND h = Open();
    ClickSave();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_TRUE(fs::is_symlink(IniFile()));
    EXPECT_EQ(fs::read_symlink(IniFile()), "real/game.ini");
    EXPECT_EQ(ReadBytes(Dir() / "real" / "game.ini"),
              "; the game's own file\r\n[KeyConfig]\r\nKey1=7\r\nKey2=6\r\nKey3=5\r\nKey4=4\r\n[Video]\r\nFull=1\r\n");
}

TEST_F(WhileOpen, ADirectoryRenamedAwayIsReportedAndNothingIsWrittenElsewhere) {
    WriteBytes(IniFile(), kStored);
    HWND h = Open();
    fs::path moved = Dir().string() + "-moved";
    fs::rename(Dir(), moved);
    ClickSave();
    bool open = IsWindow(h);
    size_t boxes = shell::headless::MessageBoxes().size();
    bool recreated = fs::exists(Dir());
    std::string content = ReadBytes(moved / "keyconfig.ini");
    std::vector<std::string> names = Names(moved);
    fs::rename(moved, Dir());
    EXPECT_TRUE(open);
    EXPECT_EQ(boxes, 1u);
    EXPECT_FALSE(recreated);
    EXPECT_EQ(content, kStored);
    EXPECT_EQ(names, std::vector<std::string>{"keyconfig.ini"});
}

}  // namespace
