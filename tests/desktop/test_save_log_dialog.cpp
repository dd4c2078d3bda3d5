// The "Choose Log Save Location" dialog as the experimenter types into it: the first free name,
// the live preview, OK enabled only with a name and a location, and the refusal of an empty
// name.
#include "guitest.h"

#include "desktop/savelogdialog.h"
#include "record/savelocation.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <filesystem>
#include <fstream>

namespace halyx::test {
namespace {

class SaveLogDialog : public ::testing::Test {
protected:
    void SetUp() override {
        GuiApp("test_desktop_save_dialog");
        folder = std::string(std::getenv("HALYX_HOME")) + "/dialog/";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::ofstream(folder + "HalyxSimLog_0001.xml") << "x";
        std::ofstream(folder + "HalyxSimLog_0002.xml") << "x";
    }
    std::string folder;
};

TEST_F(SaveLogDialog, ProposesTheFirstFreeNameAndPreviewsAsTyped) {
    CSaveLocation where(folder);
    CSaveLogDialog dialog(where);
    EXPECT_EQ(dialog.NameBox()->text(), QStringLiteral("HalyxSimLog_0003"));
    EXPECT_EQ(dialog.Preview()->text().toStdString(), folder + "HalyxSimLog_0003.xml");
    EXPECT_TRUE(dialog.OkButton()->isEnabled());

    // Doubled separators and a leading one on the name are tidied in the preview.
    dialog.LocationBox()->clear();
    QTest::keyClicks(dialog.LocationBox(), QStringLiteral("D:\\\\Logs\\\\"));
    dialog.NameBox()->clear();
    QTest::keyClicks(dialog.NameBox(), QStringLiteral("\\Run1"));
    EXPECT_EQ(dialog.Preview()->text(), QStringLiteral("D:/Logs/Run1.xml"));

    // Without a name or without a location: no preview and no OK.
    dialog.NameBox()->clear();
    EXPECT_TRUE(dialog.Preview()->text().isEmpty());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    QTest::keyClicks(dialog.NameBox(), QStringLiteral("Run2"));
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    dialog.LocationBox()->clear();
    EXPECT_TRUE(dialog.Preview()->text().isEmpty());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
}

TEST_F(SaveLogDialog, OkClosesWithWhatWasTypedAndAnEmptyNameKeepsItOpen) {
    CSaveLocation where(folder);
    CSaveLogDialog dialog(where);
    dialog.LocationBox()->setText(QString::fromStdString(folder + "sub"));
    dialog.NameBox()->setText(QStringLiteral("Run7"));
    QTest::keyClicks(dialog.NotesBox(), QStringLiteral("first pilot, 2 subjects"));
    int result = -1;
    QObject::connect(&dialog, &QDialog::finished, [&](int r) { result = r; });
    dialog.open();
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(where.GetLocation(), folder + "sub/");
    EXPECT_EQ(where.GetName(), "Run7");
    EXPECT_EQ(where.GetNotes(), "first pilot, 2 subjects");

    // OK is disabled without a name; should accept() still come (the Enter key of another
    // default button), the message is shown and the dialog stays open.
    CSaveLocation second(folder);
    CSaveLogDialog again(second);
    again.NameBox()->clear();
    result = -1;
    QObject::connect(&again, &QDialog::finished, [&](int r) { result = r; });
    again.open();
    QString message;
    {
        auto answer = AnswerBox(QMessageBox::Ok, &message);
        again.accept();
    }
    EXPECT_EQ(message, QStringLiteral("You must enter a unique name for this experiment"));
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(again.isVisible());
    again.reject();
    EXPECT_EQ(result, QDialog::Rejected);
}

} // namespace
} // namespace halyx::test
