#include "external/kqml/utils.h"

#include "external/kqml/limits.h"
#include "external/kqml/scan.h"

namespace halyx {

std::string CUtils::remove_parenthesis(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && kqmlscan::IsSpace(static_cast<unsigned char>(text[first]))) {
        ++first;
    }
    while (last > first && kqmlscan::IsSpace(static_cast<unsigned char>(text[last - 1]))) {
        --last;
    }
    if (last - first < 2 || text[first] != '(' || text[last - 1] != ')') {
        return std::string(text);
    }
    const std::string_view body = text.substr(first, last - first);
    const kqmlscan::ScanEnd end = kqmlscan::ScanList(body, 0, 0);
    if (end.status != KqmlStatus::Ok || end.end != body.size()) {
        return std::string(text);
    }
    return std::string(body.substr(1, body.size() - 2));
}

} // namespace halyx
