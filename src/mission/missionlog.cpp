#include "mission/missionlog.h"

#include "common/hugepages.h"
#include "record/logreader.h"
#include "record/logrepair.h"
#include "scenario/scenario.h"
#include "scenario/scenarioxml.h"

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace halyx {

namespace {

// The scenario element's text: it stands before the events, so a log of a million events is
// not parsed whole for it.
bool ScenarioText(const std::string& text, std::string_view& slice) {
    const size_t events = text.find("<SimEvents");
    const size_t begin = text.rfind("<Scenario", events);
    if (begin == std::string::npos || (events != std::string::npos && begin > events)) {
        return false;
    }
    const size_t end = text.find("</Scenario>", begin);
    if (end == std::string::npos) {
        return false;
    }
    slice = std::string_view(text).substr(begin, end + 11 - begin);
    return true;
}

// The file up to its events (the whole file when it has none), in pieces.
bool ReadHead(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    constexpr size_t kPiece = size_t{1} << 20;
    while (in && text.size() < kMaxLogFileBytes) {
        const size_t had = text.size();
        text.resize(had + kPiece);
        in.read(text.data() + had, static_cast<std::streamsize>(kPiece));
        text.resize(had + static_cast<size_t>(in.gcount()));
        // A tag cut between two pieces is found with the next one.
        if (text.find("<SimEvents", had >= 16 ? had - 16 : 0) != std::string::npos) {
            break;
        }
    }
    return !in.bad();
}

} // namespace

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

    std::string text;
    if (!ReadHead(path, text)) {
        error = "cannot read " + path;
        return false;
    }
    std::string_view slice;
    if (!ScenarioText(text, slice)) {
        error = "the log holds no scenario";
        return false;
    }
    pugi::xml_document doc;
    if (!doc.load_buffer(slice.data(), slice.size())) {
        error = "the log's scenario cannot be read";
        return false;
    }
    ReadScenarioXml(doc.first_child(), scenario);
    return true;
}

} // namespace halyx
