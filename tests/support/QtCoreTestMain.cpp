// Test entry for code that needs Qt's event loop but no widgets: one bare
// QCoreApplication for the whole run.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include <thread>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // ThreadSanitizer starts a thread of its own at the program's first
    // thread; make that happen before any test.
    std::thread([] {}).join();
    return RUN_ALL_TESTS();
}
