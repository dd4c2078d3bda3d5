#include "external/kqml/framer.h"

#include <cinttypes>
#include <cstdio>

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
}

void CKqmlFramer::BeginMessage() {
    m_buffer.clear();
    m_messageBytes = 0;
    m_depth = 0;
    m_state = State::Normal;
    m_wordStart = true;
    m_discarding = false;
    m_skipping = false;
}

void CKqmlFramer::Overflow(std::vector<std::string>& diagnostics) {
    diagnostics.push_back(Describe("message at stream offset %" PRIu64 " is larger than %" PRIu64
                                   " bytes: dropped",
                                   m_streamOffset - m_messageBytes, m_max));
    m_discarding = true;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
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

    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (m_depth == 0) {
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
        switch (m_state) {
        case State::Normal:
            if (!kSpecial.normal[c]) {
                std::size_t j = i + 1;
                while (j < n && !kSpecial.normal[static_cast<unsigned char>(bytes[j])]) {
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
                while (j < n && bytes[j] != '"' && bytes[j] != '\\') {
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
            const std::uint64_t available = n - i;
            step = static_cast<std::size_t>(m_remaining < available ? m_remaining : available);
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
            Overflow(diagnostics);
        }
        if (m_depth == 0) {
            keep(i);
            if (!m_discarding) {
                messages.push_back(std::move(m_buffer));
                m_buffer = std::string();
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
