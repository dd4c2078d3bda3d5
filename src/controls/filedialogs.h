#pragma once

#include <QString>

#include <functional>

class QPushButton;
class QWidget;

namespace halyx {

// What a page asks of the user when it needs a file or a folder.
struct CFileRequest {
    enum class Mode { Open, Save, Folder };
    Mode mode = Mode::Open;
    QString title;
    QString filter;        // a Qt filter ("Halyx Incursion Data (*.hid)")
    QString defaultSuffix; // "hid", added when the user types a name without one
    QString startFolder;
};

// The filter text of the file formats ("Halyx Incursion Data (*.hid)|*.hid||") as Qt writes it
// ("Halyx Incursion Data (*.hid)"); several pairs become several ";;"-separated filters.
QString QtFileFilter(const QString& pairs);

// Asks for a file to open or save, or a folder. The folder last used with the same dialogKey is
// offered first and remembered. A save dialog asks before overwriting. Answers an empty text
// when the user cancels.
QString ChooseFile(QWidget* parent, const QString& dialogKey, CFileRequest request);

// Asks for a file of one format to open or save: filterPairs as the formats write them
// ("Halyx Weather Data (*.hwd)|*.hwd||"), suffix without its dot.
QString ChooseFormatFile(QWidget* parent, const QString& dialogKey, CFileRequest::Mode mode,
                         const char* filterPairs, const char* suffix);

// Runs file work on path that answers an errno value (0 when it went well) or throws
// ArchiveError for a damaged file. On failure it says why in a warning box with caption and
// answers false.
bool RunFileWork(QWidget* parent, const QString& caption, const QString& path,
                 const std::function<int()>& work);

// The push button under parent with this text (tests and pages find buttons by their caption).
QPushButton* FindButton(const QWidget* parent, const QString& text);

// Tests answer the dialogs instead of a user: while set, ChooseFile calls chooser instead of
// opening a dialog. Pass nullptr to go back to real dialogs.
void SetFileChooserForTests(std::function<QString(const CFileRequest&)> chooser);

} // namespace halyx
