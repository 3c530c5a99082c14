// What registering one more sender costs the window's thread, with a short
// and a long peer list: the look-up, the append, and the layout and repaint
// the list does for it. Both lists live in real dialogs, measured in turns.
#include "BenchSupport.h"
#include "Benchmarks.h"

#include "CDatagramDlg.h"

#include <QCoreApplication>
#include <QListWidget>

#include <memory>

namespace bench {

namespace {

constexpr int kSamples = 300;

struct ListedDialog {
    explicit ListedDialog(int listed)
    {
        dialog.show();
        for (int i = 0; i < listed; ++i)
            dialog.fields().peerRegister(QStringLiteral("127.4.%1.%2:4000").arg(i / 250).arg(1 + i % 250));
        settle();
    }

    // Runs what the register left for the window: the list's delayed
    // layout, then the repaint that follows it.
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    // One new sender registered and waited out; removed again untimed, so
    // the list keeps its length.
    double registerOne(int serial)
    {
        MainWindowFields& fields = dialog.fields();
        const QString entry = QStringLiteral("127.5.%1.%2:5000").arg(serial / 250).arg(1 + serial % 250);
        const Clock::time_point start = Clock::now();
        fields.peerRegister(entry);
        settle();
        const double us = microsecondsBetween(start, Clock::now());
        fields.peerDelete(fields.peerCount() - 1);
        settle();
        return us;
    }

    CDatagramDlg dialog;
};

// Medians for a short and a long list, sampled in turns so that noise from
// the rest of the machine falls on both alike.
std::pair<Stats, Stats> measure(ListedDialog& shortList, ListedDialog& longList, int samples)
{
    std::vector<double> a, b;
    for (int i = 0; i < samples; ++i) {
        a.push_back(shortList.registerOne(i));
        b.push_back(longList.registerOne(i));
    }
    return { summarise(a), summarise(b) };
}

} // namespace

bool peerRegistration()
{
    printHeader("6. Registering one more sender, window's thread (us): 10 vs 10,000 listed");
    ListedDialog shortList(10), longList(10'000);

    // The lever: a list that measures every row again after each insert.
    for (ListedDialog* d : { &shortList, &longList })
        d->dialog.fields().peerList()->setUniformItemSizes(false);
    const auto [shortOff, longOff] = measure(shortList, longList, kSamples / 10);
    printRow("rows measured one by one: 10 / 10,000 listed (median)",
        format(shortOff.median, 0) + " / " + format(longOff.median, 0), "", true);

    for (ListedDialog* d : { &shortList, &longList })
        d->dialog.fields().peerList()->setUniformItemSizes(true);
    const auto [shortOn, longOn] = measure(shortList, longList, kSamples);
    printRow("uniform rows: 10 / 10,000 listed (median)", format(shortOn.median, 0) + " / " + format(longOn.median, 0),
        "", true);
    const double ratio = longOn.median / shortOn.median;
    const bool met = ratio <= 1.5;
    printRow("- ratio 10,000 / 10 listed (median)", format(ratio, 2), "<= 1.5", met);
    return met;
}

} // namespace bench
