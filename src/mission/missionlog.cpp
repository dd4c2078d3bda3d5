#include "mission/missionlog.h"

#include "common/hugepages.h"
#include "record/logreader.h"
#include "record/logrepair.h"
#include "scenario/scenario.h"
#include "scenario/scenarioxml.h"

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>

namespace halyx {

bool ReadMissionLog(const std::string& path, CScenario& scenario, MissionLog& log,
                    std::string& error) {
    CLogReader reader;
    LogLoadResult r = reader.Open(path);
    if (r) {
        // About one event the picture shows per 200 bytes of a log: room for them at once
        // rather than moving them all at each growth.
        std::error_code ec;
        const auto bytes = std::filesystem::file_size(path, ec);
        if (!ec) {
            log.events.reserve(
                static_cast<size_t>(std::min<uintmax_t>(bytes, kMaxLogFileBytes) / 200));
            AdviseHugePages(log.events.data(), log.events.capacity() * sizeof(CMissionEvent));
        }
        CLogEventAdapter adapter;
        // Each event is read straight into its place; one the picture does not show leaves the
        // place for the next.
        bool open = false;
        r = reader.ForEachEvent([&](const CLogEventView& view) {
            if (!open) {
                log.events.emplace_back();
            }
            open = !adapter.Convert(view, log.events.back());
        });
        if (open) {
            log.events.pop_back();
        }
    }
    if (!r) {
        error = r.message.empty() ? r.detail : r.message + " (" + r.detail + ")";
        return false;
    }
    log.team = reader.Info().team;
    log.repaired = reader.Info().repaired;

    // The reader has the scenario already: the file is not read again for it.
    pugi::xml_document doc;
    if (!doc.load_string(reader.Info().scenario.c_str())) {
        error = "the log's scenario cannot be read";
        return false;
    }
    ReadScenarioXml(doc.first_child(), scenario);
    return true;
}

} // namespace halyx
