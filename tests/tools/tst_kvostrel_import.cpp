// kvostrel-import's files: faulty input, outputs and inputs that are no file, links,
// signals and a killed import leave every file as it was.
#include "tst_kvostrel_import.h"

using namespace KvostrelImportFixture;

void KvostrelImportTest::faultyInputFailsAndLeavesThePreviousFile_data()
{
    QTest::addColumn<Files>("changes");
    QTest::addColumn<QString>("fda");
    QTest::addColumn<QStringList>("messageParts");

    const QString folder = QStringLiteral("fda");
    QTest::newRow("products line short of a field")
        << Files{{QStringLiteral("fda/products.txt"), products + "\r\nNO APPLICANT~1~~A~TABLET;ORAL~1MG~001~~~No~RX"}}
        << folder << QStringList{QStringLiteral("/fda/products.txt, line 5"), QStringLiteral("11 fields")};
    QTest::newRow("quote never closed")
        << Files{{QStringLiteral("fda/products.txt"), products.left(products.indexOf("\r\n") + 2) + "\"OPEN~1~2"}}
        << folder << QStringList{QStringLiteral("products.txt, line 2"), QStringLiteral("never closed")};
    QTest::newRow("vocabulary line with an extra field")
        << Files{{QStringLiteral("dosage_forms.tsv"), dosageForms + "CAPSULE\t\t\t\t\t\tC1\r\n"}} << folder
        << QStringList{QStringLiteral("dosage_forms.tsv, line 4")};
    QTest::newRow("header without a needed column")
        << Files{{QStringLiteral("fda/patent.txt"), QByteArray(patents).replace("Patent_No", "Patent")}} << folder
        << QStringList{QStringLiteral("patent.txt, line 1"), QStringLiteral("\"Patent_No\"")};
    QTest::newRow("patent.txt missing from the folder") << Files{{QStringLiteral("fda/patent.txt"), QByteArray()}}
                                                        << folder << QStringList{QStringLiteral("patent.txt")};
    QTest::newRow("routes file missing") << Files{{QStringLiteral("routes.tsv"), QByteArray()}} << folder
                                         << QStringList{QStringLiteral("/routes.tsv")};
    QTest::newRow("zip without products.txt")
        << Files{{QStringLiteral("fda/products.txt"), QByteArray()}} << QStringLiteral("fda.zip")
        << QStringList{QStringLiteral("fda.zip"), QStringLiteral("no products.txt")};
    QTest::newRow("unreadable zip") << Files{{QStringLiteral("broken.zip"),
                                              QByteArray("PK\x03\x04 this is not an archive")}}
                                    << QStringLiteral("broken.zip") << QStringList{QStringLiteral("broken.zip")};

    // A download cut short after the header, in each file.
    const QStringList noRecords{QStringLiteral("holds its header line but no records")};
    QTest::newRow("products.txt with its header only")
        << Files{{QStringLiteral("fda/products.txt"), products.left(products.indexOf("\r\n") + 2)}} << folder
        << noRecords + QStringList{QStringLiteral("/fda/products.txt:")};
    QTest::newRow("patent.txt with its header only, no line end")
        << Files{{QStringLiteral("fda/patent.txt"), patents.left(patents.indexOf('\n'))}} << folder
        << noRecords + QStringList{QStringLiteral("/fda/patent.txt:")};
    QTest::newRow("routes with their header only")
        << Files{{QStringLiteral("routes.tsv"), routes.left(routes.indexOf('\n') + 1)}} << folder
        << noRecords + QStringList{QStringLiteral("/routes.tsv:")};

    // Control characters: only a tab at either end of a field is taken (as padding).
    QTest::newRow("NUL byte in a field") << Files{{QStringLiteral("fda/products.txt"),
                                                   products + "\r\nINHALER~000004~~BUDESONIDE~AEROSOL;INHALATION"
                                                       + QByteArray(1, '\0') + "~1MG~004~~~No~RX~ACME"}}
                                         << folder
                                         << QStringList{QStringLiteral(
                                                            "products.txt, line 5: field 5 (DF;Route), character 19"),
                                                        QStringLiteral("U+0000")};
    QTest::newRow("tab inside a field of a tilde file")
        << Files{{QStringLiteral("fda/patent.txt"), patents + "\nN~000003~003~\t123\t456~Jan 1, 2030~~~~~"}} << folder
        << QStringList{QStringLiteral("patent.txt, line 4: field 4 (Patent_No), character 4"),
                       QStringLiteral("U+0009")};
    QTest::newRow("line end inside a quoted trade name")
        << Files{{QStringLiteral("fda/products.txt"),
                  products + "\r\n\"TWO\nLINES\"~4~~A~TABLET;ORAL~1MG~004~~~No~RX~ACME"}}
        << folder
        << QStringList{QStringLiteral("products.txt, line 5: field 1 (Trade_Name)"), QStringLiteral("U+000A")};
    QTest::newRow("terminal escape in a vocabulary")
        << Files{{QStringLiteral("dosage_forms.tsv"),
                  dosageForms + "CAPSULE\tA \x1b[31mred\x1b[0m capsule\t\t\t\tC1\r\n"}}
        << folder
        << QStringList{QStringLiteral("dosage_forms.tsv, line 4: field 2 (definition)"), QStringLiteral("U+001B")};
    QTest::newRow("C1 control in a Latin-1 file")
        << Files{{QStringLiteral("fda/products.txt"), products + "\r\nX\x81~4~~A~TABLET;ORAL~1MG~004~~~No~RX~ACME"}}
        << folder
        << QStringList{QStringLiteral("products.txt, line 5: field 1 (Trade_Name)"), QStringLiteral("U+0081")};

    // The listing-terms file: every line must name a term of its own vocabulary, once.
    const auto listing = [](const QByteArray &line) {
        return Files{{QStringLiteral("listing_terms.tsv"), listingTerms + line}};
    };
    QTest::newRow("listing line short of its note")
        << listing("route\tPO\tORAL\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4"), QStringLiteral("3 fields")};
    QTest::newRow("listing spelling of no term")
        << listing("route\tIV\tINTRAVENOUS\tnot in routes.tsv\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4: \"INTRAVENOUS\" is no route of "),
                       QStringLiteral("/routes.tsv")};
    QTest::newRow("listing spelling given twice")
        << listing("dosage form\tINJECTABLE\tTABLET\tagain\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4: \"INJECTABLE\" is listed already on line 2")};
    QTest::newRow("listing spelling that is a term itself")
        << listing("route\tOral\tORAL\tsame\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4: \"Oral\" is a term of ")};
    QTest::newRow("listing line of an unknown kind")
        << listing("form\tPILL\tTABLET\tx\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4: the kind \"form\" is none of")};
    QTest::newRow("listing line without terms")
        << listing("route\tPO\t \tx\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4: no route of ")};

    // Input that could be read more than one way is not read at all.
    QTest::newRow("header naming a column twice, in another letter case")
        << Files{{QStringLiteral("fda/products.txt"), QByteArray(products).replace("~Extra~", "~trade_name~")}}
        << folder
        << QStringList{QStringLiteral("/fda/products.txt, line 1: the header names the column \"trade_name\" twice "
                                      "(columns 1 and 3)")};
    QTest::newRow("vocabulary header naming a column twice")
        << Files{{QStringLiteral("routes.tsv"), QByteArray(routes).replace("\tfda_code\n", "\tname\n")}} << folder
        << QStringList{QStringLiteral("/routes.tsv, line 1: the header names the column \"name\" twice")};
    QTest::newRow("zip holding products.txt in two folders")
        << Files{} << QStringLiteral("twice.zip")
        << QStringList{QStringLiteral("twice.zip: the zip archive holds two files named products.txt, "
                                      "\"2024-10/products.txt\" and \"2024-11/PRODUCTS.TXT\"")};

    // The FDA ends its files right after the last record; one that goes on is cut at a line end.
    QTest::newRow("FDA file of a folder ending with a line end")
        << Files{{QStringLiteral("fda/exclusivity.txt"), exclusivity + "\r\n"}} << folder
        << QStringList{QStringLiteral("/fda/exclusivity.txt, line 4: the file goes on with a line end after this "
                                      "line"),
                       QStringLiteral("cut short at a line end")};

    QTest::newRow("header line repeated inside the file")
        << Files{{QStringLiteral("fda/products.txt"),
                  products + "\r\n" + products.left(products.indexOf("\r\n"))
                      + "\r\nB~5~~A~TABLET;ORAL~1MG~005~~~No~RX~ACME"}}
        << folder << QStringList{QStringLiteral("products.txt, line 5: the header line is repeated")};
}

