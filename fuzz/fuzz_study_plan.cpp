// Any text read as a study plan: refused as a whole with a line number inside the text, or read
// into runs that keep the plan's bounds. Never a crash, never a run without its keys.
#include "fuzzcheck.h"
#include "study/studyplan.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace halyx;
using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CStudyPlan plan;
    const CStudyPlanResult result = plan.Parse(text, "/study/");
    if (!result) {
        Check(!result.message.empty());
        Check(plan.Empty()); // a refused plan changes nothing
        // Lines end with LF, CRLF or a lone CR: counting both bytes bounds the line number.
        std::size_t lines = 1;
        for (const char c : text) {
            lines += c == '\n' || c == '\r' ? 1 : 0;
        }
        Check(result.line <= lines);
        return 0;
    }
    Check(plan.Runs().size() <= CStudyPlan::kMaxRuns);
    for (const CStudyRun& run : plan.Runs()) {
        Check(!run.run.empty() && plan.Find(run.run) != nullptr);
        Check(run.stations.size() <= CStudyPlan::kMaxStations);
        Check(!plan.ScenarioPath(run).empty());
    }
    return 0;
}
