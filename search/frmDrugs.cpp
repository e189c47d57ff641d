#include "search/frmDrugs.h"

#include "search/AdvancedPanel.h"
#include "search/HitList.h"
#include "search/Navigation.h"
#include "search/NaturalOrder.h"
#include "search/KeyList.h"
#include "common/AppError.h"
#include "common/Commands.h"
#include "data/Database.h"
#include "layout/Schema.h"
#include "search/SearchWindows.h"
#include "components/VbalGrid.h"
#include "data/Protection.h"
#include "search/ProtectionTimeline.h"

#include <QLabel>

#include <QLabel>

namespace Search {

namespace {

QString icon(const char *name)
{
    return QStringLiteral(":/icons/grid/") + QLatin1String(name) + QStringLiteral(".png");
}

QString protectionHelp()
{
    return QStringLiteral(
        "What the FDA's patent and exclusivity lists say of this product, as of the release date of the data. "
        "Counted: its patents without a delist request and its exclusivities except PC and CGT (180-day and "
        "competitive-generic exclusivities of ANDAs, shown on the ANDA) and W (not published). Listed protection "
        "ends at the latest of them. Substance and product protection ends at the latest drug-substance or "
        "drug-product patent (with its pediatric extension *PED) and NCE or change exclusivity (NP, NS, NDF, NR, NC, "
        "NE, RTO, with its PED or GAIN); after it only method-of-use patents and use-specific exclusivities (ODE, I, "
        "M, D, NPP) remain. Status: None listed; Ended (every date before the release date); Protected. The marketed "
        "A-rated ANDAs of the same ingredient, dosage form, route and strength are a fact beside it. This is not the "
        "date a generic can be sold: patent challenges, litigation, settlements, 30-month stays and carved-out "
        "labels are not in the FDA's files, and later releases can move dates later. Double click for the "
        "product's timeline.");
}

} // namespace

SearchWindowDesign frmDrugs::windowDesign()
{
    namespace P = Schema::Products;
    SearchWindowDesign d;
    d.caption = QStringLiteral("Trade Drugs");
    d.sqlWindow = Db::SqlText::Window::Drugs;
    d.listField = QString(P::TradeName);
    d.keyField = QString(P::ID);
    // Lines of one trade name (four LIPITOR) tell themselves apart by strength, form and applicant;
    // the reference listed drug and the reference standard are marked.
    d.lineDetails = lineDetailReader(Db::SqlText::Window::Drugs, drugLineDetail);

    // Picture 1 is the information icon, 2 to 14 one per row.
    d.images = {icon("information"),         icon("drugs/trade-name"), icon("drugs/type"),
                icon("drugs/approval-date"), icon("drugs/applicant"),  icon("drugs/ingredients"),
                icon("drugs/strength"),      icon("drugs/te-code"),    icon("drugs/dosage-form"),
                icon("drugs/route"),         icon("drugs/rld"),        icon("drugs/product-number"),
                icon("drugs/nda-number"),    icon("exclusivity/code"), icon("patent/expire-date")};
    d.tooltipImage = icon("information");

    d.columns = {
        {QStringLiteral("icon"), QString(), 36, true, false},
        {QStringLiteral("Description"), QStringLiteral("Description"), 100, false, true},
        {QStringLiteral("Details"), QStringLiteral("Details"), 50, true, false},
        {QStringLiteral("Value"), QStringLiteral("Value"), 200, false, true},
    };
    d.iconColumn = 1;
    d.captionColumn = 2;
    d.infoColumn = 3;
    d.valueColumn = ValueColumn;
    d.infoImage = 1;

    d.rows = {
        {QStringLiteral("Trade Name"), QString(P::TradeName), 2, false,
         QStringLiteral("The trade name of the product as shown on the labeling.")},
        {QStringLiteral("Ingredients"), QString(P::Ingredient), 6, true,
         QStringLiteral("The active ingredient(s) for the product. Multiple ingredients are in alphabetical order "
                        "separated by a semicolon.")},
        {QStringLiteral("Strength"), QString(P::Strength), 7, false,
         QStringLiteral("The potency of the active ingredient.  May repeat for multiple part products.")},
        {QStringLiteral("Dosage Form"), QString(P::DosageForm), 9, true, QStringLiteral("The product dosage form.")},
        {QStringLiteral("Route of Administration"), QString(P::Route), 10, true,
         QStringLiteral("The product Route of Administration.")},
        {QStringLiteral("Type"), QString(P::Type), 3, false,
         QStringLiteral("The group or category of approved drugs.  Format is RX (Script), OTC (Over The Counter), "
                        "DISCN (Discontinued).")},
        {QStringLiteral("Applicant"), QString(P::Applicant), 5, false,
         QStringLiteral("The full name of the firm holding legal responsibility for the new drug application.")},
        {QStringLiteral("Therapeutic Equivalence (TE) Code"), QString(P::TECode), 8, false,
         QStringLiteral("The TE Code indicates the therapeutic equivalence rating of generic to innovator Rx "
                        "products.  A codes (AA, AB, AN, AO, AP, AT) mean the FDA rates the product therapeutically "
                        "equivalent to the other products of the same ingredients, dosage form, route and strength "
                        "that carry the same code; B codes (BC, BD, BP, BX, ...) mean it does not.  A number after "
                        "the code (AB1, AB2) sets apart reference drugs of one strength that are not equivalent to "
                        "each other: AB1 products are equivalent to AB1 products only.  A product may carry several "
                        "codes (AB1,AB2).  The code's meaning follows it.")},
        {QStringLiteral("Product Number"), QString(P::ProductNumber), 12, false,
         QStringLiteral("The FDA assigned number to identify the application products. Each strength is a separate "
                        "product.  May repeat for multiple part products. Format is nnn.")},
        {QStringLiteral("New Drug Application (NDA) Number"), QString(P::NDANumber), 13, true,
         QStringLiteral("The FDA assigned number to the application. Format is nnnnnn.  NDA: a New Drug "
                        "Application, an innovator's product; ANDA: an Abbreviated New Drug Application, a generic "
                        "shown equivalent to a listed drug.  Double click for the application's patents.")},
        // Not a product column: the window fills it from the exclusivity table.
        {QStringLiteral("Exclusivity"), QStringLiteral("Exclusivity"), 14, true,
         QStringLiteral("The exclusivities the FDA granted this product, each with the date it ends; \"None\" when it "
                        "has none. Double click to see every exclusivity of the application.")},
        // Not a product column: computed from the product's patent and exclusivity rows.
        {QStringLiteral("Listed protection"), QStringLiteral("Listed protection"), 15, true, protectionHelp()},
        {QStringLiteral("Reference Listed Drug (RLD)"), QString(P::RLD), 11, false,
         QStringLiteral("The pioneer or innovator of the drug.  The RLD identifies the product Abbreviated New Drug "
                        "Applications (ANDA) use as a reference.  Format is Yes or No.")},
        {QStringLiteral("Approval Date"), QString(P::ApprovalDate), 4, false,
         QStringLiteral("The date the product was approved as stated in the FDA approval letter to the applicant.  "
                        "The format is Mmm dd, yyyy.  Products approved prior to the January 1, 1982 contain the "
                        "phrase: 'Approved prior to Jan 1, 1982'.")},
        // Not a product column: the patent records of this product alone.
        {QStringLiteral("Patents of this product"), QStringLiteral("Patents of this product"), 13, true,
         QStringLiteral("The patent records the FDA lists for this product itself, with how many patents they name. "
                        "Double click to see them.")},
        // Not a product column: the marketed products that share this one's rating.
        {QStringLiteral("Substitutable products"), QStringLiteral("Substitutable products"), 8, true,
         QStringLiteral("The marketed products a pharmacist may dispense for this one: the same ingredients, dosage "
                        "form, route and strength, and one of its A codes exactly (AB1 is not AB2, AB is not AP).  "
                        "None for a discontinued product, a product without a TE code, or one with B codes only.  "
                        "Double click to list them, this product among them.")},
        {QStringLiteral("Reference Standard (RS)"), QString(P::RS), 11, false,
         QStringLiteral("The drug product the FDA selected as the standard that generic applicants must use in "
                        "their in vivo bioequivalence studies.  Format is Yes or No.")},
        {QStringLiteral("FDA Note"), QString(P::StrengthNote), 7, false,
         QStringLiteral("The FDA's note on the product, written after its strength in the FDA's list.")},
    };

    d.helpStrip = HelpStrip::RowHelp;
    d.hint = QStringLiteral("             Double click on the INFO icon to get more details about the selected item.");
    d.tooltipBesideIcon = false;

    d.parameterRows = AdvancedSearch::rowDesigns({
        {"ID", "ID"},
        {"Ingredient", "Ingredient"},
        {"Trade Name", "Trade Name"},
        {"Applicant", "Applicant Full Name"},
        {"Strength", "Strength"},
        {"NDA Number", "New Drug Application (NDA) Number"},
        {"Product Number", "Product Number"},
        {"TE Code", "Therapeutic Equivalence (TE) Code"},
        {"Approval Date", "Approval Date"},
        {"RLD", "Reference Listed Drug (RLD)"},
        {"Type", "Type"},
        {"Dosage Form", "Dosage Form"},
        {"Route of Admin", "Route of Administration"},
    });
    return d;
}

frmDrugs::frmDrugs(WindowHost *host, QWidget *parent)
    : SearchWindow(windowDesign(), host, parent)
{
    setObjectName(QStringLiteral("frmDrugs"));
    showLastRows(0); // the rows after the design's come with a product that needs them
}

void frmDrugs::GetProductDetails(qint32 id)
{
    fillRecordDetails(id);
    fillProductFields(id);
    fillExclusivityRow();
    fillTECodeRow();
    fillProtectionRow(id);
}

void frmDrugs::showHit(int position)
{
    SearchWindow::showHit(position);
    fillProductFields(lstSearchID()->key(position));
    fillExclusivityRow();
    fillTECodeRow();
    fillProtectionRow(lstSearchID()->key(position));
}

void frmDrugs::EmptyTheGrid()
{
    SearchWindow::EmptyTheGrid();
    showLastRows(0);
    m_productId = 0;
}

QString frmDrugs::teCode() const
{
    const QString text = vbalGrid()->cellText(TECodeRow, ValueColumn);
    const qsizetype meaning = text.indexOf(QLatin1String(" ("));
    return meaning < 0 ? text : text.left(meaning);
}

void frmDrugs::fillTECodeRow()
{
    const QString codes = teCode();
    if (codes.isEmpty()) {
        return;
    }
    // Codes of one meaning are named together: "AB1,AB2 (Therapeutically equivalent: ...)".
    QStringList meanings;
    runDetailsFill([&] {
        Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::teCodeMeanings(codes));
        Db::RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            const QString meaning = Db::fieldText(rowSet.field(1));
            if (!meaning.isEmpty() && !meanings.contains(meaning)) {
                meanings.append(meaning);
            }
        }
    });
    if (meanings.isEmpty()) {
        return; // a database without the table: the code alone
    }
    Common::runSkippingFailure([&] {
        vbalGrid()->setCell(TECodeRow, ValueColumn,
                            codes + QStringLiteral(" (") + meanings.join(QStringLiteral(" / ")) + QLatin1Char(')'),
                            Components::CellFlags::TextCell);
    });
}

