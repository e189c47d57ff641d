#include "MainWindowFixture.h"

using namespace App;
using namespace Db;
using namespace Ribbon;
using namespace Search;

void MainWindowFixture::initTestCase()
{
    // Window sizes are read from a test folder of settings, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(QFile::exists(QStringLiteral(KVOSTREL_DB_PATH)), "the build makes kvostrel.mdb before the tests");
}

void MainWindowFixture::init()
{
    m_main = std::make_unique<frmMainForm>();
    m_main->setProcessEnd([] {});
    m_main->Form_Load(QStringLiteral(KVOSTREL_DB_PATH));
    m_main->resize(1024, 768);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

void MainWindowFixture::cleanup()
{
    m_main.reset();
    Connection::releaseShared();
}

SearchWindow *MainWindowFixture::open(int command)
{
    m_main->PressMenuButton(command);
    return qobject_cast<SearchWindow *>(m_main->childWindow(command));
}

QWidget *MainWindowFixture::activeWindow() const
{
    const QMdiSubWindow *sub = m_main->clientArea()->activeSubWindow();
    return sub ? sub->widget() : nullptr;
}

void MainWindowFixture::clickRibbonButton(const QString &id)
{
    auto *ribbon = m_main->findChild<ZetRibbon *>(QStringLiteral("ZetRibbon1"));
    QVERIFY(ribbon);
    const RibbonScene &scene = ribbon->scene();
    for (int j = 1; j <= scene.highestIndex(RibbonFamily::ButMouse); ++j) {
        const RibbonElement &hit = scene.at(RibbonFamily::ButMouse, j);
        if (hit.visible && hit.tag == id) {
            const QPoint at = pixelRect(hit).center();
            QTest::mouseMove(ribbon, at);
            QTest::mouseClick(ribbon, Qt::LeftButton, Qt::NoModifier, at);
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no ribbon button %1").arg(id)));
}
