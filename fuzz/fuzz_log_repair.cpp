// Any text given to the repair of a cut-off experiment log. A repaired copy keeps the start of
// the text unchanged, always loads, and needs no second repair; a log that cannot be repaired
// gets no copy and a reason.
#include "fuzzcheck.h"
#include "record/logloader.h"
#include "record/logrepair.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace halyx;
using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string repaired = "stale";
    const LogRepairResult result = RepairExperimentLogText(text, repaired);
    Check(!result.message.empty());
    if (!result) {
        Check(repaired.empty());
        return 0;
    }
    Check(result.keptBytes <= size && result.keptBytes + result.droppedBytes == size);
    Check(repaired.compare(0, result.keptBytes, text.substr(0, result.keptBytes)) == 0);
    if (result.status == LogRepairStatus::AlreadyComplete) {
        Check(repaired == text);
    }
    Check(static_cast<bool>(CLogLoader({}).LoadText(repaired)));

    std::string twice;
    const LogRepairResult again = RepairExperimentLogText(repaired, twice);
    Check(again.status == LogRepairStatus::AlreadyComplete && twice == repaired);
    Check(again.eventsKept == result.eventsKept);
    return 0;
}
