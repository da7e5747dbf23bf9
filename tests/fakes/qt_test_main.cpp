// Test main for every test executable: a real QApplication on the X server named by DISPLAY.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing tests must work without an X server.
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]).startsWith("--gtest_list_tests")) return RUN_ALL_TESTS();
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kadrel"));
    return RUN_ALL_TESTS();
}
