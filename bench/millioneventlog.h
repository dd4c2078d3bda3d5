#pragma once

// What the long-log benchmarks share: a log of 1,000,000 events (about half of them replayable
// station commands, spread over the 960 minutes of a mission), written to
// $TMPDIR/halyx_bench_1m.xml on the first run and kept for later runs, and the process's peak
// resident size.

#include "record/experimentlog.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace halyx::bench {

inline constexpr int kEvents = 1000000;

inline double PeakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

inline std::string BenchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/";
}

// A mission's worth of typical traffic, repeated until kEvents lines are written.
inline const std::string& MillionEventLog() {
    static const std::string path = [] {
        const std::string folder = BenchFolder();
        const std::string file = folder + "halyx_bench_1m.xml";
        if (std::filesystem::exists(file)) {
            return file;
        }
        int64_t tsid = 1796479389047;
        CExperimentLog log([&tsid] { return tsid++; });
        log.Open(folder, "halyx_bench_1m", "benchmark", "<Scenario>\n</Scenario>\n");
        for (int i = 0; i < kEvents; ++i) {
            const int clock = static_cast<int>(static_cast<int64_t>(i) * 960 / kEvents);
            const char* from = i % 3 == 0 ? "ALPHA" : i % 3 == 1 ? "BRAVO" : "CHARLIE";
            switch (i % 8) {
            case 0:
                log.LogDeployResource(clock, from, "Interceptor", "N3", "100", "200", "4", "5",
                                      "300", "400", "12", "20");
                break;
            case 1:
                log.LogChatMsg(clock, from, "incursion heading north, can you cover it?");
                break;
            case 2:
                log.LogResourceActivate(clock, from, "Radar", "R2", "10", "20", "1", "2");
                break;
            case 3:
                log.LogDeployBalloon(clock, from, "500", "600", "21", "3");
                break;
            case 4:
                log.LogWeatherQuery(clock, from, "100", "95");
                break;
            case 5:
                log.LogWeatherResponse(clock, from, "100", "95", 21.5, 1013.25, 40, 12, 270);
                break;
            case 6:
                log.LogUpdateInc(clock, from, "I1", "90", "110", "210");
                break;
            default:
                log.LogIncEnterRadar(clock, from, "I1", "R2");
                break;
            }
        }
        log.EndSimEvents(TeamMembersXml({"ALPHA", "BRAVO", "CHARLIE"}));
        log.Close();
        return file;
    }();
    return path;
}

inline double FileMegabytes(const std::string& path) {
    return static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
}

} // namespace halyx::bench
