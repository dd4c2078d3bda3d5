#include "commands.h"

#include "common/archive.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/unitfiles.h"
#include "scenario/weathermap.h"

#include <cstring>
#include <ostream>

namespace halyx::tool {

namespace {

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string ext = path.substr(dot);
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return ext;
}

int ReportOpenFailure(std::ostream& err, const std::string& path, int code) {
    Report(err, "cannot read " + path + ": " + std::strerror(code));
    return kExitFailure;
}

template <class T, class ToXml>
int DumpUnits(const std::string& path, std::ostream& out, std::ostream& err, ToXml toXml) {
    CUnitList<T> list;
    if (const int code = ReadUnitFile(path, list); code != 0) {
        return ReportOpenFailure(err, path, code);
    }
    out << toXml(list) << "\n";
    return kExitOk;
}

} // namespace

int DumpIncursionFile(const std::string& path, std::ostream& out, std::ostream& err) {
    return DumpUnits<CIncursion>(path, out, err, IncursionsToXml);
}

int DumpRadarFile(const std::string& path, std::ostream& out, std::ostream& err) {
    return DumpUnits<CRadar>(path, out, err, RadarsToXml);
}

int DumpInterceptorFile(const std::string& path, std::ostream& out, std::ostream& err) {
    return DumpUnits<CInterceptor>(path, out, err, InterceptorsToXml);
}

int DumpWeatherFile(const std::string& path, std::ostream& out, std::ostream& err) {
    CWeatherMap map;
    if (const int code = ReadWeatherFile(path, map); code != 0) {
        return ReportOpenFailure(err, path, code);
    }
    out << map.ToXml() << "\n";
    return kExitOk;
}

int RunDump(Args args, std::ostream& out, std::ostream& err) {
    const ToolCommand& self = CommandNamed("dump");
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        Report(err, "dump takes one file name");
        PrintCommandUsage(err, self);
        return kExitUsage;
    }
    const std::string& path = args[0];
    const std::string ext = LowerExtension(path);
    for (const DumpFormat& format : DumpFormats()) {
        if (ext == format.extension) {
            return format.dump(path, out, err);
        }
    }
    std::string known;
    for (const DumpFormat& format : DumpFormats()) {
        known += known.empty() ? "" : ", ";
        known += format.extension;
    }
    Report(err, path + ": unknown file kind \"" + ext + "\" (dump reads " + known + ")");
    return kExitUsage;
}

} // namespace halyx::tool
