#include "commands.h"

#include "common/format.h"
#include "common/random.h"
#include "scenario/weathermap.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <ostream>

namespace halyx::tool {

namespace {

// The weather page's defaults.
constexpr int kDefaultSeason = 0;
constexpr double kDefaultSpaceVariance = 0.3;
constexpr double kDefaultTimeVariance = 4.0;
constexpr int kCellsPerLayer = 1600;

template <class T> std::optional<T> ParseWhole(const std::string& text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> ParseReal(const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

int UsageError(std::ostream& err, const std::string& message) {
    Report(err, message);
    PrintCommandUsage(err, CommandNamed("weather"));
    return kExitUsage;
}

} // namespace

int RunWeather(Args args, std::ostream& out, std::ostream& err) {
    int season = kDefaultSeason;
    double space = kDefaultSpaceVariance;
    double time = kDefaultTimeVariance;
    std::optional<unsigned int> seed;
    std::string output;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (i + 1 >= args.size()) {
            return UsageError(err, option.rfind("-", 0) == 0
                                       ? "option " + option + " needs a value"
                                       : "unexpected argument \"" + option + "\"");
        }
        const std::string& value = args[++i];
        if (option == "--season") {
            const auto parsed = ParseWhole<int>(value);
            if (!parsed || *parsed < 0 || *parsed >= CWeatherMap::kSeasons) {
                return UsageError(err, "--season takes 0 (Spring), 1 (Summer), 2 (Autumn) or 3 "
                                       "(Winter), not \"" +
                                           value + "\"");
            }
            season = *parsed;
        } else if (option == "--space" || option == "--time") {
            const auto parsed = ParseReal(value);
            if (!parsed || *parsed < 0) {
                return UsageError(err,
                                  option + " takes a number of 0 or more, not \"" + value + "\"");
            }
            (option == "--space" ? space : time) = *parsed;
        } else if (option == "--seed") {
            const auto parsed = ParseWhole<unsigned int>(value);
            if (!parsed) {
                return UsageError(err, "--seed takes a whole number from 0 to 4294967295, not \"" +
                                           value + "\"");
            }
            seed = *parsed;
        } else if (option == "-o" || option == "--output") {
            output = value;
        } else {
            return UsageError(err, "unknown option \"" + option + "\"");
        }
    }
    if (output.empty()) {
        return UsageError(err, "weather needs an output file (-o FILE.hwd)");
    }

    if (seed) {
        SeedRandom(*seed);
    } else {
        SeedRandomFromClock();
    }
    CWeatherMap map(CWeatherMap::kGridRows, CWeatherMap::kGridCols);
    map.SetSeason(season);
    map.Generate(kCellsPerLayer, space, time);
    if (const int code = WriteWeatherFile(output, map); code != 0) {
        Report(err, "cannot write " + output + ": " + std::strerror(code));
        return kExitFailure;
    }
    int cells = 0;
    for (int slot = 0; slot < map.GetCount(); ++slot) {
        cells += map.GetCell(slot) != nullptr ? 1 : 0;
    }
    out << Format("Weather grid (%s, space variance %g, time variance %g) written to %s: %d "
                  "slots, %d cells\n",
                  CWeatherMap::SeasonName(season), space, time, output.c_str(), map.GetCount(),
                  cells);
    return kExitOk;
}

} // namespace halyx::tool
