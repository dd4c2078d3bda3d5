// Any bytes a client sends the map server: the head reader never reads past its bound, never
// claims more than it was given, answers a bounded set of statuses, and reads the same request
// when its bytes come one part at a time (the server reads again after every arrival).
#include "mapserver/httprequestreader.h"
#include "mapserver/mappath.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace halyx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const CHttpHead head = ReadHttpHead(input);
    switch (head.status) {
    case CHttpHead::Status::NeedMore:
        if (size >= CHttpHead::kMaxHeadBytes) {
            std::abort(); // a reader that keeps asking for more would let input grow unbounded
        }
        break;
    case CHttpHead::Status::Bad:
        if (head.errorCode != 400 && head.errorCode != 414 && head.errorCode != 431 &&
            head.errorCode != 505) {
            std::abort();
        }
        break;
    case CHttpHead::Status::Complete: {
        if (head.consumed == 0 || head.consumed > size ||
            head.consumed > CHttpHead::kMaxHeadBytes || head.method.empty() ||
            head.target.empty()) {
            std::abort();
        }
        // A head that is complete was not complete one byte earlier (or it would have been cut
        // there), and bytes after it do not change it.
        if (ReadHttpHead(input.substr(0, head.consumed - 1)).status ==
            CHttpHead::Status::Complete) {
            std::abort();
        }
        const CHttpHead again = ReadHttpHead(input.substr(0, head.consumed));
        if (again.status != CHttpHead::Status::Complete || again.consumed != head.consumed ||
            again.target != head.target || again.hasBody != head.hasBody) {
            std::abort();
        }
        const std::string_view target(head.target);
        const std::optional<std::string> name =
            MapNameOfRequestPath(target.substr(0, target.find_first_of("?#")));
        if (name && (!IsServableMapName(*name) || name->find('/') != std::string::npos)) {
            std::abort();
        }
        break;
    }
    }
    return 0;
}
