// What kvostrel-import stores: every field of every FDA record, the text encodings,
// the strength notes, the older layouts, the reference files it finds itself.
#include "tst_kvostrel_import.h"

using namespace KvostrelImportFixture;

void KvostrelImportTest::strengthNotesAreSplitOffAndNewFieldsKept_data()
{
    QTest::addColumn<QByteArray>("strength");
    QTest::addColumn<QString>("stored"); // Strength|Strength Note
    QTest::newRow("no note") << QByteArray("325MG") << QStringLiteral("325MG|<null>");
    QTest::newRow("blanks") << QByteArray(" EQ 10MG BASE  ") << QStringLiteral("EQ 10MG BASE|<null>");
    QTest::newRow("note") << QByteArray("10MG **Federal Register determination**")
                          << QStringLiteral("10MG|Federal Register determination");
    QTest::newRow("cut short") << QByteArray("EQ 100MG BASE/ML **Federal Register determination that product*")
                               << QStringLiteral("EQ 100MG BASE/ML|Federal Register determination that product");
    QTest::newRow("no closing stars") << QByteArray("0.025MG **See current Annual Edition")
                                      << QStringLiteral("0.025MG|See current Annual Edition");
    QTest::newRow("two notes") << QByteArray("0.05MG **See current Annual Edition **Federal Register**")
                               << QStringLiteral("0.05MG|See current Annual Edition; Federal Register");
    QTest::newRow("note alone") << QByteArray("**Indicated for use with X**")
                                << QStringLiteral("<null>|Indicated for use with X");
}

