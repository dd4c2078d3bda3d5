#pragma once

#include <string_view>

namespace halyx {

// Where the subjects' chat goes as the stations send it: the human communication page.
class IChatSink {
public:
    virtual ~IChatSink() = default;
    virtual void AddChatEntry(std::string_view to, std::string_view from,
                              std::string_view message) = 0;
};

} // namespace halyx
