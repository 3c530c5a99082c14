// Runs every benchmark in one process, one after the other, and prints each
// figure beside its target. Exit status 0 when every target was met.
//   quorlin_bench [append|echo|rate|trip|stop|startup|peers]...
#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"
#include "text/NarrowEncoding.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string cpuModel()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    }
    return "unknown";
}

bool wanted(int argc, char* argv[], const char* name)
{
    if (argc < 2)
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return true;
    }
    return false;
}

// Qt's chatter about font fallbacks and the runtime directory would break up
// the table; anything else still shows.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    if (message.startsWith(QLatin1String("QStandardPaths:"))
        || message.contains(QLatin1String("OpenType support missing")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char* argv[])
{
    // As the program does, so a run under another locale measures its encoding.
    NarrowEncoding::adoptLocale();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    QCoreApplication::setApplicationName(QStringLiteral("Quorlin"));
    QApplication application(argc, argv);

    std::printf("Quorlin benchmarks: %ld cores (nproc), %s, Qt %s, platform %s, text encoding %s\n",
        sysconf(_SC_NPROCESSORS_ONLN), cpuModel().c_str(), qVersion(), qPrintable(QApplication::platformName()),
        NarrowEncoding::process().name().c_str());

    bool met = true;
    if (wanted(argc, argv, "append"))
        met &= bench::logAppendCost();
    if (wanted(argc, argv, "echo"))
        met &= bench::echoRoundTrip();
    if (wanted(argc, argv, "rate"))
        met &= bench::passRate();
    if (wanted(argc, argv, "trip"))
        met &= bench::windowTrip();
    if (wanted(argc, argv, "stop"))
        met &= bench::stopLatency();
    if (wanted(argc, argv, "startup"))
        met &= bench::startupAndFootprint(QUORLIN_STARTUP_PROBE);
    if (wanted(argc, argv, "peers"))
        met &= bench::peerRegistration();
    std::printf("\n%s\n", met ? "all targets met" : "some targets MISSED");
    return met ? 0 : 1;
}