void KvostrelImportTest::strengthNotesAreSplitOffAndNewFieldsKept()
{
    QFETCH(QByteArray, strength);
    QFETCH(QString, stored);
    const Workspace work;
    writeFiles(work.dir,
               {{QStringLiteral("fda/products.txt"),
                 "Ingredient~DF;Route~Trade_Name~Applicant~Strength~Appl_Type~Appl_No~Product_No~TE_Code~"
                 "Approval_Date~RLD~RS~Type~Applicant_Full_Name\r\n"
                 "ASPIRIN~TABLET;ORAL~BAYER~BAYER HLTHCARE~"
                     + strength + "~A~076477~001~AB~Jan 2, 2020~No~Yes~RX~BAYER HEALTHCARE LLC"}});
    const Run run = runImport(work.dir, QStringLiteral("fda"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(rows(work.database,
                  QStringLiteral("SELECT Strength, [Strength Note], [Application Type], Applicant,"
                                 " [Reference Standard (RS)], [Applicant Full Name] FROM products")),
             (QStringList{QStringLiteral("Strength|Strength Note|Application Type|Applicant|Reference Standard "
                                         "(RS)|Applicant Full Name"),
                          stored + QStringLiteral("|A|BAYER HLTHCARE|Yes|BAYER HEALTHCARE LLC")}));
}

void KvostrelImportTest::patentListOfTheOlderLayoutStillImports()
{
    const Workspace work;
    writeFiles(work.dir,
               {{QStringLiteral("fda/patent.txt"),
                 "Appl_No~Product_No~Patent_No~Patent_Expire_Date_Text~"
                 "Drug_Substance_Flag~Drug_Product_Flag~Patent_Use_Code\n"
                 "012345~001~7625884~Aug 24, 2026~~~U-141"}});
    const Run run = runImport(work.dir, QStringLiteral("fda"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(rows(work.database,
                  QStringLiteral("SELECT [Patent Number], [Application Type], [Delist Flag],"
                                 " [Submission Date] FROM patent")),
             (QStringList{QStringLiteral("Patent Number|Application Type|Delist Flag|Submission Date"),
                          QStringLiteral("7625884|<null>|<null>|<null>")}));
}

void KvostrelImportTest::folderInputIsStoredColumnByColumn()
{
    const Workspace work;
    const QString &db = work.database;
    const Run run = runImport(work.dir, QStringLiteral("fda"), db);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    QCOMPARE(
        rows(db, QStringLiteral("SELECT * FROM products ORDER BY ID")),
        (QStringList{
            QStringLiteral("ID|trade name|ingredient|Strength|Dosage Form|Route of Administration|Type|Applicant Full "
                           "Name|Therapeutic Equivalence (TE) Code|Product Number|New Drug Application (NDA) "
                           "Number|Reference Listed Drug (RLD)|Approval Date|Application Type|Applicant|Reference "
                           "Standard (RS)|Strength Note"),
            // A product list of the older layout: no application type, short name nor RS.
            QStringLiteral("1|café tablet|ASPIRIN|325MG|TABLET|ORAL|RX|ACME LABS|AB|001|012345|Yes|Jan 2, 2020|"
                           "<null>|<null>|<null>|<null>"),
            QStringLiteral("2|PAM \"25\"|IBUPROFEN; FAMOTIDINE|<null>|INJECTABLE|INTRAVENOUS;SUBCUTANEOUS|DISCN|<null>|"
                           "<null>|002|000002|No|Approved Prior to Jan 1, 1982|<null>|<null>|<null>|<null>"),
            QStringLiteral("3|Bayer|ASPIRIN|81MG|CRYSTAL, MAGIC|<null>|OTC|BAYER|<null>|003|000003|<null>|<null>|"
                           "<null>|<null>|<null>|<null>")}));
    QCOMPARE(
        rows(db, QStringLiteral("SELECT * FROM patent ORDER BY ID")),
        (QStringList{QStringLiteral("ID|Patent Number|Patent Expire Date|New Drug Application (NDA) Number|Product "
                                    "Number|Drug Substance Flag|Drug Product Flag|Patent Use Code|Application "
                                    "Type|Delist Flag|Submission Date"),
                     QStringLiteral("1|7625884|Aug 24, 2026|012345|001|<null>|<null>|U-141|N|<null>|<null>"),
                     QStringLiteral("2|RE41234|Feb 1, 2027|000002|002|Y|Y|<null>|N|Y|Mar 3, 2003")}));
    const QString vocabularyHeader
        = QStringLiteral("ID|name|DEFINITION|USE RESTRICTIONS|SHORT NAME|FDA CODE|NCI CONCEPT ID");
    // The vocabulary's terms, then the values of products that are none: a listing
    // spelling carries its terms' definitions and codes; the others have none and are
    // named in one warning line.
    QCOMPARE(rows(db, QStringLiteral("SELECT * FROM [dosage form] ORDER BY ID")),
             (QStringList{vocabularyHeader, QStringLiteral("1|TABLET|A solid dosage form.|<null>|TAB|500|C42998"),
                          QStringLiteral("2|EXTRA\u2011AMNIOTIC FOAM|<null>|<null>|<null>|<null>|C00001"),
                          QStringLiteral("3|CRYSTAL, MAGIC|<null>|<null>|<null>|<null>|<null>"),
                          QStringLiteral("4|INJECTABLE|The FDA product list's wording for TABLET + EXTRA\u2011AMNIOTIC "
                                         "FOAM. TABLET: A solid dosage form.|<null>|<null>|500|C42998; C00001")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT * FROM [route of administration]")),
             (QStringList{vocabularyHeader, QStringLiteral("1|ORAL|By mouth.|<null>|ORAL|1|C38288"),
                          QStringLiteral("2|INTRAVENOUS;SUBCUTANEOUS|<null>|<null>|<null>|<null>|<null>")}));
    // The Latin-1 trade name is told of, then the values without definition.
    const QStringList warnings = run.err.split(QLatin1Char('\n')).filter(QStringLiteral("warning"));
    QCOMPARE(warnings.size(), 2);
    QVERIFY2(warnings[0].contains(QStringLiteral("/fda/products.txt, line 2: text that is not UTF-8")),
             qPrintable(run.err));
    QVERIFY2(warnings[1].startsWith(QStringLiteral("kvostrel-import: warning: 2 values of products.txt"))
                 && warnings[1].endsWith(
                     QStringLiteral(": dosage form \"CRYSTAL, MAGIC\", route \"INTRAVENOUS;SUBCUTANEOUS\"")),
             qPrintable(run.err));

    // Every text column ignores letter case in comparisons, order by and like.
    QCOMPARE(rows(db, QStringLiteral("SELECT ID FROM products WHERE [trade name] = 'BAYER' OR [Type] = 'rx'")),
             (QStringList{QStringLiteral("ID"), QStringLiteral("1"), QStringLiteral("3")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT ID FROM products ORDER BY [trade name]")),
             (QStringList{QStringLiteral("ID"), QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT ID FROM patent WHERE [Patent Number] = 're41234'")).size(), 2);

    // Rollback-journal format (header bytes 18 and 19 are 1, WAL would be 2), and
    // nothing left beside the database.
    QCOMPARE(fileContent(db).mid(18, 2), QByteArray("\x01\x01"));
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
}

void KvostrelImportTest::zipInputGivesTheSameDatabaseAsTheFolder()
{
    const Workspace work;
    const QDir &dir = work.dir;
    // A repacked archive: the files in a subfolder, exclusivity.txt beside them.
    writeZip(dir.filePath(QStringLiteral("release.zip")), dir,
             {{QStringLiteral("2024-11/products.txt"), QStringLiteral("fda/products.txt")},
              {QStringLiteral("2024-11/patent.txt"), QStringLiteral("fda/patent.txt")},
              {QStringLiteral("2024-11/Exclusivity.TXT"), QStringLiteral("fda/exclusivity.txt")}});
    const QString fromFolder = dir.filePath(QStringLiteral("folder.mdb"));
    const QString fromZip = dir.filePath(QStringLiteral("zip.mdb"));
    QCOMPARE(runImport(dir, QStringLiteral("fda"), fromFolder).exitCode, 0);
    const Run run = runImport(dir, QStringLiteral("release.zip"), fromZip);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    for (const auto &[table, lines] : {std::pair{"products", 4}, {"patent", 3}, {"exclusivity", 4}}) {
        const QString sql = QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(QLatin1String(table));
        QCOMPARE(rows(fromZip, sql), rows(fromFolder, sql));
        QCOMPARE(rows(fromZip, sql).size(), lines); // column names and every record
    }
}

void KvostrelImportTest::eachFieldIsReadAsUtf8WhereValidElseAsWindows1252_data()
{
    QTest::addColumn<QByteArray>("records"); // trade name and applicant, one record per line
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("warning"); // empty: none

    QTest::newRow("UTF-8 only") << QByteArray("CAF\xC3\x89~M\xC3\xBCLLER") << QStringList{QStringLiteral("CAFÉ|MüLLER")}
                                << QString();
    QTest::newRow("Latin-1 on a later line")
        << QByteArray("CAF\xC3\x89~ACME\r\nTABLET~M\xFCLLER\r\nPILL~\xC3\x89TOILE")
        << QStringList{QStringLiteral("CAFÉ|ACME"), QStringLiteral("TABLET|MüLLER"), QStringLiteral("PILL|ÉTOILE")}
        << QStringLiteral("products.txt, line 3: text that is not UTF-8, read as Windows-1252");
    QTest::newRow("both in one line, Windows-1252 quotes")
        << QByteArray("\x93"
                      "CAF\xC9\x94~CAF\xC3\x89")
        << QStringList{QStringLiteral("\u201CCAFÉ\u201D|CAFÉ")}
        << QStringLiteral("products.txt, line 2: text that is not UTF-8");
    QTest::newRow("a UTF-8 sequence cut in the middle")
        << QByteArray("CAF\xC3~ACME") << QStringList{QStringLiteral("CAFÃ|ACME")}
        << QStringLiteral("products.txt, line 2: text that is not UTF-8");
}

void KvostrelImportTest::eachFieldIsReadAsUtf8WhereValidElseAsWindows1252()
{
    QFETCH(QByteArray, records);
    QFETCH(QStringList, stored);
    QFETCH(QString, warning);

    const Workspace work;
    QByteArray file = "Trade_Name~Applicant_Full_Name~Ingredient~DF;Route~Strength~Appl_No~Product_No~TE_Code~"
                      "Approval_Date~RLD~Type";
    for (const QByteArray &line : records.split('\n')) {
        file += "\r\n" + line.chopped(line.endsWith('\r') ? 1 : 0) + "~A~TABLET;ORAL~1MG~000001~001~~~No~RX";
    }
    writeFiles(work.dir, {{QStringLiteral("fda/products.txt"), file}});
    const Run run = runImport(work.dir, QStringLiteral("fda"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(rows(work.database, QStringLiteral("SELECT [trade name], [Applicant Full Name] FROM products ORDER BY ID"))
                 .mid(1),
             stored);
    const QStringList warnings = run.err.split(QLatin1Char('\n')).filter(QStringLiteral("not UTF-8"));
    QCOMPARE(warnings.size(), warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty()) {
        QVERIFY2(warnings[0].startsWith(QStringLiteral("kvostrel-import: warning: ")
                                        + work.dir.filePath(QStringLiteral("fda/")) + warning),
                 qPrintable(run.err));
    }
}

void KvostrelImportTest::bundledReleaseGivesEveryFdaRecord()
{
    QTemporaryDir tmp;
    const QDir dir(fdaDataDir);
    const QString db = QDir(tmp.path()).filePath(QStringLiteral("kvostrel.mdb"));
    const Run run = runImport(dir, bundledZip, db);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    const QStringList counts
        = rows(db,
               QStringLiteral("SELECT (SELECT count(*) FROM products), (SELECT count(*) FROM patent),"
                              " (SELECT count(*) FROM [dosage form]),"
                              " (SELECT count(*) FROM [route of administration])"));
    // The vocabularies' 157 and 112 terms, then 44 and 46 other values of products.
    QCOMPARE(counts.value(1), QStringLiteral("45752|19705|201|158"));
    // The release the data is: the FDA wrote products.txt of this one on 8 November 2024.
    QCOMPARE(rows(db, QStringLiteral("SELECT [Release Date] FROM [release]")).mid(1),
             QStringList{QStringLiteral("Nov 8, 2024")});
    QVERIFY2(!run.err.contains(QStringLiteral("warning")), qPrintable(run.err));
    // The first line of products.txt, and a trade name the FDA writes in quotes.
    QCOMPARE(rows(db, QStringLiteral("SELECT * FROM products WHERE ID IN (1, 3743)")).mid(1),
             (QStringList{
                 QStringLiteral("1|BUDESONIDE|BUDESONIDE|2MG/ACTUATION|AEROSOL, FOAM|RECTAL|RX|PADAGIS ISRAEL "
                                "PHARMACEUTICALS LTD|AB|001|215328|No|Apr 12, 2023|A|PADAGIS ISRAEL|Yes|<null>"),
                 QStringLiteral("3743|HY-PAM \"25\"|HYDROXYZINE PAMOATE|EQ 25MG HYDROCHLORIDE|CAPSULE|ORAL|DISCN|"
                                "TEVA PHARMACEUTICALS USA INC|<null>|001|088713|No|Mar 4, 1985|A|TEVA|No|<null>")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT count(*) FROM products WHERE [Therapeutic Equivalence (TE) Code] IS NULL"))
                 .value(1),
             QStringLiteral("25017"));
    // products.txt line 481 pads its strength with a tab, which is dropped.
    QCOMPARE(rows(db, QStringLiteral("SELECT Strength FROM products WHERE ID = 480")).value(1),
             QStringLiteral("EQ 20MG BASE"));
}

void KvostrelImportTest::bundledReleaseGivesEveryProductValueItsOwnVocabularyRow()
{
    QTemporaryDir tmp;
    const QString db = QDir(tmp.path()).filePath(QStringLiteral("kvostrel.mdb"));
    const Run run = runImport(QDir(fdaDataDir), bundledZip, db);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QList<QStringList> listing = bundledTsv(QStringLiteral("listing_terms.tsv"));

    const struct
    {
        QString kind, table, column, file;
        int values;
        QStringList withoutDefinition; // the vocabulary itself has none for these
    } vocabularies[] = {{QStringLiteral("dosage form"),
                         QStringLiteral("dosage form"),
                         QStringLiteral("Dosage Form"),
                         QStringLiteral("dosage_forms.tsv"),
                         118,
                         {QStringLiteral("SYSTEM")}},
                        {QStringLiteral("route"),
                         QStringLiteral("route of administration"),
                         QStringLiteral("Route of Administration"),
                         QStringLiteral("routes.tsv"),
                         80,
                         {}}};
    for (const auto &v : vocabularies) {
        const QList<QStringList> terms = bundledTsv(v.file);
        QMap<QString, QStringList> term; // upper-case name -> name, definition, ..., nci_concept_id
        for (const QStringList &t : terms) {
            term.insert(t[0].toUpper(), t);
        }
        QMap<QString, QStringList> row; // upper-case name -> ID, name, DEFINITION, ..., NCI CONCEPT ID
        const QStringList table = rows(db, QStringLiteral("SELECT * FROM [%1] ORDER BY ID").arg(v.table)).mid(1);
        for (const QString &line : table) {
            const QStringList fields = line.split(QLatin1Char('|'));
            QVERIFY2(!row.contains(fields[1].toUpper()), qPrintable(v.table + QStringLiteral(": two rows ") + line));
            row.insert(fields[1].toUpper(), fields);
            // The vocabulary's own terms keep their IDs, 1..n in file order.
            if (fields[0].toInt() <= terms.size()) {
                QCOMPARE(fields[1], terms[fields[0].toInt() - 1][0]);
            }
        }

        // Every value of products has its own row, with a definition.
        const QStringList values
            = rows(db, QStringLiteral("SELECT DISTINCT [%1] FROM products WHERE [%1] IS NOT NULL").arg(v.column))
                  .mid(1);
        QCOMPARE(values.size(), v.values);
        QStringList withoutDefinition;
        for (const QString &value : values) {
            QVERIFY2(row.contains(value.toUpper()), qPrintable(v.table + QStringLiteral(": no row ") + value));
            if (row[value.toUpper()][2] == QStringLiteral("<null>")) {
                withoutDefinition << value;
            }
        }
        QCOMPARE(withoutDefinition, v.withoutDefinition);

        // A row that stands for terms gives each term's definition, and their codes.
        const auto checkTerms = [&](const QStringList &fields, QStringList names) {
            names.removeDuplicates();
            QStringList codes, concepts;
            for (const QString &name : names) {
                QVERIFY2(term.contains(name.toUpper()), qPrintable(fields[1] + QStringLiteral(": no term ") + name));
                const QStringList &t = term[name.toUpper()];
                QVERIFY2(t[1].isEmpty() || fields[2].contains(t[0] + QStringLiteral(": ") + t[1]),
                         qPrintable(fields[2]));
                codes << t[4];
                concepts << t[5];
            }
            codes.removeAll(QString());
            concepts.removeAll(QString());
            const auto orNull = [](const QString &text) { return text.isEmpty() ? QStringLiteral("<null>") : text; };
            QCOMPARE(
                fields.mid(5),
                (QStringList{orNull(codes.join(QStringLiteral("; "))), orNull(concepts.join(QStringLiteral("; ")))}));
        };
        // Each listing spelling: its row, or where products use it only in a list, the
        // list's row naming it.
        QSet<QString> spellings;
        for (const QStringList &line : listing) {
            if (line[0] != v.kind) {
                continue;
            }
            spellings << line[1].toUpper();
            QStringList names = line[2].split(QLatin1Char(';'));
            for (QString &name : names) {
                name = name.trimmed();
            }
            if (row.contains(line[1].toUpper())) {
                const QStringList &fields = row[line[1].toUpper()];
                QVERIFY2(fields[2].startsWith(QStringLiteral("The FDA product list's wording for ")
                                              + names.join(QStringLiteral(" + ")) + QLatin1Char('.')),
                         qPrintable(fields[2]));
                checkTerms(fields, names);
            } else {
                QVERIFY2(!table.filter(line[1] + QStringLiteral(" = ") + names.join(QStringLiteral(" + "))).isEmpty(),
                         qPrintable(QStringLiteral("no product uses ") + line[1]));
            }
        }
        // Every other added row lists its parts: their names joined make its name.
        for (const QStringList &fields : std::as_const(row)) {
            if (fields[0].toInt() <= terms.size() || spellings.contains(fields[1].toUpper())) {
                continue;
            }
            const QString prefix = QStringLiteral("Several %1s: ").arg(v.kind);
            QVERIFY2(fields[2].startsWith(prefix), qPrintable(fields[2]));
            QStringList names, termNames;
            for (const QString &part :
                 fields[2].mid(prefix.size()).section(QLatin1Char('.'), 0, 0).split(QStringLiteral("; "))) {
                names << part.section(QStringLiteral(" = "), 0, 0);
                termNames << (part.contains(QStringLiteral(" = "))
                                  ? part.section(QStringLiteral(" = "), 1).split(QStringLiteral(" + "))
                                  : QStringList{part});
            }
            QCOMPARE(names.join(QStringLiteral(", ")).toUpper(), fields[1].toUpper());
            checkTerms(fields, termNames);
        }
    }
}

void KvostrelImportTest::exclusivityRecordsKeepTheirTextAndMeaning_data()
{
    QTest::addColumn<QString>("fda"); // the release, in fdaDir
    QTest::addColumn<bool>("bundled");
    QTest::addRow("hand-made folder") << QStringLiteral("fda") << false;
    QTest::addRow("bundled zip") << bundledZip << true;
}

void KvostrelImportTest::exclusivityRecordsKeepTheirTextAndMeaning()
{
    QFETCH(QString, fda);
    QFETCH(bool, bundled);
    const Workspace work;
    const QDir dir = bundled ? QDir(fdaDataDir) : work.dir;
    const Run run = runImport(dir, fda, work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(!run.err.contains(QStringLiteral("exclusivity")), qPrintable(run.err));

    // As many records as the file has lines after its header, in file order.
    QByteArray file = exclusivity;
    if (bundled) {
        int error = 0;
        zip_t *archive = zip_open(QFile::encodeName(dir.filePath(fda)).constData(), ZIP_RDONLY, &error);
        QVERIFY(archive);
        zip_stat_t stat;
        QCOMPARE(zip_stat(archive, "exclusivity.txt", 0, &stat), 0);
        file.resize(qsizetype(stat.size));
        zip_file_t *member = zip_fopen(archive, "exclusivity.txt", 0);
        QCOMPARE(zip_fread(member, file.data(), stat.size), zip_int64_t(stat.size));
        zip_fclose(member);
        zip_discard(archive);
    }
    const QList<QByteArray> lines = file.trimmed().split('\n');
    const QStringList all = rows(work.database, QStringLiteral("SELECT * FROM exclusivity ORDER BY ID"));
    QCOMPARE(all.value(0),
             QStringLiteral("ID|Exclusivity Code|Exclusivity Date|New Drug Application (NDA) "
                            "Number|Product Number|Application Type"));
    QCOMPARE(all.size(), lines.size());
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].trimmed().split('~');
        QCOMPARE(all[i],
                 QStringLiteral("%1|%2|%3|%4|%5|%6")
                     .arg(i)
                     .arg(QString::fromLatin1(f[3]), QString::fromLatin1(f[4]), QString::fromLatin1(f[1]),
                          QString::fromLatin1(f[2]), QString::fromLatin1(f[0])));
    }

    // Each record's code family and its meaning, as the exclusivity window reads them.
    const QString meanings = QStringLiteral(
        "SELECT e.[Exclusivity Code], c.[Meaning] FROM exclusivity e LEFT JOIN [exclusivity code] c ON c.[Code] = "
        "CASE WHEN instr(e.[Exclusivity Code],'-') > 0 THEN substr(e.[Exclusivity Code],1,instr(e.[Exclusivity "
        "Code],'-')) || 'nnn' ELSE e.[Exclusivity Code] END ORDER BY e.ID");
    const QStringList meaning = rows(work.database, meanings);
    if (!bundled) {
        QCOMPARE(meaning.mid(1),
                 (QStringList{QStringLiteral("ODE*|Orphan, with a note."), QStringLiteral("I-901|New indication."),
                              QStringLiteral("ZZ|<null>")}));
        return;
    }
    // Every code of the bundled release belongs to a family the vocabulary explains,
    // star codes included.
    QCOMPARE(meaning.filter(QStringLiteral("|<null>")), QStringList());
    QCOMPARE(meaning.filter(QRegularExpression(QStringLiteral("^NCE\\*\\|New chemical entity"))).size(), 1);
    QCOMPARE(rows(work.database, QStringLiteral("SELECT * FROM exclusivity WHERE [Exclusivity Code] = 'ncE*'")).size(),
             2);
}

void KvostrelImportTest::releaseWithoutExclusivityGivesAnEmptyTableAndOneWarning()
{
    const Workspace work;
    const QDir &dir = work.dir;
    writeZip(dir.filePath(QStringLiteral("old.zip")), dir,
             {{QStringLiteral("products.txt"), QStringLiteral("fda/products.txt")},
              {QStringLiteral("patent.txt"), QStringLiteral("fda/patent.txt")}});
    const Run run = runImport(dir, QStringLiteral("old.zip"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(rows(work.database, QStringLiteral("SELECT count(*) FROM exclusivity")).value(1), QStringLiteral("0"));
    QCOMPARE(rows(work.database, QStringLiteral("SELECT count(*) FROM products")).value(1), QStringLiteral("3"));
    const QStringList warnings = run.err.split(QLatin1Char('\n')).filter(QStringLiteral("exclusivity"));
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings[0].contains(QStringLiteral("warning: "))
                 && warnings[0].contains(QStringLiteral("old.zip holds "
                                                        "no exclusivity.txt")),
             qPrintable(run.err));
}

void KvostrelImportTest::referenceFilesAreFoundWithoutOptions()
{
    // The zip and the output alone make the same database as every file named.
    QTemporaryDir tmp;
    const QString named = QDir(tmp.path()).filePath(QStringLiteral("named.mdb"));
    const QString found = QDir(tmp.path()).filePath(QStringLiteral("found.mdb"));
    const Run full = runImport(QDir(fdaDataDir), bundledZip, named);
    QVERIFY2(full.exitCode == 0, qPrintable(full.err));
    const Run bare = runImporter(
        {QStringLiteral("--fda"), QDir(fdaDataDir).filePath(bundledZip), QStringLiteral("--output"), found});
    QVERIFY2(bare.exitCode == 0, qPrintable(bare.err));
    QVERIFY2(!bare.err.contains(QStringLiteral("warning")), qPrintable(bare.err));
    QCOMPARE(tableCounts(found), tableCounts(named));
    QVERIFY2(!tableCounts(found).contains(QStringLiteral("|0|")), qPrintable(tableCounts(found)));
    QCOMPARE(rows(found, QStringLiteral("SELECT * FROM [exclusivity code] ORDER BY 1")),
             rows(named, QStringLiteral("SELECT * FROM [exclusivity code] ORDER BY 1")));
}

void KvostrelImportTest::tableThePreviousFileFilledIsNotLeftEmpty_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("codeRows"); // in the output afterwards

    QTest::newRow("codes left out") << QStringList{QStringLiteral("--exclusivity-codes=")} << 1
                                    << QStringLiteral("the table \"exclusivity code\" would be left empty")
                                    << QStringLiteral("20");
    QTest::newRow("codes left out, allowed")
        << QStringList{QStringLiteral("--exclusivity-codes="), QStringLiteral("--allow-empty"),
                       QStringLiteral("exclusivity code")}
        << 0 << QString() << QStringLiteral("0");
    QTest::newRow("another table allowed")
        << QStringList{QStringLiteral("--exclusivity-codes="), QStringLiteral("--allow-empty=exclusivity")} << 1
        << QStringLiteral("give --allow-empty \"exclusivity code\"") << QStringLiteral("20");
    QTest::newRow("every table filled") << QStringList{} << 0 << QString() << QStringLiteral("20");
}

void KvostrelImportTest::tableThePreviousFileFilledIsNotLeftEmpty()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QString, codeRows);
    QTemporaryDir tmp;
    const QString db = QDir(tmp.path()).filePath(QStringLiteral("kvostrel.mdb"));
    const QString zip = QDir(fdaDataDir).filePath(bundledZip);
    const Run first = runImporter({QStringLiteral("--fda"), zip, QStringLiteral("--output"), db});
    QVERIFY2(first.exitCode == 0, qPrintable(first.err));
    QCOMPARE(rows(db, QStringLiteral("SELECT count(*) FROM [exclusivity code]")).value(1), QStringLiteral("20"));
    const QByteArray before = fileContent(db);

    const Run again = runImporter(QStringList{QStringLiteral("--fda"), zip, QStringLiteral("--output"), db} + options);
    QCOMPARE(again.exitCode, exitCode);
    QVERIFY2(again.err.contains(message), qPrintable(again.err));
    QCOMPARE(rows(db, QStringLiteral("SELECT count(*) FROM [exclusivity code]")).value(1), codeRows);
    if (exitCode != 0) {
        QVERIFY(fileContent(db) == before);
        QVERIFY2(again.err.contains(QStringLiteral("was left as it was")), qPrintable(again.err));
    }
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("kvostrel.mdb")});
}
