#include "agent/agentcommstore.h"

#include "common/format.h"

namespace halyx {

namespace {
constexpr const char* kOutgoingTemplate = "(%s :receiver %s :content (%s))";
} // namespace

std::string CAgentCommStore::FormatOutgoing(std::string_view performative,
                                            std::string_view receiver, std::string_view content) {
    return Format(kOutgoingTemplate, std::string(performative).c_str(),
                  std::string(receiver).c_str(), std::string(content).c_str());
}

void CAgentCommStore::AddIncoming(std::string_view text) {
    std::string entry(text);
    if (m_page) {
        m_page->AddIncomingText(entry);
    }
    Append(m_incoming, std::move(entry));
}

void CAgentCommStore::AddOutgoing(std::string_view performative, std::string_view receiver,
                                  std::string_view content) {
    std::string entry = FormatOutgoing(performative, receiver, content);
    if (m_page) {
        m_page->AddOutgoingText(entry);
    }
    Append(m_outgoing, std::move(entry));
}

void CAgentCommStore::SetLimits(std::size_t maxEntries, std::size_t maxBytes) {
    m_maxEntries = maxEntries == 0 ? 1 : maxEntries;
    m_maxBytes = maxBytes;
}

void CAgentCommStore::Append(Side& side, std::string text) {
    side.bytes += text.size();
    side.texts.push_back(std::move(text));
    // The newest entry always stays, even when it alone is over the byte limit.
    while (side.texts.size() > 1 && (side.texts.size() > m_maxEntries || side.bytes > m_maxBytes)) {
        side.bytes -= side.texts.front().size();
        side.texts.pop_front();
        ++side.dropped;
    }
}

} // namespace halyx
