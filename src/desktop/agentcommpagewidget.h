#pragma once

#include "agent/agentcommstore.h"
#include "desktop/page.h"

class QTreeView;
class QTreeWidget;

namespace halyx {

class CMessageListModel;

// "Agent Communications": every KQML message the agent received (left) or sent (right), sorted
// as text, and the structure of a chosen message as a tree. The lists are filled from the
// agent's history when the page is made and grow as messages come.
class CAgentCommPageWidget final : public CPage, public IAgentCommPage {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Agent Communications";
    static constexpr const char* kNothingSelected = "LB_ERR";

    CAgentCommPageWidget(CPageContext& context, QWidget* parent = nullptr);
    ~CAgentCommPageWidget() override;

    QString Caption() const override { return QString::fromUtf8(kCaption); }

    // IAgentCommPage
    void AddIncomingText(const std::string& text) override;
    void AddOutgoingText(const std::string& text) override;

    struct Side {
        CMessageListModel* model = nullptr;
        QTreeView* list = nullptr;
        QTreeWidget* tree = nullptr;
        // The experimenter picked an entry; new messages no longer move the current entry.
        bool chosen = false;
    };
    const Side& Incoming() const { return m_incoming; }
    const Side& Outgoing() const { return m_outgoing; }

    // Writes the side's list, in the order shown, one message a line; false when it cannot.
    static bool SaveTo(const Side& side, const QString& path);

    // Shows a message's structure in a tree: root and ":sender", ":receiver", ":content" open.
    static void ShowTree(QTreeWidget* tree, const QString& text);

private:
    QWidget* BuildSide(Side& side, const QString& title, const QString& name, bool outgoing);
    void Display(Side& side, bool outgoing);
    void Save(Side& side);

    CPageContext& m_context;
    Side m_incoming;
    Side m_outgoing;
};

} // namespace halyx
