#pragma once

// The lookup windows inside the real main window (its ribbon and its command table),
// on the real data: a fresh main window for every test, and the real products, patents
// and vocabularies the tests name.

#include "WindowTestSupport.h"
#include "app/MdiBackdropArea.h"
#include "app/frmMainForm.h"
#include "ribbon/ZetRibbon.h"
#include "search/AdvancedSearch.h"

#include <QApplication>
#include <QCheckBox>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace MainWindowTest {

using namespace WindowTest;

inline const QStringList VocabularyFields = {QString(Schema::Vocabulary::Name),
                                             QString(Schema::Vocabulary::Definition),
                                             QString(Schema::Vocabulary::UseRestrictions),
                                             QString(Schema::Vocabulary::ShortName),
                                             QString(Schema::Vocabulary::FdaCode),
                                             QString(Schema::Vocabulary::NciConceptId)};
inline const QStringList PatentFields = {QString(Schema::Patent::PatentNumber),  QString(Schema::Patent::ExpireDate),
                                         QString(Schema::Patent::NDANumber),     QString(Schema::Patent::ProductNumber),
                                         QString(Schema::Patent::SubstanceFlag), QString(Schema::Patent::ProductFlag),
                                         QString(Schema::Patent::UseCode)};

// Real products: LIPITOR (TABLET, ORAL, application 020702); VITRAKVI (application
// 210861, which patent 10005783 covers in two of its three records); M.V.C. 9+3, one
// of the four products of a thirteen-ingredient combination with a quote in it.
constexpr qint32 Lipitor = 36390;
constexpr qint32 Vitrakvi = 6519;
constexpr qint32 VitaminCombination = 13241;
inline const QString VitaminIngredients = QStringLiteral(
    "ASCORBIC ACID; BIOTIN; CYANOCOBALAMIN; DEXPANTHENOL; ERGOCALCIFEROL; FOLIC ACID; NIACINAMIDE; PYRIDOXINE "
    "HYDROCHLORIDE; RIBOFLAVIN 5'-PHOSPHATE SODIUM; THIAMINE HYDROCHLORIDE; VITAMIN A; VITAMIN E");

inline QStringList parameterTicks(const SearchWindow &window)
{
    QStringList ticked;
    for (int i = 0; i < AdvancedSearch::RowCount; ++i) {
        if (window.chkParam(i)->isChecked()) {
            ticked << QString::number(i);
        }
    }
    return ticked;
}

// True when no message box or other modal window came up.
inline bool noMessageBox()
{
    if (QApplication::activeModalWidget()) {
        return false;
    }
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows) {
        if (widget->isVisible() && qobject_cast<QMessageBox *>(widget)) {
            return false;
        }
    }
    return true;
}

// Four tables as kvostrel.mdb has them, with patent records the real data lacks: one
// without a number.
inline void buildPatentFixture(const QString &path)
{
    createDatabase(
        path,
        referenceTables()
            + QStringList{
                QStringLiteral("INSERT INTO patent VALUES (1, '5000001', 'Jan 1, 2030', '000111', '001', 'Y', NULL,"
                               " 'U-1'), (2, NULL, 'Feb 2, 2031', '000222', '002', NULL, 'Y', NULL)"),
            });
}

} // namespace MainWindowTest

class MainWindowFixture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

protected:
    Search::SearchWindow *open(int command);
    void clickRibbonButton(const QString &id);
    // The child window in front.
    QWidget *activeWindow() const;

    std::unique_ptr<App::frmMainForm> m_main;
    QTemporaryDir m_dir;
};
