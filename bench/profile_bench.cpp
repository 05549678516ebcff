// Load and save of keyconfig's bindings on a big settings file: how long a
// LoadBindings and a SaveBindings take when the file holds MB of other text.
// Run by profile_bench.sh; prints one line per step.
#include "keyconfig/key_bindings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

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
    SlotButtons loaded{};
    double load = time([&] { loaded = LoadBindings(); });
    constexpr std::int32_t kNew[kSlotCount] = {7, 6, 5, 4};
    bool saved = false;
    double save = time([&] { saved = SaveBindings(kNew); });
    std::printf("file: %zu MB\nload: %.3f s (Key1=%d)\nsave: %.3f s (%s)\n", megabytes, load,
                static_cast<int>(loaded.buttons[0]), save, saved ? "ok" : "FAILED");
    return saved && loaded.buttons[0] == 5 ? 0 : 1;
}