void KvostrelImportTest::faultyInputFailsAndLeavesThePreviousFile()
{
    QFETCH(Files, changes);
    QFETCH(QString, fda);
    QFETCH(QStringList, messageParts);

    const Workspace work;
    const QDir &dir = work.dir;
    const QString &db = work.database;
    writeFiles(dir, changes);
    if (fda == QStringLiteral("fda.zip")) {
        writeZip(dir.filePath(fda), dir, {{QStringLiteral("patent.txt"), QStringLiteral("fda/patent.txt")}});
    }
    if (fda == QStringLiteral("twice.zip")) {
        writeZip(dir.filePath(fda), dir,
                 {{QStringLiteral("2024-10/products.txt"), QStringLiteral("fda/products.txt")},
                  {QStringLiteral("2024-11/PRODUCTS.TXT"), QStringLiteral("fda/products.txt")},
                  {QStringLiteral("2024-11/patent.txt"), QStringLiteral("fda/patent.txt")}});
    }
    const QByteArray previous = "the previous database, which a failed import must not touch";
    writeFiles(dir, {{QStringLiteral("out/kvostrel.mdb"), previous}});

    const Run run = runImport(dir, fda, db);
    QCOMPARE(run.exitCode, 1);
    for (const QString &part : messageParts) {
        QVERIFY2(run.err.contains(part), qPrintable(run.err));
    }
    QCOMPARE(fileContent(db), previous);
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
}

