// pelion-reliability: the power-cut sweep and the fault soak against the simulated logger.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "link/comm_thread.h"
#include "link/link_timing.h"
#include "reliability/case_runner.h"
#include "reliability/fault_soak.h"
#include "reliability/history_recovery.h"
#include "reliability/power_cut_sweep.h"
#include "reliability/shards.h"
#include "update/pelion_comm_thread.h"

namespace {

using namespace pelion::reliability;
using Clock = std::chrono::steady_clock;

constexpr int cDEFAULT_DIVISOR = 20;

const char* const cUSAGE =
    "usage: pelion-reliability sweep [--image N] [--cut POINT] [--sample N | --torn-sample N]\n"
    "                                [--seed S] [--jobs J] [--divisor D]\n"
    "       pelion-reliability soak [--seeds FIRST-LAST] [--jobs J] [--divisor D]\n"
    "sweep: cut the simulated logger's power at every data line of every embedded image and at\n"
    "  the jump, the update-ID query, the programming start, the programming end and while the\n"
    "  new firmware boots; restore it and update again. --image: one image; --cut: one cut\n"
    "  point (as printed with a failure), or \"history\": the pinned logger's cut points\n"
    "  recovered through the update history; --sample N: N cut points picked with --seed;\n"
    "  --torn-sample N: every cut point that is not a torn write, and N torn writes picked\n"
    "  with --seed. Without --seed a sample's seed is a fresh random one, printed.\n"
    "soak: one whole update per seed (default 1-1000) on a line with seeded faults, then a\n"
    "  re-run on a clean line.\n"
    "--jobs: parallel processes (default 2). --divisor: every wait of the updater's link is\n"
    "  divided by D (default 20). A broken promise fails its case at once; only a run that\n"
    "  timed out or used up its repeats is run again at the real waits, and the case counts\n"
    "  as retimed when it passes there (its first failure is printed). Exit status 0 only\n"
    "  when no case failed.\n";

struct Settings {
    std::string command;
    std::optional<int> image;
    std::optional<std::string> cut;
    std::optional<int> sample;
    bool tornOnly = false;  // the sample is of torn writes; every other cut point runs
    std::optional<std::uint64_t> seed;
    std::uint64_t firstSeed = 1;
    std::uint64_t lastSeed = 1000;
    int jobs = 2;
    int divisor = cDEFAULT_DIVISOR;
    std::optional<std::pair<int, int>> shard;
};

bool parse(int argc, char** argv, Settings& s) {
    if (argc < 2) {
        return false;
    }
    s.command = argv[1];
    if (s.command != "sweep" && s.command != "soak") {
        return false;
    }
    try {
        for (int i = 2; i < argc; ++i) {
            const std::string a = argv[i];
            if (i + 1 == argc) {
                return false;
            }
            const std::string v = argv[++i];
            if (a == "--image") {
                s.image = std::stoi(v);
            } else if (a == "--cut") {
                s.cut = v;
            } else if (a == "--sample" || a == "--torn-sample") {
                s.sample = std::stoi(v);
                s.tornOnly = a == "--torn-sample";
            } else if (a == "--seed") {
                s.seed = std::stoull(v);
            } else if (a == "--seeds") {
                const auto dash = v.find('-');
                s.firstSeed = std::stoull(v.substr(0, dash));
                s.lastSeed =
                    dash == std::string::npos ? s.firstSeed : std::stoull(v.substr(dash + 1));
            } else if (a == "--jobs") {
                s.jobs = std::max(1, std::stoi(v));
            } else if (a == "--divisor") {
                s.divisor = std::max(1, std::stoi(v));
            } else if (a == "--shard") {
                const auto slash = v.find('/');
                s.shard = {std::stoi(v.substr(0, slash)), std::stoi(v.substr(slash + 1))};
            } else {
                return false;
            }
        }
    } catch (const std::exception&) {
        return false;
    }
    if (s.sample && !s.seed) {
        s.seed = std::random_device{}();
    }
    return s.firstSeed <= s.lastSeed && (!s.sample || *s.sample >= 0);
}

std::vector<CutPoint> sampled(std::vector<CutPoint> cuts, std::size_t count, std::uint64_t seed) {
    if (count < cuts.size()) {
        std::mt19937_64 random(seed);
        std::shuffle(cuts.begin(), cuts.end(), random);
        cuts.resize(count);
    }
    return cuts;
}

std::vector<CutPoint> sweepCases(const Settings& s) {
    if (s.cut == "history") {
        return historyCutPoints();
    }
    if (s.cut) {
        const auto cut = parseCutPoint(*s.cut);
        return cut ? std::vector<CutPoint>{*cut} : std::vector<CutPoint>{};
    }
    std::vector<CutPoint> cuts = allCutPoints(s.image);
    if (!s.sample) {
        return cuts;
    }
    const auto count = static_cast<std::size_t>(*s.sample);
    if (!s.tornOnly) {
        return sampled(std::move(cuts), count, *s.seed);
    }
    std::vector<CutPoint> torn;
    std::vector<CutPoint> chosen;
    for (const CutPoint& cut : cuts) {
        (cut.kind == CutKind::tornWrite ? torn : chosen).push_back(cut);
    }
    for (const CutPoint& cut : sampled(std::move(torn), count, *s.seed)) {
        chosen.push_back(cut);
    }
    return chosen;
}

void printCase(const char* status, const std::string& name, const std::string& failure) {
    std::printf("%s\t%s\t%s\n", status, name.c_str(), failure.c_str());
    std::fflush(stdout);
}

void runShard(const Settings& s) {
    const auto [index, count] = *s.shard;
    if (s.command == "sweep") {
        const auto cuts = sweepCases(s);
        for (std::size_t i = static_cast<std::size_t>(index); i < cuts.size();
             i += static_cast<std::size_t>(count)) {
            const CaseVerdict v = runCase(s.divisor, [&] { return runCutPoint(cuts[i]); });
            printCase(v.status, cuts[i].name(), v.failure);
        }
        return;
    }
    for (std::uint64_t seed = s.firstSeed + static_cast<std::uint64_t>(index); seed <= s.lastSeed;
         seed += static_cast<std::uint64_t>(count)) {
        std::string outcome;
        const CaseVerdict v = runCase(s.divisor, [&] {
            SoakResult r = runSoakSeed(seed);
            outcome = r.outcome;
            if (!r.check.failure.empty()) {
                r.check.failure += " [faults: " + r.faults + "]";
            }
            return r.check;
        });
        printCase(v.status, std::to_string(seed), v.failure);
        std::printf("outcome\t%s\t%s\n", std::to_string(seed).c_str(), outcome.c_str());
        std::fflush(stdout);
    }
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
        fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    return fields;
}

struct Tally {
    int cases = 0;
    int retimed = 0;
    int failed = 0;
    std::map<std::string, int> outcomes;
};

int runAll(const Settings& s, const char* self) {
    std::vector<std::string> args{self, s.command, "--divisor", std::to_string(s.divisor)};
    std::size_t total = 0;
    if (s.command == "sweep") {
        total = sweepCases(s).size();
        if (s.image) {
            args.insert(args.end(), {"--image", std::to_string(*s.image)});
        }
        if (s.cut) {
            args.insert(args.end(), {"--cut", *s.cut});
        }
        if (s.sample) {
            args.insert(args.end(), {s.tornOnly ? "--torn-sample" : "--sample",
                                     std::to_string(*s.sample), "--seed", std::to_string(*s.seed)});
        }
    } else {
        total = s.lastSeed - s.firstSeed + 1;
        args.insert(args.end(),
                    {"--seeds", std::to_string(s.firstSeed) + "-" + std::to_string(s.lastSeed)});
    }
    const int jobs =
        static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(s.jobs), total));
    std::fprintf(stderr, "%s: %zu %s, %d processes, waits divided by %d\n", s.command.c_str(),
                 total, s.command == "sweep" ? "cut points" : "seeds", jobs, s.divisor);
    if (s.sample) {
        const std::string image = s.image ? " --image " + std::to_string(*s.image) : "";
        std::fprintf(
            stderr,
            "sweep: sample seed %llu; the same sample again: %s sweep%s %s %d --seed %llu\n",
            static_cast<unsigned long long>(*s.seed), self, image.c_str(),
            s.tornOnly ? "--torn-sample" : "--sample", *s.sample,
            static_cast<unsigned long long>(*s.seed));
    }

    Tally tally;
    const auto started = Clock::now();
    auto lastReport = started;
    const bool ok = runShards(args, std::max(jobs, 1), [&](const std::string& line) {
        const auto f = split(line);
        if (f.size() < 3) {
            return;
        }
        if (f[0] == "outcome") {
            ++tally.outcomes[f[2]];
            return;
        }
        ++tally.cases;
        tally.retimed += f[0] == "retimed";
        if (f[0] == "retimed") {
            std::fprintf(stderr, "retimed %s %s: %s (held at the real waits)\n", s.command.c_str(),
                         f[1].c_str(), f[2].c_str());
        }
        if (f[0] == "FAIL") {
            ++tally.failed;
            const std::string replay = s.command == "sweep" ? "--cut " + f[1] : "--seeds " + f[1];
            std::fprintf(stderr, "FAILED %s %s: %s\n  replay: %s %s %s --divisor %d\n",
                         s.command.c_str(), f[1].c_str(), f[2].c_str(), self, s.command.c_str(),
                         replay.c_str(), s.divisor);
        }
        if (Clock::now() - lastReport > std::chrono::seconds(60)) {
            lastReport = Clock::now();
            std::fprintf(stderr, "%s: %d of %zu done, %d retimed, %d failed\n", s.command.c_str(),
                         tally.cases, total, tally.retimed, tally.failed);
        }
    });
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started).count();
    const char* what = s.command == "sweep" ? "cut points" : "seeds";
    const char* passed = s.command == "sweep" ? "recovered" : "held";
    std::printf("%s: %d %s, %d %s (%d retimed), %d failed, %lld s\n", s.command.c_str(),
                tally.cases, what, tally.cases - tally.failed, passed, tally.retimed, tally.failed,
                static_cast<long long>(seconds));
    for (const auto& [outcome, count] : tally.outcomes) {
        std::printf("  faulty run %s: %d\n", outcome.c_str(), count);
    }
    const bool complete = tally.cases == static_cast<int>(total);
    if (!ok || !complete) {
        std::printf("%s: %d of %zu cases reported; a child process failed (see its messages)\n",
                    s.command.c_str(), tally.cases, total);
    }
    return ok && complete && tally.failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Settings s;
    if (!parse(argc, argv, s)) {
        std::fputs(cUSAGE, stderr);
        return 2;
    }
    if (s.cut && s.cut != "history" && !parseCutPoint(*s.cut)) {
        std::fprintf(stderr, "pelion-reliability: '%s' is no cut point (e.g. 3:torn:17:12)\n",
                     s.cut->c_str());
        return 2;
    }
    if (s.shard) {
        pelion::WorkerClass = &pelion::makeWorker<pelion::TPelionCommThread>;
        runShard(s);
        return 0;
    }
    return runAll(s, argv[0]);
}
