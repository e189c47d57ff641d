// The drug window: its statements, searches, details, advanced panel and layout.
#include "tst_search.h"

using namespace SearchFixture;

void SearchTest::initTestCase()
{
    // Window sizes are kept in a test folder of settings, not the user's, starting empty.
    QStandardPaths::setTestModeEnabled(true);
    Common::userSettings()->clear();
    QVERIFY2(QFile::exists(QStringLiteral(KVOSTREL_DB_PATH)), "the build makes kvostrel.mdb before the tests");
}

void SearchTest::init()
{
    Connection::shared().open(QStringLiteral(KVOSTREL_DB_PATH));
}

void SearchTest::cleanup()
{
    Connection::releaseShared();
}

std::unique_ptr<frmDrugs> SearchTest::makeWindow()
{
    auto window = std::make_unique<frmDrugs>(&m_host);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        return nullptr;
    }
    return window;
}

// ---------------------------------------------------------------- builder

void SearchTest::tickedRowsJoinInRowOrderWithBlankAndLineBreak()
{
    QVector<Row> rows(AdvancedSearch::RowCount);
    rows[4] = {QStringLiteral("Strength"), QStringLiteral("10"), true};
    rows[2] = {QStringLiteral("Trade Name"), QStringLiteral("asp"), true};
    QCOMPARE(
        AdvancedSearch::statement(SqlText::Window::Drugs, rows, AdvancedSearch::Includes, AdvancedSearch::AllKeywords),
        QStringLiteral("SELECT [trade name],ID FROM products where [Trade Name] like '%asp%' \r\n"
                       " AND [Strength] like '%10%' \r\n order by +[trade name],ID;"));

    // Three rows with "Any Keyword": " OR " twice, each right after a line break.
    rows[9] = {QStringLiteral("Type"), QStringLiteral("RX"), true};
    const QString any = AdvancedSearch::clauses(rows, AdvancedSearch::Includes, AdvancedSearch::AnyKeyword);
    QCOMPARE(any.count(QStringLiteral(" OR ")), 2);
    QCOMPARE(any.count(QStringLiteral("\r\n OR ")), 2);

    // One row: no joiner; the ID row is a pattern on the key; quotes are doubled.
    const QVector<Row> one = {{QStringLiteral("ID"), QStringLiteral("12"), true},
                              {QStringLiteral("Applicant Full Name"), QStringLiteral("O'NEIL"), false}};
    QCOMPARE(AdvancedSearch::clauses(one, AdvancedSearch::Includes, AdvancedSearch::AllKeywords),
             QStringLiteral("[ID] like '%12%' \r\n"));
    const QVector<Row> quoted = {{QStringLiteral("Applicant Full Name"), QStringLiteral("O'NEIL"), true}};
    QCOMPARE(AdvancedSearch::clauses(quoted, AdvancedSearch::Includes, AdvancedSearch::AllKeywords),
             QStringLiteral("[Applicant Full Name] like '%O''NEIL%' \r\n"));
    QVERIFY(!AdvancedSearch::anyTicked({{QStringLiteral("ID"), QString(), false}, {QString(), QString(), true}}));
}

// Patterns that narrow the list sort their hits instead of walking the order index;
// either way every line comes in the same order, ties by key, on the whole real data.
void SearchTest::sortedHitsComeInTheOrderTheIndexGives()
{
    using Db::SqlText::HitOrder;
    const auto lines = [](const QString &sql) {
        QStringList read;
        RowSet &rowSet = openSharedQuery(sql);
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            read << fieldText(rowSet.field(0)) + QLatin1Char('#') + fieldText(rowSet.field(1));
        }
        return read;
    };
    const auto plan = [](const QString &sql) {
        QStringList steps;
        RowSet &rowSet = openSharedQuery(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            steps << fieldText(rowSet.field(QStringLiteral("detail")));
        }
        return steps.join(QStringLiteral(" / "));
    };
    const QString nda = QStringLiteral("New Drug Application (NDA) Number");
    const QString form = QStringLiteral("Dosage Form");
    const QString name = QStringLiteral("Trade Name");
    const struct
    {
        SqlText::Window window;
        QVector<Row> rows;
        AdvancedSearch::MatchOption match;
        AdvancedSearch::JoinOption join;
        HitOrder order;
        int atLeast; // lines
    } cases[] = {
        {SqlText::Window::Drugs,
         {{nda, QStringLiteral("020610"), true}},
         AdvancedSearch::Includes,
         AdvancedSearch::AllKeywords,
         HitOrder::SortHits,
         1},
        {SqlText::Window::Drugs,
         {{form, QStringLiteral("TABLET"), true}},
         AdvancedSearch::Includes,
         AdvancedSearch::AllKeywords,
         HitOrder::SortHits,
         19000}, // names repeated: ties
        {SqlText::Window::Drugs,
         {{name, QStringLiteral("A"), true}, {form, QStringLiteral("TAB"), true}},
         AdvancedSearch::StartingWith,
         AdvancedSearch::AllKeywords,
         HitOrder::SortHits,
         100},
        {SqlText::Window::Drugs,
         {{name, QStringLiteral("ASP"), true}},
         AdvancedSearch::Includes,
         AdvancedSearch::AllKeywords,
         HitOrder::WalkIndex,
         300}, // the order's own index
        {SqlText::Window::Drugs,
         {{form, QString(), true}, {nda, QStringLiteral("02"), true}},
         AdvancedSearch::Includes,
         AdvancedSearch::AnyKeyword,
         HitOrder::WalkIndex,
         45000}, // all of them
        {SqlText::Window::Drugs,
         {{form, QStringLiteral("TABLET"), true}},
         AdvancedSearch::Exactly,
         AdvancedSearch::AllKeywords,
         HitOrder::WalkIndex,
         19000},
        {SqlText::Window::Patent,
         {{nda, QStringLiteral("0215"), true}},
         AdvancedSearch::Includes,
         AdvancedSearch::AllKeywords,
         HitOrder::SortHits,
         10},
    };
    for (const auto &c : cases) {
        const QString sql = AdvancedSearch::statement(c.window, c.rows, c.match, c.join);
        QCOMPARE(AdvancedSearch::hitOrder(c.window, c.rows, c.match, c.join), c.order);
        const QStringList program = lines(sql);
        QVERIFY2(program.size() >= c.atLeast, qPrintable(sql));
        QCOMPARE(program, lines(SqlText::advancedSearch(c.window, AdvancedSearch::clauses(c.rows, c.match, c.join))));
        if (c.order == HitOrder::SortHits) {
            QVERIFY2(!plan(sql).contains(QStringLiteral("USING INDEX products by trade name")), qPrintable(plan(sql)));
        }
    }
}

