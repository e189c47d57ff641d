#include "app/frmAbout.h"

#include "common/AppError.h"
#include "common/Twips.h"
#include "data/SqlText.h"
#include "data/Database.h"
#include "components/AppFonts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QUrl>

#include <algorithm>

namespace App {

const QString frmAbout::WebAddress
    = QStringLiteral("https://www.fda.gov/drugs/development-approval-process-drugs/drug-approvals-and-databases");

namespace {
// The white panel keeps this size; the logo fills its picture box.
constexpr QSize PanelSize(Twips::toPixels(10815), Twips::toPixels(6735));
constexpr QSize LogoSize(Twips::toPixels(5250), Twips::toPixels(4275));
} // namespace

frmAbout::frmAbout(QWidget *parent)
    : Components::BackdropWidget(parent)
{
    Components::AppFonts::registerOnce();
    setObjectName(QStringLiteral("frmAbout"));
    setAccessibleName(QStringLiteral("About Torvanelquist"));
    setWindowTitle(QStringLiteral("About"));
    resize(Twips::toPixels(11100), Twips::toPixels(7035));

    picAbout = new QFrame(this);
    picAbout->setObjectName(QStringLiteral("picAbout"));
    picAbout->setGeometry(QRect(QPoint(Twips::toPixels(120), Twips::toPixels(120)), PanelSize));
    picAbout->setAutoFillBackground(true);
    QPalette white = picAbout->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, QColor(0, 0, 128));
    picAbout->setPalette(white);
    picAbout->setFrameShape(QFrame::StyledPanel);

    imgLogo = new QLabel(picAbout);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setGeometry(QRect(QPoint(Twips::toPixels(120), Twips::toPixels(840)), LogoSize));
    imgLogo->setPixmap(drawLogo());
    imgLogo->setAccessibleName(QStringLiteral("Torvanelquist logo"));

    lblAbout = new QLabel(picAbout);
    lblAbout->setObjectName(QStringLiteral("lblAbout"));
    lblAbout->setGeometry(Twips::toPixels(5880), Twips::toPixels(1680), Twips::toPixels(4455), Twips::toPixels(2535));
    lblAbout->setFont(Components::AppFonts::tahoma(11.25, true));
    lblAbout->setWordWrap(true);
    lblAbout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The label breaks lines at LF; the composed text keeps CR LF between its lines.
    lblAbout->setText(composeAboutText(TORVANELQUIST_VERSION_MAJOR, TORVANELQUIST_VERSION_MINOR,
                                       TORVANELQUIST_VERSION_REVISION, releaseOfTheData(),
                                       Db::Connection::shared().filePath(), comparedRelease())
                          .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    // The text may run a little past its design box, but never past the white panel.
    const int textWidth = PanelSize.width() - lblAbout->x() - Twips::toPixels(240);
    lblAbout->resize(textWidth, qMax(lblAbout->heightForWidth(textWidth), Twips::toPixels(2535)));

    for (QLabel *clickable : {imgLogo, lblAbout}) {
        clickable->setCursor(Qt::PointingHandCursor);
        clickable->setToolTip(WebAddress);
        clickable->installEventFilter(this);
    }
}

QString frmAbout::releaseOfTheData()
{
    QString release;
    Common::runSkippingFailure([&release] {
        Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::releaseDate());
        Db::RowSetCloser closer(rowSet);
        if (!rowSet.eof()) {
            release = Db::fieldText(rowSet.field(0));
        }
    });
    return release;
}

QString frmAbout::comparedRelease()
{
    QString release;
    Common::runSkippingFailure([&release] {
        Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::comparedReleaseDate());
        Db::RowSetCloser closer(rowSet);
        if (!rowSet.eof()) {
            release = Db::fieldText(rowSet.field(0));
        }
    });
    return release;
}

QString frmAbout::composeAboutText(int major, int minor, int revision, const QString &release,
                                   const QString &databaseFile, const QString &comparedWith)
{
    QStringList lines{
        QStringLiteral("Torvanelquist - version %1.%2.%3").arg(major).arg(minor).arg(revision),
        QStringLiteral("(C) 2026 The Torvanelquist developers"),
        QString(),
        QString(),
        QStringLiteral("www.fda.gov: Drug Approvals and Databases"),
        QString(),
        release.isEmpty() ? QStringLiteral("Drug data: U.S. FDA, public domain")
                          : QStringLiteral("Drug data: U.S. FDA, release of %1, public domain").arg(release),
    };
    if (!databaseFile.isEmpty()) {
        lines
            << QStringLiteral("Database: %1").arg(QDir::toNativeSeparators(QFileInfo(databaseFile).absoluteFilePath()));
    }
    if (!comparedWith.isEmpty()) {
        lines
            << QStringLiteral("Changes listed since the release of %1 (the older release compared)").arg(comparedWith);
    }
    return lines.join(QStringLiteral("\r\n"));
}

