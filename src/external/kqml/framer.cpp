#include "external/kqml/framer.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace halyx {

namespace {

bool IsGap(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == 0x04;
}

bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Bytes that change the framer's state inside a message; runs of other bytes are skipped whole.
struct CSpecialBytes {
    bool normal[256] = {};
    CSpecialBytes() {
        for (const unsigned char c : {'(', ')', '"', '#', ' ', '\t', '\n', '\r', '\f', '\v'}) {
            normal[c] = true;
        }
    }
};

const CSpecialBytes kSpecial;

std::string Describe(const char* what, std::uint64_t a, std::uint64_t b) {
    char text[160];
    std::snprintf(text, sizeof text, what, a, b);
    return text;
}

// The performatives a message starts with; a line that begins with one of them after '(' is
// taken as the start of a new message.
bool IsPerformative(std::string_view word) {
    static constexpr std::string_view kWords[] = {
        "achieve",     "advertise",     "ask",
        "ask-about",   "ask-all",       "ask-if",
        "ask-one",     "break",         "broadcast",
        "broker-all",  "broker-one",    "delete-all",
        "delete-one",  "deny",          "discard",
        "eos",         "error",         "evaluate",
        "forward",     "generator",     "insert",
        "monitor",     "next",          "pipe",
        "ready",       "recommend-all", "recommend-one",
        "recruit-all", "recruit-one",   "register",
        "reply",       "rest",          "sorry",
        "standby",     "stream-about",  "stream-all",
        "subscribe",   "tell",          "transport-address",
        "unachieve",   "unadvertise",   "undelete",
        "uninsert",    "unregister",    "untell",
    };
    for (const std::string_view known : kWords) {
        if (word == known) {
            return true;
        }
    }
    return false;
}

constexpr std::size_t kLongestPerformative = 17; // "transport-address"

} // namespace

CKqmlFramer::CKqmlFramer(std::size_t maxMessageBytes) : m_max(maxMessageBytes) {}

void CKqmlFramer::Reset() {
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_messageBytes = 0;
    m_remaining = 0;
    m_depth = 0;
    m_state = State::Normal;
    m_wordStart = true;
    m_hashDigits = false;
    m_discarding = false;
    m_skipping = false;
    m_lineStart = false;
    m_lineHead.clear();
    m_cutAt = 0;
    m_held = false;
    m_overrun = false;
    m_heldGap.clear();
}

void CKqmlFramer::Complete() {
    m_held = true;
    m_messageBytes = 0;
}

void CKqmlFramer::Flush(std::vector<std::string>& messages) {
    if (m_held || m_overrun) {
        messages.push_back(std::move(m_buffer));
        m_buffer = std::string();
        m_held = false;
        m_overrun = false;
        m_heldGap.clear();
    }
}

bool CKqmlFramer::AfterMessage(unsigned char c, std::vector<std::string>& messages,
                               std::vector<std::string>& diagnostics) {
    // Blanks a peer may write before its line break; more than a line's worth are a gap.
    constexpr std::size_t kMaxHeldGap = 4096;
    if (m_overrun) {
        if (c == '\n') {
            Flush(messages);
        } else if (m_buffer.size() >= m_max) {
            Flush(messages);
            m_skipping = true;
        } else {
            m_buffer.push_back(static_cast<char>(c));
        }
        return true;
    }
    if ((c == ' ' || c == '\t' || c == '\r') && m_heldGap.size() < kMaxHeldGap) {
        m_heldGap.push_back(static_cast<char>(c));
        return true;
    }
    if (c != ')') {
        Flush(messages);
        return false;
    }
    diagnostics.push_back(
        Describe("message at stream offset %" PRIu64 " is followed by ')' on its line (%" PRIu64
                 " bytes): handed on with the rest of the line",
                 m_streamOffset - m_heldGap.size() - m_buffer.size(), m_buffer.size()));
    m_held = false;
    m_overrun = true;
    m_buffer += m_heldGap;
    m_heldGap.clear();
    m_buffer.push_back(static_cast<char>(c));
    if (m_buffer.size() > m_max) {
        m_buffer.resize(m_max);
    }
    return true;
}

