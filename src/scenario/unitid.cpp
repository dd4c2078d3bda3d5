#include "scenario/unitid.h"

#include "common/format.h"
#include "common/random.h"
#include "common/timestamp.h"

#include <ctime>

namespace halyx {

std::string MakeUnitIdAt(int64_t tsid, int randomValue) {
    int64_t seconds = tsid / 1000;
    if (tsid % 1000 < 0) {
        seconds -= 1;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return Format("%02d%02d%02d%d%d", local.tm_hour, local.tm_min, local.tm_sec, 0, randomValue);
}

std::string MakeUnitId() {
    return MakeUnitIdAt(CurrentTsid(), NextRandom());
}

std::string MakeUnitId(const std::function<bool(std::string_view)>& taken) {
    const int64_t now = CurrentTsid();
    // 32768 values per second; a list of that many units made within one second cannot occur
    // through the forms or the generators (at most 100 per call), so the bound is never reached
    // in practice. Past it, a counter suffix still makes the ID unique.
    std::string id;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        id = MakeUnitIdAt(now, NextRandom());
        if (!taken(id)) {
            return id;
        }
    }
    const std::string base = id;
    for (int suffix = 1;; ++suffix) {
        id = Format("%s_%d", base.c_str(), suffix);
        if (!taken(id)) {
            return id;
        }
    }
}

} // namespace halyx
