// The open dialog through 100,000 capture ticks with the pad's buttons going
// down and up: its memory does not grow with the number of ticks.
#include "app_fixture.h"

#include "headless/headless.h"
#include "joystick/scripted_joystick.h"

#include <cstdio>
#include <unistd.h>

namespace {

// Resident pages of this process, from /proc/self/statm.
long ResidentBytes() {
    long size = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * ::sysconf(_SC_PAGESIZE);
}

class Soak : public testutil::AppTest {};

TEST_F(Soak, TicksWithPressesAndReleasesDoNotGrowMemory) {
    CMainForm form;
    HWND h = form.Create(nullptr);
    ASSERT_NE(h, nullptr);
    shell::scripted_joystick::SetConnected(true);
    auto ticks = [&](int count, int from) {
        for (int i = from; i < from + count; ++i) {
            // Pressed for one tick in four, a different button each time, so
            // that captures and label changes happen all along.
            shell::scripted_joystick::SetButtons(i % 4 == 0 ? (1u << ((i / 4) % 16)) : 0u);
            shell::headless::AdvanceTime(kCapturePeriodMs);
            shell::headless::Pump();
        }
    };
    ticks(1000, 0);  // whatever is allocated once is allocated now
    long before = ResidentBytes();
    ticks(100000, 1000);
    long after = ResidentBytes();
    ASSERT_TRUE(IsWindow(h));
    EXPECT_GE(shell::scripted_joystick::ReadCount(), 101000u);
    // A leak of even 16 bytes a tick would be 1.6 MB here.
    EXPECT_LT(after - before, 256 * 1024) << "resident memory grew from " << before << " to " << after;
}

}  // namespace
