// Any byte stream, cut into any chunks: the framer neither crashes nor grows without bound, and
// it frames the same messages whatever the chunking. And whatever bytes came before, a line
// break and a well-formed message always deliver that message, unchanged.
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
    whole.Flush(wholeMessages);

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
    pieces.Flush(pieceMessages);
    if (wholeMessages != pieceMessages || wholeDiagnostics.size() != pieceDiagnostics.size()) {
        std::abort();
    }
    for (const std::string& message : wholeMessages) {
        if (message.size() > limit || message.front() != '(') {
            std::abort();
        }
    }

    // The last bytes of the input become the text of a string value of a message sent after
    // the stream (quotes and backslashes escaped, line breaks left out so the value stays on
    // its line).
    std::string value;
    for (std::size_t k = stream.size() > 8 ? stream.size() - 8 : 0; k < stream.size(); ++k) {
        const char c = stream[k];
        if (c == '"' || c == '\\') {
            value.push_back('\\');
        }
        if (c != '\n') {
            value.push_back(c);
        }
    }
    // At most 44 bytes, below the smallest limit.
    const std::string next = "(tell :content (chat :m \"" + value + "\"))";
    std::vector<std::string> after;
    whole.Feed("\n" + next + "\n", after, wholeDiagnostics);
    if (after.empty() || after.back() != next) {
        std::abort();
    }
    return 0;
}
