// Any byte stream, cut into any chunks: the framer neither crashes nor grows without bound, and
// it frames the same messages whatever the chunking.
#include "external/kqml/framer.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace halyx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // A small limit, so that oversized messages and their recovery are reached.
    const std::size_t limit = 64 + data[0];
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    CKqmlFramer whole(limit);
    std::vector<std::string> wholeMessages;
    std::vector<std::string> wholeDiagnostics;
    whole.Feed(stream, wholeMessages, wholeDiagnostics);

    CKqmlFramer pieces(limit);
    std::vector<std::string> pieceMessages;
    std::vector<std::string> pieceDiagnostics;
    std::size_t at = 0;
    std::size_t step = 1;
    while (at < stream.size()) {
        const std::size_t n = std::min(step, stream.size() - at);
        pieces.Feed(stream.substr(at, n), pieceMessages, pieceDiagnostics);
        at += n;
        step = step * 3 % 17 + 1;
    }
    if (wholeMessages != pieceMessages || wholeDiagnostics.size() != pieceDiagnostics.size()) {
        std::abort();
    }
    for (const std::string& message : wholeMessages) {
        if (message.size() > limit || message.front() != '(' || message.back() != ')') {
            std::abort();
        }
    }
    return 0;
}
