// Results while typing: with the option on, the hit list follows each key and holds
// what Enter would list for the text; off, nothing happens before Enter. A key typed
// while a list is being made drops it; Enter does one thing.

#include "MainWindowFixture.h"
#include "search/KeyList.h"
#include "search/NaturalOrder.h"
#include "search/ResultsWhileTyping.h"
#include "search/TypingSearch.h"
#include "app/frmMainForm.h"
#include "common/UserSettings.h"
#include "data/TextMatching.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

using namespace Search;
using namespace App;
using namespace WindowTest;
using namespace MainWindowTest;

namespace {

// What a window's lists hold: each line with its key.
QStringList shown(const SearchWindow &window)
{
    QStringList lines;
    for (int i = 0; i < window.lstSearch()->count(); ++i) {
        lines << window.lstSearch()->text(i) + QLatin1Char('\t') + QString::number(window.lstSearchID()->key(i));
    }
    return lines;
}

// Enter as the window system delivers it, in the search box.
void pressEnter(SearchWindow &window)
{
    window.txtSearch()->setFocus();
    QTest::keyPress(window.txtSearch(), Qt::Key_Return);
    QTest::keyRelease(window.txtSearch(), Qt::Key_Return);
}

// The list Enter makes for `text` (the search box then holds it).
QStringList enterList(SearchWindow &window, const QString &text)
{
    window.txtSearch()->setText(text);
    pressEnter(window);
    return shown(window);
}

// One character typed as the window system sends it (any character, not only ASCII).
void typeCharacter(QWidget *to, QChar c)
{
    const auto key = c.unicode() < 0x80 ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
    QApplication::sendEvent(to, &release);
}

bool waitUntilIdle(const SearchWindow &window)
{
    return QTest::qWaitFor([&] { return !window.typingSearch()->isBusy(); }, 5000);
}

} // namespace

class ResultsWhileTypingTest : public MainWindowFixture
{
    Q_OBJECT

private slots:
    void typedListIsTheListEnterMakes_data();
    void typedListIsTheListEnterMakes();
    void everyTwoLetterTextFindsWhatTheStatementFinds();
    void longerTextsFindWhatThePatternFinds();
    void withTheOptionOffNothingHappensBeforeEnter();
    void aKeyDuringALongSearchDropsIt();
    void aKeyLeavingTheSameLinesKeepsTheListLaidOut();
    void enterWithTheOptionOnActsOnce();
    void theOptionIsSharedAndRemembered();
    void aTextTooLongIsRefusedAsEnterRefusesIt();
};

void ResultsWhileTypingTest::typedListIsTheListEnterMakes_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("typed");
    const QList<std::pair<int, QString>> cases = {
        {frmMainForm::ShowDrugs, QStringLiteral("asp")}, // narrows "a", then "as"
        {frmMainForm::ShowDrugs, QStringLiteral("LiPiT")}, // letter case ignored
        {frmMainForm::ShowDrugs, QStringLiteral("a%n")}, // the wildcard stays one
        {frmMainForm::ShowDrugs, QStringLiteral("m_c")},
        {frmMainForm::ShowDrugs, QStringLiteral("10")},
        {frmMainForm::ShowDrugs, QStringLiteral("é")}, // beyond ASCII: matched as the database does
        {frmMainForm::ShowDrugs, QStringLiteral("zzqx")}, // nothing
        {frmMainForm::Ingredients, QStringLiteral("acid")}, // distinct lines, no keys
        {frmMainForm::DosageForm, QStringLiteral("tab")},
        {frmMainForm::Route, QStringLiteral("or")},
        {frmMainForm::Patents, QStringLiteral("77")},
        {frmMainForm::Exclusivity, QStringLiteral("od")}, // found by the code, not the line
    };
    for (const auto &[command, typed] : cases) {
        QTest::addRow("%d %s", command, qPrintable(typed)) << command << typed;
    }
}