void CKqmlFramer::BeginMessage() {
    m_buffer.clear();
    m_messageBytes = 0;
    m_depth = 0;
    m_state = State::Normal;
    m_wordStart = true;
    m_discarding = false;
    m_skipping = false;
    m_lineStart = false;
    m_lineHead.clear();
    m_cutAt = 0;
}

void CKqmlFramer::Overflow(std::vector<std::string>& messages,
                           std::vector<std::string>& diagnostics) {
    diagnostics.push_back(Describe("message at stream offset %" PRIu64 " is larger than %" PRIu64
                                   " bytes: cut at the limit",
                                   m_streamOffset - m_messageBytes, m_max));
    if (m_buffer.size() > m_max) {
        m_buffer.resize(m_max);
    }
    messages.push_back(std::move(m_buffer));
    m_buffer = std::string();
    m_discarding = true;
}

bool CKqmlFramer::WatchLineStart(unsigned char c) {
    if (c == '\n') {
        m_lineStart = true;
        m_lineHead.clear();
        m_cutAt = m_messageBytes;
        return false;
    }
    if (!m_lineStart) {
        return false;
    }
    m_lineHead.push_back(static_cast<char>(c));
    if (m_lineHead.size() == 1) {
        m_lineStart = c == '(';
        return false;
    }
    if ((c >= 'a' && c <= 'z') || c == '-') {
        m_lineStart = m_lineHead.size() <= kLongestPerformative + 1;
        return false;
    }
    m_lineStart = false;
    const bool ends = c == ' ' || c == '\t' || c == '\r' || c == ')';
    return ends && IsPerformative(std::string_view(m_lineHead).substr(1, m_lineHead.size() - 2));
}

