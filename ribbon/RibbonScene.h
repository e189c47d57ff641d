#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QVector>

#include <array>
#include <initializer_list>
#include <optional>

namespace Ribbon {

// The families of visual elements the ribbon is made of. Element 0 of a family is
// created from the family's template; the theme sets the templates.
enum class RibbonFamily : int {
    Tab_left,
    Tab_center,
    Tab_right,
    Tab_left_over,
    Tab_center_over,
    Tab_right_over,
    Tab_caption,
    TabMouse,
    Cat_Left_off,
    Cat_Center_off,
    Cat_Right_off,
    Cat_Left_on,
    Cat_Center_on,
    Cat_Right_on,
    Cat_Caption,
    CatMouse,
    Cat_Dlg,
    Cat_Dlg_on,
    Cat_Dlg_over,
    Button_left,
    Button_center,
    Button_right,
    Button_left_over,
    Button_center_over,
    Button_right_over,
    Button_Icon,
    Button_Caption,
    Glip_off,
    Glip_on,
    ButMouse,
    Barra2,
    BarraLeft,
    BarraRight,
};
constexpr int RibbonFamilyCount = int(RibbonFamily::BarraRight) + 1;

enum class RibbonElementKind {
    Picture, // takes the size of its picture
    StretchedPicture, // shows its picture scaled to its own size
    Text, // takes the size of its text
    HitArea, // transparent; receives the mouse
};

enum class RibbonFont {
    None,
    Caption, // tab and category captions
    ButtonCaption, // button captions
};

RibbonElementKind kindOf(RibbonFamily family);
RibbonFont fontOf(RibbonFamily family);
const char *familyName(RibbonFamily family);

// One visual element. Geometry in twips from the ribbon's top-left corner.
struct RibbonElement
{
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    QPixmap picture;
    QString text;
    QColor color;
    QString tag; // ButMouse: button id; Button_center: category index; Cat_Caption: category id
    QString toolTip; // ButMouse
    bool visible = false;
    quint64 z = 0; // larger is nearer the front
};

struct ElementRef
{
    RibbonFamily family;
    int index;
    bool operator==(const ElementRef &other) const = default;
};

// The element's rectangle in widget pixels, as it is painted and hit.
QRect pixelRect(const RibbonElement &element);

// Gives an element of `family` a picture: a piece takes the picture's size, a stretched
// piece its height, keeping a width it already has.
void putPicture(RibbonElement &element, RibbonFamily family, const QPixmap &picture);

// The ribbon's retained visual tree: every family's elements and templates, with
// show, hide and bring-to-front, and a record of the pixel areas whose look changed.
class RibbonScene
{
public:
    RibbonScene();

    RibbonElement &templateOf(RibbonFamily family) { return m_templates[size_t(family)]; }
    const RibbonElement &templateOf(RibbonFamily family) const { return m_templates[size_t(family)]; }

    // Elements 0 to highestIndex() of a family (-1 when it has none).
    int highestIndex(RibbonFamily family) const { return int(m_families[size_t(family)].size()) - 1; }
    RibbonElement *find(RibbonFamily family, int index);
    const RibbonElement *find(RibbonFamily family, int index) const;
    // The element, which must exist.
    RibbonElement &at(RibbonFamily family, int index);
    const RibbonElement &at(RibbonFamily family, int index) const;

    // Makes element `index` afresh from the template: hidden, in front of everything.
    // Elements below `index` that do not exist yet are made too.
    RibbonElement &create(RibbonFamily family, int index);
    // Discards the elements from `first` on.
    void discardFrom(RibbonFamily family, int first);

    bool isShown(RibbonFamily family, int index) const;
    void show(RibbonFamily family, int index);
    void hide(RibbonFamily family, int index);
    void bringToFront(RibbonFamily family, int index);
    // The same for element `index` of several families, in the order given.
    void showEach(std::initializer_list<RibbonFamily> families, int index);
    void hideEach(std::initializer_list<RibbonFamily> families, int index);
    void bringEachToFront(std::initializer_list<RibbonFamily> families, int index);
    // Sets a picture as putPicture does.
    void setPicture(RibbonFamily family, int index, const QPixmap &picture);
    void setColor(RibbonFamily family, int index, const QColor &color);

    // Visible elements from back to front.
    const QVector<ElementRef> &paintOrder() const;
    // The visible element in front at a pixel position.
    std::optional<ElementRef> elementAt(const QPoint &pixel) const;

    // Changed areas in pixels since the last take; `everything` when a layout ran.
    void invalidateAll();
    QVector<QRect> takeDamage(bool *everything);

    // Colours of tab captions: not selected and selected.
    QColor tabCaptionColor{255, 255, 255};
    QColor tabCaptionSelectedColor{0, 0, 0};

private:
    void damage(const RibbonElement &element);

    std::array<RibbonElement, RibbonFamilyCount> m_templates;
    std::array<QVector<RibbonElement>, RibbonFamilyCount> m_families;
    quint64 m_nextZ = 0;
    mutable QVector<ElementRef> m_paintOrder;
    mutable bool m_paintOrderValid = false;
    QVector<QRect> m_damage;
    bool m_damageAll = true;
};

} // namespace Ribbon
