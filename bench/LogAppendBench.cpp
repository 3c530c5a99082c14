// Per-append cost of the server log against the size of the log, on the
// real widget of shown dialogs: the append and the repaint it causes, so
// that layout or painting work that grew with the log would show. One dialog
// per log size, appended to in turn, so that drift in the machine's speed
// touches every size alike.
#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"

#include "ui/CDatagramDlg.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <array>
#include <cstdio>
#include <memory>

namespace bench {

namespace {

QString preloadedLog(int lines)
{
    QString text;
    text.reserve(lines * 40);
    for (int i = 0; i < lines; ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += QStringLiteral("preloaded datagram %1 from 127.0.0.5").arg(i);
    }
    return text;
}

} // namespace

bool logAppendCost()
{
    printHeader("1. Server log append cost vs log size (real widget, shown offscreen; append + repaint)");
    constexpr int kWarmUp = 20;
    constexpr int kRounds = 400;
    constexpr std::array<int, 4> kSizes = { 0, 10'000, 100'000, 1'000'000 };

    std::array<std::unique_ptr<CDatagramDlg>, kSizes.size()> dialogs;
    std::array<std::vector<double>, kSizes.size()> samples;
    for (std::size_t k = 0; k < kSizes.size(); ++k) {
        dialogs[k] = std::make_unique<CDatagramDlg>();
        dialogs[k]->move(static_cast<int>(k) * 40, 0);
        dialogs[k]->show();
        dialogs[k]->fields().log(IDC_SERVER_LOG)->setPlainText(preloadedLog(kSizes[k]));
        QCoreApplication::processEvents();
    }
    for (int round = 0; round < kWarmUp + kRounds; ++round) {
        const QString text = QStringLiteral("datagram %1: the quick brown fox jumps").arg(round);
        for (std::size_t i = 0; i < kSizes.size(); ++i) {
            // Rotate the order so no size always follows another.
            const std::size_t k = (i + static_cast<std::size_t>(round)) % kSizes.size();
            const auto t0 = Clock::now();
            dialogs[k]->fields().appendLog(IDC_SERVER_LOG, text);
            QCoreApplication::processEvents();
            const auto t1 = Clock::now();
            if (round >= kWarmUp)
                samples[k].push_back(microsecondsBetween(t0, t1));
        }
    }

    std::array<Stats, kSizes.size()> results;
    for (std::size_t k = 0; k < kSizes.size(); ++k) {
        const int lines = dialogs[k]->fields().log(IDC_SERVER_LOG)->document()->blockCount();
        if (lines != kSizes[k] + kWarmUp + kRounds + (kSizes[k] == 0 ? 1 : 0))
            printNote("unexpected line count " + std::to_string(lines));
        results[k] = summarise(samples[k]);
        char label[96];
        std::snprintf(label, sizeof label, "append on a log of %d lines: median / p90 (us)", kSizes[k]);
        printRow(label, format(results[k].median) + " / " + format(results[k].p90), "", true);
    }
    const double ratio = results.back().median / results.front().median;
    const bool met = ratio <= 1.5;
    printRow("ratio 1,000,000 lines / 0 lines (median)", format(ratio, 2), "<= 1.5", met);
    return met;
}

} // namespace bench
