#include "app/frmMainForm.h"

#include "app/MdiBackdropArea.h"
#include "common/UserSettings.h"

#include <QDir>
#include <QGuiApplication>
#include <QLayout>
#include <QMdiSubWindow>
#include <QScreen>
#include <QSettings>

namespace App {

// ---- size and place -----------------------------------------------------------------

namespace {

const QString GeometryKey = QStringLiteral("MainWindow/geometry");
const QString FrameGeometryKey = QStringLiteral("MainWindow/frameGeometry");

} // namespace

QRect frmMainForm::fitIntoArea(const QRect &frame, const QRect &available)
{
    if (available.isEmpty()) {
        return frame;
    }
    QRect fitted(frame.topLeft(), frame.size().boundedTo(available.size()).expandedTo(QSize(1, 1)));
    fitted.moveLeft(qBound(available.left(), fitted.left(), available.right() - fitted.width() + 1));
    fitted.moveTop(qBound(available.top(), fitted.top(), available.bottom() - fitted.height() + 1));
    return fitted;
}

QSize frmMainForm::firstSize(const QSize &need, const QSize &overhead, const QSize &available)
{
    const QSize wanted = need + overhead;
    return available.isEmpty() ? wanted : wanted.boundedTo(available);
}

QSize frmMainForm::neededSize(int command) const
{
    const QWidget *window = m_windows.value(command);
    if (!window) {
        return QSize();
    }
    return m_designNeeds.value(command)
        .expandedTo(window->sizeHint())
        .expandedTo(window->minimumSizeHint())
        .expandedTo(window->minimumSize());
}

void frmMainForm::setVisible(bool visible)
{
    if (visible && !m_placementChosen) {
        m_placementChosen = true;
        // A caller that sized or placed the window (a test, the screenshot tools) keeps
        // that, and its geometry is not kept for the user either.
        m_keepsGeometry = !testAttribute(Qt::WA_Resized) && !testAttribute(Qt::WA_Moved);
        // Placed before it is shown, so its windows are laid out once, at that size.
        if (m_keepsGeometry) {
            placeOnScreen();
        }
    }
    QMainWindow::setVisible(visible);
}

void frmMainForm::placeOnScreen()
{
    const std::unique_ptr<QSettings> settings = Common::userSettings();
    if (settings->status() != QSettings::NoError) {
        // The window then opens as at a first start, and the file is written anew at the end.
        qWarning("torvanelquist: the window's size and place kept in %s cannot be read",
                 qPrintable(QDir::toNativeSeparators(settings->fileName())));
    }
    const QRect saved = settings->value(GeometryKey).toRect();
    if (saved.isValid()) {
        // The frame as it was, on the screen it was on (or the nearest one left), inside
        // that screen's free area.
        QRect savedFrame = settings->value(FrameGeometryKey).toRect();
        if (!savedFrame.contains(saved) || savedFrame.width() - saved.width() > 200
            || savedFrame.height() - saved.height() > 200) {
            savedFrame = saved;
        }
        const QScreen *screen = QGuiApplication::screenAt(savedFrame.center());
        if (!screen) {
            screen = QGuiApplication::primaryScreen();
        }
        const QRect frame = screen ? fitIntoArea(savedFrame, screen->availableGeometry()) : savedFrame;
        setGeometry(
            frame.marginsRemoved(QMargins(saved.left() - savedFrame.left(), saved.top() - savedFrame.top(),
                                          savedFrame.right() - saved.right(), savedFrame.bottom() - saved.bottom())));
        return;
    }
    // The first start: room for the front window's controls below the ribbon.
    const QMdiSubWindow *sub = m_mdiArea->activeSubWindow();
    const QWidget *front = sub ? sub->widget() : nullptr;
    if (!front || commandOf(front) < 0) {
        return;
    }
    // Around the front window: the ribbon and the client area's frame, then the child
    // frame's title bar and borders. Measured from fixed parts, since the children are
    // not laid out before the window is shown.
    ensurePolished();
    m_mdiArea->ensurePolished();
    layout()->activate();
    const int areaFrame = 2 * m_mdiArea->frameWidth();
    QMargins childFrame = sub->contentsMargins();
    if (const QLayout *childLayout = sub->layout()) {
        childFrame += childLayout->contentsMargins();
    }
    const QSize overhead = size() - m_mdiArea->size() + QSize(areaFrame, areaFrame)
        + QSize(childFrame.left() + childFrame.right(), childFrame.top() + childFrame.bottom());
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    // The window manager's frame is not known before the window is shown: a typical one
    // is left room for.
    const QMargins frameGuess(4, 28, 4, 4);
    const QSize free = available.marginsRemoved(frameGuess).size();
    const QSize size = firstSize(neededSize(commandOf(front)), overhead, free);
    QRect frame(QPoint(), size.grownBy(frameGuess));
    frame.moveCenter(available.center());
    setGeometry(fitIntoArea(frame, available).marginsRemoved(frameGuess));
}

void frmMainForm::saveGeometryToSettings() const
{
    if (!m_keepsGeometry) {
        return;
    }
    const std::unique_ptr<QSettings> settings = Common::userSettings();
    settings->setValue(GeometryKey, normalGeometry());
    settings->setValue(FrameGeometryKey, frameGeometry());
    settings->sync();
    if (settings->status() != QSettings::NoError) {
        qWarning("torvanelquist: the window's size and place cannot be kept in %s",
                 qPrintable(QDir::toNativeSeparators(settings->fileName())));
    }
}

} // namespace App
