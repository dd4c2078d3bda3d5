#pragma once

#include <QString>

class QHeaderView;
class QSplitter;
class QWidget;

namespace halyx {

// What the desktop remembers between runs, in one place: window geometry, splitter and column
// widths, the last folder of each file dialog and the last registration used. Keys are stable
// ("Windows/<name>/...", "Folders/<dialog>", "Registration/<field>"), so a newer build reads an
// older profile. With HALYX_HOME set they live in $HALYX_HOME/settings.ini; otherwise in the
// user's usual place under the application's name. Tests set their own application name, so
// they never touch a user's settings.
class CSettings {
public:
    // The settings file under HALYX_HOME, or "" when HALYX_HOME is not set (the usual place).
    static QString FilePath();

    // The folder a file dialog last used, or fallback when none is stored or it is gone.
    static QString LastFolder(const QString& dialog, const QString& fallback);
    static void SetLastFolder(const QString& dialog, const QString& folder);

    // A stored text value (registration fields and the like), fallback when absent.
    static QString Text(const QString& key, const QString& fallback);
    static void SetText(const QString& key, const QString& value);

    // Restores the header's state (column widths, sort column) stored under name and saves it
    // again whenever a column is resized or moved.
    static void TrackHeader(QHeaderView* header, const QString& name);
    // The same for a splitter's sizes.
    static void TrackSplitter(QSplitter* splitter, const QString& name);
    // Restores a top-level window's geometry; it is saved when the window is hidden or closed,
    // and only for a window that was shown. True when a stored geometry was restored.
    static bool TrackGeometry(QWidget* window, const QString& name);
};

} // namespace halyx