void KvostrelImportTest::outputThatIsAnInputIsRefused_data()
{
    QTest::addColumn<QString>("fda");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("hardLinkTo"); // output made a hard link to this input first
    QTest::addColumn<Links>("links");
    QTest::addColumn<QString>("option");

    const QString folder = QStringLiteral("fda");
    QTest::newRow("the routes file") << folder << QStringLiteral("routes.tsv") << QString() << Links{}
                                     << QStringLiteral("--routes");
    QTest::newRow("products.txt of the folder, spelled another way")
        << folder << QStringLiteral("out/../fda/./products.txt") << QString() << Links{} << QStringLiteral("--fda");
    QTest::newRow("the listing terms") << folder << QStringLiteral("listing_terms.tsv") << QString() << Links{}
                                       << QStringLiteral("--listing-terms");
    QTest::newRow("hard link to the dosage forms")
        << folder << QStringLiteral("out/kvostrel.mdb") << QStringLiteral("dosage_forms.tsv") << Links{}
        << QStringLiteral("--dosage-forms");
    QTest::newRow("symbolic link to the zip")
        << QStringLiteral("fda.zip") << QStringLiteral("out/kvostrel.mdb") << QString()
        << Links{{QStringLiteral("out/kvostrel.mdb"), QStringLiteral("../fda.zip")}} << QStringLiteral("--fda");
}

