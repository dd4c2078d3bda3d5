#pragma once

#include <string>
#include <string_view>

namespace halyx {

// Where the subjects' chat goes as the stations send it: the human communication page.
class IChatSink {
public:
    virtual ~IChatSink() = default;
    virtual void AddChatEntry(std::string_view to, std::string_view from,
                              std::string_view message) = 0;
};

// The name a chat line shows: the station the console checked the message came from. A `:from`
// that names someone else is shown beside it, "BRAVO (as ALPHA)", so that no station can speak
// in another's name on the transcript.
inline std::string ChatSpeaker(std::string_view checked, std::string_view claimed) {
    std::string shown(checked.empty() ? claimed : checked);
    if (!checked.empty() && !claimed.empty() && claimed != checked) {
        shown += " (as ";
        shown += claimed;
        shown += ')';
    }
    return shown;
}

} // namespace halyx
