// For end-to-end tests only, loaded with LD_PRELOAD into the real program:
// a virtual joypad, plugged in right after the program starts SDL's joystick
// subsystem, that a test presses through a FIFO. The program itself is
// unchanged: it sees the pad through SDL as it would see a real one.
//
//   KC_TEST_PAD_FIFO   a FIFO the test writes lines to: "press N",
//                      "release N", "detach", "attach"
//   KC_TEST_PAD_LOG    a file this library appends "ready" and one line per
//                      applied command to, so the test can wait for them
//
// Each log line carries the monotonic time in microseconds, and with
// KC_TEST_LABEL_LOG set every text the program puts into a GTK entry is
// logged there with its time too, for latency measurements.
#include <SDL.h>
#include <dlfcn.h>
#include <gtk/gtk.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>

namespace {

std::mutex g_mutex;
SDL_Joystick* g_pad = nullptr;
int g_index = -1;
std::atomic<bool> g_started{false};

long long NowMicros() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void Log(const char* env, const std::string& line) {
    const char* path = std::getenv(env);
    if (path == nullptr) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%lld %s\n", NowMicros(), line.c_str());
        std::fclose(f);
    }
}

void Attach() {
    g_index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 32, 1);
    g_pad = g_index >= 0 ? SDL_JoystickOpen(g_index) : nullptr;
}

void Detach() {
    if (g_pad != nullptr) SDL_JoystickClose(g_pad);
    g_pad = nullptr;
    if (g_index >= 0) SDL_JoystickDetachVirtual(g_index);
    g_index = -1;
}

void Serve(std::string fifo) {
    for (;;) {
        FILE* in = std::fopen(fifo.c_str(), "r");  // blocks until the test opens it
        if (in == nullptr) return;
        char line[128];
        while (std::fgets(line, sizeof line, in) != nullptr) {
            line[std::strcspn(line, "\r\n")] = '\0';
            int n = 0;
            {
                std::lock_guard<std::mutex> guard(g_mutex);
                SDL_LockJoysticks();
                if (std::sscanf(line, "press %d", &n) == 1 && g_pad != nullptr)
                    SDL_JoystickSetVirtualButton(g_pad, n, 1);
                else if (std::sscanf(line, "release %d", &n) == 1 && g_pad != nullptr)
                    SDL_JoystickSetVirtualButton(g_pad, n, 0);
                else if (std::strcmp(line, "detach") == 0)
                    Detach();
                else if (std::strcmp(line, "attach") == 0 && g_pad == nullptr)
                    Attach();
                SDL_UnlockJoysticks();
            }
            Log("KC_TEST_PAD_LOG", line);
        }
        std::fclose(in);
    }
}

void StartPad() {
    if (g_started.exchange(true)) return;
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        const char* detached = std::getenv("KC_TEST_PAD_DETACHED");
        if (detached == nullptr || std::strcmp(detached, "1") != 0) Attach();
    }
    if (const char* fifo = std::getenv("KC_TEST_PAD_FIFO")) std::thread(Serve, std::string(fifo)).detach();
    Log("KC_TEST_PAD_LOG", "ready");
}

}  // namespace

extern "C" int SDL_InitSubSystem(Uint32 flags) {
    using Fn = int (*)(Uint32);
    static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "SDL_InitSubSystem"));
    int result = real(flags);
    if (result == 0 && (flags & SDL_INIT_JOYSTICK) != 0) StartPad();
    return result;
}

extern "C" void gtk_entry_set_text(GtkEntry* entry, const gchar* text) {
    using Fn = void (*)(GtkEntry*, const gchar*);
    static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "gtk_entry_set_text"));
    real(entry, text);
    Log("KC_TEST_LABEL_LOG", text != nullptr ? text : "");
}
