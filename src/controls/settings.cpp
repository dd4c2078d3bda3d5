#include "controls/settings.h"

#include <QDir>
#include <QEvent>
#include <QHeaderView>
#include <QSettings>
#include <QSplitter>
#include <QWidget>

#include <memory>

namespace halyx {

namespace {

std::unique_ptr<QSettings> Store() {
    const QString file = CSettings::FilePath();
    if (file.isEmpty()) {
        return std::make_unique<QSettings>();
    }
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

QString WindowKey(const QString& name, const char* what) {
    return QStringLiteral("Windows/%1/%2").arg(name, QLatin1String(what));
}

// Saves a window's geometry when it is hidden or closed; a window never shown saves nothing, so
// a test or a window built and thrown away cannot overwrite what the user had.
class GeometryKeeper final : public QObject {
public:
    GeometryKeeper(QWidget* window, QString name) : QObject(window), m_name(std::move(name)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window && (event->type() == QEvent::Hide || event->type() == QEvent::Close)) {
            Store()->setValue(WindowKey(m_name, "geometry"), window->saveGeometry());
        }
        return false;
    }

private:
    QString m_name;
};

} // namespace

QString CSettings::FilePath() {
    // Each home keeps its own settings, so two experimenters (or a test) never share them.
    const QByteArray home = qgetenv("HALYX_HOME");
    if (home.isEmpty()) {
        return QString();
    }
    QString folder = QString::fromLocal8Bit(home);
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder + QStringLiteral("settings.ini");
}

QString CSettings::LastFolder(const QString& dialog, const QString& fallback) {
    const QString stored = Store()->value(QStringLiteral("Folders/") + dialog).toString();
    if (!stored.isEmpty() && QDir(stored).exists()) {
        return stored;
    }
    return fallback;
}

void CSettings::SetLastFolder(const QString& dialog, const QString& folder) {
    if (!folder.isEmpty()) {
        Store()->setValue(QStringLiteral("Folders/") + dialog, folder);
    }
}

QString CSettings::Text(const QString& key, const QString& fallback) {
    return Store()->value(key, fallback).toString();
}

void CSettings::SetText(const QString& key, const QString& value) {
    Store()->setValue(key, value);
}

void CSettings::TrackHeader(QHeaderView* header, const QString& name) {
    const QString key = WindowKey(name, "header");
    const QByteArray stored = Store()->value(key).toByteArray();
    if (!stored.isEmpty()) {
        header->restoreState(stored);
    }
    const auto save = [header, key] { Store()->setValue(key, header->saveState()); };
    QObject::connect(header, &QHeaderView::sectionResized, header, save);
    QObject::connect(header, &QHeaderView::sectionMoved, header, save);
}

void CSettings::TrackSplitter(QSplitter* splitter, const QString& name) {
    const QString key = WindowKey(name, "splitter");
    const QByteArray stored = Store()->value(key).toByteArray();
    if (!stored.isEmpty()) {
        splitter->restoreState(stored);
    }
    QObject::connect(splitter, &QSplitter::splitterMoved, splitter,
                     [splitter, key] { Store()->setValue(key, splitter->saveState()); });
}

bool CSettings::TrackGeometry(QWidget* window, const QString& name) {
    const QByteArray stored = Store()->value(WindowKey(name, "geometry")).toByteArray();
    const bool restored = !stored.isEmpty() && window->restoreGeometry(stored);
    window->installEventFilter(new GeometryKeeper(window, name));
    return restored;
}

} // namespace halyx
