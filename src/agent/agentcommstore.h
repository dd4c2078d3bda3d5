#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace halyx {

// Whatever shows the message history (the agent message page). It is told of every text added
// after it was attached; it fills itself from the history when it first appears.
class IAgentCommPage {
public:
    virtual ~IAgentCommPage() = default;
    virtual void AddIncomingText(const std::string& text) = 0;
    virtual void AddOutgoingText(const std::string& text) = 0;
};

// Every KQML message the command agent received or sent during this program run: incoming texts
// verbatim, outgoing ones as "(performative :receiver R :content (C))".
class CAgentCommStore {
public:
    // A station that floods the console must not make the history grow without end: past these
    // limits the oldest entries of that side are dropped (and counted).
    static constexpr std::size_t kDefaultMaxEntries = 200000;
    static constexpr std::size_t kDefaultMaxBytes = 64u * 1024u * 1024u;

    CAgentCommStore() = default;
    CAgentCommStore(const CAgentCommStore&) = delete;
    CAgentCommStore& operator=(const CAgentCommStore&) = delete;

    void SetPage(IAgentCommPage* page) { m_page = page; }
    IAgentCommPage* GetPage() const { return m_page; }

    void AddIncoming(std::string_view text);
    void AddOutgoing(std::string_view performative, std::string_view receiver,
                     std::string_view content);

    const std::deque<std::string>& Incoming() const { return m_incoming.texts; }
    const std::deque<std::string>& Outgoing() const { return m_outgoing.texts; }
    // How many of the oldest entries were dropped to stay within the limits.
    std::size_t DroppedIncoming() const { return m_incoming.dropped; }
    std::size_t DroppedOutgoing() const { return m_outgoing.dropped; }
    // How many were added in all: those kept plus those dropped.
    std::size_t ReceivedCount() const { return m_incoming.texts.size() + m_incoming.dropped; }
    std::size_t SentCount() const { return m_outgoing.texts.size() + m_outgoing.dropped; }

    void SetLimits(std::size_t maxEntries, std::size_t maxBytes);

    static std::string FormatOutgoing(std::string_view performative, std::string_view receiver,
                                      std::string_view content);

private:
    struct Side {
        std::deque<std::string> texts;
        std::size_t bytes = 0;
        std::size_t dropped = 0;
    };
    void Append(Side& side, std::string text);

    Side m_incoming;
    Side m_outgoing;
    std::size_t m_maxEntries = kDefaultMaxEntries;
    std::size_t m_maxBytes = kDefaultMaxBytes;
    IAgentCommPage* m_page = nullptr;
};

} // namespace halyx
