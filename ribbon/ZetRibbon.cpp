#include "ribbon/ZetRibbon.h"

#include "common/AppError.h"
#include "common/Twips.h"
#include "ribbon/PropertyBag.h"
#include "ribbon/RibbonInteraction.h"
#include "ribbon/RibbonTheme.h"
#include "ribbon/ZetRibbonAccessible.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <cmath>
#include <utility>

namespace Ribbon {

using F = RibbonFamily;

ZetRibbon::ZetRibbon(QWidget *parent)
    : QWidget(parent),
      m_measurer(std::make_unique<FontTextMeasurer>())
{
    ZetRibbonAccessible::install();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(tr("Ribbon"));

    // A new ribbon shows its background bar in the first theme. These are the pictures
    // the control comes with, decoded straight from the resources. A host that sets
    // Theme to that theme at once (as the main window does at start-up) finds its
    // pictures already in place: they are decoded once, not again through files.
    Common::runSkippingFailure([this] {
        RibbonTheme::applyToScene(m_scene, m_theme, builtInPicture);
        m_builtInTheme = m_theme;
    });
    const RibbonTheme::Colors colors = RibbonTheme::colors(m_theme);
    m_backColor = colors.backColor;
    m_foreColor = colors.foreColor;
    LayoutBackground(m_scene);
    Resize();
}

ZetRibbon::~ZetRibbon()
{
    dropAccessibleItems(true, true);
    purgeDroppedAccessibleItems();
}

void ZetRibbon::AddTab(const QString &zID, const QString &zCaption)
{
    m_model.AddTab(zID, zCaption);
}

void ZetRibbon::AddCat(const QString &zID, const QString &zTab, const QString &zCaption, bool zDlgButton)
{
    m_model.AddCat(zID, zTab, zCaption, zDlgButton);
}

void ZetRibbon::AddButton(const QString &zID, const QString &zSubCat, const QString &zCaption, qint16 zPicture,
                          bool zMore, const QString &zToolTip)
{
    m_model.AddButton(zID, zSubCat, zCaption, zPicture, zMore, zToolTip);
}

RibbonLayoutInput ZetRibbon::layoutInput() const
{
    return RibbonLayoutInput{m_model, *m_measurer, m_buttonCenter};
}

void ZetRibbon::Refresh()
{
    Resize();
    LayoutTabs(m_scene, layoutInput());
    LayoutCategories(m_scene, layoutInput());
    ++m_tabGeneration;
    ++m_categoryGeneration;
    m_captured.reset();
    if (m_focusItem && !isLive(*m_focusItem)) {
        m_focusItem.reset();
    }
    dropAccessibleItems(true, true);
    flushDamage();
}

void ZetRibbon::Resize()
{
    setFixedHeight(std::max(0, int(std::lround(Twips::toPixels(ribbonHeight(m_scene))))));
}

void ZetRibbon::layoutCategoriesAgain()
{
    LayoutCategories(m_scene, layoutInput());
    ++m_categoryGeneration;
    if (m_focusItem && m_focusItem->family == F::ButMouse) {
        m_focusItem.reset();
    }
    dropAccessibleItems(false, true);
}

void ZetRibbon::setTheme(int New_Theme)
{
    m_theme = qint16(New_Theme < 0 || New_Theme > 2 ? 0 : New_Theme);
    m_propertiesChanged = true;
    emit PropertyChanged(QStringLiteral("Theme"));
    ApplyTheme(m_theme);
}

void ZetRibbon::ApplyTheme(int theme)
{
    const RibbonTheme::Colors colors = RibbonTheme::colors(theme);
    m_backColor = colors.backColor;
    m_foreColor = colors.foreColor;
    update();
    // Only the first application after construction can find its pictures in place.
    if (std::exchange(m_builtInTheme, -1) != theme) {
        RibbonTheme::applyToScene(m_scene, theme);
    }
    Resize();
    flushDamage();
}

void ZetRibbon::setButtonCenter(const QVariant &New_BC)
{
    m_buttonCenter = New_BC.toBool();
    m_propertiesChanged = true;
    emit PropertyChanged(QStringLiteral("ButtonCenter"));
}

QPixmap ZetRibbon::LoadBackground() const
{
    return LoadResPicture(RibbonTheme::BackgroundPictureId, RibbonTheme::themeName(m_theme));
}

void ZetRibbon::setImageList(const Components::VbalImageList *zImageList)
{
    m_model.setImageList(zImageList);
}

void ZetRibbon::ReadProperties(const PropertyBag &PropBag)
{
    // The theme value is taken as stored: it is neither checked nor applied.
    m_theme = qint16(PropBag.ReadProperty(QStringLiteral("Theme"), 0).toInt());
    m_buttonCenter = PropBag.ReadProperty(QStringLiteral("ButtonCenter"), false).toBool();
    m_propertiesChanged = false;
}

void ZetRibbon::WriteProperties(PropertyBag &PropBag) const
{
    PropBag.WriteProperty(QStringLiteral("Theme"), int(m_theme), 0);
    PropBag.WriteProperty(QStringLiteral("ButtonCenter"), m_buttonCenter, false);
    PropBag.WriteProperty(QStringLiteral("BackColor"), m_backColor, QColor(70, 70, 70));
    PropBag.WriteProperty(QStringLiteral("ForeColor"), m_foreColor, QColor(255, 255, 255));
}

// ---- interaction ---------------------------------------------------------------------

void ZetRibbon::HoverTab(qint16 t)
{
    Ribbon::HoverTab(m_scene, t);
    flushDamage();
}

void ZetRibbon::HoverCategory(qint16 c)
{
    Ribbon::HoverCategory(m_scene, c);
    flushDamage();
}

void ZetRibbon::HoverButton(qint16 b)
{
    Ribbon::HoverButton(m_scene, b);
    flushDamage();
}

void ZetRibbon::selectTab(int i)
{
    if (i < 0 || i >= m_model.tabCount() || !m_scene.find(F::TabMouse, i)) {
        return;
    }
    showTab(i);
    const RibbonTab tab = m_model.tab(i);
    emit TabClick(tab.id, tab.caption);
}

void ZetRibbon::showTab(int i)
{
    selectTabLook(m_scene, m_model, i);
    layoutCategoriesAgain();
    flushDamage();
}

bool ZetRibbon::selectTabOfButton(const QString &zID)
{
    QString categoryId;
    for (int b = 0; b < m_model.buttonCount() && categoryId.isNull(); ++b) {
        if (m_model.button(b).id == zID) {
            categoryId = m_model.button(b).categoryId;
        }
    }
    QString tabId;
    for (int c = 0; c < m_model.categoryCount() && !categoryId.isNull() && tabId.isNull(); ++c) {
        if (m_model.category(c).id == categoryId) {
            tabId = m_model.category(c).tabId;
        }
    }
    for (int i = 0; i < m_model.tabCount() && !tabId.isNull(); ++i) {
        if (m_model.tab(i).id == tabId && m_scene.find(F::TabMouse, i)) {
            if (selectedTab(m_scene) != i) {
                showTab(i);
            }
            return true;
        }
    }
    return false;
}

void ZetRibbon::setButtonShortcut(const QString &zID, const QKeySequence &keys)
{
    m_shortcuts.insert(zID, keys);
}

QString ZetRibbon::buttonToolTip(int j) const
{
    if (!m_scene.find(F::ButMouse, j)) {
        return QString();
    }
    const RibbonElement &mouse = m_scene.at(F::ButMouse, j);
    const QKeySequence keys = m_shortcuts.value(mouse.tag);
    if (keys.isEmpty()) {
        return mouse.toolTip;
    }
    const QString caption = itemName({F::ButMouse, j});
    const QString heading = QStringLiteral("%1 (%2)").arg(caption, keys.toString(QKeySequence::NativeText));
    return mouse.toolTip.isEmpty() || mouse.toolTip == caption ? heading : heading + QLatin1Char('\n') + mouse.toolTip;
}

bool ZetRibbon::isLive(const ElementRef &item) const
{
    return m_scene.isShown(item.family, item.index);
}

void ZetRibbon::elementMouseMove(const ElementRef &element)
{
    const qint16 i = qint16(element.index);
    switch (element.family) {
    case F::TabMouse:
        Ribbon::HoverTab(m_scene, i);
        Ribbon::HoverCategory(m_scene, -1);
        Ribbon::HoverButton(m_scene, -1);
        break;
    case F::CatMouse:
    case F::Cat_Dlg:
        Ribbon::HoverTab(m_scene, -1);
        Ribbon::HoverCategory(m_scene, i);
        Ribbon::HoverButton(m_scene, -1);
        break;
    case F::Cat_Dlg_on:
        Ribbon::HoverTab(m_scene, -1);
        Ribbon::HoverCategory(m_scene, i);
        Ribbon::HoverButton(m_scene, -1);
        m_scene.show(F::Cat_Dlg_over, i);
        break;
    case F::ButMouse:
        Ribbon::HoverTab(m_scene, -1);
        Ribbon::HoverCategory(m_scene, m_scene.at(F::Button_center, i).tag.toShort());
        Ribbon::HoverButton(m_scene, i);
        break;
    case F::Barra2:
    case F::BarraLeft:
    case F::BarraRight:
        Ribbon::HoverTab(m_scene, -1);
        Ribbon::HoverCategory(m_scene, -1);
        Ribbon::HoverButton(m_scene, -1);
        break;
    default:
        break;
    }
}

void ZetRibbon::elementClick(const ElementRef &element)
{
    switch (element.family) {
    case F::TabMouse:
        selectTab(element.index);
        break;
    case F::Cat_Dlg_over: {
        const RibbonElement &caption = m_scene.at(F::Cat_Caption, element.index);
        const QString id = caption.tag;
        const QString text = caption.text;
        emit CatClick(id, text);
        break;
    }
    case F::ButMouse: {
        const QString id = m_scene.at(F::ButMouse, element.index).tag;
        const QString caption = m_scene.at(F::Button_Caption, element.index).text;
        emit ButtonClick(id, caption);
        break;
    }
    default:
        break;
    }
}

void ZetRibbon::showPressed(int j, bool pressed)
{
    for (const F family : {F::Button_left_over, F::Button_center_over, F::Button_right_over}) {
        if (pressed) {
            m_scene.show(family, j);
        } else {
            m_scene.hide(family, j);
        }
    }
}

void ZetRibbon::mouseMoveEvent(QMouseEvent *event)
{
    // While a mouse button is held, the element that took the press keeps the mouse.
    std::optional<ElementRef> target;
    if (event->buttons() != Qt::NoButton && m_captured) {
        target = isLive(*m_captured) ? m_captured : std::nullopt;
    } else {
        target = m_scene.elementAt(event->position().toPoint());
    }
    if (target) {
        elementMouseMove(*target);
    }
    flushDamage();
}

void ZetRibbon::mousePressEvent(QMouseEvent *event)
{
    m_lastClicked.reset();
    m_pressEndsDoubleClick = false;
    if (!m_captured || !isLive(*m_captured)) {
        m_captured = m_scene.elementAt(event->position().toPoint());
    }
    if (m_captured && m_captured->family == F::ButMouse) {
        showPressed(m_captured->index, true);
    }
    flushDamage();
}

void ZetRibbon::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Qt sends this in place of the second press of a double click, after the first
    // press and release have made their click.
    const bool sameElement = m_lastClicked && m_scene.elementAt(event->position().toPoint()) == m_lastClicked;
    mousePressEvent(event);
    m_pressEndsDoubleClick = sameElement;
}

