// The substitutes of a product: the examples, the definition on every product, the
// list a double click makes and the marks of its references.
#include "tst_search.h"

using namespace SearchFixture;

void SearchTest::substitutesFollowTheExamples_data()
{
    QTest::addColumn<qint32>("product");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QList<qint64>>("listed");
    QTest::addColumn<QList<qint64>>("notListed");
    // PROCARDIA XL 30MG (AB2) and 8 ANDAs; the AB1 products of the strength are apart.
    QTest::newRow("nifedipine AB2") << qint32(25465) << QStringLiteral("8 products share AB2") << QList<qint64>{25465}
                                    << QList<qint64>{};
    // PROVENTIL-HFA is AB1, PROAIR HFA AB2: apart; VENTOLIN HFA is BX.
    QTest::newRow("albuterol AB1") << qint32(110) << QStringLiteral("2 products share AB1") << QList<qint64>{110}
                                   << QList<qint64>{108, 124};
    QTest::newRow("albuterol AB2") << qint32(108) << QStringLiteral("2 products share AB2") << QList<qint64>{108}
                                   << QList<qint64>{110, 124};
    QTest::newRow("albuterol BX") << qint32(124) << QStringLiteral("None: BX, not rated equivalent") << QList<qint64>{}
                                  << QList<qint64>{};
    // Levothyroxine 0.025MG: the AB2 product and the AB4 product each share with the
    // products coded AB1,AB2,AB3,AB4, never with each other.
    QTest::newRow("levothyroxine AB2") << qint32(32679) << QString() << QList<qint64>{32679} << QList<qint64>{36247};
    QTest::newRow("levothyroxine AB4") << qint32(36247) << QString() << QList<qint64>{36247} << QList<qint64>{32679};
    // Methylphenidate extended-release capsules 10MG: AB1, AB2 and AB3 are three groups.
    QTest::newRow("methylphenidate AB1") << qint32(1431) << QStringLiteral("2 products share AB1")
                                         << QList<qint64>{1431, 1202, 1207} << QList<qint64>{1185, 561};
    QTest::newRow("methylphenidate AB2") << qint32(1185) << QStringLiteral("3 products share AB2")
                                         << QList<qint64>{1185, 1212, 1218, 1224} << QList<qint64>{1431, 561};
    QTest::newRow("methylphenidate AB3") << qint32(561) << QStringLiteral("1 product shares AB3")
                                         << QList<qint64>{561, 1191} << QList<qint64>{1431, 1185};
}

void SearchTest::substitutesFollowTheExamples()
{
    QFETCH(qint32, product);
    QFETCH(QString, row);
    QFETCH(QList<qint64>, listed);
    QFETCH(QList<qint64>, notListed);
    auto window = makeWindow();
    QVERIFY(window);
    window->GetProductDetails(product);
    const QString shown = window->vbalGrid()->cellText(frmDrugs::SubstitutesRow, frmDrugs::ValueColumn);
    if (!row.isEmpty()) {
        QCOMPARE(shown, row);
    }
    const QList<qint64> keys = substituteKeys(product);
    if (!listed.isEmpty()) {
        QCOMPARE(shown, frmDrugs::substitutesText(QStringLiteral("RX"), window->teCode(), keys.size() - 1));
    }
    for (const qint64 key : listed) {
        QVERIFY2(keys.contains(key), qPrintable(QString::number(key)));
    }
    for (const qint64 key : notListed) {
        QVERIFY2(!keys.contains(key), qPrintable(QString::number(key)));
    }
    // The TE code row names the code, then its meaning.
    QVERIFY2(window->vbalGrid()
                 ->cellText(frmDrugs::TECodeRow, frmDrugs::ValueColumn)
                 .contains(
                     QLatin1String(row.contains(QLatin1String("BX")) ? " (Not rated equivalent" : " (Therapeutically")),
             qPrintable(window->vbalGrid()->cellText(frmDrugs::TECodeRow, frmDrugs::ValueColumn)));

    // Why a product has none: no code (single source, or OTC), or discontinued.
    const int noCode = countOf(QStringLiteral("SELECT min(ID) FROM products WHERE [Type] = 'RX' AND "
                                              "[Therapeutic Equivalence (TE) Code] IS NULL"));
    const int otc = countOf(QStringLiteral("SELECT min(ID) FROM products WHERE [Type] = 'OTC' AND "
                                           "[Therapeutic Equivalence (TE) Code] IS NULL"));
    const int discontinued = countOf(QStringLiteral("SELECT min(ID) FROM products WHERE [Type] = 'DISCN'"));
    const std::pair<int, QString> none[]
        = {{noCode, QStringLiteral("None: no TE code (single source: no other product rated equivalent)")},
           {otc, QStringLiteral("None: no TE code (OTC products are not rated)")},
           {discontinued, QStringLiteral("None: discontinued")}};
    for (const auto &[id, text] : none) {
        window->GetProductDetails(id);
        QCOMPARE(window->vbalGrid()->cellText(frmDrugs::SubstitutesRow, frmDrugs::ValueColumn), text);
        QVERIFY(substituteKeys(id).isEmpty());
    }
}

