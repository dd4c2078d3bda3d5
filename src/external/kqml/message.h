#pragma once

// Builds the wire text of one message:
//   (performative :sender S :receiver R :language L :ontology O [:reply-with X]
//    [:in-reply-to Y] [:protocol P] :content (C))
// A field that is not a plain word (it holds white space, parentheses, quotes, ' ` # or , or
// control bytes, or is empty) is written as a "..." string, so that any name arrives intact. The
// content is written as a list: "tell :command x" becomes (tell :command x); a content that already
// is one list is written as it stands. An empty content is left out.
//
//   CKqmlMessage m;
//   m.performative = "tell"; m.sender = "S1"; m.receiver = "HalyxCommand";
//   m.content = "tell :command init_sim";
//   std::string wire = m.ToText();     // no trailing newline

#include <string>
#include <string_view>

namespace halyx {

struct CKqmlMessage {
    std::string performative;
    std::string sender;
    std::string receiver;
    std::string language;
    std::string ontology;
    std::string replyWith;
    std::string inReplyTo;
    std::string protocol;
    std::string content;

    std::string ToText() const;
};

// True when text can stand in a message as a word: not empty, no white space, parentheses,
// quotes, backquotes, '#', ',' or control bytes, and not starting with ':'.
bool IsKqmlWord(std::string_view text);

// Appends text as a word when it is one, else as a "..." string with '"' and '\' escaped.
void AppendKqmlValue(std::string& out, std::string_view text);

// True when text (white space around it ignored) is exactly one balanced list.
bool IsSingleKqmlList(std::string_view text);

} // namespace halyx
