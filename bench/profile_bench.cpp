// Load and save of keyconfig's bindings on a big settings file: how long a
// LoadBindings and a SaveBindings take, and the process's peak memory, when
// the file holds MB of other text. Run by profile_bench.sh, once per size in
// a fresh process, so that each peak is that size's own; prints one line.
#include "keyconfig/key_bindings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

// The process's peak resident size so far, in MB.
double PeakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    {
        std::ofstream out(kSettingsFileName, std::ios::binary | std::ios::trunc);
        std::string line = "Entry=" + std::string(1000, 'v') + "\r\n";
        out << "[Other]\r\n";
        for (std::size_t written = 0; written < megabytes << 20; written += line.size()) out << line;
        out << "[KeyConfig]\r\nKey1=5\r\nKey2=9\r\n[Tail]\r\nA=1\r\n";
    }
    auto time = [](auto&& step) {
        auto start = std::chrono::steady_clock::now();
        step();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double base = PeakMb();
    SlotButtons loaded{};
    double load = time([&] { loaded = LoadBindings(); });
    double afterLoad = PeakMb();
    constexpr std::int32_t kNew[kSlotCount] = {7, 6, 5, 4};
    bool saved = false;
    double save = time([&] { saved = SaveBindings(kNew); });
    double afterSave = PeakMb();
    std::printf("%8zu %9.3f %9.3f %12.1f %12.1f %s\n", megabytes, load, save, afterLoad - base, afterSave - base,
                saved && loaded.buttons[0] == 5 ? "ok" : "FAILED");
    return saved && loaded.buttons[0] == 5 ? 0 : 1;
}