void SearchTest::substitutesAreSymmetricAndMeetTheDefinitionOnEveryProduct()
{
    // An independent reading: every product's fields, grouped here by the definition.
    struct Product
    {
        QString key; // ingredients, form, route, strength, letter case ignored
        QStringList aCodes;
        bool marketed = false;
    };
    const ProgramRows rows = queryProgramConnection(
        QStringLiteral("SELECT ID, [ingredient], [Dosage Form], [Route of Administration], [Strength], [Type], "
                       "[Therapeutic Equivalence (TE) Code] FROM products"));
    QVERIFY(rows.ok);
    QHash<qint64, Product> products;
    QHash<QString, QList<qint64>> byKey;
    for (const QVariantList &r : rows.rows) {
        Product p;
        p.key = QStringList{fieldText(r.value(1)), fieldText(r.value(2)), fieldText(r.value(3)), fieldText(r.value(4))}
                    .join(QLatin1Char('\n'))
                    .toUpper();
        const QString type = fieldText(r.value(5)).toUpper();
        p.marketed = type == QLatin1String("RX") || type == QLatin1String("OTC");
        for (const QString &code : fieldText(r.value(6)).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (code.trimmed().toUpper().startsWith(QLatin1Char('A'))) {
                p.aCodes << code.trimmed().toUpper();
            }
        }
        const qint64 id = r.value(0).toLongLong();
        products.insert(id, p);
        byKey[p.key] << id;
    }
    QCOMPARE(products.size(), 45752);
    const auto substitutable = [&](const Product &a, const Product &b) {
        if (!a.marketed || !b.marketed || a.key != b.key) {
            return false;
        }
        for (const QString &code : a.aCodes) {
            if (b.aCodes.contains(code)) {
                return true;
            }
        }
        return false;
    };
    QSet<std::pair<qint64, qint64>> pairs;
    int checked = 0;
    for (auto it = products.cbegin(); it != products.cend(); ++it) {
        const QList<qint64> found = substituteKeys(qint32(it.key()));
        QSet<qint64> expected;
        for (const qint64 other : byKey.value(it->key)) {
            if (substitutable(*it, products.value(other))) {
                expected.insert(other);
            }
        }
        QCOMPARE(QSet<qint64>(found.begin(), found.end()), expected);
        for (const qint64 other : found) {
            pairs.insert({it.key(), other});
        }
        ++checked;
    }
    for (const auto &[a, b] : pairs) {
        QVERIFY2(pairs.contains({b, a}), qPrintable(QStringLiteral("%1 -> %2 only").arg(a).arg(b)));
    }
    QCOMPARE(checked, 45752);
}

void SearchTest::doubleClickListsTheSubstitutesWithTheProductSelected()
{
    auto window = makeWindow();
    QVERIFY(window);
    window->GetProductDetails(36391); // LIPITOR EQ 20MG BASE, the RLD
    const QString row = window->vbalGrid()->cellText(frmDrugs::SubstitutesRow, frmDrugs::ValueColumn);
    QVERIFY2(row.endsWith(QLatin1String(" products share AB")), qPrintable(row));
    const int others = row.section(QLatin1Char(' '), 0, 0).toInt();
    QVERIFY(others > 0);
    doubleClickCell(window->vbalGrid(), frmDrugs::SubstitutesRow, frmDrugs::ValueColumn);
    QCOMPARE(window->lstSearch()->count(), others + 1);
    QVERIFY2(window->lblSearch()->text().startsWith(
                 QStringLiteral("%1 Item(s) Found: substitutable for LIPITOR").arg(others + 1)),
             qPrintable(window->lblSearch()->text()));
    QVERIFY(window->lblSearch()->text().contains(QLatin1String("TE code AB")));
    QCOMPARE(window->lstSearchID()->key(window->lstSearch()->currentRow()), qint64(36391));
    QVERIFY(window->lblTradeName()->text().startsWith(QLatin1String("LIPITOR (EQ 20MG BASE)")));
    QCOMPARE(window->txtSearch()->text(), QString());
}

