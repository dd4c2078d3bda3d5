#include "record/missionstats.h"

#include "common/numtext.h"
#include "common/xmlescape.h"
#include "record/keywordlist.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

namespace halyx {

namespace {

// The index of an item key such as "radar12" for prefix "radar": the key must be the prefix
// followed by a whole number exactly as "%d" writes it (so "radar01" is not item 1).
std::optional<int> ItemIndex(std::string_view key, std::string_view prefix) {
    if (key.size() <= prefix.size() ||
        !CKeywordList::SameKeyword(key.substr(0, prefix.size()), prefix)) {
        return std::nullopt;
    }
    const std::string_view digits = key.substr(prefix.size());
    if (digits.size() > 10 || (digits.size() > 1 && digits.front() == '0')) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

// The item lists of a stats keyword, in index order 0 ... count - 1, skipping absent indices.
// Walking the keys present rather than every index up to count keeps a hostile count (say
// 2000000000) from turning one message into billions of look-ups.
std::vector<std::string_view> Items(const CKeywordList& stats, std::string_view prefix) {
    const int count = ReadInt(stats.Get("count"));
    // (index, value or none), in text order.
    std::vector<std::pair<int, const std::optional<std::string>*>> found;
    for (const auto& [key, value] : stats.Entries()) {
        const std::optional<int> index = ItemIndex(key, prefix);
        if (index && *index < count) {
            found.emplace_back(*index, &value);
        }
    }
    // A key given twice answers with its first occurrence, as a look-up would find it.
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string_view> items;
    for (size_t i = 0; i < found.size(); ++i) {
        if ((i == 0 || found[i].first != found[i - 1].first) && found[i].second->has_value()) {
            items.push_back(**found[i].second);
        }
    }
    return items;
}

void AddElementText(std::string& out, const char* open, std::string_view value, const char* close) {
    out += open;
    AppendXmlAttributeEscaped(out, value);
    out += close;
}

// Appends one item element: "<Tag Attr=\"value\" ...\"/>", values read from the item's list.
void AddItem(std::string& out, const char* tag, std::string_view itemText,
             std::initializer_list<std::pair<const char*, const char*>> attributes) {
    const CKeywordList item(itemText);
    out += '<';
    out += tag;
    for (const auto& [attribute, keyword] : attributes) {
        out += ' ';
        out += attribute;
        out += "=\"";
        AppendXmlAttributeEscaped(out, item.Get(keyword));
        out += '"';
    }
    out += "/>";
}

} // namespace

std::string MissionStatsXml(std::string_view teamMember, std::string_view content) {
    const CKeywordList keys(content);
    std::string out;
    AddElementText(out, "<MissionStats TeamMember=\"", teamMember, "\">\n");
    AddElementText(out, "<TotalCost>", keys.Get("totalCost"), "</TotalCost>\n");
    AddElementText(out, "<BalloonCost>", keys.Get("balloonCost"), "</BalloonCost>\n");
    AddElementText(out, "<InterceptorCost>", keys.Get("intCost"), "</InterceptorCost>\n");
    AddElementText(out, "<RadarCost>", keys.Get("radarCost"), "</RadarCost>\n");

    out += "<RadarStats>\n";
    if (const auto stats = keys.Find("radarStats")) {
        const CKeywordList list(*stats);
        for (std::string_view item : Items(list, "radar")) {
            AddItem(out, "Radar", item,
                    {{"ID", "id"},
                     {"Name", "name"},
                     {"ActivationCount", "activationCt"},
                     {"ActiveTime", "totalActiveTime"},
                     {"Cost", "cost"}});
        }
    }
    out += "</RadarStats>\n<InterceptorStats>\n";
    if (const auto stats = keys.Find("intStats")) {
        const CKeywordList list(*stats);
        for (std::string_view item : Items(list, "int")) {
            AddItem(out, "Interceptor", item,
                    {{"ID", "id"},
                     {"Name", "name"},
                     {"ActivationCount", "activationCt"},
                     {"DeployCount", "deployCt"},
                     {"InterceptCount", "intCt"},
                     {"ActiveTime", "totalActiveTime"},
                     {"TaskTime", "totalTaskTime"},
                     {"Cost", "cost"}});
        }
    }
    out += "</InterceptorStats>\n<BalloonStats>\n";
    if (const auto stats = keys.Find("balloonStats")) {
        const CKeywordList list(*stats);
        for (std::string_view item : Items(list, "balloon")) {
            AddItem(out, "Balloon", item,
                    {{"DeployTime", "deployTime"},
                     {"ReportTime", "reportTime"},
                     {"DeployLat", "deployLat"},
                     {"DeployLng", "deployLng"},
                     {"Cost", "cost"}});
        }
    }
    out += "</BalloonStats>\n</MissionStats>\n";
    return out;
}

} // namespace halyx