void CKqmlFramer::Feed(std::string_view bytes, std::vector<std::string>& messages,
                       std::vector<std::string>& diagnostics) {
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    // Bytes of the current message in this chunk start here; they are copied in one piece when
    // the message ends or the chunk runs out.
    std::size_t keepFrom = 0;
    auto keep = [&](std::size_t upTo) {
        if (!m_discarding && upTo > keepFrom) {
            m_buffer.append(bytes.data() + keepFrom, upTo - keepFrom);
        }
        keepFrom = upTo;
    };

    // A byte the #N" reader hands back is seen twice; the line watch takes it once.
    std::size_t watched = n;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (m_depth > 0 && (c == '\n' || m_lineStart) && watched != i) {
            watched = i;
            if (WatchLineStart(c)) {
                keep(i);
                if (!m_discarding) {
                    std::string cut = m_buffer.substr(0, static_cast<std::size_t>(m_cutAt));
                    while (!cut.empty() && cut.back() == '\r') {
                        cut.pop_back();
                    }
                    diagnostics.push_back(Describe(
                        "message at stream offset %" PRIu64 " was still open when the next "
                        "message began at offset %" PRIu64 ": cut at the line break",
                        m_streamOffset - m_messageBytes, m_streamOffset - m_lineHead.size() + 1));
                    messages.push_back(std::move(cut));
                }
                std::string head = std::move(m_lineHead);
                BeginMessage();
                m_buffer = std::move(head);
                m_messageBytes = m_buffer.size();
                m_depth = c == ')' ? 0 : 1;
                ++i;
                ++m_streamOffset;
                keepFrom = i;
                if (m_depth == 0) {
                    Complete();
                }
                continue;
            }
        }
        if (m_depth == 0) {
            if ((m_held || m_overrun) && AfterMessage(c, messages, diagnostics)) {
                ++i;
                ++m_streamOffset;
                continue;
            }
            ++i;
            ++m_streamOffset;
            if (c == '(') {
                BeginMessage();
                m_depth = 1;
                m_messageBytes = 1;
                keepFrom = i - 1;
            } else if (!IsGap(c) && !m_skipping) {
                diagnostics.push_back(Describe("stray byte 0x%02" PRIx64
                                               " between messages at stream offset %" PRIu64
                                               ": skipped to the next message",
                                               c, m_streamOffset - 1));
                m_skipping = true;
            }
            continue;
        }

        std::size_t step = 1;
        // Runs end where a size limit is crossed, so that the limits act at the same byte
        // however the stream was cut into chunks.
        auto runEnd = [&] {
            const std::uint64_t bound =
                (m_discarding ? 2 * static_cast<std::uint64_t>(m_max) : m_max) + 1;
            if (bound <= m_messageBytes) {
                return i + 1;
            }
            const std::uint64_t room = bound - m_messageBytes;
            return room < n - i ? i + static_cast<std::size_t>(room) : n;
        };
        switch (m_state) {
        case State::Normal:
            if (!kSpecial.normal[c]) {
                std::size_t j = i + 1;
                const std::size_t end = m_lineStart ? j : runEnd();
                while (j < end && !kSpecial.normal[static_cast<unsigned char>(bytes[j])]) {
                    ++j;
                }
                step = j - i;
                m_wordStart = false;
            } else if (c == '(') {
                ++m_depth;
                m_wordStart = true;
            } else if (c == ')') {
                --m_depth;
                m_wordStart = true;
            } else if (c == '"') {
                m_state = State::String;
            } else if (IsSpace(c)) {
                m_wordStart = true;
            } else if (c == '#' && m_wordStart) {
                m_state = State::HashDigits;
                m_hashValue = 0;
                m_hashDigits = false;
                m_wordStart = false;
            } else {
                m_wordStart = false;
            }
            break;
        case State::String:
            if (c != '\\' && c != '"') {
                std::size_t j = i + 1;
                const std::size_t end = m_lineStart ? j : runEnd();
                while (j < end && bytes[j] != '"' && bytes[j] != '\\' && bytes[j] != '\n') {
                    ++j;
                }
                step = j - i;
            } else if (c == '\\') {
                m_state = State::StringEscape;
            } else if (c == '"') {
                m_state = State::Normal;
                m_wordStart = true;
            }
            break;
        case State::StringEscape:
            m_state = State::String;
            break;
        case State::HashDigits:
            if (c >= '0' && c <= '9') {
                m_hashDigits = true;
                if (m_hashValue <= m_max) {
                    m_hashValue = m_hashValue * 10 + (c - '0');
                }
            } else if (c == '"' && m_hashDigits) {
                if (m_hashValue > m_max) {
                    // No message can hold this string: following it would swallow the stream.
                    diagnostics.push_back(Describe("length-prefixed string of %" PRIu64
                                                   " bytes at stream offset %" PRIu64
                                                   " exceeds the message limit: message dropped",
                                                   m_hashValue, m_streamOffset));
                    ++i;
                    ++m_streamOffset;
                    Reset();
                    m_skipping = true;
                    keepFrom = i;
                    continue;
                }
                m_remaining = m_hashValue;
                m_state = m_remaining > 0 ? State::LengthString : State::Normal;
                m_wordStart = m_remaining == 0;
            } else {
                // Not a #N" string after all: the byte is read as part of ordinary text.
                m_state = State::Normal;
                continue;
            }
            break;
        case State::LengthString: {
            const std::uint64_t available = runEnd() - i;
            step = static_cast<std::size_t>(m_remaining < available ? m_remaining : available);
            // Line breaks inside are watched too: a length that runs past its line is more
            // likely a broken message than a string that holds the next one.
            if (m_lineStart) {
                step = 1;
            } else if (step > 1) {
                const void* br = std::memchr(bytes.data() + i + 1, '\n', step - 1);
                if (br) {
                    step =
                        static_cast<std::size_t>(static_cast<const char*>(br) - bytes.data()) - i;
                }
            }
            m_remaining -= step;
            if (m_remaining == 0) {
                m_state = State::Normal;
                m_wordStart = true;
            }
            break;
        }
        }
        i += step;
        m_streamOffset += step;
        m_messageBytes += step;
        if (!m_discarding && m_messageBytes > m_max) {
            keep(i);
            Overflow(messages, diagnostics);
        } else if (m_discarding && !m_lineStart &&
                   m_messageBytes > 2 * static_cast<std::uint64_t>(m_max)) {
            // Its structure has not closed within another limit's worth of bytes: no longer
            // followed, so that a peer that writes no line breaks is read again from its next
            // '('.
            BeginMessage();
            m_skipping = true;
            keepFrom = i;
            continue;
        }
        if (m_depth == 0) {
            keep(i);
            if (!m_discarding) {
                Complete();
            }
            m_discarding = false;
            m_messageBytes = 0;
        }
    }
    if (m_depth > 0) {
        keep(n);
    }
}

} // namespace halyx
