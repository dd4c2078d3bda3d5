#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace halyx {

class CSaveLocation;

// "Choose Log Save Location": names the experiment, picks the folder of its log and takes the
// notes, over CSaveLocation, which decides the first free name, the preview and when OK may
// close. After exec() answers Accepted, the location object holds what was chosen.
class CSaveLogDialog final : public QDialog {
    Q_OBJECT
public:
    CSaveLogDialog(CSaveLocation& where, QWidget* parent = nullptr);

    QLineEdit* NameBox() const { return m_name; }
    QLineEdit* LocationBox() const { return m_location; }
    QPlainTextEdit* NotesBox() const { return m_notes; }
    QLabel* Preview() const { return m_preview; }
    QPushButton* OkButton() const;
    QPushButton* PickButton() const { return m_pick; }

    void accept() override;

private:
    void ReadBoxes();
    void ShowPreview();
    void PickFolder();

    CSaveLocation& m_where;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_location = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QLabel* m_preview = nullptr;
    QLabel* m_taken = nullptr;
    QPushButton* m_pick = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace halyx
