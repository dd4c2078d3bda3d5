#pragma once

#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/scenario.h"
#include "scenario/unitlist.h"

#include <array>
#include <string>
#include <string_view>

namespace halyx {

// The three unit kinds, numbered as the unit dialog has always numbered them.
enum class UnitKind { Interceptor = 1, Incursion = 2, Radar = 3 };

// In the order a click looks for a unit to select (and the editor draws them).
inline constexpr std::array<UnitKind, 3> kUnitKinds = {UnitKind::Radar, UnitKind::Incursion,
                                                       UnitKind::Interceptor};

// The texts the unit dialog shows and hands back. Only the fields of the dialog's kind matter.
struct CUnitFields {
    std::string name;
    std::string latitude;
    std::string longitude;
    std::string range;
    std::string heading;
    std::string speed;
    std::string time;

    bool operator==(const CUnitFields&) const = default;
};

// The dialog's fields a kind asks for besides name and position (bits of UnitTraits::kAsks).
enum UnitField : unsigned { kRangeField = 1, kSpeedField = 2, kHeadingField = 4, kTimeField = 8 };

// Everything that differs between the kinds, in one place: the list a scenario keeps them in,
// their names, the unit table's columns and cell texts, the undo merge id, the unit page's texts
// and files, and what the unit dialog reads, makes and writes back. Code that has a unit type
// asks these; code that has only a UnitKind gets the type through VisitUnitKind.
//
// Fields(unit) gives the dialog's texts of a stored unit; Make(fields, id, unasked) a new unit
// from the dialog's texts, with unasked for the texts of the fields the dialog does not ask for
// (the unit pages give "-", the editor's map leaves them empty); Apply(fields, unit) writes back
// what the dialog edits and leaves the other fields as they are.
template <class T> struct UnitTraits;

template <> struct UnitTraits<CIncursion> {
    static constexpr UnitKind kKind = UnitKind::Incursion;
    static constexpr ScenarioChange kChange = ScenarioChange::Incursions;
    static constexpr const char* kName = "Incursion";
    static constexpr const char* kNoun = "incursion";
    static constexpr const char* kPlural = "incursions";
    static constexpr const char* kPluralName = "Incursions";
    static constexpr int kEditId = 7001;
    static constexpr unsigned kAsks = kSpeedField | kHeadingField | kTimeField;
    // Shown when one of the asked fields other than Time is empty.
    static constexpr const char* kMissing = "Please specify a Speed and Heading for this Incursion";
    static constexpr const char* kColumns =
        "Incursion Name,100;Incursion ID,100;Latitude,90;Longitude,50;Speed,50;Heading,50;Time,50";
    // No column shows "%f" numbers.
    static constexpr std::array<int, 2> kFloatColumns = {0, -1};
    static constexpr const char* kPaneTitle = "Incursions";
    static constexpr const char* kPaneHelp =
        "Use this pane and buttons to add/remove incursions and save/load them to/from disk. "
        "Double click on an incursion in the list below to edit its parameters.";
    static constexpr const char* kPaneHelp2 =
        "You can also add/modify/remove incursions by using the scenario editor.";
    static constexpr const char* kLoadButton = "Load from Disk";
    static constexpr const char* kFileFilter = "Halyx Incursion Data (*.hid)|*.hid||";
    static constexpr const char* kFileSuffix = "hid";
    static constexpr const char* kFileKey = "IncursionFiles";

    static CUnitList<CIncursion>& List(CScenario& s) { return s.Incursions(); }
    static const CUnitList<CIncursion>& List(const CScenario& s) { return s.Incursions(); }
    static double Lat(const CIncursion& u) { return u.GetLatValue(); }
    static double Lng(const CIncursion& u) { return u.GetLngValue(); }
    static void SetPosition(CIncursion& u, std::string_view lat, std::string_view lng) {
        u.SetLat(lat);
        u.SetLng(lng);
    }
    static std::string CellText(const CIncursion& u, int column);
    static CUnitFields Fields(const CIncursion& u);
    static CIncursion Make(const CUnitFields& f, const std::string& id, std::string_view unasked);
    static void Apply(const CUnitFields& f, CIncursion& u);
    static void Generate(CUnitList<CIncursion>& list, int count);
};

template <> struct UnitTraits<CRadar> {
    static constexpr UnitKind kKind = UnitKind::Radar;
    static constexpr ScenarioChange kChange = ScenarioChange::Radars;
    static constexpr const char* kName = "Radar";
    static constexpr const char* kNoun = "radar";
    static constexpr const char* kPlural = "radars";
    static constexpr const char* kPluralName = "Radars";
    static constexpr int kEditId = 7002;
    static constexpr unsigned kAsks = kRangeField;
    // Shown when one of the asked fields other than Time is empty.
    static constexpr const char* kMissing = "Please specify a Range for this Radar";
    static constexpr const char* kColumns =
        "Radar Name,100;Radar ID,100;Latitude,90;Longitude,50;Range,50;Life,50;Owner,50";
    // No column shows "%f" numbers.
    static constexpr std::array<int, 2> kFloatColumns = {0, -1};
    static constexpr const char* kPaneTitle = "Incursion Radar";
    static constexpr const char* kPaneHelp =
        "Use this pane and buttons to add/remove radars and save/load them to/from disk. "
        "Double click on a radar in the list below to edit its parameters.";
    static constexpr const char* kPaneHelp2 =
        "You can also add/modify/remove radars by using the scenario editor.";
    static constexpr const char* kLoadButton = "Load from Disk";
    static constexpr const char* kFileFilter = "Halyx Radar Data (*.hrd)|*.hrd||";
    static constexpr const char* kFileSuffix = "hrd";
    static constexpr const char* kFileKey = "RadarFiles";

    static CUnitList<CRadar>& List(CScenario& s) { return s.Radars(); }
    static const CUnitList<CRadar>& List(const CScenario& s) { return s.Radars(); }
    static double Lat(const CRadar& u) { return u.GetLatValue(); }
    static double Lng(const CRadar& u) { return u.GetLngValue(); }
    static void SetPosition(CRadar& u, std::string_view lat, std::string_view lng) {
        u.SetLat(lat);
        u.SetLng(lng);
    }
    static std::string CellText(const CRadar& u, int column);
    static CUnitFields Fields(const CRadar& u);
    static CRadar Make(const CUnitFields& f, const std::string& id, std::string_view unasked);
    static void Apply(const CUnitFields& f, CRadar& u);
    static void Generate(CUnitList<CRadar>& list, int count);
};

template <> struct UnitTraits<CInterceptor> {
    static constexpr UnitKind kKind = UnitKind::Interceptor;
    static constexpr ScenarioChange kChange = ScenarioChange::Interceptors;
    static constexpr const char* kName = "Interceptor";
    static constexpr const char* kNoun = "interceptor";
    static constexpr const char* kPlural = "interceptors";
    static constexpr const char* kPluralName = "Interceptors";
    static constexpr int kEditId = 7003;
    static constexpr unsigned kAsks = kSpeedField;
    // Shown when one of the asked fields other than Time is empty.
    static constexpr const char* kMissing = "Please specify a Speed for this Interceptor";
    static constexpr const char* kColumns =
        "Interceptor Name,100;ID,100;Lat,50;Lng,50;Speed,50;Heading,50;Range,50;Min Range,50;"
        "Scope,50";
    // The columns (first, last) that show "%f" numbers and need room for them.
    static constexpr std::array<int, 2> kFloatColumns = {2, 7};
    static constexpr const char* kPaneTitle = "Interceptors";
    static constexpr const char* kPaneHelp =
        "Use this pane and buttons to add/remove interceptors and save/load them to/from disk. "
        "Double click on an interceptor in the list below to edit its parameters.";
    static constexpr const char* kPaneHelp2 = nullptr;
    static constexpr const char* kLoadButton = "Load from disk";
    static constexpr const char* kFileFilter = "Halyx Interceptor Information (*.hii)|*.hii||";
    static constexpr const char* kFileSuffix = "hii";
    static constexpr const char* kFileKey = "InterceptorFiles";

    static CUnitList<CInterceptor>& List(CScenario& s) { return s.Interceptors(); }
    static const CUnitList<CInterceptor>& List(const CScenario& s) { return s.Interceptors(); }
    static double Lat(const CInterceptor& u) { return u.GetLat(); }
    static double Lng(const CInterceptor& u) { return u.GetLng(); }
    static void SetPosition(CInterceptor& u, std::string_view lat, std::string_view lng) {
        u.SetLatText(lat);
        u.SetLngText(lng);
    }
    static std::string CellText(const CInterceptor& u, int column);
    static CUnitFields Fields(const CInterceptor& u);
    static CInterceptor Make(const CUnitFields& f, const std::string& id, std::string_view unasked);
    static void Apply(const CUnitFields& f, CInterceptor& u);
    static void Generate(CUnitList<CInterceptor>& list, int count);
};

// The unit type of a kind, carried as a value so that a generic lambda can name it:
// VisitUnitKind(kind, [&](auto tag) { using T = typename decltype(tag)::Type; ... }).
template <class T> struct UnitTag { using Type = T; };

// Calls f with the UnitTag of kind's unit type and answers what f answers. The one place that
// turns a kind known only at run time into a type.
template <class F> decltype(auto) VisitUnitKind(UnitKind kind, F&& f) {
    switch (kind) {
    case UnitKind::Radar:
        return f(UnitTag<CRadar>{});
    case UnitKind::Incursion:
        return f(UnitTag<CIncursion>{});
    case UnitKind::Interceptor:
        break;
    }
    return f(UnitTag<CInterceptor>{});
}

// What code holding only a kind may show of it, read from the traits.
struct CUnitKindInfo {
    UnitKind kind;
    const char* name;       // "Radar"
    const char* noun;       // "radar"
    const char* plural;     // "radars"
    const char* pluralName; // "Radars"
    unsigned asks;
    const char* missing;
};

CUnitKindInfo KindInfo(UnitKind kind);

} // namespace halyx
