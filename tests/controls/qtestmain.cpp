// main() for the Qt tests: a QApplication on the platform CTest chose (offscreen), an
// application name of the test's own so that settings never touch a user's, and the C locale
// for numbers.
#include <QApplication>

#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("HalyxTests"));
    QApplication::setApplicationName(QStringLiteral(HALYX_TEST_APP_NAME));
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