bool frmAbout::StartDoc(const QString &DocName)
{
    return QDesktopServices::openUrl(QUrl(DocName));
}

void frmAbout::resizeEvent(QResizeEvent *event)
{
    Components::BackdropWidget::resizeEvent(event);
    // Shown maximised, the white panel keeps its size and moves to the middle. In a
    // window smaller than the panel (the main window at its first size), the panel
    // gives up its empty margin first, so logo and text stay whole.
    const int margin = Twips::toPixels(120);
    const QRect content = imgLogo->geometry().united(lblAbout->geometry());
    const QSize panel(std::clamp(width() - 2 * margin, content.right() + margin, PanelSize.width()),
                      std::clamp(height() - 2 * margin, content.bottom() + margin, PanelSize.height()));
    picAbout->resize(panel);
    picAbout->move(qMax(margin, (width() - panel.width()) / 2), qMax(margin, (height() - panel.height()) / 2));
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == imgLogo || watched == lblAbout) && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton
            && static_cast<QWidget *>(watched)->rect().contains(mouse->position().toPoint())) {
            StartDoc(WebAddress); // a failure to open changes nothing
            return true;
        }
    }
    return Components::BackdropWidget::eventFilter(watched, event);
}

QPixmap frmAbout::drawLogo()
{
    QPixmap logo(LogoSize);
    logo.fill(Qt::white);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);

    // A soft disc behind the emblem.
    QRadialGradient halo(QPointF(175, 118), 120);
    halo.setColorAt(0, QColor(255, 236, 214));
    halo.setColorAt(1, QColor(255, 255, 255));
    p.setBrush(halo);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(175, 118), 120, 110);

    // A two-tone capsule, tilted.
    p.save();
    p.translate(150, 112);
    p.rotate(-35);
    const QRectF capsule(-85, -30, 170, 60);
    QPainterPath left;
    left.addRoundedRect(capsule, 30, 30);
    QPainterPath rightHalf;
    rightHalf.addRect(QRectF(0, -31, 90, 62));
    QLinearGradient navy(0, -30, 0, 30);
    navy.setColorAt(0, QColor(70, 90, 170));
    navy.setColorAt(0.5, QColor(20, 40, 120));
    navy.setColorAt(1, QColor(10, 20, 80));
    QLinearGradient orange(0, -30, 0, 30);
    orange.setColorAt(0, QColor(255, 214, 150));
    orange.setColorAt(0.5, QColor(245, 150, 50));
    orange.setColorAt(1, QColor(200, 100, 20));
    p.setBrush(navy);
    p.drawPath(left.subtracted(rightHalf));
    p.setBrush(orange);
    p.drawPath(left.intersected(rightHalf));
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawRoundedRect(QRectF(-70, -22, 140, 12), 6, 6);
    p.setPen(QPen(QColor(30, 30, 60), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(capsule, 30, 30);
    p.restore();

    // A magnifying glass over the capsule's end.
    p.setPen(QPen(QColor(60, 60, 70), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(247, 160), QPointF(290, 203));
    QRadialGradient lens(QPointF(220, 128), 44);
    lens.setColorAt(0, QColor(255, 255, 255, 40));
    lens.setColorAt(1, QColor(180, 210, 240, 120));
    p.setBrush(lens);
    p.setPen(QPen(QColor(60, 60, 70), 7));
    p.drawEllipse(QPointF(220, 128), 40, 40);

    // The name.
    QFont title(QStringLiteral("Liberation Serif"), 26, QFont::Bold);
    p.setFont(title);
    p.setPen(QColor(0, 0, 128));
    p.drawText(QRectF(0, 222, logo.width(), 40), Qt::AlignCenter, QStringLiteral("Torvanelquist"));
    QFont sub(QStringLiteral("DejaVu Sans"), 9);
    p.setFont(sub);
    p.setPen(QColor(200, 100, 20));
    p.drawText(QRectF(0, 258, logo.width(), 20), Qt::AlignCenter, QStringLiteral("Approved drug products reference"));
    return logo;
}

} // namespace App
