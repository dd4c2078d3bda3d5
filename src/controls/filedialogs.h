#pragma once

#include <QString>

#include <functional>

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

// Tests answer the dialogs instead of a user: while set, ChooseFile calls chooser instead of
// opening a dialog. Pass nullptr to go back to real dialogs.
void SetFileChooserForTests(std::function<QString(const CFileRequest&)> chooser);

} // namespace halyx