void KvostrelImportTest::outputThatIsAnInputIsRefused()
{
    QFETCH(QString, fda);
    QFETCH(QString, output);
    QFETCH(QString, hardLinkTo);
    QFETCH(Links, links);
    QFETCH(QString, option);

    const Workspace work;
    const QDir &dir = work.dir;
    writeZip(dir.filePath(QStringLiteral("fda.zip")), dir,
             {{QStringLiteral("products.txt"), QStringLiteral("fda/products.txt")},
              {QStringLiteral("patent.txt"), QStringLiteral("fda/patent.txt")}});
    if (!hardLinkTo.isEmpty()) {
        QCOMPARE(link(QFile::encodeName(dir.filePath(hardLinkTo)).constData(),
                      QFile::encodeName(dir.filePath(output)).constData()),
                 0);
    }
    makeLinks(dir, links);
    const Files before = snapshot(dir);

    const Run run = runImport(dir, fda, dir.filePath(output));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("--output ") + dir.filePath(output)
                              + QStringLiteral(" is the same file as ") + option + QLatin1Char(' ')),
             qPrintable(run.err));
    QCOMPARE(snapshot(dir), before);
}

void KvostrelImportTest::outputThroughSymbolicLinksReplacesTheFileAtTheirEnd_data()
{
    QTest::addColumn<Links>("links");
    QTest::addColumn<bool>("previousExists");

    const QString output = QStringLiteral("out/kvostrel.mdb");
    QTest::newRow("relative link") << Links{{output, QStringLiteral("../data/kvostrel.mdb")}} << true;
    QTest::newRow("chain of links, each relative to its own folder")
        << Links{{output, QStringLiteral("../data/current")},
                 {QStringLiteral("data/current"), QStringLiteral("kvostrel.mdb")}}
        << true;
    QTest::newRow("dangling link") << Links{{output, QStringLiteral("../data/kvostrel.mdb")}} << false;
}

void KvostrelImportTest::outputThroughSymbolicLinksReplacesTheFileAtTheirEnd()
{
    QFETCH(Links, links);
    QFETCH(bool, previousExists);

    const Workspace work;
    const QDir &dir = work.dir;
    QVERIFY(dir.mkdir(QStringLiteral("data")));
    const auto permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    if (previousExists) {
        writeFiles(dir, {{QStringLiteral("data/kvostrel.mdb"), "the previous database"}});
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("data/kvostrel.mdb")), permissions));
    }
    makeLinks(dir, links);
    const Files before = snapshot(dir);

    const Run run = runImport(dir, QStringLiteral("fda"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString target = QStringLiteral("data/kvostrel.mdb");
    QCOMPARE(rows(dir.filePath(target), QStringLiteral("SELECT count(*) FROM products")).value(1), QStringLiteral("3"));
    // Only the target changed: the links are still the same links, and no temporary
    // file is left in any folder.
    Files expected = before;
    expected.insert(target, fileContent(dir.filePath(target)));
    QCOMPARE(snapshot(dir), expected);
    // A replaced database keeps its permissions, whatever the umask says.
    if (previousExists) {
        QCOMPARE(QFile::permissions(dir.filePath(target)) & 0x7077, permissions & 0x7077); // owner, group, others
    }
}

void KvostrelImportTest::ignoredSignalsStayIgnoredOthersRemoveTheTemporaryFile_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("ignoredAtStart");

    QTest::newRow("SIGHUP ignored, as under nohup") << int(SIGHUP) << true;
    QTest::newRow("SIGINT ignored, as for a background job") << int(SIGINT) << true;
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false;
    QTest::newRow("SIGPIPE, as when the output's reader goes") << int(SIGPIPE) << false;
    QTest::newRow("SIGUSR1") << int(SIGUSR1) << false;
}

