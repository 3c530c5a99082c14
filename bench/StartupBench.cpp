// Start-up time and idle footprint of the real program against a bare
// QDialog with the same widgets, each in fresh processes, alternately.
#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

namespace {

constexpr int kRuns = 7;

struct ProbeResult {
    bool ok = false;
    double shownMs = 0;
    double rssMiB = 0;
};

ProbeResult runProbe(const char* probePath, const char* mode)
{
    ProbeResult result;
    int out[2];
    if (::pipe(out) != 0)
        return result;
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "QUORLIN_BENCH_SPAWN_NS=", 23) != 0)
            env.emplace_back(*e);
    }
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    env.push_back(
        "QUORLIN_BENCH_SPAWN_NS=" + std::to_string(static_cast<long long>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec));
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = probePath, arg = mode;
    char* argv[] = { path.data(), arg.data(), nullptr };

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    // Qt's start-up chatter would break up the table.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, probePath, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string output;
    char buffer[256];
    ssize_t n = 0;
    while (spawned == 0 && (n = ::read(out[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return result;
    long long shownUs = 0;
    long rssKiB = 0;
    int threads = 0;
    if (std::sscanf(output.c_str(), "shown_us=%lld rss_kib=%ld threads=%d", &shownUs, &rssKiB, &threads) == 3) {
        result.ok = true;
        result.shownMs = static_cast<double>(shownUs) / 1000.0;
        result.rssMiB = static_cast<double>(rssKiB) / 1024.0;
    }
    return result;
}

} // namespace

bool startupAndFootprint(const char* probePath)
{
    printHeader("5. Start-up and footprint (fresh processes, 7 runs each, medians)");
    std::vector<double> appShown, bareShown, appRss, bareRss;
    for (int i = 0; i < kRuns; ++i) {
        for (const char* mode : { "bare", "app" }) {
            const ProbeResult r = runProbe(probePath, mode);
            if (!r.ok)
                continue;
            const bool app = std::strcmp(mode, "app") == 0;
            (app ? appShown : bareShown).push_back(r.shownMs);
            (app ? appRss : bareRss).push_back(r.rssMiB);
        }
    }
    if (appShown.size() != kRuns || bareShown.size() != kRuns) {
        printNote("a start-up probe failed");
        return false;
    }
    const Stats as = summarise(appShown), bs = summarise(bareShown);
    const Stats ar = summarise(appRss), br = summarise(bareRss);
    printRow("bare QDialog, same widgets: time to first paint (ms)", format(bs.median), "", true);
    printRow("Quorlin: time to first paint (ms)", format(as.median), "", true);
    const double timeRatio = as.median / bs.median;
    printRow("ratio Quorlin / bare, start-up", format(timeRatio, 2), "<= 1.2", timeRatio <= 1.2);
    printRow("bare QDialog, same widgets: resident memory at idle (MiB)", format(br.median), "", true);
    printRow("Quorlin: resident memory at idle (MiB)", format(ar.median), "", true);
    const double rssRatio = ar.median / br.median;
    printRow("ratio Quorlin / bare, resident memory", format(rssRatio, 2), "<= 1.2", rssRatio <= 1.2);
    return timeRatio <= 1.2 && rssRatio <= 1.2;
}

} // namespace bench
