#pragma once

#include "../record/recordtestutil.h"
#include "record/experimentlog.h"

#include <string>
#include <vector>

// The log tools' tests share the record tests' helpers (FreshFolder, ReadAll, WriteAll,
// SteppingClock) and add the reference logs and a CSV reader.
namespace halyx::test {

inline const std::string kReferenceLog = HALYX_SOURCE_DIR "/tests/record/data/all_events.xml";
inline const std::string kStatsLog = HALYX_TEST_DATA_DIR "/stats_and_comments.xml";

// RFC 4180 records of a CSV text, for checking what a reader of the file gets back.
inline std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    bool any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
            any = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\n') {
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !row.empty()) {
        row.push_back(field);
        rows.push_back(row);
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