void ZetRibbon::mouseReleaseEvent(QMouseEvent *event)
{
    const std::optional<ElementRef> pressed = m_captured;
    if (!pressed || !isLive(*pressed)) {
        m_captured.reset();
        return;
    }
    if (pressed->family == F::ButMouse) {
        showPressed(pressed->index, false);
    }
    if (event->buttons() == Qt::NoButton) {
        m_captured.reset();
    }
    flushDamage();
    // A click is the primary button let go over the element it was pressed on.
    if (event->button() == Qt::LeftButton && m_scene.elementAt(event->position().toPoint()) == pressed
        && !std::exchange(m_pressEndsDoubleClick, false)) {
        m_lastClicked = pressed;
        elementClick(*pressed);
    }
}

void ZetRibbon::leaveEvent(QEvent *event)
{
    // Leaving the ribbon clears the highlights, as crossing its background bar does.
    if (!m_captured) {
        elementMouseMove({F::Barra2, 0});
        if (m_focusItem && m_focusVisible && hasFocus()) {
            elementMouseMove(*m_focusItem);
        }
        flushDamage();
    }
    QWidget::leaveEvent(event);
}

bool ZetRibbon::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const std::optional<ElementRef> target = m_scene.elementAt(help->pos());
        if (target && target->family == F::ButMouse) {
            const RibbonElement &mouse = m_scene.at(F::ButMouse, target->index);
            if (const QString tip = buttonToolTip(target->index); !tip.isEmpty()) {
                QToolTip::showText(help->globalPos(), tip, this, pixelRect(mouse));
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

// ---- painting ------------------------------------------------------------------------

void ZetRibbon::flushDamage()
{
    bool everything = false;
    const QVector<QRect> damage = m_scene.takeDamage(&everything);
    if (everything) {
        update();
        return;
    }
    for (const QRect &rect : damage) {
        update(rect);
    }
}

void ZetRibbon::drawElement(QPainter &painter, const RibbonElement &element, RibbonElementKind kind,
                            const QRect &target) const
{
    switch (kind) {
    case RibbonElementKind::Picture:
    case RibbonElementKind::StretchedPicture:
        if (!element.picture.isNull()) {
            painter.drawPixmap(target, element.picture);
        }
        break;
    case RibbonElementKind::Text: {
        const QStringList lines = captionLines(element.text);
        const qreal lineHeight = qreal(target.height()) / qreal(std::max<qsizetype>(1, lines.size()));
        painter.setPen(element.color);
        for (int l = 0; l < lines.size(); ++l) {
            const QRectF line(target.left(), target.top() + l * lineHeight, target.width(), lineHeight);
            painter.drawText(line, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, lines[l]);
        }
        break;
    }
    case RibbonElementKind::HitArea:
        break;
    }
}

void ZetRibbon::paintEvent(QPaintEvent *event)
{
    QPainter painter(this); // clipped to the region being repainted
    const QRegion region = event->region();
    painter.fillRect(event->rect(), m_backColor);
    // Pieces keep hard pixel edges at whole scale factors; between them they are smoothed.
    const qreal ratio = devicePixelRatioF();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, std::abs(ratio - std::round(ratio)) > 0.01);
    painter.setRenderHint(QPainter::TextAntialiasing);

    RibbonFont currentFont = RibbonFont::None;
    for (const ElementRef &ref : m_scene.paintOrder()) {
        const RibbonElement &element = m_scene.at(ref.family, ref.index);
        const QRect target = pixelRect(element);
        if (!region.intersects(target)) {
            continue;
        }
        const RibbonElementKind kind = kindOf(ref.family);
        if (kind == RibbonElementKind::Text && fontOf(ref.family) != currentFont) {
            currentFont = fontOf(ref.family);
            painter.setFont(FontTextMeasurer::fontFor(currentFont));
        }
        drawElement(painter, element, kind, target);
    }

    const QRect frame = hasFocus() ? focusFrame() : QRect();
    if (frame.isValid() && region.intersects(frame)) {
        const bool onTab = m_focusItem->family == F::TabMouse;
        const QColor color = onTab ? m_scene.at(F::Tab_caption, m_focusItem->index).color
                                   : m_scene.at(F::Button_Caption, m_focusItem->index).color;
        painter.setPen(QPen(color, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
    }
}

QSize ZetRibbon::sizeHint() const
{
    return QSize(744, height());
}

QSize ZetRibbon::minimumSizeHint() const
{
    return QSize(0, height());
}

} // namespace Ribbon
