#pragma once

#include "desktop/page.h"

#include <QLabel>
#include <QVBoxLayout>

namespace halyx {

// A page whose widgets are not built yet: its tab is in place with a one-line note.
class CPlaceholderPage final : public CPage {
public:
    CPlaceholderPage(QString caption, QWidget* parent)
        : CPage(parent), m_caption(std::move(caption)) {
        auto* layout = new QVBoxLayout(this);
        auto* note =
            new QLabel(tr("The %1 page is not part of this build yet.").arg(m_caption), this);
        note->setAlignment(Qt::AlignCenter);
        layout->addWidget(note);
    }
    QString Caption() const override { return m_caption; }

private:
    QString m_caption;
};

} // namespace halyx
