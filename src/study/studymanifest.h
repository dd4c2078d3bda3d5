#pragma once

// The study's manifest, PLANFOLDER/manifest.csv: one row per run that finished, was aborted,
// skipped or repeated, appended as it happens, so that the data of a study can be shown later to
// be the data recorded. Paths are relative to the plan's folder (the study folder can move);
// hashes are SHA-256 in hex.
//
//     run,team,block,scenario,scenario_sha256,log,log_sha256,start,end,decision,state,events,
//     version,notes
//
// state is done (the mission reached its end), failed (aborted: reset or the console ended
// before the end), skipped, or repeat (the run is to be run again; no log). start and end are
// ISO 8601 UTC. The scenario set's hash covers the .hsf file and each component file in the
// order of ScenarioSetFiles (see there).
//
// Line breaks in a field are written as blanks, so each row is one line. A row is written with
// one append and synced before Append returns: a crash loses at most
// the row being written, never an earlier one, and a row cut off that way is left out when the
// manifest is read (and kept apart from the next row by a line break).

#include <cstddef>
#include <string>
#include <vector>

namespace halyx {

struct CManifestRow {
    std::string run;
    std::string team;
    std::string block;
    std::string scenario;
    std::string scenarioSha256;
    std::string log;
    std::string logSha256;
    std::string start;
    std::string end;
    std::string decision;
    std::string state;
    std::string events;
    std::string version;
    std::string notes;
};

struct CManifestReadResult {
    bool ok = false;
    size_t line = 0;
    std::string message;
    // Lines left out: rows cut off by a crash while they were written, or damaged by hand.
    std::vector<size_t> tornRows;

    explicit operator bool() const { return ok; }
};

// One file of a scenario set: its role ("scenario", "Maps", "Radars" ...) and where it is.
struct CScenarioSetFile {
    std::string role;
    std::string path;
};

class CStudyManifest {
public:
    static constexpr const char* kHeader = "run,team,block,scenario,scenario_sha256,log,log_sha256,"
                                           "start,end,decision,state,events,version,notes";
    static constexpr const char* kFileName = "manifest.csv";
    static constexpr size_t kMaxBytes = size_t{64} << 20;

    // Appends the row to the manifest at path (created with its header when missing).
    static bool Append(const std::string& path, const CManifestRow& row, std::string& error);
    // Reads every row; a missing file is an empty manifest.
    static CManifestReadResult Read(const std::string& path, std::vector<CManifestRow>& rows);
};

// The files of the scenario set at hsfPath in the order they are hashed: the .hsf file, then
// Maps, Incursions, Interceptors, Radars, ImpactLines, Weather, TerrainCodes, each found as a
// load finds it (its stored path, else its sub-folder beside the .hsf). The plume lines are a
// folder without files and are left out. False when the .hsf cannot be read.
bool ScenarioSetFiles(const std::string& hsfPath, std::vector<CScenarioSetFile>& files,
                      std::string& error);
// SHA-256 over "ROLE SHA256\n" of every file of the set in that order. False with every file
// that could not be read named in error.
bool ScenarioSetSha256(const std::string& hsfPath, std::string& hex, std::string& error);

// "2026-12-07T15:04:05Z" for milliseconds since 1970.
std::string IsoUtc(long long tsid);

} // namespace halyx