QString frmDrugs::substitutesText(const QString &type, const QString &teCodes, qint64 others)
{
    if (type.compare(QLatin1String("DISCN"), Qt::CaseInsensitive) == 0) {
        return QStringLiteral("None: discontinued");
    }
    QStringList a, b;
    for (const QString &code : teCodes.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString c = code.trimmed().toUpper();
        (c.startsWith(QLatin1Char('A')) ? a : b).append(c);
    }
    if (a.isEmpty() && !b.isEmpty()) {
        return QStringLiteral("None: %1, not rated equivalent").arg(b.join(QLatin1Char(',')));
    }
    if (a.isEmpty()) {
        return type.compare(QLatin1String("OTC"), Qt::CaseInsensitive) == 0
            ? QStringLiteral("None: no TE code (OTC products are not rated)")
            : QStringLiteral("None: no TE code (single source: no other product rated equivalent)");
    }
    const QString shared = a.size() == 1
        ? a.first()
        : QStringList(a.mid(0, a.size() - 1)).join(QStringLiteral(", ")) + QStringLiteral(" or ") + a.last();
    if (others == 0) {
        return QStringLiteral("None: no other marketed product rated %1").arg(shared);
    }
    return QStringLiteral("%1 %2 %3")
        .arg(others)
        .arg(others == 1 ? QStringLiteral("product shares") : QStringLiteral("products share"))
        .arg(shared);
}

