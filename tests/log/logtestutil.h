#pragma once

#include "../record/recordtestutil.h"
#include "record/experimentlog.h"

#include <string>
#include <vector>

// The log tools' tests share the record tests' helpers (FreshFolder, ReadFile, WriteAll,
// SteppingClock) and add the reference logs and a CSV reader.
namespace halyx::test {

inline const std::string kReferenceLog = HALYX_SOURCE_DIR "/tests/record/data/all_events.xml";
inline const std::string kStatsLog = HALYX_TEST_DATA_DIR "/stats_and_comments.xml";

// A log of the events lines given, its other sections empty.
inline std::string LogOf(const std::string& events) {
    return "<HalyxSimLog><LogHeader/><Notes/><Scenario/><SimEvents>\n" + events +
           "</SimEvents><TeamMembers/></HalyxSimLog>";
}

// RFC 4180 records of a CSV text, for checking what a reader of the file gets back.
inline std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == ',' || c == '\n')) {
            rows.back().push_back(field);
            field.clear();
            if (c == '\n') {
                rows.emplace_back();
            }
        } else {
            field += c;
        }
    }
    // A last record without its line break.
    if (!field.empty() || !rows.back().empty()) {
        rows.back().push_back(field);
    } else {
        rows.pop_back();
    }
    return rows;
}

// The column of a header row, or -1.
inline int Column(const std::vector<std::string>& header, const std::string& name) {
    for (size_t i = 0; i < header.size(); ++i) {
        if (header[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace halyx::test