void SearchTest::matchingOptionsMatchTheirCaptions_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("clause");
    QTest::newRow("Starting With...") << 0 << QStringLiteral("[Trade Name] like 'asp%' \r\n");
    QTest::newRow("... Includes ...") << 1 << QStringLiteral("[Trade Name] like '%asp%' \r\n");
    QTest::newRow("... Ending With") << 2 << QStringLiteral("[Trade Name] like '%asp' \r\n");
    QTest::newRow("Exactly") << 3 << QStringLiteral("[Trade Name] = 'asp' COLLATE NOCASE \r\n");
}

void SearchTest::matchingOptionsMatchTheirCaptions()
{
    QFETCH(int, option);
    QFETCH(QString, clause);
    const QVector<Row> rows = {{QStringLiteral("Trade Name"), QStringLiteral("asp"), true}};
    QCOMPARE(AdvancedSearch::clauses(rows, AdvancedSearch::MatchOption(option), AdvancedSearch::AllKeywords), clause);
}

// ---------------------------------------------------------------- the window

void SearchTest::windowOpensWithCaptionsIconsAndEmptyValues()
{
    auto window = makeWindow();
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("Trade Drugs"));
    QVERIFY(window->lblTradeName()->text().isEmpty());
    QVERIFY(window->lblSearch()->text().isEmpty());
    QVERIFY(window->lblTooltip()->text().isEmpty());
    QVERIFY(!window->imgTooltip()->isVisible());
    QVERIFY(!window->picAdvanced()->isVisible());

    VbalGrid *grid = window->vbalGrid();
    QCOMPARE(grid->columnCount(), 4);
    QCOMPARE(grid->columnHeader(2), QStringLiteral("Description"));
    QCOMPARE(grid->columnHeader(4), QStringLiteral("Value"));
    QCOMPARE(grid->rowCount(), frmDrugs::DesignRowCount);
    QCOMPARE(grid->cellText(8, 2), QStringLiteral("Therapeutic Equivalence (TE) Code"));
    QCOMPARE(grid->cellText(frmDrugs::ExclusivityRow, 2), QStringLiteral("Exclusivity"));
    QCOMPARE(window->vbalImageList().count(), frmDrugs::DesignRowCount + 1);
    QCOMPARE(grid->cellText(frmDrugs::ProtectionRow, 2), QStringLiteral("Listed protection"));
    for (int row = 1; row <= frmDrugs::DesignRowCount; ++row) {
        QVERIFY(grid->cellText(row, 4).isEmpty());
        QVERIFY(grid->cellIcon(row, 1) >= 1); // a row icon, not the information icon (index 0)
        const bool followable = row == frmDrugs::IngredientsRow || row == frmDrugs::DosageFormRow
            || row == frmDrugs::RouteRow || row == frmDrugs::ApplicationNumberRow || row == frmDrugs::ExclusivityRow
            || row == frmDrugs::ProtectionRow;
        QCOMPARE(grid->cellIcon(row, 3), followable ? 0 : -1);
    }
    QCOMPARE(grid->cellIcon(1, 1), 1); // picture 2
    QCOMPARE(grid->cellIcon(frmDrugs::DesignRowCount, 1), 3); // picture 4

    // Panel defaults: "... Includes ...", "All Keywords", nothing ticked.
    QVERIFY(window->picAdvanced()->optParamSettings(1)->isChecked());
    QVERIFY(window->picAdvanced()->optParamConcat(0)->isChecked());
    for (int i = 0; i < AdvancedSearch::RowCount; ++i) {
        QVERIFY(!window->chkParam(i)->isChecked());
        QVERIFY(window->txtParam(i)->text().isEmpty());
    }
    QCOMPARE(window->picAdvanced()->paramTag(12), QStringLiteral("Route of Administration"));
    QVERIFY(window->chkParam(12)->isVisibleTo(window->picAdvanced()));
    QVERIFY(!window->chkParam(13)->isVisibleTo(window->picAdvanced()));

    // Design names for code and tools, plain names for screen readers.
    for (const char *name : {"txtSearch", "lstSearch", "lblWait", "imgTooltip", "chkParam3", "optParamConcat1",
                             "picBox", "cmdAdvancedSearch"}) {
        QVERIFY2(window->findChild<QWidget *>(QLatin1String(name)), name);
    }
    QVERIFY(window->findChild<KeyList *>(QStringLiteral("lstSearchID")));
    QCOMPARE(window->txtSearch()->accessibleName(), QStringLiteral("Search Trade Drugs"));
    QCOMPARE(window->lstSearch()->accessibleName(), QStringLiteral("Search results"));
    QCOMPARE(window->chkParam(3)->accessibleName(), QStringLiteral("Applicant"));
    QCOMPARE(window->txtParam(12)->accessibleName(), QStringLiteral("Route of Admin"));
}

