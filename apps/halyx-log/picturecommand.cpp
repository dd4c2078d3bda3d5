#include "picturecommand.h"

#include "common/format.h"
#include "common/numericlocale.h"
#include "common/numtext.h"
#include "controls/missionpicturefile.h"
#include "mission/missionlog.h"
#include "mission/missionstate.h"
#include "scenario/defaultscenario.h"
#include "scenario/geographyview.h"
#include "scenario/scenario.h"

#include <QDir>
#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>
#include <iostream>

namespace halyx {

namespace {

// A whole number of minutes within 0..limit, written as digits only.
bool ReadMinutes(const std::string& text, int limit, int& value) {
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::atoi(text.c_str());
    return value <= limit;
}

} // namespace

int RunPictureCommand(int argc, char** argv, const std::vector<std::string>& args,
                      int (*usage)(const std::string& message)) {
    std::vector<std::string> inputs;
    std::string output;
    int minute = -1;
    int every = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "-o" || a == "--output" || a == "--minute" || a == "--every";
        if (takesValue && (i + 1 >= args.size() || args[i + 1].empty())) {
            return usage(a + " needs a value");
        }
        if (a == "-o" || a == "--output") {
            output = args[++i];
        } else if (a == "--minute") {
            if (!ReadMinutes(args[++i], kMissionLastMinute, minute)) {
                return usage(
                    Format("--minute takes a whole minute from 0 to %d", kMissionLastMinute));
            }
        } else if (a == "--every") {
            if (!ReadMinutes(args[++i], kMissionLastMinute, every) || every == 0) {
                return usage(Format("--every takes a whole number of minutes from 1 to %d",
                                    kMissionLastMinute));
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option \"" + a + "\"");
        } else {
            inputs.push_back(a);
        }
    }
    if (inputs.size() != 1 || output.empty()) {
        return usage("picture takes one log and -o FILE.png|FILE.svg (with --every: -o DIR)");
    }
    if (every > 0 && minute >= 0) {
        return usage("picture takes --minute or --every, not both");
    }
    if (every == 0 && !IsMissionPictureName(output)) {
        return usage("the picture's name must end in .png or .svg");
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QGuiApplication app(argc, argv);
    KeepNumbersInCLocale();

    const std::string& path = inputs.front();
    // The defaults give the map addresses and terrain colours, which logs do not carry; the
    // units and lines are the log's own.
    CScenario scenario;
    LoadDefaultScenario(scenario);
    scenario.Incursions().ClearQuietly();
    scenario.Radars().ClearQuietly();
    scenario.Interceptors().ClearQuietly();
    MissionLog log;
    std::string error;
    if (!ReadMissionLog(path, scenario, log, error)) {
        std::cerr << "halyx-log: " << path << ": " << error << "\n";
        return 1;
    }
    if (log.repaired) {
        std::cerr << "halyx-log: " << path << ": cut off; read through a repair\n";
    }
    CSilentGeographyView silent;
    const std::string map = scenario.Geography().GetMapURL(CGeography::kGlobalMap);
    if (!scenario.Geography().GetMapFromURL(map, silent)) {
        std::cerr << "halyx-log: the map " << map << " could not be read ("
                  << scenario.Geography().LastMapError() << "); drawn without it\n";
    }
    // One pixel per map pixel: a file of the whole map at a readable size.
    CWorldMap& world = scenario.Geography().GetWorldMap();
    world.zoomby(kMinZoom - world.getScalefactor());

    CMissionBuilder builder(MissionSetupFrom(scenario, log.team));
    builder.Assign(std::move(log.events));
    CMissionPainter painter(scenario);
    // The mission's minutes bound the frames, whatever clock counts a damaged log holds.
    const int end = std::clamp(builder.Latest().minute, 0, kMissionLastMinute);

    if (every == 0) {
        const CMissionState& state = builder.StateAt(minute >= 0 ? minute : end);
        if (!WriteMissionPicture(painter, state, builder.MarksUpTo(state), output, error)) {
            std::cerr << "halyx-log: " << error << "\n";
            return 1;
        }
        std::cout << output << "\n";
        return 0;
    }
    if (!QDir().mkpath(QString::fromStdString(output))) {
        std::cerr << "halyx-log: cannot create the folder " << output << "\n";
        return 1;
    }
    int frames = 0;
    // The last frame is the mission's end (the decision's minute) even off the M-minute steps.
    for (int m = 0; m <= end; m = m < end && m + every > end ? end : m + every) {
        const CMissionState& state = builder.StateAt(m);
        const std::string file = output + "/" + Format("minute_%04d.png", m);
        if (!WriteMissionPicture(painter, state, builder.MarksUpTo(state), file, error)) {
            std::cerr << "halyx-log: " << error << "\n";
            return 1;
        }
        ++frames;
    }
    std::cout << frames << " picture(s) written to " << output << "\n";
    return 0;
}

} // namespace halyx