void ResultsWhileTypingTest::typedListIsTheListEnterMakes()
{
    ResultsWhileTyping::shared().setOn(false); // every test starts with the option off
    QFETCH(int, command);
    QFETCH(QString, typed);
    SearchWindow *window = open(command);
    QVERIFY(window);
    window->chkTyping()->setChecked(true);
    window->txtSearch()->setFocus();
    QStringList typedLists;
    for (int i = 0; i < typed.size(); ++i) {
        typeCharacter(window->txtSearch(), typed.at(i));
        QVERIFY(waitUntilIdle(*window));
        typedLists << shown(*window).join(QLatin1Char('\n'));
    }
    // Backspace to nothing: the whole list, as the empty search gives it.
    QTest::keyClick(window->txtSearch(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window->txtSearch(), Qt::Key_Backspace);
    QVERIFY(waitUntilIdle(*window));
    const QStringList whole = shown(*window);
    const QString count = window->lblSearch()->text();

    for (int i = 0; i < typed.size(); ++i) {
        QCOMPARE(typedLists.at(i), enterList(*window, typed.left(i + 1)).join(QLatin1Char('\n')));
    }
    QCOMPARE(whole, enterList(*window, QString()));
    QCOMPARE(count, window->lblSearch()->text());
}

// Every text of two letters on the whole drug list: the lines found in memory are the
// statement's, in the same order (ties included).
void ResultsWhileTypingTest::everyTwoLetterTextFindsWhatTheStatementFinds()
{
    ResultsWhileTyping::shared().setOn(false); // every test starts with the option off
    const QString list = QString(Schema::Products::TradeName);
    const auto statementRows = [&](const QString &text) {
        return inNaturalOrder(
            Db::readSharedList(Db::SqlText::nameSearch(Db::SqlText::Window::Drugs, text), list, QStringLiteral("ID")));
    };
    const NameIndex index(statementRows(QString()));
    QCOMPARE(index.count(), 45752);
    int texts = 0;
    int found = 0;
    for (char a = 'a'; a <= 'z'; ++a) {
        for (const char b : QByteArray("abcdefghijklmnopqrstuvwxyz0-. '")) {
            const QString text = QString(QLatin1Char(a)) + QLatin1Char(b);
            const Db::SharedListRows expected = statementRows(text);
            std::vector<int> hits;
            index.findIn(NameIndex::needle(text), 0, index.count(), hits);
            QCOMPARE(int(hits.size()), expected->count());
            for (int i = 0; i < expected->count(); ++i) {
                const int row = hits[size_t(i)];
                if (index.rows()->key(row) != expected->key(i) || index.rows()->line(row) != expected->line(i)) {
                    QFAIL(qPrintable(QStringLiteral("\"%1\", line %2: %3 instead of %4")
                                         .arg(text)
                                         .arg(i)
                                         .arg(index.rows()->line(row), expected->line(i))));
                }
            }
            ++texts;
            found += expected->count();
        }
    }
    QCOMPARE(texts, 26 * 31);
    QVERIFY(found > 100000);
}

// Texts of three letters and more, found through where their rarest pair stands in each
// line: made-up lines where that pair stands twice, late in a long line, or at its
// ends, then pieces of real trade names over the whole list; each against the quick
// search's pattern, line by line.
void ResultsWhileTypingTest::longerTextsFindWhatThePatternFinds()
{
    const QString far = QString(300, QLatin1Char('q'));
    const QStringList made
        = {QStringLiteral("zqj zqk zqjx"), QStringLiteral("zqkzqj"),         QStringLiteral("zqzqzq"),
           far + QStringLiteral("zqj"),    far + QStringLiteral(" zqj zqk"), QStringLiteral("xzq"),
           QStringLiteral("zq"),           QStringLiteral("jzqé zqj")};
    QStringList values;
    for (const QString &line : made) {
        values << QStringLiteral("('%1')").arg(line);
    }
    const NameIndex madeIndex(
        Db::readSharedList(QStringLiteral("SELECT column1 FROM (VALUES %1)").arg(values.join(u',')),
                           QStringLiteral("column1"), QString()));
    const NameIndex drugIndex(
        inNaturalOrder(Db::readSharedList(Db::SqlText::nameSearch(Db::SqlText::Window::Drugs, QString()),
                                          QString(Schema::Products::TradeName), QStringLiteral("ID"))));
    QStringList drugTexts;
    for (int row = 0; row < drugIndex.count(); row += 211) {
        const QString line = drugIndex.rows()->line(row);
        for (int length = 3; length <= 7 && length <= line.size(); length += 2) {
            drugTexts << line.mid((row / 211) % (line.size() - length + 1), length);
        }
    }
    QVERIFY(drugTexts.size() > 500);
    const QList<std::pair<const NameIndex *, QStringList>> cases
        = {{&madeIndex, {"zqj", "ZQK", "qzq", "zqzq", "qqzqj", "qzqj ", "zqjx", "xzq", "jzq", "zqé", "é z"}},
           {&drugIndex, drugTexts}};
    for (const auto &[index, texts] : cases) {
        for (const QString &text : texts) {
            const NameIndex::Needle needle = NameIndex::needle(text);
            std::vector<int> expected, hits;
            for (int row = 0; row < index->count(); ++row) {
                if (Db::TextMatching::likeMatches(needle.pattern, index->rows()->lineUtf8(row))) {
                    expected.push_back(row);
                }
            }
            index->findIn(needle, 0, index->count(), hits);
            QVERIFY2(
                hits == expected,
                qPrintable(
                    QStringLiteral("\"%1\": %2 lines instead of %3").arg(text).arg(hits.size()).arg(expected.size())));
        }
    }
}

void ResultsWhileTypingTest::withTheOptionOffNothingHappensBeforeEnter()
{
    ResultsWhileTyping::shared().setOn(false); // every test starts with the option off
    SearchWindow *drugs = m_main->drugsWindow();
    QVERIFY(!drugs->chkTyping()->isChecked());
    drugs->clearHitList();
    drugs->txtSearch()->setFocus();
    QTest::keyClicks(drugs->txtSearch(), QStringLiteral("lipitor"));
    QVERIFY(waitUntilIdle(*drugs));
    QTest::qWait(20);
    QCOMPARE(drugs->lstSearch()->count(), 0);
    QCOMPARE(drugs->lblSearch()->text(), QString());
    QVERIFY(!drugs->typingSearch()->index()); // nothing read for it either
    pressEnter(*drugs);
    QCOMPARE(drugs->lblSearch()->text(), QStringLiteral("4") + ItemsFound);
}

void ResultsWhileTypingTest::aKeyDuringALongSearchDropsIt()
{
    ResultsWhileTyping::shared().setOn(false); // every test starts with the option off
    SearchWindow *drugs = m_main->drugsWindow();
    drugs->chkTyping()->setChecked(true);
    drugs->txtSearch()->setFocus();
    QTest::keyClicks(drugs->txtSearch(), QStringLiteral("x"));
    QVERIFY(waitUntilIdle(*drugs));
    QTest::keyClick(drugs->txtSearch(), Qt::Key_Backspace);
    QVERIFY(waitUntilIdle(*drugs));
    // Short steps: the search of "a%" (every line by the pattern) takes many turns.
    drugs->typingSearch()->setLinesPerStep(500);
    QSignalSpy resets(drugs->lstSearch()->model(), &QAbstractItemModel::modelReset);
    QTest::keyClicks(drugs->txtSearch(), QStringLiteral("a%"));
    QVERIFY(drugs->typingSearch()->isBusy());
    QTest::qWait(5); // a few steps, not all
    QVERIFY(drugs->typingSearch()->isBusy());
    const int resetsBefore = int(resets.count());
    QTest::keyClicks(drugs->txtSearch(), QStringLiteral("z"));
    QVERIFY(waitUntilIdle(*drugs));
    // "a" and "a%" may have shown their lists; "a%"'s search never ended: one list after
    // the last key, the one for "a%z".
    QCOMPARE(int(resets.count()) - resetsBefore, 1);
    const QStringList typed = shown(*drugs);
    QCOMPARE(typed, enterList(*drugs, QStringLiteral("a%z")));
}

// "hydrochlo", "hydrochlor" and back list the same lines: the list is not laid out
// again, unless a line is chosen (then the key leaves none chosen, as Enter does).
void ResultsWhileTypingTest::aKeyLeavingTheSameLinesKeepsTheListLaidOut()
{
    ResultsWhileTyping::shared().setOn(false); // every test starts with the option off
    SearchWindow *drugs = m_main->drugsWindow();
    drugs->chkTyping()->setChecked(true);
    drugs->clearHitList();
    drugs->txtSearch()->setFocus();
    QTest::keyClicks(drugs->txtSearch(), QStringLiteral("hydrochlo"));
    QVERIFY(waitUntilIdle(*drugs));
    const QStringList lines = shown(*drugs);
    const QString count = drugs->lblSearch()->text();
    QSignalSpy resets(drugs->lstSearch()->model(), &QAbstractItemModel::modelReset);
    for (const auto &[chosen, key, resetsAfter] : {std::tuple(-1, Qt::Key_R, 0), std::tuple(2, Qt::Key_Backspace, 1)}) {
        if (chosen >= 0) {
            drugs->lstSearch()->setCurrentRow(chosen);
            QVERIFY(!drugs->lblTradeName()->text().isEmpty());
            drugs->txtSearch()->setFocus();
        }
        QTest::keyClick(drugs->txtSearch(), key);
        QVERIFY(waitUntilIdle(*drugs));
        QCOMPARE(int(resets.count()), resetsAfter);
        QCOMPARE(shown(*drugs), lines);
        QCOMPARE(drugs->lblSearch()->text(), count);
        QCOMPARE(drugs->lstSearch()->currentRow(), -1);
        QVERIFY(drugs->lblTradeName()->text().isEmpty());
    }
    QCOMPARE(lines, enterList(*drugs, QStringLiteral("hydrochlo")));
}

void ResultsWhileTypingTest::enterWithTheOptionOnActsOnce()
{
    ResultsWhileTyping::shared().setOn(false); // every test starts with the option off
    SearchWindow *drugs = m_main->drugsWindow();
    drugs->chkTyping()->setChecked(true);
    drugs->txtSearch()->setFocus();
    QTest::keyClicks(drugs->txtSearch(), QStringLiteral("lipito"));
    QVERIFY(waitUntilIdle(*drugs));
    // What Enter alone does to the list, with the option off.
    drugs->chkTyping()->setChecked(false);
    QSignalSpy enterResets(drugs->lstSearch()->model(), &QAbstractItemModel::modelReset);
    pressEnter(*drugs);
    const int enterAlone = int(enterResets.count());
    const QStringList enterLines = shown(*drugs);
    QVERIFY(enterAlone > 0);
    drugs->chkTyping()->setChecked(true);
    QTest::keyClick(drugs->txtSearch(), Qt::Key_Backspace);
    QVERIFY(waitUntilIdle(*drugs));

    drugs->typingSearch()->setLinesPerStep(1);
    QSignalSpy resets(drugs->lstSearch()->model(), &QAbstractItemModel::modelReset);
    QSignalSpy typedLists(drugs->typingSearch(), &TypingSearch::found);
    // A key whose search is still under way when Enter comes.
    QTest::keyClicks(drugs->txtSearch(), QStringLiteral("o"));
    QVERIFY(drugs->typingSearch()->isBusy());
    pressEnter(*drugs);
    QVERIFY(!drugs->typingSearch()->isBusy());
    QTest::qWait(50);
    // The search Enter runs, and no list of the key's after it.
    QCOMPARE(typedLists.count(), 0);
    QCOMPARE(int(resets.count()), enterAlone);
    QCOMPARE(drugs->txtSearch()->text(), QStringLiteral("lipito"));
    QCOMPARE(shown(*drugs), enterLines);
    QCOMPARE(drugs->lblSearch()->text(), QStringLiteral("4") + ItemsFound);
}

void ResultsWhileTypingTest::theOptionIsSharedAndRemembered()
{
    ResultsWhileTyping::shared().setOn(false); // every test starts with the option off
    SearchWindow *drugs = m_main->drugsWindow();
    SearchWindow *routes = open(frmMainForm::Route);
    QVERIFY(!routes->chkTyping()->isChecked());
    QTest::mouseClick(drugs->chkTyping(), Qt::LeftButton, Qt::NoModifier, QPoint(6, drugs->chkTyping()->height() / 2));
    QVERIFY(drugs->chkTyping()->isChecked());
    QVERIFY(routes->chkTyping()->isChecked());
    QCOMPARE(Common::userSettings()->value(QStringLiteral("Search/resultsWhileTyping")).toBool(), true);
    // A window made later starts with it.
    SearchWindow *patents = open(frmMainForm::Patents);
    QVERIFY(patents->chkTyping()->isChecked());
    // Off: the lines kept for finding go.
    QTest::keyClicks(routes->txtSearch(), QStringLiteral("or"));
    QVERIFY(waitUntilIdle(*routes));
    QVERIFY(routes->typingSearch()->index());
    routes->chkTyping()->setChecked(false);
    QVERIFY(!drugs->chkTyping()->isChecked());
    QVERIFY(!routes->typingSearch()->index());
    QCOMPARE(Common::userSettings()->value(QStringLiteral("Search/resultsWhileTyping")).toBool(), false);
}

void ResultsWhileTypingTest::aTextTooLongIsRefusedAsEnterRefusesIt()
{
    ResultsWhileTyping::shared().setOn(false); // every test starts with the option off
    SearchWindow *drugs = m_main->drugsWindow();
    drugs->chkTyping()->setChecked(true);
    drugs->txtSearch()->setFocus();
    QTest::keyClicks(drugs->txtSearch(), QStringLiteral("as"));
    QVERIFY(waitUntilIdle(*drugs));
    const QStringList before = shown(*drugs);
    QVERIFY(!before.isEmpty());
    QGuiApplication::clipboard()->setText(QString(MaxSearchText - 1, QLatin1Char('x')));
    QTest::keyClick(drugs->txtSearch(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(drugs->txtSearch()->text().size(), MaxSearchText + 1);
    QVERIFY(waitUntilIdle(*drugs));
    QVERIFY(drugs->lblSearch()->text().startsWith(QStringLiteral("The search text is too long")));
    QCOMPARE(shown(*drugs), before); // the list of the text that fitted stays
}

QTEST_MAIN(ResultsWhileTypingTest)
#include "tst_results_while_typing.moc"