void SearchTest::emptySearchListsEveryProductInOrder()
{
    auto window = makeWindow();
    QVERIFY(window);
    search(*window, QString());
    HitList *list = window->lstSearch();
    QCOMPARE(list->count(), 45752);
    QCOMPARE(window->lstSearchID()->count(), 45752);
    QCOMPARE(window->lblSearch()->text(), QStringLiteral("45752") + ItemsFound);
    QVERIFY(list->isVisible());
    QVERIFY(window->isEnabled());
    // Every product once, by name, numbers in names as numbers ("ADDERALL 7.5" before
    // "ADDERALL 10"): next lines that differ only in their numbers rise by them.
    QStringList sorted = list->lines();
    QStringList read = queryColumn(QStringLiteral("SELECT [trade name] FROM products"));
    sorted.sort(Qt::CaseInsensitive);
    read.sort(Qt::CaseInsensitive);
    QCOMPARE(sorted, read);
    const QRegularExpression number(QStringLiteral("\\d+"));
    int reordered = 0;
    for (int i = 1; i < list->count(); ++i) {
        const QString a = list->text(i - 1).toLower();
        const QString b = list->text(i).toLower();
        if (QString(a).replace(number, QStringLiteral("#")) != QString(b).replace(number, QStringLiteral("#"))) {
            continue;
        }
        QList<qlonglong> na;
        QList<qlonglong> nb;
        for (auto m = number.globalMatch(a); m.hasNext();) {
            na << m.next().captured().toLongLong();
        }
        for (auto m = number.globalMatch(b); m.hasNext();) {
            nb << m.next().captured().toLongLong();
        }
        if (na > nb) {
            QFAIL(qPrintable(QStringLiteral("numbers out of order at %1: %2 / %3").arg(i).arg(a, b)));
        }
        reordered += QString::compare(a, b) > 0;
    }
    QVERIFY2(reordered > 20, qPrintable(QString::number(reordered))); // the database puts "10" before "7.5"
    // Each key belongs to the line beside it.
    for (const int position : {0, 12345, 45751}) {
        QCOMPARE(productFields(window->lstSearchID()->text(position).toInt()).value(0), list->text(position));
    }
}

