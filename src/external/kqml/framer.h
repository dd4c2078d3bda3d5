#pragma once

// Cuts a byte stream into KQML messages: each message is one balanced parenthesised list;
// parentheses inside "..." strings and #N" strings do not count. White space and the byte 0x04
// between messages are skipped. Bytes that cannot start a message, and a #N" length beyond the
// limit, make the framer skip to the next '(' between messages.
//
// Peers write one message a line, so a message still open when a line break is followed by '('
// and a performative (tell, ask-one, ...) ends before that line break: one unbalanced
// parenthesis or quote costs only its own message. A message also ends at the size limit; the
// rest of it is skipped, following its structure, up to its end or the next such line start
// (and, after another limit's worth of bytes, up to the next '('). The part cut off is handed on
// like any message, so that the receiver reads it as unreadable and can record it.
//
// A message is handed on once the byte after it (blanks aside) shows that it has ended: a ')'
// there means its text closed it early (a chat ending in ":-)"), and it is handed on with the
// rest of its line instead. Flush() hands on a message still waiting for that byte; a
// connection calls it when no more bytes are waiting. Each cut or drop gives one diagnostic. One
// framer per connection.
//
//   CKqmlFramer framer;
//   std::vector<std::string> messages, diagnostics;
//   framer.Feed(bytes, messages, diagnostics);   // complete messages only, in order

#include "external/kqml/limits.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CKqmlFramer {
public:
    explicit CKqmlFramer(std::size_t maxMessageBytes = kKqmlMaxMessageBytes);

    void Feed(std::string_view bytes, std::vector<std::string>& messages,
              std::vector<std::string>& diagnostics);
    // Hands on the message that waits for the byte after it, if any.
    void Flush(std::vector<std::string>& messages);

    // True while a message has begun and not ended (a peer that disconnects now loses it).
    bool InMessage() const { return m_depth > 0 || m_overrun; }
    // Bytes of the message in progress (including any being discarded).
    std::uint64_t PendingBytes() const { return m_messageBytes; }
    // Forgets any partial message, as after a reconnection.
    void Reset();

private:
    enum class State : std::uint8_t { Normal, String, StringEscape, HashDigits, LengthString };

    void BeginMessage();
    void Overflow(std::vector<std::string>& messages, std::vector<std::string>& diagnostics);
    // Watches the bytes after a line break inside a message for '(' and a performative; true
    // when c completes one, so that the message in progress ends at the line break.
    bool WatchLineStart(unsigned char c);
    // A message has ended: it waits for the next byte.
    void Complete();
    // The byte after a completed message; true when it was taken.
    bool AfterMessage(unsigned char c, std::vector<std::string>& messages,
                      std::vector<std::string>& diagnostics);

    std::size_t m_max;
    std::string m_buffer;
    std::uint64_t m_messageBytes = 0;
    std::uint64_t m_streamOffset = 0;
    std::uint64_t m_remaining = 0; // bytes left of a #N" string
    std::uint64_t m_hashValue = 0;
    std::size_t m_depth = 0;
    State m_state = State::Normal;
    bool m_wordStart = true;
    bool m_hashDigits = false;
    bool m_discarding = false; // over the limit: following the structure, keeping nothing
    bool m_skipping = false;   // between messages, looking for the next '('
    bool m_lineStart = false;  // inside a message, just after a line break
    std::string m_lineHead;    // the bytes after that line break, while they may start a message
    std::uint64_t m_cutAt = 0; // bytes of the message before that line break
    bool m_held = false;       // a complete message in m_buffer waits for the next byte
    bool m_overrun = false;    // ... and a ')' came: the rest of its line joins it
    std::string m_heldGap;     // blanks after the held message
};

} // namespace halyx