void KvostrelImportTest::ignoredSignalsStayIgnoredOthersRemoveTheTemporaryFile()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, ignoredAtStart);

    const Workspace work;
    const QByteArray previous = "the previous database";
    writeFiles(work.dir, {{QStringLiteral("out/kvostrel.mdb"), previous}});
    QProcess process;
    process.setChildProcessModifier([=] { std::signal(signalNumber, ignoredAtStart ? SIG_IGN : SIG_DFL); });
    startImport(process, QDir(fdaDataDir), bundledZip, work.database);
    QVERIFY(process.waitForStarted());

    // The signal comes once the temporary file is there, and again until the import ends.
    QElapsedTimer timer;
    timer.start();
    while (work.outputFiles().size() < 2) {
        QVERIFY2(timer.elapsed() < 30000 && !process.waitForFinished(0), "the temporary file never showed");
    }
    do {
        QCOMPARE(kill(pid_t(process.processId()), signalNumber), 0);
    } while (!process.waitForFinished(1) && timer.elapsed() < 60000);

    if (ignoredAtStart) {
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                 qPrintable(process.readAllStandardError()));
        QCOMPARE(rows(work.database, QStringLiteral("SELECT count(*) FROM products")).value(1),
                 QStringLiteral("45752"));
    } else {
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(fileContent(work.database), previous);
    }
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
}

void KvostrelImportTest::outputThatIsNoFileIsRefused_data()
{
    QTest::addColumn<QString>("node"); // made at out/node
    QTest::addColumn<Links>("links");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("kind"); // as the message names it

    const QString node = QStringLiteral("out/node");
    const QString fifo = QStringLiteral("fifo"), device = QStringLiteral("device"), folder = QStringLiteral("folder");
    QTest::newRow("FIFO") << fifo << Links{} << node << QStringLiteral("a FIFO");
    QTest::newRow("device node") << device << Links{} << node << QStringLiteral("a device");
    QTest::newRow("folder") << folder << Links{} << node << QStringLiteral("a folder");
    QTest::newRow("link to a FIFO") << fifo << Links{{QStringLiteral("out/kvostrel.mdb"), QStringLiteral("node")}}
                                    << QStringLiteral("out/kvostrel.mdb") << QStringLiteral("a FIFO");
    QTest::newRow("chain of links to a device node")
        << device
        << Links{{QStringLiteral("out/kvostrel.mdb"), QStringLiteral("../data/current")},
                 {QStringLiteral("data/current"), QStringLiteral("../out/node")}}
        << QStringLiteral("out/kvostrel.mdb") << QStringLiteral("a device");
    QTest::newRow("link to a folder") << folder << Links{{QStringLiteral("out/kvostrel.mdb"), QStringLiteral("node")}}
                                      << QStringLiteral("out/kvostrel.mdb") << QStringLiteral("a folder");
}

