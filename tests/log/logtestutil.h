#pragma once

#include "common/paths.h"
#include "record/experimentlog.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace halyx::test {

// A clean folder under the test's own HALYX_HOME, ending with '/'.
inline std::string FreshFolder(const std::string& name) {
    const std::string folder = HalyxHome() + name + "/";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A clock that moves one millisecond per reading, so every log is the same byte for byte.
struct SteppingClock {
    int64_t next = 1796479389047; // 5 December 2026 14:03:09.047 UTC
    int64_t operator()() { return next++; }
};

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