bool frmDrugs::listSubstitutes()
{
    const qint32 id = m_productId;
    if (id == 0 || isSearching()) {
        return false;
    }
    // Name and strength: the count line is two lines high.
    const QString product
        = QStringLiteral("%1 (%2)").arg(vbalGrid()->cellText(1, ValueColumn), vbalGrid()->cellText(3, ValueColumn));
    const QString codes = teCode();
    const QString how = QStringLiteral("substitutable for %1: marketed, same ingredients, form, route and strength, "
                                       "TE code %2")
                            .arg(product, codes);
    if (!listHits(Db::SqlText::substitutes(id), how)) {
        return false;
    }
    picAdvanced()->hide();
    const int own = lstSearchID()->indexOf(id);
    lstSearch()->setCurrentRow(own < 0 ? 0 : own); // shows the line, as a click on it does
    return true;
}

void frmDrugs::showLastRows(int count)
{
    Components::VbalGrid &grid = *vbalGrid();
    // The details fill may have made these rows (a value cell set) without their captions.
    const int rows = DesignRowCount + count;
    grid.setRowCount(rows);
    for (int r = DesignRowCount + 1; r <= rows; ++r) {
        setupGridRow(r);
    }
}

QString frmDrugs::applicationText(const QString &type, const QString &number)
{
    if (number.isEmpty()) {
        return number;
    }
    if (type.compare(QLatin1String("N"), Qt::CaseInsensitive) == 0) {
        return QStringLiteral("NDA ") + number;
    }
    if (type.compare(QLatin1String("A"), Qt::CaseInsensitive) == 0) {
        return QStringLiteral("ANDA ") + number;
    }
    return number;
}