void SearchTest::onlyEnterReleasedInTheSearchBoxSearches()
{
    auto window = makeWindow();
    QVERIFY(window);
    window->txtSearch()->setFocus();
    QTest::keyClicks(window->txtSearch(), QStringLiteral("lipitor"));
    QTest::keyClick(window->txtSearch(), Qt::Key_Tab);
    window->txtSearch()->setFocus();
    QTest::keyPress(window->txtSearch(), Qt::Key_Return); // pressed, not yet released
    QCOMPARE(window->lstSearch()->count(), 0);
    QVERIFY(window->lblSearch()->text().isEmpty());

    QTest::keyRelease(window->txtSearch(), Qt::Key_Return);
    const int lipitor = countOf(QStringLiteral("SELECT count(*) FROM products WHERE [trade name] LIKE '%lipitor%'"));
    QVERIFY(lipitor > 0);
    QCOMPARE(window->lstSearch()->count(), lipitor);
    QCOMPARE(window->lblSearch()->text(), QString::number(lipitor) + ItemsFound);
    for (const QString &line : window->lstSearch()->lines()) {
        QVERIFY(line.contains(QLatin1String("LIPITOR"), Qt::CaseInsensitive));
    }
    QVERIFY(window->txtSearch()->hasFocus()); // the user can type on

    // The keypad's Enter searches too.
    window->txtSearch()->setText(QStringLiteral("ZZQX NO SUCH DRUG"));
    QTest::keyClick(window->txtSearch(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(window->lstSearch()->count(), 0);
    QCOMPARE(window->lstSearchID()->count(), 0);
    QCOMPARE(window->lblSearch()->text(), QStringLiteral("0") + ItemsFound);
}

void SearchTest::searchTextsAreSearchedAsTyped()
{
    auto window = makeWindow();
    QVERIFY(window);
    search(*window, QStringLiteral("MEN'S"));
    QVERIFY(window->lstSearch()->lines().contains(QStringLiteral("MEN'S ROGAINE")));
    for (const QString &line : window->lstSearch()->lines()) {
        QVERIFY(line.contains(QLatin1String("MEN'S"), Qt::CaseInsensitive));
    }

    // A typed "%" is a wildcard.
    search(*window, QStringLiteral("rog%ine"));
    QCOMPARE(window->lstSearch()->count(),
             countOf(QStringLiteral("SELECT count(*) FROM products WHERE [trade name] LIKE '%ROG%INE%'")));
    QVERIFY(window->lstSearch()->lines().contains(QStringLiteral("WOMEN'S ROGAINE")));
    QCOMPARE(window->lstSearchID()->count(), window->lstSearch()->count());
}

void SearchTest::choosingAHitShowsItsTwelveFieldsAndTitle()
{
    auto window = makeWindow();
    QVERIFY(window);
    search(*window, QStringLiteral("lipitor"));
    HitList *list = window->lstSearch();
    QVERIFY(list->count() >= 2);

    clickLine(list, 0);
    const qint32 first = window->lstSearchID()->text(0).toInt();
    const QStringList fields = productFields(first);
    QCOMPARE(values(*window), fields);
    QCOMPARE(window->lblTradeName()->text(), productLineOf(first));
    QVERIFY(window->vbalGrid()->isVisible());
    QVERIFY(list->isEnabled());
    QVERIFY(list->hasFocus());

    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(values(*window), productFields(window->lstSearchID()->text(1).toInt()));

    // Setting the position from code behaves like a click on that line.
    list->setCurrentRow(0);
    QCOMPARE(values(*window), fields);

    // A new search selects no line, so no record stays beside it.
    search(*window, QStringLiteral("ZZQX NO SUCH DRUG"));
    QCOMPARE(values(*window), QStringList(ProductFields.size(), QString()));
    QCOMPARE(window->lblTradeName()->text(), QString());
}

void SearchTest::nullFieldsShowEmptyAndTitleKeepsItsSeparators()
{
    auto window = makeWindow();
    QVERIFY(window);
    // Real data: a product with a TE code, then one without.
    const int withCode
        = countOf(QStringLiteral("SELECT min(ID) FROM products WHERE [Therapeutic Equivalence (TE) Code] IS NOT NULL"));
    const int withoutCode
        = countOf(QStringLiteral("SELECT min(ID) FROM products WHERE [Therapeutic Equivalence (TE) Code] IS NULL"));
    window->GetProductDetails(withCode);
    QVERIFY(!window->vbalGrid()->cellText(8, 4).isEmpty());
    window->GetProductDetails(withoutCode);
    QCOMPARE(window->vbalGrid()->cellText(8, 4), QString());
    QCOMPARE(window->vbalGrid()->cellText(1, 4), productFields(withoutCode).value(0));

    // Fixture: a Null strength, and a Null trade name met by the advanced search.
    const QString fixture = m_dir.filePath(QStringLiteral("fixture.mdb"));
    if (!QFile::exists(fixture)) {
        buildFixture(fixture);
    }
    Connection::shared().open(fixture);
    window->GetProductDetails(1);
    QCOMPARE(window->lblTradeName()->text(), QStringLiteral("EXCEDRIN () - NOVARTIS"));
    QCOMPARE(window->vbalGrid()->cellText(3, 4), QString());

    window->chkParam(10)->setChecked(true); // Type, any value
    window->picAdvanced()->optParamSettings(0)->setChecked(true);
    window->PressAdvancedSearchButton();
    QCOMPARE(window->lstSearch()->lines(),
             (QStringList{QString(), QStringLiteral("ANACIN"), QStringLiteral("EXCEDRIN")}));
    QCOMPARE(window->lstSearchID()->lines(),
             (QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("1")}));
    window->lstSearch()->setCurrentRow(0);
    QCOMPARE(window->vbalGrid()->cellText(2, 4), QStringLiteral("MYSTERY"));
    QCOMPARE(window->lblTradeName()->text(), QStringLiteral(" (1MG) - ACME"));
}

void SearchTest::missingKeyKeepsThePreviousDetails()
{
    auto window = makeWindow();
    QVERIFY(window);
    window->GetProductDetails(36390);
    const QStringList shown = values(*window);
    const QString title = window->lblTradeName()->text();
    QVERIFY(title.startsWith(QLatin1String("LIPITOR (")));

    window->GetProductDetails(99999999);
    QCOMPARE(values(*window), shown);
    QCOMPARE(window->lblTradeName()->text(), title);
    QVERIFY(window->vbalGrid()->isVisible());
    QVERIFY(window->lstSearch()->isEnabled());

    window->EmptyTheGrid();
    for (const QString &value : values(*window)) {
        QVERIFY(value.isEmpty());
    }
    QCOMPARE(window->vbalGrid()->cellText(1, 2), QStringLiteral("Trade Name"));
    QCOMPARE(window->lblTradeName()->text(), title);
}

void SearchTest::helpStripFollowsTheGridRow()
{
    auto window = makeWindow();
    QVERIFY(window);
    VbalGrid *grid = window->vbalGrid();
    QTest::mouseClick(grid->itemView()->viewport(), Qt::LeftButton, {}, cellCentre(grid, 3, 2));
    QCOMPARE(window->lblTooltip()->text(),
             QStringLiteral("The potency of the active ingredient.  May repeat for multiple part products."));
    QVERIFY(!window->imgTooltip()->isVisible());

    QTest::keyClick(grid->itemView(), Qt::Key_Down);
    QCOMPARE(window->lblTooltip()->text(), QStringLiteral("The product dosage form."));

    // Escape leaves the rows: no row, the general hint with its icon.
    QTest::keyClick(grid->itemView(), Qt::Key_Escape);
    QCOMPARE(window->lblTooltip()->text(),
             QStringLiteral("             Double click on the INFO icon to get more details about the selected item."));
    QVERIFY(window->imgTooltip()->isVisible());

    QTest::mouseClick(grid->itemView()->viewport(), Qt::LeftButton, {}, cellCentre(grid, frmDrugs::DesignRowCount, 4));
    QVERIFY(window->lblTooltip()->text().contains(QLatin1String("Mmm dd, yyyy.  Products approved prior")));
    QVERIFY(!window->imgTooltip()->isVisible());
}

void SearchTest::pointerMovementTakesTheFocus()
{
    auto window = makeWindow();
    QVERIFY(window);
    search(*window, QStringLiteral("lipitor"));
    window->activateWindow();
    window->txtSearch()->setFocus();
    QVERIFY(QTest::qWaitFor([&] { return window->txtSearch()->hasFocus(); }));

    sendMouseMove(window->lstSearch()->viewport(), QPoint(10, 10));
    QVERIFY(window->lstSearch()->hasFocus());
    QCOMPARE(window->lstSearch()->currentRow(), -1); // the focus alone chooses no hit
    QVERIFY(window->lblTradeName()->text().isEmpty());

    sendMouseMove(window->vbalGrid()->itemView()->viewport(), cellCentre(window->vbalGrid(), 2, 2));
    QVERIFY(window->vbalGrid()->itemView()->hasFocus());
    QVERIFY(window->lblTooltip()->text().isEmpty()); // the drug window's strip follows rows, not the pointer
}

void SearchTest::advancedPanelKeepsItsStateBetweenShowings()
{
    auto window = makeWindow();
    QVERIFY(window);
    QTest::mouseClick(window->Command1(), Qt::LeftButton);
    AdvancedPanel *panel = window->picAdvanced();
    QVERIFY(panel->isVisible());

    QTest::mouseClick(window->chkParam(2), Qt::LeftButton);
    QTest::keyClicks(window->txtParam(2), QStringLiteral("asp"));
    QTest::mouseClick(window->chkParam(10), Qt::LeftButton);
    QTest::keyClicks(window->txtParam(10), QStringLiteral("RX"));
    QTest::mouseClick(panel->optParamSettings(2), Qt::LeftButton);
    QTest::mouseClick(panel->optParamConcat(1), Qt::LeftButton);

    QTest::mouseClick(panel->cmdAdvancedCancel(), Qt::LeftButton);
    QVERIFY(!panel->isVisible());
    QTest::mouseClick(window->Command1(), Qt::LeftButton);
    QVERIFY(panel->isVisible());
    QVERIFY(window->chkParam(2)->isChecked() && window->chkParam(10)->isChecked());
    QVERIFY(!window->chkParam(3)->isChecked());
    QCOMPARE(window->txtParam(2)->text(), QStringLiteral("asp"));
    QCOMPARE(window->txtParam(10)->text(), QStringLiteral("RX"));
    QCOMPARE(panel->matchOption(), AdvancedSearch::EndingWith);
    QCOMPARE(panel->joinOption(), AdvancedSearch::AnyKeyword);

    // A quick search leaves the panel open.
    search(*window, QStringLiteral("lipitor"));
    QVERIFY(panel->isVisible());
    // Choosing a hit closes it and shows the hit.
    clickLine(window->lstSearch(), 0);
    QVERIFY(!panel->isVisible());
    QVERIFY(window->lblTradeName()->text().startsWith(QLatin1String("LIPITOR")));
}

void SearchTest::findListsMatchesAndHidesThePanel()
{
    auto window = makeWindow();
    QVERIFY(window);
    QTest::mouseClick(window->Command1(), Qt::LeftButton);
    // Every RX tablet of one applicant.
    window->chkParam(3)->setChecked(true);
    window->txtParam(3)->setText(QStringLiteral("pfizer"));
    window->chkParam(10)->setChecked(true);
    window->txtParam(10)->setText(QStringLiteral("RX"));
    window->chkParam(11)->setChecked(true);
    window->txtParam(11)->setText(QStringLiteral("TABLET"));
    QTest::mouseClick(window->picAdvanced()->cmdAdvancedSearch(), Qt::LeftButton);

    const int expected = countOf(
        QStringLiteral("SELECT count(*) FROM products WHERE [Applicant Full Name] LIKE '%pfizer%' AND Type LIKE '%RX%'"
                       " AND [Dosage Form] LIKE '%TABLET%'"));
    QVERIFY(expected > 0);
    QCOMPARE(window->lstSearch()->count(), expected);
    QCOMPARE(window->lstSearchID()->count(), expected);
    QCOMPARE(window->lblSearch()->text(), QString::number(expected) + ItemsFound);
    QVERIFY(!window->picAdvanced()->isVisible());
    window->lstSearch()->setCurrentRow(expected - 1);
    QVERIFY(window->vbalGrid()->cellText(7, 4).contains(QLatin1String("PFIZER"), Qt::CaseInsensitive));
    QCOMPARE(window->vbalGrid()->cellText(6, 4), QStringLiteral("RX"));

    // Nothing found: the panel still closes.
    QTest::mouseClick(window->Command1(), Qt::LeftButton);
    window->txtParam(11)->setText(QStringLiteral("NO SUCH FORM"));
    QTest::keyClick(window->txtParam(11), Qt::Key_Return); // Enter in a parameter box finds too
    QCOMPARE(window->lstSearch()->count(), 0);
    QCOMPARE(window->lblSearch()->text(), QStringLiteral("0") + ItemsFound);
    QVERIFY(!window->picAdvanced()->isVisible());
}

void SearchTest::matchingOptionsFindWhatTheCaptionsSay()
{
    auto window = makeWindow();
    QVERIFY(window);
    window->chkParam(2)->setChecked(true);
    window->txtParam(2)->setText(QStringLiteral("rogaine"));

    window->picAdvanced()->optParamSettings(0)->setChecked(true); // "Starting With..."
    window->PressAdvancedSearchButton();
    const QStringList starting = window->lstSearch()->lines();
    QVERIFY(!starting.isEmpty());
    for (const QString &line : starting) {
        QVERIFY2(line.startsWith(QLatin1String("ROGAINE"), Qt::CaseInsensitive), qPrintable(line));
    }

    window->picAdvanced()->optParamSettings(2)->setChecked(true); // "... Ending With"
    window->PressAdvancedSearchButton();
    const QStringList ending = window->lstSearch()->lines();
    QVERIFY(ending.contains(QStringLiteral("MEN'S ROGAINE")));
    for (const QString &line : ending) {
        QVERIFY2(line.endsWith(QLatin1String("ROGAINE"), Qt::CaseInsensitive), qPrintable(line));
    }

    window->picAdvanced()->optParamSettings(3)->setChecked(true); // "Exactly", "%" taken literally
    window->txtParam(2)->setText(QStringLiteral("men's rogaine"));
    window->PressAdvancedSearchButton();
    QCOMPARE(window->lstSearch()->lines(), QStringList{QStringLiteral("MEN'S ROGAINE")});
    window->txtParam(2)->setText(QStringLiteral("%rogaine"));
    window->PressAdvancedSearchButton();
    QCOMPARE(window->lstSearch()->count(), 0);
}

void SearchTest::findWithoutATickedRowRunsNothing()
{
    auto window = makeWindow();
    QVERIFY(window);
    search(*window, QStringLiteral("lipitor"));
    window->lstSearch()->setCurrentRow(0);
    const QStringList before = window->lstSearch()->lines();
    const QStringList keys = window->lstSearchID()->lines();
    const QStringList shown = values(*window);

    QTest::mouseClick(window->Command1(), Qt::LeftButton);
    window->txtParam(2)->setText(QStringLiteral("asp")); // a text, but no tick
    QTest::mouseClick(window->picAdvanced()->cmdAdvancedSearch(), Qt::LeftButton);
    QVERIFY(window->picAdvanced()->isVisible());
    QVERIFY(window->picAdvanced()->lblAdvancedMessage()->text().contains(QLatin1String("Tick at least one")));
    QCOMPARE(window->lstSearch()->lines(), before);
    QCOMPARE(window->lstSearchID()->lines(), keys);
    QCOMPARE(values(*window), shown);
    QCOMPARE(window->lblSearch()->text(), QString::number(before.size()) + ItemsFound);

    // Ticking a row clears the message.
    QTest::mouseClick(window->chkParam(2), Qt::LeftButton);
    QVERIFY(window->picAdvanced()->lblAdvancedMessage()->text().isEmpty());
}

void SearchTest::failingSearchLeavesTheWindowUsable()
{
    auto window = makeWindow();
    QVERIFY(window);
    search(*window, QStringLiteral("lipitor"));
    const QStringList before = window->lstSearch()->lines();
    const QStringList keys = window->lstSearchID()->lines();

    Connection::shared().close(); // the database goes away under the window
    search(*window, QStringLiteral("aspirin"));
    QVERIFY(window->isEnabled());
    QVERIFY(window->lstSearch()->isVisible());
    QVERIFY(window->lblSearch()->text().startsWith(QLatin1String("Search failed: ")));
    QCOMPARE(window->lstSearch()->lines(), before);
    QCOMPARE(window->lstSearchID()->lines(), keys);

    QTest::mouseClick(window->Command1(), Qt::LeftButton);
    window->chkParam(2)->setChecked(true);
    QTest::mouseClick(window->picAdvanced()->cmdAdvancedSearch(), Qt::LeftButton);
    QVERIFY(window->isEnabled());
    QVERIFY(window->picAdvanced()->isVisible()); // open, so the user can try again
    QVERIFY(window->picAdvanced()->lblAdvancedMessage()->text().startsWith(QLatin1String("Search failed: ")));
    QCOMPARE(window->lstSearchID()->count(), window->lstSearch()->count());

    // The details fill skips its failing steps and ends usable.
    window->lstSearch()->setCurrentRow(1);
    QVERIFY(window->vbalGrid()->isVisible());
    QVERIFY(window->lstSearch()->isEnabled());
}

void SearchTest::secondSearchCannotStartWhileOneReads()
{
    auto window = makeWindow();
    QVERIFY(window);
    QTest::mouseClick(window->Command1(), Qt::LeftButton);
    window->chkParam(2)->setChecked(true);
    window->txtParam(2)->setText(QStringLiteral("aspirin"));
    // Queued calls: they would run only if a search let window messages through.
    QMetaObject::invokeMethod(
        window.get(), [&] { window->PressAdvancedSearchButton(); }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(window->cmdSearch(), "click", Qt::QueuedConnection);
    search(*window, QStringLiteral("lipitor"));

    QVERIFY(window->picAdvanced()->isVisible()); // the advanced search did not run
    QVERIFY(!window->isSearching());
    const QStringList hits = window->lstSearch()->lines();
    QVERIFY(!hits.isEmpty());
    for (const QString &line : hits) {
        QVERIFY(line.contains(QLatin1String("LIPITOR")));
    }
    QCOMPARE(window->lstSearchID()->count(), hits.size());
}

void SearchTest::doubleClickFollowsOnlyRowsWithTheInformationIcon()
{
    RecordingDrugs window(&m_host);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.GetProductDetails(36390);
    VbalGrid *grid = window.vbalGrid();

    doubleClickCell(grid, 4, 4); // value cell
    doubleClickCell(grid, 2, 2); // caption cell
    doubleClickCell(grid, 1, 4); // trade name: nowhere to go
    doubleClickCell(grid, 6, 3);
    doubleClickCell(grid, 10, 3); // information icon

    const QStringList fields = productFields(36390);
    // The NDA row names the application's kind before its number.
    const QList<QPair<int, QString>> expected
        = {{4, fields[3]}, {2, fields[1]}, {10, QStringLiteral("NDA ") + fields[9]}};
    QCOMPARE(window.followed, expected);
}

// A text no value is as long as is refused with a message and sends no statement (a
// pasted 32,767 characters made the pattern too complex for the database); the
// details read for drawn lines stay a bounded few however many lines were drawn.
void SearchTest::overlongTextsAreRefusedAndDetailsStayBounded()
{
    auto window = makeWindow();
    search(*window, QStringLiteral("lipitor"));
    const QStringList lipitor = window->lstSearch()->lines();
    for (const QString &text : {QString(MaxSearchText + 1, QLatin1Char('%')), QString(32767, QChar(0xe9))}) {
        search(*window, text);
        QVERIFY(window->lblSearch()->text().contains(QStringLiteral("too long")));
        QCOMPARE(window->lstSearch()->lines(), lipitor);
    }
    search(*window, QString(MaxSearchText, QLatin1Char('%'))); // the longest text taken: everything
    QCOMPARE(window->lstSearch()->count(), 45752);

    QTest::mouseClick(window->Command1(), Qt::LeftButton);
    window->txtParam(3)->setText(QString(MaxSearchText + 1, QLatin1Char('A')));
    window->chkParam(3)->setChecked(true);
    window->txtParam(2)->setText(QStringLiteral("lipitor"));
    window->chkParam(2)->setChecked(true);
    QTest::mouseClick(window->picAdvanced()->cmdAdvancedSearch(), Qt::LeftButton);
    QVERIFY(window->picAdvanced()->isVisible());
    QVERIFY(window->picAdvanced()->lblAdvancedMessage()->text().contains(QStringLiteral("\"Applicant\" is too long")));
    QCOMPARE(window->lstSearch()->count(), 45752);
    window->chkParam(3)->setChecked(false); // an unticked row's text plays no part
    QTest::mouseClick(window->picAdvanced()->cmdAdvancedSearch(), Qt::LeftButton);
    QCOMPARE(window->lstSearch()->lines(), lipitor);

    search(*window, QString());
    HitList *list = window->lstSearch();
    for (int row = 0; row < list->count(); row += 50) {
        list->detail(row);
        QVERIFY(list->keptDetails() <= 4096);
    }
    QVERIFY(!list->detail(45000).isEmpty());
}

// Letters beyond ASCII sort beside their plain forms whatever their case, numbers as
// numbers; a list already in order is kept as it is (no copy).
void SearchTest::nonAsciiAndNumberedLinesSortAsPeopleRead()
{
    const auto ordered = [](const QStringList &lines) {
        QString sql = QStringLiteral("SELECT x FROM (");
        for (int i = 0; i < lines.size(); ++i) {
            sql += (i ? QStringLiteral(" UNION ALL ") : QString())
                + QStringLiteral("SELECT '%1' AS x, %2 AS k").arg(SqlText::quoteSqlText(lines.at(i))).arg(i);
        }
        const SharedListRows rows
            = readSharedList(sql + QStringLiteral(") ORDER BY k"), QStringLiteral("x"), QString(), [] {});
        const SharedListRows sorted = inNaturalOrder(rows);
        return std::pair{sorted->lines(), sorted == rows};
    };
    const struct
    {
        QStringList read;
        QStringList expected;
    } cases[] = {
        {{"ZETA", "émile", "Éclair", "eagle", "ÉMILE 10", "émile 9"},
         {"eagle", "Éclair", "émile", "émile 9", "ÉMILE 10", "ZETA"}},
        {{"STRASSE 10", "straße 2", "Straße 1"}, {"Straße 1", "straße 2", "STRASSE 10"}},
        {{"ΩΜΕΓΑ", "άλφα 20", "ΑΛΦΑ 3"}, {"ΑΛΦΑ 3", "άλφα 20", "ΩΜΕΓΑ"}},
        {{"EQ 100MG", "EQ 25MG", "EQ 5MG", "eq 50mg"}, {"EQ 5MG", "EQ 25MG", "eq 50mg", "EQ 100MG"}},
        {{"10005783", "7000000", "8513263*PED"}, {"7000000", "8513263*PED", "10005783"}},
    };
    for (const auto &c : cases) {
        const auto [lines, same] = ordered(c.read);
        QCOMPARE(lines, c.expected);
        QVERIFY(!same);
        QVERIFY(ordered(c.expected).second); // already in order: the very same rows
    }
}

void SearchTest::layoutGrowsWithTheWindow()
{
    auto window = makeWindow();
    QVERIFY(window);
    const auto at
        = [&window](const QWidget *control) { return QRect(control->mapTo(window.get(), QPoint()), control->size()); };
    window->resize(740, 469);
    QCOMPARE(at(window->vbalGrid()), QRect(240, 40, 489, 385));
    QCOMPARE(at(window->lblTooltip()), QRect(240, 424, 481, 41));
    // The whole advanced panel fits, FIND included.
    const QRect panel = at(window->picAdvanced());
    QVERIFY(panel.contains(at(window->picAdvanced()->cmdAdvancedSearch())));

    window->resize(1000, 700); // the grid, its title and strip grow; the list grows in height
    const QRect grid = at(window->vbalGrid());
    QCOMPARE(grid, QRect(240, 40, 749, 616));
    QCOMPARE(at(window->picAdvanced()), grid);
    QVERIFY(grid.contains(at(window->lblWait())));
    // The typing option between the buttons and the list.
    QCOMPARE(at(window->chkTyping()), QRect(8, 56, 217, 17));
    QCOMPARE(at(window->lstSearch()), QRect(8, 76, 217, 579));
    QCOMPARE(at(window->lblTooltip()), QRect(240, 655, 741, 41));
    QCOMPARE(at(window->txtSearch()), QRect(8, 8, 217, 25));

    // The splitter widens the list at the grid's cost, never below the panel's width;
    // the width is kept for the next window of this kind.
    window->splitter()->setSizes({400, 592});
    QCOMPARE(at(window->lstSearch()).width(), 385);
    QCOMPARE(at(window->vbalGrid()).left(), 408);
    window->splitter()->setSizes({900, 92});
    QVERIFY(window->vbalGrid()->width() >= window->picAdvanced()->cmdAdvancedSearch()->geometry().right());
    QVERIFY(at(window->picAdvanced()).contains(at(window->picAdvanced()->cmdAdvancedSearch())));
    window->splitter()->setSizes({300, 692});
    emit window->splitter()->splitterMoved(300, 1);
    QTRY_VERIFY(Common::userSettings()->value(QStringLiteral("Trade Drugs/listWidth")).toInt() == 300);
    auto next = makeWindow();
    next->resize(1000, 700);
    QCOMPARE(next->lstSearch()->width(), 285);

    // The first size shows every row of the grid.
    QVERIFY(window->sizeHint().height() - 84 >= window->vbalGrid()->fullHeight());
}

void SearchTest::catalogueMakesTheDrugWindow()
{
    QVERIFY(SearchWindows::provides(0));
    QVERIFY(!SearchWindows::provides(6));
    std::unique_ptr<QWidget> window(SearchWindows::create(0, &m_host));
    QVERIFY(SearchWindows::asDrugs(window.get()));
    QCOMPARE(window->windowTitle(), QStringLiteral("Trade Drugs"));
    QWidget other;
    QVERIFY(!SearchWindows::asDrugs(&other));
    QVERIFY(!SearchWindows::create(6, &m_host));
}

QTEST_MAIN(SearchTest)
