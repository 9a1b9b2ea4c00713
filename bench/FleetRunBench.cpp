// The fleet commands against 32 quellix-sim units on pseudo-terminals, each run a quellix-cli process
// from its start to its exit: "fleet write" (with its check) against one unit's "write", and "fleet
// backup" against one unit's "read", measured in the same session (goal: at most 10 % over), with the
// fleet's peak resident memory (goal at most 80 MB) and CPU time.
//
//   fleet_run_bench --cli PATH --sim PATH [--units N] [--runs N]
#include "BenchSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quellix;

namespace {

struct Run {
    double ms = 0;
    int status = -1;
    double cpuSeconds = 0;
    long peakKiB = 0;
};

// One process to its exit, its output to `log`; wait4 gives its own CPU time and peak resident set.
Run Spawn(const std::vector<std::string>& args, const std::string& log) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    Run run;
    pid_t pid = -1;
    const auto start = bench::Clock::now();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (::wait4(pid, &status, 0, &usage) == pid) {
            run.ms = bench::Ms(bench::Clock::now() - start);
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                             double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
            run.peakKiB = usage.ru_maxrss;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// A simulated unit: its process, and the pseudo-terminal it printed on its first line.
class Sim {
public:
    Sim(const std::string& sim, const std::string& state) {
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args{sim, "--state", state};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        char c = 0;
        while (pid_ > 0 && ::read(out[0], &c, 1) == 1 && c != '\n')
            path_ += c;
        out_ = out[0];
    }
    ~Sim() {
        if (pid_ > 0 && ::kill(pid_, SIGTERM) == 0)
            ::waitpid(pid_, nullptr, 0);
        if (out_ >= 0)
            ::close(out_);
    }
    const std::string& path() const { return path_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string path_;
};

// The median run of `runs`, with the highest peak memory and CPU time among them; nothing when one
// failed.
std::optional<Run> Measure(const std::vector<std::string>& args, int runs, const std::string& log) {
    std::vector<double> times;
    Run worst;
    for (int i = 0; i < runs; ++i) {
        const Run run = Spawn(args, log);
        if (run.status != 0) {
            std::fprintf(stderr, "fleet_run_bench: exit %d from %s (see %s)\n", run.status, args[1].c_str(),
                         log.c_str());
            return std::nullopt;
        }
        times.push_back(run.ms);
        worst.peakKiB = std::max(worst.peakKiB, run.peakKiB);
        worst.cpuSeconds = std::max(worst.cpuSeconds, run.cpuSeconds);
    }
    worst.ms = bench::Summarise(times).median;
    worst.status = 0;
    return worst;
}

void CompareRow(const std::string& what, const Run& fleet, const Run& one, int units) {
    const double ratio = fleet.ms / one.ms;
    std::printf("%s: %d units %.0f ms, one unit %.0f ms (%.1f %% over), CPU %.2f s, peak %.1f MB\n",
                what.c_str(), units, fleet.ms, one.ms, (ratio - 1) * 100, fleet.cpuSeconds,
                double(fleet.peakKiB) / 1024);
    bench::PrintRow(what + " of " + std::to_string(units) + " units against one (medians)",
                    bench::Format("%.0f", fleet.ms) + " / " + bench::Format("%.0f", one.ms) + " ms, CPU " +
                        bench::Format("%.2f", fleet.cpuSeconds) + " s",
                    "goal <= 10 % over one unit", {ratio}, 1.10);
    bench::PrintRow(what + " of " + std::to_string(units) + " units, peak resident memory",
                    bench::Format("%.1f", double(fleet.peakKiB) / 1024) + " MB", "goal <= 80 MB",
                    {double(fleet.peakKiB) / 1024 / 80}, 1.0);
}

} // namespace

int main(int argc, char** argv) {
    std::string cli, sim;
    int units = 32, runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--cli")
            cli = argv[i + 1];
        else if (option == "--sim")
            sim = argv[i + 1];
        else if (option == "--units")
            units = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    QTemporaryDir dir;
    if (cli.empty() || sim.empty() || !dir.isValid()) {
        std::fprintf(stderr, "usage: fleet_run_bench --cli PATH --sim PATH [--units N] [--runs N]\n");
        return 2;
    }
    const auto file = [&dir](const QString& name) { return dir.filePath(name).toStdString(); };
    std::vector<std::unique_ptr<Sim>> sims;
    QByteArray csv = "name,port,config\n";
    for (int i = 0; i < units; ++i) {
        sims.push_back(std::make_unique<Sim>(sim, file(QStringLiteral("unit%1.qlx").arg(i))));
        if (sims.back()->path().empty()) {
            std::fprintf(stderr, "fleet_run_bench: quellix-sim did not start\n");
            return 1;
        }
        csv += "unit" + QByteArray::number(i) + ',' + QByteArray::fromStdString(sims.back()->path()) +
               ",plant.json\n";
    }
    QFile inventory(dir.filePath("inventory.csv"));
    if (!inventory.open(QIODevice::WriteOnly) || inventory.write(csv) != csv.size())
        return 1;
    inventory.close();
    const std::string log = file("cli.log");
    const std::string& first = sims.front()->path();
    // The read leaves the file every write sends.
    const auto read = Measure({cli, "read", "--port", first, "-o", file("plant.json")}, runs, log);
    const auto backup =
        Measure({cli, "fleet", "backup", "--dir", file("backup"), file("inventory.csv")}, runs, log);
    const auto write = Measure({cli, "write", "--port", first, file("plant.json")}, runs, log);
    const auto fleetWrite = Measure({cli, "fleet", "write", "--yes", file("inventory.csv")}, runs, log);
    if (!read || !backup || !write || !fleetWrite)
        return 1;
    CompareRow("quellix-cli fleet backup", *backup, *read, units);
    CompareRow("quellix-cli fleet write with verify", *fleetWrite, *write, units);
    return 0;
}