QString frmDrugs::applicationNumber() const
{
    QString text = vbalGrid()->cellText(ApplicationNumberRow, ValueColumn);
    for (const QLatin1String kind : {QLatin1String("NDA "), QLatin1String("ANDA ")}) {
        if (text.startsWith(kind)) {
            return text.mid(kind.size());
        }
    }
    return text;
}

void frmDrugs::fillProductFields(qint64 id)
{
    namespace P = Schema::Products;
    if (id == Db::ListRows::NoKey || id != qint32(id)) {
        return;
    }
    // A database built before these columns were kept lacks them: its rows show nothing.
    std::optional<QVariant> type, rs, note;
    QString application, product, marketing, teCodes;
    runDetailsFill([&] {
        Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::details(Db::SqlText::Window::Drugs, qint32(id)));
        Db::RowSetCloser closer(rowSet);
        if (rowSet.eof()) {
            return;
        }
        application = Db::fieldText(rowSet.field(QString(P::NDANumber)));
        product = Db::fieldText(rowSet.field(QString(P::ProductNumber)));
        marketing = Db::fieldText(rowSet.field(QString(P::Type)));
        teCodes = Db::fieldText(rowSet.field(QString(P::TECode)));
        Common::runSkippingFailure([&] { type = rowSet.field(QString(P::ApplicationType)); });
        Common::runSkippingFailure([&] { rs = rowSet.field(QString(P::RS)); });
        Common::runSkippingFailure([&] { note = rowSet.field(QString(P::StrengthNote)); });
    });
    QString patents;
    if (!application.isEmpty()) {
        runDetailsFill([&] {
            Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::patentCoverage(application, product));
            Db::RowSetCloser closer(rowSet);
            const qint64 records = rowSet.eof() ? 0 : rowSet.field(0).toLongLong();
            const qint64 numbers = records == 0 ? 0 : rowSet.field(1).toLongLong();
            patents = records == 0 ? QStringLiteral("None")
                                   : QStringLiteral("%1 %2 of %3 %4")
                                         .arg(records)
                                         .arg(records == 1 ? QStringLiteral("record") : QStringLiteral("records"))
                                         .arg(numbers)
                                         .arg(numbers == 1 ? QStringLiteral("patent") : QStringLiteral("patents"));
        });
    }
    m_productId = qint32(id);
    // Only a marketed product with an A code can have substitutes: the others say why not.
    qint64 others = 0;
    QString substitutes;
    runDetailsFill([&] {
        if (substitutesText(marketing, teCodes, 1).startsWith(QLatin1String("None"))) {
            substitutes = substitutesText(marketing, teCodes, 0);
            return;
        }
        Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::substituteCount(qint32(id)));
        Db::RowSetCloser closer(rowSet);
        others = rowSet.eof() ? 0 : rowSet.field(0).toLongLong();
        substitutes = substitutesText(marketing, teCodes, others);
    });
    const QString noteText = note ? Db::fieldText(*note) : QString();
    showLastRows(!noteText.isEmpty() ? 4 : rs ? 3 : 2);
    Common::runSkippingFailure([&] {
        if (type) {
            vbalGrid()->setCell(ApplicationNumberRow, ValueColumn, applicationText(Db::fieldText(*type), application),
                                Components::CellFlags::TextCell);
        }
        vbalGrid()->setCell(ProductPatentsRow, ValueColumn, patents, Components::CellFlags::TextCell);
        vbalGrid()->setCell(SubstitutesRow, ValueColumn, substitutes, Components::CellFlags::TextCell);
        if (rs) {
            vbalGrid()->setCell(ReferenceStandardRow, ValueColumn, Db::fieldText(*rs), Components::CellFlags::TextCell);
        }
        if (!noteText.isEmpty()) {
            vbalGrid()->setCell(NoteRow, ValueColumn, noteText, Components::CellFlags::TextCell);
        }
    });
}