// A list of substitutes as the user sees and hears it: every line marketed, of the
// product's strength and code, and the reference listed drug (RLD) and reference
// standard (RS) among them marked in the line's detail and in what a screen reader reads.
void SearchTest::substituteListsMarkTheirReferences_data()
{
    QTest::addColumn<qint32>("product");
    QTest::addColumn<QStringList>("lines"); // name and applicant; empty: not checked
    QTest::addColumn<QStringList>("marked"); // name: marks
    // LIPITOR EQ 20MG BASE: its 31 atorvastatin tablets of the strength, less the 7
    // discontinued and the one rated BX (UMEDICA), and itself, the RLD.
    const QString a = QStringLiteral("ATORVASTATIN CALCIUM ");
    QTest::newRow("LIPITOR 20MG") << qint32(36391)
                                  << QStringList{a + "ACCORD HEALTHCARE INC",
                                                 a + "AGNITIO INC",
                                                 a + "ALKEM LABORATORIES LTD",
                                                 a + "APOTEX INC",
                                                 a + "AUROBINDO PHARMA LTD",
                                                 a + "BIOCON PHARMA LTD",
                                                 a + "DR REDDYS LABORATORIES LTD",
                                                 a + "DR REDDYS LABORATORIES LTD",
                                                 a + "GRAVITI PHARMACEUTICALS PRIVATE LTD",
                                                 a + "HETERO LABS LTD UNIT V",
                                                 a + "LANNETT CO INC",
                                                 a + "LAURUS LABS LTD",
                                                 a + "MACLEODS PHARMACEUTICALS LTD",
                                                 a + "MANKIND PHARMA LTD",
                                                 a + "MICRO LABS LTD INDIA",
                                                 a + "MSN LABORATORIES PRIVATE LTD",
                                                 a + "MYLAN PHARMACEUTICALS INC",
                                                 a + "SANDOZ INC",
                                                 a + "SCIEGEN PHARMACEUTICALS INC",
                                                 a + "SHANDONG XINHUA PHARMACEUTICAL CO LTD",
                                                 a + "SUN PHARMACEUTICAL INDUSTRIES LTD",
                                                 a + "TEVA PHARMACEUTICALS USA",
                                                 a + "ZYDUS PHARMACEUTICALS USA INC",
                                                 QStringLiteral("LIPITOR UPJOHN MANUFACTURING IRELAND UNLTD")}
                                  << QStringList{QStringLiteral("LIPITOR: RLD")};
    // LIPITOR 80MG is its strength's reference standard as well.
    QTest::newRow("LIPITOR 80MG") << qint32(36393) << QStringList{} << QStringList{QStringLiteral("LIPITOR: RLD, RS")};
    // Budesonide rectal foam: the brand is the RLD, a generic the RS.
    QTest::newRow("UCERIS foam") << qint32(2)
                                 << QStringList{QStringLiteral("BUDESONIDE PADAGIS ISRAEL PHARMACEUTICALS LTD"),
                                                QStringLiteral("UCERIS SALIX PHARMACEUTICALS INC")}
                                 << QStringList{QStringLiteral("BUDESONIDE: RS"), QStringLiteral("UCERIS: RLD")};
}

void SearchTest::substituteListsMarkTheirReferences()
{
    QFETCH(qint32, product);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, marked);
    auto window = makeWindow();
    QVERIFY(window);
    window->GetProductDetails(product);
    const QString strength = window->vbalGrid()->cellText(3, frmDrugs::ValueColumn);
    const QString code = window->teCode();
    QVERIFY(window->listSubstitutes());
    const HitList &list = *window->lstSearch();
    QStringList shown, marks;
    for (int i = 0; i < list.count(); ++i) {
        // The marks lead, so a narrow list still shows them.
        QStringList parts = list.detail(i).split(QStringLiteral(" \u00b7 "));
        const QStringList lead = parts.mid(0, parts.size() - 5);
        parts = parts.mid(lead.size());
        QCOMPARE(parts.value(0), strength);
        QCOMPARE(parts.value(3), QStringLiteral("RX"));
        QCOMPARE(parts.value(4), code);
        shown << list.text(i) + QLatin1Char(' ') + parts.value(2);
        if (!lead.isEmpty()) {
            marks << list.text(i) + QStringLiteral(": ") + lead.join(QStringLiteral(", "));
        }
        QCOMPARE(list.model()->index(i, 0).data(Qt::AccessibleTextRole).toString(),
                 list.text(i) + QStringLiteral(", ") + list.detail(i));
    }
    if (!lines.isEmpty()) {
        QCOMPARE(shown, lines);
    }
    QCOMPARE(marks, marked);
}
