// An impatient user: thousands of actions on the window, none waiting for the work the one before started,
// under the sanitizers. Nothing may crash, leak, show an error or leave the output folders in a state a
// fresh window brought to the same settings would not make. A failure prints the seed and the shortest list
// of actions found that still fails.
//
// VELMORA_IMPATIENT_ACTIONS (default 300) and VELMORA_IMPATIENT_SEED (default 1) choose the list,
// VELMORA_IMPATIENT_SHRINK (default 40) how many shorter lists to try after a failure, and
// VELMORA_IMPATIENT_TRACE prints each action as it is done. scripts/impatient COUNT SEED runs it by hand.

#include "tests/app/support/TestClasses.h"
#include "tests/app/window/impatient/ImpatientRun.h"
#include "tests/app/window/impatient/Shrink.h"

namespace {

std::uint64_t setting(const char* name, std::uint64_t fallback) {
    bool ok = false;
    const qulonglong v = qEnvironmentVariable(name).toULongLong(&ok);
    return ok ? v : fallback;
}

}  // namespace

class ImpatientTest : public QObject {
    Q_OBJECT

  private slots:
    void actionsThatDoNotWaitForTheirWorkLeaveWhatAFreshWindowMakes() {
        const auto count = static_cast<int>(setting("VELMORA_IMPATIENT_ACTIONS", 300));
        const std::uint64_t seed = setting("VELMORA_IMPATIENT_SEED", 1);
        const std::vector<Action> actions = draw_actions(seed, count);
        const std::optional<QString> failed = run_impatient(actions);
        if (!failed) return;
        qInfo("seed %llu, %d actions: %s\nLooking for a shorter list that fails...",
              static_cast<unsigned long long>(seed), count, qPrintable(*failed));
        const std::function<std::optional<QString>(const std::vector<Action>&)> fails =
            [](const std::vector<Action>& list) {
                std::optional<QString> f = run_impatient(list);
                qInfo("  %zu actions: %s", list.size(), f ? "fails" : "passes");
                return f;
            };
        const Shrunk<Action> shortest =
            shrink(actions, *failed, fails, static_cast<int>(setting("VELMORA_IMPATIENT_SHRINK", 40)));
        QFAIL(qPrintable(QStringLiteral("seed %1, %2 actions: %3\nShortest list found that fails (%4 actions, after "
                                        "%5 tries): %6\n%7")
                             .arg(seed)
                             .arg(count)
                             .arg(*failed)
                             .arg(shortest.items.size())
                             .arg(shortest.tries)
                             .arg(shortest.why, describe(shortest.items))));
    }
};

VELMORA_TEST_CLASS(ImpatientTest);
#include "Impatient_test.moc"