void frmDrugs::fillExclusivityRow()
{
    // The product's own codes with their end dates; else how many the application's
    // other products have. A database without the table leaves the row empty.
    QString value;
    runDetailsFill([&] {
        const QString application = applicationNumber();
        const QString product = vbalGrid()->cellText(ProductNumberRow, ValueColumn);
        if (application.isEmpty()) {
            return;
        }
        QStringList own;
        {
            Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::productExclusivities(application, product));
            Db::RowSetCloser closer(rowSet);
            for (; !rowSet.eof(); rowSet.moveNext()) {
                const QString date = rowSet.field(1).toString();
                own.append(rowSet.field(0).toString()
                           + (date.isEmpty() ? QString() : QStringLiteral(" until ") + date));
            }
        }
        if (!own.isEmpty()) {
            // In the order the exclusivity window lists them.
            std::stable_sort(own.begin(), own.end(),
                             [](const QString &a, const QString &b) { return compareNatural(a, b) < 0; });
            value = own.join(QStringLiteral("; "));
            return;
        }
        qint64 others = 0;
        {
            Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::exclusivityCount(application));
            Db::RowSetCloser closer(rowSet);
            others = rowSet.eof() ? 0 : rowSet.field(0).toLongLong();
        }
        value = others == 0
            ? QStringLiteral("None")
            : QStringLiteral("None for this product; %1 for other products of the application").arg(others);
    });
    Common::runSkippingFailure(
        [&] { vbalGrid()->setCell(ExclusivityRow, ValueColumn, value, Components::CellFlags::TextCell); });
}

