#pragma once

// What can still be read of a station message that the KQML parser refused or misread. Stations
// send a chat as `:message (TEXT)` with TEXT as the subject typed it, so an unbalanced
// parenthesis or quote in TEXT breaks the message's structure. The line still holds the text
// whole: it runs from after `:message (` to the closing parentheses of the message's lists.
//
//   if (auto chat = RecoverChat(text, parsed)) { ... chat->message is the text as typed ... }

#include <optional>
#include <string>
#include <string_view>

namespace halyx {

struct CRecoveredChat {
    std::string sender;
    std::string to;
    std::string from;
    std::string message;
};

// A subject_communication whose :message list is broken (parsed: the parser read the message,
// but the chat text closed the lists early and left words behind; !parsed: the parser refused
// it). Nothing when text is no such chat, when its message reads normally, or when the closing
// parentheses are missing (a message cut at the size limit).
std::optional<CRecoveredChat> RecoverChat(std::string_view text, bool parsed);

// The :sender of a message, read as far as the text allows; "" when there is none.
std::string ReadSenderLeniently(std::string_view text);

} // namespace halyx
