#include "search/AdvancedPanel.h"

#include "components/AppFonts.h"
#include "common/Twips.h"

#include <QButtonGroup>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

namespace Search {

namespace {

// The caption label of match option i: 0 to 2 as they always were, "Exactly" the 7th.
constexpr int matchLabel(int option)
{
    return option < 3 ? option : 7;
}

const QColor PanelColor(64, 0, 0);
const QColor CaptionColor(255, 192, 192);
const QColor MessageColor(255, 230, 140);
const QColor FrameColor(120, 40, 40);

// The content keeps its designed size; a larger panel centres it.
constexpr QSize ContentSize(Twips::toPixels(7335), Twips::toPixels(5775));

const char *const TagProperty = "Tag";

QLabel *captionLabel(const QString &text, const QString &name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(Components::AppFonts::timesNewRoman(8.25, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, CaptionColor);
    label->setPalette(palette);
    return label;
}

void paintPanel(QWidget *widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, PanelColor);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

AdvancedPanel::AdvancedPanel(const AdvancedSearch::RowDesigns &rows, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("picAdvanced"));
    setAccessibleName(QStringLiteral("Advanced search"));
    paintPanel(this);

    for (int i = 0; i < AdvancedSearch::RowCount; ++i) {
        const AdvancedSearch::RowDesign &design = rows.at(i);
        auto *tick = new QCheckBox(this);
        tick->setObjectName(QStringLiteral("chkParam%1").arg(i));
        tick->setAccessibleName(design.caption);
        tick->setAccessibleDescription(QStringLiteral("Search by %1").arg(design.caption));
        auto *label = captionLabel(design.caption, QStringLiteral("lblParam%1").arg(i), this);
        label->setProperty(TagProperty, design.column);
        auto *text = new QLineEdit(this);
        text->setObjectName(QStringLiteral("txtParam%1").arg(i));
        text->setAccessibleName(design.caption);
        text->setFont(Components::AppFonts::tahoma(8.25, true));
        label->setBuddy(text);
        connect(text, &QLineEdit::returnPressed, this, &AdvancedPanel::findRequested);
        // Typing into a row means searching by it: its box is ticked (unticking keeps the text).
        connect(text, &QLineEdit::textEdited, tick, [tick](const QString &typed) {
            if (!typed.isEmpty() && !tick->isHidden()) {
                tick->setChecked(true);
            }
        });
        connect(tick, &QCheckBox::toggled, this, [this](bool on) {
            if (on) {
                showMessage(QString());
            }
        });
        if (!design.used()) {
            tick->hide();
            label->hide();
            text->hide();
        }
        m_chkParam[i] = tick;
        m_lblParam[i] = label;
        m_txtParam[i] = text;
        actOnClick(label, tick);
    }

    m_lblParamSettings[3] = captionLabel(QStringLiteral("Search Criteria"), QStringLiteral("lblParamSettings3"), this);
    m_matchGroup = new QButtonGroup(this);
    const QString matchCaptions[] = {QStringLiteral("Starting With..."), QStringLiteral("... Includes ..."),
                                     QStringLiteral("... Ending With"), QStringLiteral("Exactly")};
    for (int i = 0; i < AdvancedSearch::MatchOptionCount; ++i) {
        auto *option = new QRadioButton(this);
        option->setObjectName(QStringLiteral("optParamSettings%1").arg(i));
        option->setAccessibleName(matchCaptions[i]);
        m_matchGroup->addButton(option, i);
        m_optParamSettings[i] = option;
        const int label = matchLabel(i);
        m_lblParamSettings[label]
            = captionLabel(matchCaptions[i], QStringLiteral("lblParamSettings%1").arg(label), this);
        actOnClick(m_lblParamSettings[label], option);
    }

    m_picBox = new QWidget(this);
    m_picBox->setObjectName(QStringLiteral("picBox"));
    m_picBox->setAccessibleName(QStringLiteral("Only results with"));
    paintPanel(m_picBox);
    m_lblParamSettings[4]
        = captionLabel(QStringLiteral("Only results with"), QStringLiteral("lblParamSettings4"), m_picBox);
    m_joinGroup = new QButtonGroup(this);
    const QString joinCaptions[] = {QStringLiteral("All Keywords"), QStringLiteral("Any Keyword")};
    for (int i = 0; i < 2; ++i) {
        auto *option = new QRadioButton(m_picBox);
        option->setObjectName(QStringLiteral("optParamConcat%1").arg(i));
        option->setAccessibleName(joinCaptions[i]);
        m_joinGroup->addButton(option, i);
        m_optParamConcat[i] = option;
        m_lblParamSettings[5 + i]
            = captionLabel(joinCaptions[i], QStringLiteral("lblParamSettings%1").arg(5 + i), m_picBox);
        actOnClick(m_lblParamSettings[5 + i], option);
    }

    m_lblAdvancedMessage = captionLabel(QString(), QStringLiteral("lblAdvancedMessage"), this);
    m_lblAdvancedMessage->setWordWrap(true);
    m_lblAdvancedMessage->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    QPalette messagePalette = m_lblAdvancedMessage->palette();
    messagePalette.setColor(QPalette::WindowText, MessageColor);
    m_lblAdvancedMessage->setPalette(messagePalette);

    m_cmdAdvancedCancel = new QPushButton(QStringLiteral("CANCEL"), this);
    m_cmdAdvancedCancel->setObjectName(QStringLiteral("cmdAdvancedCancel"));
    m_cmdAdvancedSearch = new QPushButton(QStringLiteral("FIND"), this);
    m_cmdAdvancedSearch->setObjectName(QStringLiteral("cmdAdvancedSearch"));
    // Enter on a focused button presses it, as Space does.
    m_cmdAdvancedCancel->setAutoDefault(true);
    m_cmdAdvancedSearch->setAutoDefault(true);
    connect(m_cmdAdvancedSearch, &QPushButton::clicked, this, &AdvancedPanel::findRequested);
    connect(m_cmdAdvancedCancel, &QPushButton::clicked, this, &AdvancedPanel::cancelRequested);

    setDefaults();
    layoutContent();
}

QString AdvancedPanel::paramTag(int i) const
{
    return m_lblParam.at(i)->property(TagProperty).toString();
}

QVector<AdvancedSearch::Row> AdvancedPanel::rows() const
{
    QVector<AdvancedSearch::Row> result;
    result.reserve(AdvancedSearch::RowCount);
    for (int i = 0; i < AdvancedSearch::RowCount; ++i) {
        // A hidden row is never part of a search, whatever its tick box holds.
        const bool usable = !m_chkParam[i]->isHidden();
        result.append({paramTag(i), m_txtParam[i]->text(), usable && m_chkParam[i]->isChecked()});
    }
    return result;
}

AdvancedSearch::MatchOption AdvancedPanel::matchOption() const
{
    const int id = m_matchGroup->checkedId();
    return id >= 0 ? AdvancedSearch::MatchOption(id) : AdvancedSearch::Includes;
}

AdvancedSearch::JoinOption AdvancedPanel::joinOption() const
{
    return m_joinGroup->checkedId() == AdvancedSearch::AnyKeyword ? AdvancedSearch::AnyKeyword
                                                                  : AdvancedSearch::AllKeywords;
}

void AdvancedPanel::setDefaults()
{
    m_optParamSettings[AdvancedSearch::Includes]->setChecked(true);
    m_optParamConcat[AdvancedSearch::AllKeywords]->setChecked(true);
    for (int i = 0; i < AdvancedSearch::RowCount; ++i) {
        m_chkParam[i]->setChecked(false);
        m_txtParam[i]->clear();
    }
    showMessage(QString());
}

void AdvancedPanel::actOnClick(QLabel *caption, QAbstractButton *control)
{
    m_captionControls.insert(caption, control);
    caption->installEventFilter(this);
}

bool AdvancedPanel::eventFilter(QObject *watched, QEvent *event)
{
    // A caption is its control's label: a click on it ticks the box or chooses the option.
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (QAbstractButton *control = m_captionControls.value(watched); control && control->isVisible()) {
            control->setFocus(Qt::MouseFocusReason);
            control->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AdvancedPanel::keyPressEvent(QKeyEvent *event)
{
    // Escape is CANCEL.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit cancelRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

QLineEdit *AdvancedPanel::firstRowText() const
{
    for (QLineEdit *text : m_txtParam) {
        if (!text->isHidden()) {
            return text;
        }
    }
    return nullptr;
}

void AdvancedPanel::showMessage(const QString &message)
{
    m_lblAdvancedMessage->setText(message);
}

void AdvancedPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutContent();
}

QRect AdvancedPanel::contentRect() const
{
    const QPoint origin(qMax(0, (width() - ContentSize.width()) / 2), qMax(0, (height() - ContentSize.height()) / 2));
    return QRect(origin, ContentSize);
}

void AdvancedPanel::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    // In a panel larger than its content, a quiet frame holds the rows and options together.
    const QRect content = contentRect();
    if (width() > content.width() + 24 && height() > content.height() + 24) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(FrameColor, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(content.adjusted(-8, -8, 8, 8)).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }
}

void AdvancedPanel::layoutContent()
{
    const QPoint origin = contentRect().topLeft();
    auto place = [&origin](QWidget *widget, const QRect &rect) { widget->setGeometry(rect.translated(origin)); };

    for (int i = 0; i < AdvancedSearch::RowCount; ++i) {
        const int top = 240 + 360 * i;
        place(m_chkParam[i], Twips::toPixelRect(120, top, 210, 210));
        place(m_lblParam[i], Twips::toPixelRect(480, top, 1455, 255));
        place(m_txtParam[i], Twips::toPixelRect(2040, top, 2655, 285));
    }
    place(m_lblParamSettings[3], Twips::toPixelRect(4920, 360, 1575, 255));
    for (int i = 0; i < AdvancedSearch::MatchOptionCount; ++i) {
        place(m_optParamSettings[i], Twips::toPixelRect(5160, 720 + 240 * i, 210, 210));
        place(m_lblParamSettings[matchLabel(i)], Twips::toPixelRect(5520, 720 + 240 * i, 1575, 255));
    }
    place(m_picBox, Twips::toPixelRect(5040, 1920, 2055, 1095));
    m_lblParamSettings[4]->setGeometry(Twips::toPixelRect(0, 0, 1575, 255));
    for (int i = 0; i < 2; ++i) {
        m_optParamConcat[i]->setGeometry(Twips::toPixelRect(120, 360 + 240 * i, 210, 210));
        m_lblParamSettings[5 + i]->setGeometry(Twips::toPixelRect(480, 360 + 240 * i, 1575, 255));
    }
    place(m_lblAdvancedMessage, Twips::toPixelRect(4920, 3240, 2175, 1335));
    place(m_cmdAdvancedCancel, Twips::toPixelRect(4920, 4680, 2175, 375));
    place(m_cmdAdvancedSearch, Twips::toPixelRect(4920, 5160, 2175, 375));
}

} // namespace Search