void frmDrugs::fillProtectionRow(qint64 id)
{
    QString value;
    bool shown = true;
    runDetailsFill([&] {
        const QString application = applicationNumber();
        const QString product = vbalGrid()->cellText(ProductNumberRow, ValueColumn);
        if (application.isEmpty() || product.isEmpty() || id == Db::ListRows::NoKey) {
            return;
        }
        const std::optional<Db::Protection::ProductReading> reading
            = Db::Protection::readProductSummary(id, application, product);
        if (!reading) {
            shown = false; // a key without a product changes nothing
            return;
        }
        value = Db::Protection::summaryText(reading->figures) + QStringLiteral(". ")
            + Db::Protection::genericsText(reading->generics) + QLatin1Char('.');
        if (!reading->release.isValid()) {
            value += QStringLiteral(" (The database does not say its release date: no status.)");
        }
    });
    if (shown) {
        Common::runSkippingFailure(
            [&] { vbalGrid()->setCell(ProtectionRow, ValueColumn, value, Components::CellFlags::TextCell); });
    }
}

void frmDrugs::PressAdvancedSearchButton()
{
    advancedSearch();
}

QString frmDrugs::productLine(const QString &tradeName, const QString &strength, const QString &applicant)
{
    return tradeName + QStringLiteral(" (") + strength + QStringLiteral(") - ") + applicant;
}

std::optional<QString> frmDrugs::detailsTitle(const RecordValues &record) const
{
    namespace P = Schema::Products;
    return productLine(record.text(QString(P::TradeName)), record.text(QString(P::Strength)),
                       record.text(QString(P::Applicant)));
}

QString frmDrugs::followCaption(int row) const
{
    if (row < 1 || row > vbalGrid()->rowCount() || vbalGrid()->cellText(row, ValueColumn).isEmpty()) {
        return {};
    }
    switch (row) {
    case IngredientsRow:
        return QStringLiteral("Show products with these ingredients");
    case DosageFormRow:
        return QStringLiteral("Show this dosage form");
    case RouteRow:
        return QStringLiteral("Show this route of administration");
    case ApplicationNumberRow:
        return QStringLiteral("Show the patents of this application");
    case ProductPatentsRow:
        return vbalGrid()->cellText(row, ValueColumn) == QLatin1String("None")
            ? QString()
            : QStringLiteral("Show the patents of this product");
    case ExclusivityRow:
        return QStringLiteral("Show the exclusivities of this application");
    case SubstitutesRow:
        return vbalGrid()->cellText(row, ValueColumn).startsWith(QLatin1String("None"))
            ? QString()
            : QStringLiteral("List the substitutable products");
    case ProtectionRow:
        return QStringLiteral("Show the timeline of this product");
    default:
        return {};
    }
}

void frmDrugs::vbalGrid_DblClick(int row, int)
{
    if (row < 1 || row > vbalGrid()->rowCount() || !design().rows.at(row - 1).followable) {
        return;
    }
    followDetailRow(row, vbalGrid()->cellText(row, ValueColumn));
}

void frmDrugs::followDetailRow(int row, const QString &valueText)
{
    if (row == SubstitutesRow) {
        if (!valueText.isEmpty() && !valueText.startsWith(QLatin1String("None"))) {
            listSubstitutes();
        }
        return;
    }
    if (!host()) {
        return;
    }
    switch (row) {
    case IngredientsRow:
        Navigation::showIngredientProducts(*host(), valueText);
        break;
    case DosageFormRow:
        Navigation::findInRecordWindow(*host(), Common::DosageForm, valueText);
        break;
    case RouteRow:
        Navigation::findInRecordWindow(*host(), Common::Route, valueText);
        break;
    case ApplicationNumberRow:
        Navigation::findPatentsOfApplication(*host(), applicationNumber(),
                                             vbalGrid()->cellText(ProductNumberRow, ValueColumn));
        break;
    case ProductPatentsRow:
        Navigation::findPatentsOfProduct(*host(), applicationNumber(),
                                         vbalGrid()->cellText(ProductNumberRow, ValueColumn));
        break;
    case ExclusivityRow:
        Navigation::findExclusivitiesOfProduct(*host(), applicationNumber(),
                                               vbalGrid()->cellText(ProductNumberRow, ValueColumn));
        break;
    case ProtectionRow:
        showProtectionTimeline(*host(), this, lblTradeName()->text(), applicationNumber(),
                               vbalGrid()->cellText(ProductNumberRow, ValueColumn));
        break;
    default:
        break;
    }
}

} // namespace Search