void KvostrelImportTest::outputThatIsNoFileIsRefused()
{
    QFETCH(QString, node);
    QFETCH(Links, links);
    QFETCH(QString, output);
    QFETCH(QString, kind);

    const Workspace work;
    const QDir &dir = work.dir;
    const QByteArray nodePath = QFile::encodeName(dir.filePath(QStringLiteral("out/node")));
    if (node == QStringLiteral("device")) {
        // A scratch node of /dev/null's kind: what a run as root would replace.
        if (geteuid() != 0) {
            QSKIP("making a device node needs root");
        }
        QVERIFY(mknod(nodePath.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0);
    } else if (node == QStringLiteral("fifo")) {
        QVERIFY(mkfifo(nodePath.constData(), 0600) == 0);
    } else {
        QVERIFY(dir.mkdir(QStringLiteral("out/node")));
    }
    makeLinks(dir, links);
    struct stat before = {};
    QVERIFY(lstat(nodePath.constData(), &before) == 0);

    const Run run = runImport(dir, QStringLiteral("fda"), dir.filePath(output));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(dir.filePath(output)) && run.err.contains(QStringLiteral(": is ") + kind),
             qPrintable(run.err));
    // The node is the same node, and nothing was written beside it.
    struct stat after = {};
    QVERIFY(lstat(nodePath.constData(), &after) == 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QStringList expected{QStringLiteral("node")};
    if (!links.isEmpty()) {
        expected.prepend(QStringLiteral("kvostrel.mdb"));
    }
    QCOMPARE(QDir(dir.filePath(QStringLiteral("out")))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             expected);
}

void KvostrelImportTest::inputThatIsNoFileIsRefusedWithoutReadingIt_data()
{
    QTest::addColumn<QString>("option"); // its value is replaced
    QTest::addColumn<QString>("path"); // made by the test in its folder
    QTest::addColumn<QString>("kind"); // what to make at `path`: fifo, device, folder or large
    QTest::addColumn<QString>("message");

    const QString fifo = QStringLiteral("fifo");
    QTest::newRow("FIFO as a vocabulary") << QStringLiteral("--routes") << QStringLiteral("routes.tsv") << fifo
                                          << QStringLiteral("/routes.tsv: is a FIFO (named pipe), not a file");
    QTest::newRow("FIFO as the zip") << QStringLiteral("--fda") << QStringLiteral("fda.zip") << fifo
                                     << QStringLiteral("/fda.zip: is a FIFO (named pipe), not a zip archive");
    QTest::newRow("FIFO in the folder") << QStringLiteral("--fda") << QStringLiteral("fda/patent.txt") << fifo
                                        << QStringLiteral("/fda/patent.txt: is a FIFO (named pipe), not a file");
    QTest::newRow("FIFO as the exclusivity file of the folder")
        << QStringLiteral("--fda") << QStringLiteral("fda/exclusivity.txt") << fifo
        << QStringLiteral("/fda/exclusivity.txt: is a FIFO (named pipe), not a file");
    QTest::newRow("device without end, as /dev/zero")
        << QStringLiteral("--routes") << QStringLiteral("zero") << QStringLiteral("device")
        << QStringLiteral("/zero: is a device, not a file");
    QTest::newRow("folder as a vocabulary")
        << QStringLiteral("--dosage-forms") << QStringLiteral("dosage_forms.tsv") << QStringLiteral("folder")
        << QStringLiteral("/dosage_forms.tsv: is a folder, not a file");
    QTest::newRow("folder where products.txt belongs")
        << QStringLiteral("--fda") << QStringLiteral("fda/products.txt") << QStringLiteral("folder")
        << QStringLiteral("/fda/products.txt: is a folder, not a file");
    QTest::newRow("file larger than any release")
        << QStringLiteral("--exclusivity-codes") << QStringLiteral("exclusivity_codes.tsv") << QStringLiteral("large")
        << QStringLiteral("/exclusivity_codes.tsv: holds 268435457 bytes, "
                          "more than any FDA release could");
}

void KvostrelImportTest::inputThatIsNoFileIsRefusedWithoutReadingIt()
{
    QFETCH(QString, option);
    QFETCH(QString, path);
    QFETCH(QString, kind);
    QFETCH(QString, message);

    const Workspace work;
    const QDir &dir = work.dir;
    const QString full = dir.filePath(path);
    const QByteArray encoded = QFile::encodeName(full);
    QFile::remove(full);
    if (kind == QStringLiteral("fifo")) {
        QVERIFY(mkfifo(encoded.constData(), 0600) == 0);
    } else if (kind == QStringLiteral("device")) {
        if (geteuid() != 0) {
            QSKIP("making a device node needs root");
        }
        QVERIFY(mknod(encoded.constData(), S_IFCHR | 0666, makedev(1, 5)) == 0);
    } else if (kind == QStringLiteral("folder")) {
        QVERIFY(dir.mkdir(path));
    } else if (kind == QStringLiteral("large")) {
        // Sparse: refused by its size, so no disk space is needed.
        QFile f(full);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize((qint64(256) << 20) + 1));
    }
    const QByteArray previous = "the previous database";
    writeFiles(dir, {{QStringLiteral("out/kvostrel.mdb"), previous}});

    QStringList arguments{QStringLiteral("--fda"),
                          dir.filePath(path == QStringLiteral("fda.zip") ? path : QStringLiteral("fda")),
                          QStringLiteral("--dosage-forms"),
                          dir.filePath(QStringLiteral("dosage_forms.tsv")),
                          QStringLiteral("--routes"),
                          dir.filePath(QStringLiteral("routes.tsv")),
                          QStringLiteral("--exclusivity-codes"),
                          dir.filePath(QStringLiteral("exclusivity_codes.tsv")),
                          QStringLiteral("--output"),
                          work.database};
    if (option != QStringLiteral("--fda")) {
        arguments[arguments.indexOf(option) + 1] = full;
    }
    QProcess process;
    process.start(QStringLiteral(KVOSTREL_IMPORT_PATH), arguments);
    // A FIFO without a writer would hold a reader forever; a device without end would
    // fill the memory.
    const bool finished = process.waitForFinished(10000);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    QVERIFY2(finished, "the importer waited on its input");
    QCOMPARE(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
    QCOMPARE(fileContent(work.database), previous);
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
}

void KvostrelImportTest::nextRunRemovesTheLeftoverOfAKilledImport()
{
    const Workspace work;
    const QDir out(work.dir.filePath(QStringLiteral("out")));
    // Files that are no leftover of this output: another database's, a name of another
    // form, and one an import holds (its lock, as a running import holds its own).
    const QStringList others{QStringLiteral(".other.mdb.tmp-abc123"), QStringLiteral(".kvostrel.mdb.tmp-abc12"),
                             QStringLiteral(".kvostrel.mdb.tmp-held01")};
    for (const QString &name : others) {
        writeFiles(out, {{name, "not a leftover of kvostrel.mdb"}});
    }
    const QByteArray held = QFile::encodeName(out.filePath(QStringLiteral(".kvostrel.mdb.tmp-held01")));
    const Common::FileDescriptor lock(open(held.constData(), O_RDONLY | O_CLOEXEC));
    QVERIFY(lock.get() >= 0 && flock(lock.get(), LOCK_EX | LOCK_NB) == 0);

    QProcess process;
    startImport(process, QDir(fdaDataDir), bundledZip, work.database);
    QVERIFY(process.waitForStarted());
    QElapsedTimer timer;
    timer.start();
    while (work.outputFiles().size() < others.size() + 1) {
        QVERIFY2(timer.elapsed() < 30000 && !process.waitForFinished(0), "the temporary file never showed");
    }
    QCOMPARE(kill(pid_t(process.processId()), SIGKILL), 0);
    QVERIFY(process.waitForFinished());
    const QStringList left = work.outputFiles();
    QCOMPARE(left.size(), others.size() + 1);
    QVERIFY2(left.filter(QRegularExpression(QStringLiteral("^\\.kvostrel\\.mdb\\.tmp-[A-Za-z0-9]{6}$"))).size() == 2,
             qPrintable(left.join(QLatin1Char(' '))));

    const Run run = runImport(work.dir, QStringLiteral("fda"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QStringList expected = others + QStringList{QStringLiteral("kvostrel.mdb")};
    expected.sort();
    QCOMPARE(work.outputFiles(), expected);
}

void KvostrelImportTest::fileCutInsideItsLastRecordIsRefused()
{
    Workspace work;
    const QDir &dir = work.dir;
    const QByteArray previous = "the previous database";
    writeFiles(dir, {{QStringLiteral("out/kvostrel.mdb"), previous}});
    const ImportOptions options{dir.filePath(QStringLiteral("fda")).toStdString(),
                                dir.filePath(QStringLiteral("dosage_forms.tsv")).toStdString(),
                                dir.filePath(QStringLiteral("routes.tsv")).toStdString(),
                                dir.filePath(QStringLiteral("listing_terms.tsv")).toStdString(),
                                dir.filePath(QStringLiteral("exclusivity_codes.tsv")).toStdString(),
                                {},
                                work.database.toStdString(),
                                {},
                                {},
                                {}};
    int refused = 0;
    for (auto file = goodInput.begin(); file != goodInput.end(); ++file) {
        const QByteArray &whole = file.value();
        const bool fda = file.key().startsWith(QStringLiteral("fda/"));
        const qsizetype lastLine = whole.lastIndexOf('\n', whole.size() - 2) + 1;
        // The cuts every form of file tells from a whole one: an FDA file (which ends
        // right after its last record) cut at the line end before that record or
        // anywhere before its last field, and inside that field where it holds a date
        // (patent.txt and exclusivity.txt here); a vocabulary (which ends with a line
        // end) cut anywhere in its last line before the line end. A cut inside a last
        // field of free text, or right before a date that may be missing (patent.txt's
        // Submission_Date), leaves a record whole in form; only a zip's checksum tells that.
        const qsizetype lastTilde = whole.lastIndexOf('~');
        const bool endsInDate = fda && !file.key().endsWith(QStringLiteral("products.txt"));
        const qsizetype first = fda ? lastLine - (whole.at(lastLine - 2) == '\r' ? 1 : 0) : lastLine + 1;
        const qsizetype last
            = fda ? (endsInDate ? whole.size() - 1 : lastTilde) : whole.size() - (whole.endsWith("\r\n") ? 2 : 1);
        QVERIFY(first < last);
        for (qsizetype cut = first; cut <= last; ++cut) {
            if (cut == lastTilde + 1 && file.key().endsWith(QStringLiteral("patent.txt"))) {
                continue;
            }
            const QByteArray part = whole.left(cut);
            writeFiles(dir, {{file.key(), part}});
            QByteArray content = part;
            while (content.endsWith('\n') || content.endsWith('\r')) {
                content.chop(1);
            }
            const QString where
                = QStringLiteral("%1, line %2: ").arg(dir.filePath(file.key())).arg(content.count('\n') + 1);
            try {
                importKvostrel(options);
                QFAIL(qPrintable(QStringLiteral("%1 cut after %2 of %3 bytes was taken whole")
                                     .arg(file.key())
                                     .arg(cut)
                                     .arg(whole.size())));
            } catch (const ImportError &error) {
                const QString message = QString::fromStdString(error.what());
                QVERIFY2(message.startsWith(where) && message.contains(QStringLiteral("cut short")),
                         qPrintable(QStringLiteral("cut after %1: %2").arg(cut).arg(message)));
            }
            QCOMPARE(fileContent(work.database), previous);
            ++refused;
        }
        writeFiles(dir, {{file.key(), whole}});
    }
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
    QVERIFY(refused > 200);
    // The whole files still make a database.
    QCOMPARE(importKvostrel(options).front().rows, 3L);
}

void KvostrelImportTest::optionGivenTwiceIsRefused_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("message");
    QTest::newRow("same value") << QStringList{QStringLiteral("--routes"), QStringLiteral("routes.tsv")}
                                << QStringLiteral("--routes is given twice");
    QTest::newRow("another output, written with =")
        << QStringList{QStringLiteral("--output=elsewhere.mdb")} << QStringLiteral("--output is given twice, as \"");
}

void KvostrelImportTest::optionGivenTwiceIsRefused()
{
    QFETCH(QStringList, extra);
    QFETCH(QString, message);
    const Workspace work;
    const QByteArray previous = "the previous database";
    writeFiles(work.dir, {{QStringLiteral("out/kvostrel.mdb"), previous}});
    QProcess process;
    process.setWorkingDirectory(work.dir.path());
    process.start(QStringLiteral(KVOSTREL_IMPORT_PATH),
                  QStringList{QStringLiteral("--fda"), QStringLiteral("fda"), QStringLiteral("--dosage-forms"),
                              QStringLiteral("dosage_forms.tsv"), QStringLiteral("--routes"),
                              QStringLiteral("routes.tsv"), QStringLiteral("--output"),
                              QStringLiteral("out/kvostrel.mdb")}
                      + extra);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 2);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
    QCOMPARE(fileContent(work.database), previous);
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
    QVERIFY(!QFile::exists(work.dir.filePath(QStringLiteral("elsewhere.mdb"))));
}

QTEST_GUILESS_MAIN(KvostrelImportTest)
