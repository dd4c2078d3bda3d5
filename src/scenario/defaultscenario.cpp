#include "scenario/defaultscenario.h"

#include "common/paths.h"
#include "scenario/mapsource.h"
#include "scenario/scenario.h"
#include "scenario/unitid.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace halyx {

namespace {

struct RadarRow {
    const char* name;
    const char* lat;
    const char* lng;
    const char* range;
};

// Texts as the experimenters entered them; "395.4" and "00" are kept as they stand.
const RadarRow kRadars[] = {
    {"Natal", "538", "269", "130"},      {"St Helena", "800", "98", "200"},
    {"MoreLand", "231", "548", "80"},    {"Cayenne", "400", "267", "150"},
    {"Haiti", "230", "399", "130"},      {"Cancun", "117", "427", "90"},
    {"Cape Verde", "656", "353", "120"}, {"Mid Atlantic", "480", "575", "200"},
    {"Bahamas", "197", "452", "50"},     {"Key Largo", "178", "456", "80"},
    {"Monrovia", "764", "275", "80"},    {"Sao Tome", "895", "220", "140"},
};

struct IncursionRow {
    const char* name;
    const char* lat;
    const char* lng;
    const char* speed;
    const char* heading;
    const char* time;
};

const IncursionRow kIncursions[] = {
    {"Iberia Air Flt1", "782", "567", "60", "220", "0"},
    {"Iberia Air Flt2", "788", "555", "60", "260", "0"},
    {"Iberia Air Flt2", "782", "557", "60", "240", "0"},
    {"Drug Lord 1", "220", "325", "60", "10", "0"},
    {"Drug Lord 2", "195", "317", "60", "5", "0"},
    {"St Patric", "558", "461", "60", "95", "0"},
    {"Titanic II", "246", "567", "60", "80", "0"},
    {"SeeBreeze", "936", "95", "60", "320", "00"},
    {"SloBar2", "296", "395.4", "60", "45", "0"},
};

struct InterceptorRow {
    const char* name;
    std::vector<std::pair<const char*, const char*>> places;
    const char* speed;
    const char* heading;
    const char* range;
    const char* minRange;
    const char* scope;
};

const InterceptorRow kInterceptors[] = {
    {"Battleship", {{"664", "133"}, {"416", "267"}, {"658", "355"}}, "50", "0", "500", "10", "sea"},
    {"Frigate", {{"776", "251"}, {"468", "533"}, {"566", "307"}}, "70", "0", "500", "10", "sea"},
    {"Patrol Boat", {{"554", "331"}, {"572", "333"}}, "95", "0", "400", "2", "sea"},
    {"F-16", {{"200", "529"}, {"178", "461"}, {"245", "548"}}, "1000", "0", "2000", "100", "air"},
    {"Cessner", {{"232", "565"}, {"290", "365"}, {"712", "343"}}, "300", "0", "800", "50", "air"},
};

const CLatLng kNorthernLine[] = {{178, 487}, {204, 487}, {206, 517}, {264, 563}, {556, 561},
                                 {658, 459}, {590, 375}, {778, 251}, {816, 211}};
const CLatLng kSouthernLine[] = {
    {184, 463}, {204, 461}, {212, 447}, {234, 421}, {260, 405}, {282, 381}, {294, 375},
    {316, 385}, {328, 387}, {350, 381}, {366, 363}, {384, 353}, {418, 333}, {442, 315},
    {424, 273}, {418, 265}, {536, 217}, {596, 177}, {666, 111}, {906, 99},  {870, 159}};
const CLatLng kTrajectory[] = {{184, 472}, {240, 469}, {310, 451},
                               {520, 359}, {720, 199}, {810, 115}};

template <class T> std::string NewId(const CUnitList<T>& list) {
    return MakeUnitId([&list](std::string_view id) { return list.IdExists(id); });
}

std::string ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().generic_string();
}

} // namespace

std::string DefaultMapFolder() {
    if (const char* env = std::getenv("HALYX_MAP_DIR"); env != nullptr && env[0] != '\0') {
        std::string folder = ToPortablePath(env);
        if (!EndsWithSeparator(folder)) {
            folder += '/';
        }
        return folder;
    }
    const std::string bin = ProgramFolder();
    const std::vector<std::string> candidates = {bin + "/../share/halyx/maps/",
                                                 bin + "/../data/maps/", bin + "/../../data/maps/"};
    for (const std::string& candidate : candidates) {
        if (FileExists(candidate + "world.txt")) {
            std::error_code ec;
            const std::filesystem::path canonical =
                std::filesystem::weakly_canonical(candidate, ec);
            std::string folder = ec ? candidate : canonical.generic_string();
            if (!EndsWithSeparator(folder)) {
                folder += '/';
            }
            return folder;
        }
    }
    return candidates.front();
}

std::array<std::string, 4> DefaultMapURLs(const std::string& mapFolder) {
    std::string folder = ToPortablePath(mapFolder);
    if (!folder.empty() && !EndsWithSeparator(folder)) {
        folder += '/';
    }
    return {PathToFileAddress(folder + "atlantic.txt"), PathToFileAddress(folder + "bahamas.txt"),
            PathToFileAddress(folder + "florida.txt"), PathToFileAddress(folder + "world.txt")};
}

void LoadDefaultScenario(CScenario& scenario, const std::string& mapFolder) {
    scenario.ReplaceAll([&] {
        CUnitList<CRadar>& radars = scenario.Radars();
        radars.RemoveAll();
        for (const RadarRow& row : kRadars) {
            radars.Add(CRadar(row.name, NewId(radars), row.lat, row.lng, row.range, "-", "-"));
        }
        CUnitList<CIncursion>& incursions = scenario.Incursions();
        incursions.RemoveAll();
        for (const IncursionRow& row : kIncursions) {
            incursions.Add(CIncursion(row.name, NewId(incursions), row.lat, row.lng, row.speed,
                                      row.heading, row.time));
        }
        CUnitList<CInterceptor>& interceptors = scenario.Interceptors();
        interceptors.RemoveAll();
        for (const InterceptorRow& row : kInterceptors) {
            for (const auto& [lat, lng] : row.places) {
                interceptors.Add(CInterceptor(row.name, NewId(interceptors), lat, lng, row.speed,
                                              row.heading, row.range, row.minRange, row.scope));
            }
        }

        CGeography& geography = scenario.Geography();
        geography.SetMapURLs(DefaultMapURLs(mapFolder));
        geography.ClearTerrain();
        geography.SetTerrain(CTerrain("Land", "Solid", 35, MakeRgb(0, 0, 0)));
        geography.SetTerrain(CTerrain("Sea", "Solid", 45, MakeRgb(0, 99, 99)));
        CImpactLines lines;
        for (const CLatLng& point : kNorthernLine) {
            lines.AddNLinePoint(point.lat, point.lng);
        }
        for (const CLatLng& point : kSouthernLine) {
            lines.AddSLinePoint(point.lat, point.lng);
        }
        geography.SetImpactLines(std::move(lines));
        CTrajectory trajectory;
        for (const CLatLng& point : kTrajectory) {
            trajectory.AddTrajectoryPoint(point.lat, point.lng);
        }
        geography.SetTrajectory(std::move(trajectory));
    });
}

} // namespace halyx
