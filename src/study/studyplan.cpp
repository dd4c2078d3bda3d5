#include "study/studyplan.h"

#include "common/paths.h"
#include "study/studycsv.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#ifndef HALYX_VERSION
#define HALYX_VERSION "unknown"
#endif

namespace halyx {

const char* ProgramVersion() {
    return HALYX_VERSION;
}

std::string CStudyPlanResult::Describe(const std::string& plan) const {
    return plan + ": " + (line > 0 ? "line " + std::to_string(line) + ": " : "") + message;
}

namespace {

constexpr size_t kMaxLogBaseName = 200;

CStudyPlanResult Failure(size_t line, std::string message) {
    return {false, line, std::move(message)};
}

std::string Trim(std::string_view text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        return {};
    }
    const size_t end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

// Team and block become the log's file name: no folder separators, no bytes a file system or
// a shell would take for something else, and no leading dot (a hidden file, or "..").
std::string NameProblem(const char* column, const std::string& value) {
    if (value.empty()) {
        return std::string(column) + " is empty";
    }
    if (value.front() == '.') {
        return std::string(column) + " \"" + value + "\" must not begin with '.'";
    }
    for (const char c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("/\\:*?\"<>| ", c) != nullptr) {
            return std::string(column) + " \"" + value +
                   "\" may not hold blanks, control characters or any of / \\ : * ? \" < > |";
        }
    }
    return {};
}

bool IsBlankRecord(const std::vector<std::string>& fields) {
    for (const std::string& field : fields) {
        if (!Trim(field).empty()) {
            return false;
        }
    }
    return true;
}

} // namespace

CStudyPlanResult CStudyPlan::Load(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        return Failure(0, ec.message());
    }
    if (size > kMaxBytes) {
        return Failure(0, "too large for a study plan (more than " +
                              std::to_string(kMaxBytes >> 20) + " MiB)");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Failure(0, std::strerror(errno));
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return Failure(0, "cannot be read");
    }
    CStudyPlan read;
    CStudyPlanResult result = read.Parse(text.str(), FolderPart(ToPortablePath(path)));
    if (result) {
        read.m_path = path;
        if (read.m_folder.empty()) {
            read.m_folder = "./";
        }
        *this = std::move(read);
    }
    return result;
}

CStudyPlanResult CStudyPlan::Parse(std::string_view text, const std::string& folder) {
    CCsvReader reader(text, kMaxFieldBytes);
    std::vector<std::string> fields;
    if (!reader.Next(fields)) {
        return reader.Error().empty()
                   ? Failure(0, "the plan is empty; its first line must be " + std::string(kHeader))
                   : Failure(reader.Line(), reader.Error());
    }
    std::vector<std::string> header;
    for (const std::string& field : fields) {
        header.push_back(Trim(field));
    }
    if (CsvLine(header) != std::string(kHeader) + "\n") {
        return Failure(1, "the first line must be " + std::string(kHeader));
    }
    std::vector<CStudyRun> runs;
    std::map<std::string, size_t, std::less<>> seen;
    while (reader.Next(fields)) {
        const size_t line = reader.Line();
        if (IsBlankRecord(fields)) {
            continue;
        }
        if (fields.size() != 7) {
            return Failure(line, "expected 7 fields (" + std::string(kHeader) + "), found " +
                                     std::to_string(fields.size()));
        }
        if (runs.size() == kMaxRuns) {
            return Failure(line, "a plan holds at most " + std::to_string(kMaxRuns) + " runs");
        }
        CStudyRun run;
        run.line = line;
        run.run = Trim(fields[0]);
        run.team = Trim(fields[1]);
        run.block = Trim(fields[2]);
        run.scenario = Trim(fields[3]);
        const std::string mode = Trim(fields[4]);
        run.notes = fields[6];
        if (run.run.empty()) {
            return Failure(line, "run is empty");
        }
        for (const char c : run.run) {
            if (static_cast<unsigned char>(c) < 0x20) {
                return Failure(line, "run holds a control character");
            }
        }
        if (auto it = seen.find(run.run); it != seen.end()) {
            return Failure(line, "run \"" + run.run + "\" appears again (first on line " +
                                     std::to_string(it->second) + ")");
        }
        for (const auto& [column, value] :
             {std::pair{"team", &run.team}, std::pair{"block", &run.block}}) {
            if (std::string problem = NameProblem(column, *value); !problem.empty()) {
                return Failure(line, problem);
            }
        }
        // A file name holds at most 255 bytes; room is left for "_r2" ... and the suffixes of
        // a recovery copy.
        if (const size_t bytes = run.LogBaseName().size(); bytes > kMaxLogBaseName) {
            return Failure(line, "team and block make a log name of " + std::to_string(bytes) +
                                     " bytes; at most " + std::to_string(kMaxLogBaseName) +
                                     " can be a file name");
        }
        if (run.scenario.empty()) {
            return Failure(line, "scenario is empty");
        }
        if (!run.scenario.ends_with(".hsf")) {
            return Failure(line, "scenario \"" + run.scenario + "\" is not a .hsf file");
        }
        if (mode != "multi" && mode != "single") {
            return Failure(line, "mode must be multi or single, not \"" + mode + "\"");
        }
        run.multi = mode == "multi";
        std::istringstream names(fields[5]);
        for (std::string name; names >> name;) {
            for (const std::string& earlier : run.stations) {
                if (earlier == name) {
                    return Failure(line, "station " + name + " is named twice");
                }
            }
            run.stations.push_back(name);
        }
        if (run.stations.empty()) {
            return Failure(line, "stations is empty");
        }
        if (run.stations.size() > kMaxStations) {
            return Failure(line, "more than " + std::to_string(kMaxStations) + " stations");
        }
        if (!run.multi && run.stations.size() != 1) {
            return Failure(line, "a single run names one station, not " +
                                     std::to_string(run.stations.size()));
        }
        seen.emplace(run.run, line);
        runs.push_back(std::move(run));
    }
    if (!reader.Error().empty()) {
        return Failure(reader.Line(), reader.Error());
    }
    if (runs.empty()) {
        return Failure(0, "the plan has no runs");
    }
    m_runs = std::move(runs);
    m_folder = folder;
    m_path.clear();
    return {true, 0, {}};
}

const CStudyRun* CStudyPlan::Find(std::string_view run) const {
    for (const CStudyRun& r : m_runs) {
        if (r.run == run) {
            return &r;
        }
    }
    return nullptr;
}

std::string CStudyPlan::ScenarioPath(const CStudyRun& run) const {
    const std::string scenario = ToPortablePath(run.scenario);
    if (scenario.starts_with('/')) {
        return scenario;
    }
    return m_folder + scenario;
}

} // namespace halyx
