// Test entry for widget tests: one QApplication for the whole run.
#include "text/NarrowEncoding.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <thread>

int main(int argc, char* argv[])
{
    // As the program does: the codeset of the locale the test runs under.
    NarrowEncoding::adoptLocale();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Message boxes take their caption from the program's name.
    QCoreApplication::setApplicationName(QStringLiteral("Quorlin"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // ThreadSanitizer starts a thread of its own at the first thread a
    // program creates; make that happen now, so tests that compare thread
    // counts before and after see only their own.
    std::thread([] {}).join();
    return RUN_ALL_TESTS();
}
