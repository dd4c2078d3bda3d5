#include "common/openfiles.h"

#include <sys/resource.h>

#include <algorithm>

namespace halyx {

long RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return -1;
    }
    const rlim_t wanted = limit.rlim_max == RLIM_INFINITY
                              ? rlim_t{65536}
                              : std::min<rlim_t>(limit.rlim_max, rlim_t{65536});
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        rlimit raised = limit;
        raised.rlim_cur = wanted;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    return limit.rlim_cur == RLIM_INFINITY ? 65536L : static_cast<long>(limit.rlim_cur);
}

} // namespace halyx
