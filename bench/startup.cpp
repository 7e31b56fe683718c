// The start of the real program with 10,000 and 100,000 contacts in its
// store: the time from starting the process to the first frame of the
// interactive main screen (a headless script takes a shot of it as soon as
// the splash has handed over), and the peak resident memory of the run.
#include "data/contact_store.h"
#include "runtime/paths.h"
#include "runtime/registry.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace telvara;
namespace fs = std::filesystem;

// A device root per size, filled once (and kept for the whole run).
const std::string& device_root(std::size_t contacts) {
    static std::map<std::size_t, std::string> roots;
    auto& root = roots[contacts];
    if (root.empty()) {
        std::string pattern = (fs::temp_directory_path() / "bench-start-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        root = pattern;
        runtime::set_device_root(root);
        data::ContactStore store(root + "/pim.vol");
        store.add_test_contacts(contacts, data::TestPhotos::some);
        // A phone in use: no demo data on top.
        runtime::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara", u"DemoData", 0);
    }
    return root;
}

// The processor time the process used so far (all its threads), seconds.
double cpu_seconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

struct Start {
    double to_main_screen = 0; // seconds
    double cpu_to_main_screen = 0;
    double to_exit = 0;
    long peak_kb = 0;
};

Start start_program(const std::string& root) {
    const std::string shot = root + "/main.png";
    const std::string script = root + "/start.txt";
    fs::remove(shot);
    // The splash hands over at the first frame after 500 ms of the script's clock.
    std::ofstream(script) << "wait 520\nshot " << shot << "\n";
    std::vector<std::string> args = {TELVARA_BINARY, "--headless", "--root",
                                     root,           "--script",   script};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto begin = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        std::abort();
    posix_spawn_file_actions_destroy(&actions);
    Start result;
    std::error_code error;
    while (!fs::exists(shot, error))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    result.to_main_screen =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    result.cpu_to_main_screen = cpu_seconds(pid);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    result.to_exit =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    result.peak_kb = usage.ru_maxrss;
    return result;
}

void BM_StartToMainScreen(benchmark::State& state) {
    const std::string& root = device_root(static_cast<std::size_t>(state.range(0)));
    start_program(root); // the first start after filling: caches warm
    double exit_total = 0;
    double cpu_total = 0;
    long peak = 0;
    for (auto _ : state) {
        const Start s = start_program(root);
        state.SetIterationTime(s.to_main_screen);
        exit_total += s.to_exit;
        cpu_total += s.cpu_to_main_screen;
        peak = std::max(peak, s.peak_kb);
    }
    state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024.0;
    // On a machine shared with other work the wall time includes waiting
    // for a processor; this is the time the program itself needed.
    state.counters["cpu_to_main_ms"] = 1000.0 * cpu_total / static_cast<double>(state.iterations());
    state.counters["until_exit_ms"] = 1000.0 * exit_total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_StartToMainScreen)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace
