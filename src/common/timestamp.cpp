#include "common/timestamp.h"

#include "common/format.h"

#include <chrono>
#include <ctime>

namespace halyx {

int64_t CurrentTsid() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string TimeStampText(int64_t tsid) {
    // Floor division keeps instants before 1970 on the right second.
    int64_t seconds = tsid / 1000;
    int64_t millis = tsid % 1000;
    if (millis < 0) {
        millis += 1000;
        seconds -= 1;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    const int hour24 = local.tm_hour;
    int hour12 = hour24 % 12;
    if (hour12 == 0) {
        hour12 = 12;
    }
    return Format("%d/%d/%d %d:%d:%d:%d %s", local.tm_mon + 1, local.tm_mday, local.tm_year + 1900,
                  hour12, local.tm_min, local.tm_sec, static_cast<int>(millis),
                  hour24 < 12 ? "AM" : "PM");
}

void MakeTimeStamp(std::string& text, int64_t& tsid) {
    tsid = CurrentTsid();
    text = TimeStampText(tsid);
}

} // namespace halyx
