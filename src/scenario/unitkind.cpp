#include "scenario/unitkind.h"

#include "scenario/generation.h"

namespace halyx {
namespace {

// The text of the column-th getter (empty past the last), read from unit.
template <class T, class... Getters>
std::string CellOf(const T& unit, int column, Getters... getters) {
    std::string text;
    int i = 0;
    ((i++ == column ? void(text = std::string((unit.*getters)())) : void()), ...);
    return text;
}

} // namespace

CUnitKindInfo KindInfo(UnitKind kind) {
    return VisitUnitKind(kind, [](auto tag) {
        using Traits = UnitTraits<typename decltype(tag)::Type>;
        return CUnitKindInfo{Traits::kKind,       Traits::kName, Traits::kNoun,   Traits::kPlural,
                             Traits::kPluralName, Traits::kAsks, Traits::kMissing};
    });
}

std::string UnitTraits<CIncursion>::CellText(const CIncursion& u, int column) {
    using U = CIncursion;
    return CellOf(u, column, &U::GetName, &U::GetId, &U::GetLat, &U::GetLng, &U::GetSpeed,
                  &U::GetHeading, &U::GetTime);
}

std::string UnitTraits<CRadar>::CellText(const CRadar& u, int column) {
    using U = CRadar;
    return CellOf(u, column, &U::GetName, &U::GetId, &U::GetLat, &U::GetLng, &U::GetRange,
                  &U::GetLife, &U::GetOwner);
}

std::string UnitTraits<CInterceptor>::CellText(const CInterceptor& u, int column) {
    using U = CInterceptor;
    return CellOf(u, column, &U::GetName, &U::GetId, &U::GetLatText, &U::GetLngText,
                  &U::GetSpeedText, &U::GetHeadingText, &U::GetRangeText, &U::GetMinRangeText,
                  &U::GetScope);
}

CUnitFields UnitTraits<CIncursion>::Fields(const CIncursion& u) {
    CUnitFields f;
    f.name = u.GetName();
    f.latitude = u.GetLat();
    f.longitude = u.GetLng();
    f.speed = u.GetSpeed();
    f.heading = u.GetHeading();
    f.time = u.GetTime();
    return f;
}

CUnitFields UnitTraits<CRadar>::Fields(const CRadar& u) {
    CUnitFields f;
    f.name = u.GetName();
    f.latitude = u.GetLat();
    f.longitude = u.GetLng();
    f.range = u.GetRange();
    return f;
}

CUnitFields UnitTraits<CInterceptor>::Fields(const CInterceptor& u) {
    CUnitFields f;
    f.name = u.GetName();
    f.latitude = u.GetLatText();
    f.longitude = u.GetLngText();
    f.speed = u.GetSpeedText();
    return f;
}

CIncursion UnitTraits<CIncursion>::Make(const CUnitFields& f, const std::string& id,
                                        std::string_view /*unasked: the dialog asks all*/) {
    return CIncursion(f.name, id, f.latitude, f.longitude, f.speed, f.heading, f.time);
}

CRadar UnitTraits<CRadar>::Make(const CUnitFields& f, const std::string& id,
                                std::string_view unasked) {
    return CRadar(f.name, id, f.latitude, f.longitude, f.range, std::string(unasked),
                  std::string(unasked));
}

CInterceptor UnitTraits<CInterceptor>::Make(const CUnitFields& f, const std::string& id,
                                            std::string_view unasked) {
    // Heading 0 whoever adds it: a new interceptor points straight up.
    return CInterceptor(f.name, id, f.latitude, f.longitude, f.speed, "0", unasked, unasked,
                        std::string(unasked));
}

void UnitTraits<CIncursion>::Apply(const CUnitFields& f, CIncursion& u) {
    u.SetName(f.name);
    u.SetLat(f.latitude);
    u.SetLng(f.longitude);
    u.SetSpeed(f.speed);
    u.SetHeading(f.heading);
    u.SetTime(f.time);
}

void UnitTraits<CRadar>::Apply(const CUnitFields& f, CRadar& u) {
    u.SetName(f.name);
    u.SetLat(f.latitude);
    u.SetLng(f.longitude);
    u.SetRange(f.range);
}

void UnitTraits<CInterceptor>::Apply(const CUnitFields& f, CInterceptor& u) {
    u.SetName(f.name);
    u.SetLatText(f.latitude);
    u.SetLngText(f.longitude);
    u.SetSpeedText(f.speed);
}

void UnitTraits<CIncursion>::Generate(CUnitList<CIncursion>& list, int count) {
    GenerateIncursions(list, count, false);
}

void UnitTraits<CRadar>::Generate(CUnitList<CRadar>& list, int count) {
    GenerateRadars(list, count, false);
}

void UnitTraits<CInterceptor>::Generate(CUnitList<CInterceptor>& list, int count) {
    GenerateInterceptors(list, count, false);
}

} // namespace halyx
