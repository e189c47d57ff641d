#pragma once

// The drug window and its search on the real data and a small hand-made database:
// the fixtures and the test class shared by its two sources.

#include "search/AdvancedPanel.h"
#include "common/UserSettings.h"
#include "search/AdvancedSearch.h"
#include "data/Database.h"
#include "search/HitList.h"
#include "search/KeyList.h"
#include "search/NaturalOrder.h"
#include "search/SearchWindows.h"
#include "components/VbalGrid.h"
#include "WindowTestSupport.h"
#include "search/frmDrugs.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

using namespace Db;
using namespace Components;
using namespace Search;

using namespace WindowTest;

namespace SearchFixture {

using AdvancedSearch::Row;

// Records where a double click in the grid would lead.
class RecordingDrugs : public frmDrugs
{
public:
    using frmDrugs::frmDrugs;
    QList<QPair<int, QString>> followed;

protected:
    void followDetailRow(int row, const QString &valueText) override { followed.append({row, valueText}); }
};

inline void clickLine(HitList *list, int position)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(position, 0)).center());
}

// A small reference database for exact cases the real data lacks (a Null strength,
// a Null trade name).
inline void buildFixture(const QString &path)
{
    createDatabase(
        path,
        referenceTables()
            + QStringList{
                QStringLiteral(
                    "INSERT INTO products (ID, [trade name], ingredient, Strength, [Applicant Full Name], Type)"
                    " VALUES (1, 'EXCEDRIN', 'ASPIRIN;CAFFEINE', NULL, 'NOVARTIS', 'OTC'),"
                    " (2, NULL, 'MYSTERY', '1MG', 'ACME', 'RX'),"
                    " (3, 'ANACIN', 'ASPIRIN', '400MG', 'PFIZER', 'OTC')"),
            });
}

} // namespace SearchFixture

class SearchTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // The statement builder.
    void tickedRowsJoinInRowOrderWithBlankAndLineBreak();
    void matchingOptionsMatchTheirCaptions_data();
    void matchingOptionsMatchTheirCaptions();
    void sortedHitsComeInTheOrderTheIndexGives();

    // The drug window on the real data.
    void windowOpensWithCaptionsIconsAndEmptyValues();
    void emptySearchListsEveryProductInOrder();
    void onlyEnterReleasedInTheSearchBoxSearches();
    void searchTextsAreSearchedAsTyped();
    void choosingAHitShowsItsTwelveFieldsAndTitle();
    void nullFieldsShowEmptyAndTitleKeepsItsSeparators();
    void missingKeyKeepsThePreviousDetails();
    void helpStripFollowsTheGridRow();
    void pointerMovementTakesTheFocus();
    void advancedPanelKeepsItsStateBetweenShowings();
    void findListsMatchesAndHidesThePanel();
    void matchingOptionsFindWhatTheCaptionsSay();
    void findWithoutATickedRowRunsNothing();
    void failingSearchLeavesTheWindowUsable();
    void secondSearchCannotStartWhileOneReads();
    void doubleClickFollowsOnlyRowsWithTheInformationIcon();
    void layoutGrowsWithTheWindow();
    void overlongTextsAreRefusedAndDetailsStayBounded();
    void nonAsciiAndNumberedLinesSortAsPeopleRead();
    void catalogueMakesTheDrugWindow();

    // Substitutable products.
    void substitutesFollowTheExamples_data();
    void substitutesFollowTheExamples();
    void substitutesAreSymmetricAndMeetTheDefinitionOnEveryProduct();
    void doubleClickListsTheSubstitutesWithTheProductSelected();
    void substituteListsMarkTheirReferences_data();
    void substituteListsMarkTheirReferences();

private:
    std::unique_ptr<frmDrugs> makeWindow();

    NoWindows m_host;
    QTemporaryDir m_dir;
};

namespace SearchFixture {

// The keys of a product's substitutes as their statement lists them.
inline QList<qint64> substituteKeys(qint32 id)
{
    QList<qint64> keys;
    for (const QString &key : queryColumn(QStringLiteral("SELECT ID FROM (%1)")
                                              .arg(SqlText::substitutes(id).chopped(1)))) { // without the closing ";"
        keys << key.toLongLong();
    }
    return keys;
}

} // namespace SearchFixture
