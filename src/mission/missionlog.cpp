#include "mission/missionlog.h"

#include "record/logreader.h"
#include "record/logrepair.h"
#include "scenario/scenario.h"
#include "scenario/scenarioxml.h"

#include <pugixml.hpp>

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

} // namespace

bool ReadMissionLog(const std::string& path, CScenario& scenario, MissionLog& log,
                    std::string& error) {
    CLogReader reader;
    LogLoadResult r = reader.Open(path);
    if (r) {
        CLogEventAdapter adapter;
        r = reader.ForEachEvent([&](const CLogEventView& view) {
            if (auto e = adapter.Convert(view)) {
                log.events.push_back(std::move(*e));
            }
        });
    }
    if (!r) {
        error = r.message.empty() ? r.detail : r.message + " (" + r.detail + ")";
        return false;
    }
    log.team = reader.Info().team;
    log.repaired = reader.Info().repaired;

    std::string text;
    if (const LogLoadResult read = ReadLogFileText(path, text); !read) {
        error = read.detail.empty() ? read.message : read.detail;
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
