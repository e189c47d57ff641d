#include "ribbon/RibbonScene.h"

#include "common/Twips.h"

#include <algorithm>
#include <cmath>

namespace Ribbon {

RibbonElementKind kindOf(RibbonFamily family)
{
    switch (family) {
    case RibbonFamily::Tab_center:
    case RibbonFamily::Tab_center_over:
    case RibbonFamily::Cat_Center_off:
    case RibbonFamily::Cat_Center_on:
    case RibbonFamily::Button_center:
    case RibbonFamily::Button_center_over:
    case RibbonFamily::Barra2:
        return RibbonElementKind::StretchedPicture;
    case RibbonFamily::Tab_caption:
    case RibbonFamily::Cat_Caption:
    case RibbonFamily::Button_Caption:
        return RibbonElementKind::Text;
    case RibbonFamily::TabMouse:
    case RibbonFamily::CatMouse:
    case RibbonFamily::ButMouse:
        return RibbonElementKind::HitArea;
    default:
        return RibbonElementKind::Picture;
    }
}

RibbonFont fontOf(RibbonFamily family)
{
    switch (family) {
    case RibbonFamily::Tab_caption:
    case RibbonFamily::Cat_Caption:
        return RibbonFont::Caption;
    case RibbonFamily::Button_Caption:
        return RibbonFont::ButtonCaption;
    default:
        return RibbonFont::None;
    }
}

const char *familyName(RibbonFamily family)
{
    static const char *const names[RibbonFamilyCount]
        = {"Tab_left",          "Tab_center",     "Tab_right",        "Tab_left_over",
           "Tab_center_over",   "Tab_right_over", "Tab_caption",      "TabMouse",
           "Cat_Left_off",      "Cat_Center_off", "Cat_Right_off",    "Cat_Left_on",
           "Cat_Center_on",     "Cat_Right_on",   "Cat_Caption",      "CatMouse",
           "Cat_Dlg",           "Cat_Dlg_on",     "Cat_Dlg_over",     "Button_left",
           "Button_center",     "Button_right",   "Button_left_over", "Button_center_over",
           "Button_right_over", "Button_Icon",    "Button_Caption",   "Glip_off",
           "Glip_on",           "ButMouse",       "Barra2",           "BarraLeft",
           "BarraRight"};
    return names[int(family)];
}

QRect pixelRect(const RibbonElement &element)
{
    const int left = int(std::lround(Twips::toPixels(element.left)));
    const int top = int(std::lround(Twips::toPixels(element.top)));
    const int right = int(std::lround(Twips::toPixels(element.left + element.width)));
    const int bottom = int(std::lround(Twips::toPixels(element.top + element.height)));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void putPicture(RibbonElement &element, RibbonFamily family, const QPixmap &picture)
{
    element.picture = picture;
    element.height = float(Twips::fromPixels(picture.height()));
    if (kindOf(family) == RibbonElementKind::Picture || element.width == 0) {
        element.width = float(Twips::fromPixels(picture.width()));
    }
}

RibbonScene::RibbonScene()
{
    // The hit areas have fixed heights; everything else is sized by its picture or text.
    templateOf(RibbonFamily::TabMouse).height = 360;
    templateOf(RibbonFamily::CatMouse).height = 1350;
    templateOf(RibbonFamily::ButMouse).height = 990;
    for (int f = 0; f < RibbonFamilyCount; ++f) {
        create(RibbonFamily(f), 0);
    }
}

RibbonElement *RibbonScene::find(RibbonFamily family, int index)
{
    QVector<RibbonElement> &elements = m_families[size_t(family)];
    return index >= 0 && index < elements.size() ? &elements[index] : nullptr;
}

const RibbonElement *RibbonScene::find(RibbonFamily family, int index) const
{
    const QVector<RibbonElement> &elements = m_families[size_t(family)];
    return index >= 0 && index < elements.size() ? &elements[index] : nullptr;
}

RibbonElement &RibbonScene::at(RibbonFamily family, int index)
{
    return m_families[size_t(family)][index];
}

const RibbonElement &RibbonScene::at(RibbonFamily family, int index) const
{
    return m_families[size_t(family)][index];
}

RibbonElement &RibbonScene::create(RibbonFamily family, int index)
{
    QVector<RibbonElement> &elements = m_families[size_t(family)];
    while (elements.size() <= index) {
        elements.append(templateOf(family));
        elements.last().visible = false;
        elements.last().z = ++m_nextZ;
    }
    RibbonElement &element = elements[index];
    if (element.visible) {
        damage(element);
    }
    element = templateOf(family);
    element.visible = false;
    element.z = ++m_nextZ;
    m_paintOrderValid = false;
    return element;
}

void RibbonScene::discardFrom(RibbonFamily family, int first)
{
    QVector<RibbonElement> &elements = m_families[size_t(family)];
    for (int i = std::max(first, 0); i < elements.size(); ++i) {
        if (elements[i].visible) {
            damage(elements[i]);
        }
    }
    if (first < elements.size()) {
        elements.resize(std::max(first, 0));
        m_paintOrderValid = false;
    }
}

bool RibbonScene::isShown(RibbonFamily family, int index) const
{
    const RibbonElement *element = find(family, index);
    return element && element->visible;
}

void RibbonScene::show(RibbonFamily family, int index)
{
    RibbonElement *element = find(family, index);
    if (element && !element->visible) {
        element->visible = true;
        damage(*element);
        m_paintOrderValid = false;
    }
}

void RibbonScene::hide(RibbonFamily family, int index)
{
    RibbonElement *element = find(family, index);
    if (element && element->visible) {
        damage(*element);
        element->visible = false;
        m_paintOrderValid = false;
    }
}

void RibbonScene::bringToFront(RibbonFamily family, int index)
{
    RibbonElement *element = find(family, index);
    if (!element) {
        return;
    }
    element->z = ++m_nextZ;
    if (element->visible) {
        damage(*element);
        m_paintOrderValid = false;
    }
}

void RibbonScene::showEach(std::initializer_list<RibbonFamily> families, int index)
{
    for (const RibbonFamily family : families) {
        show(family, index);
    }
}

void RibbonScene::hideEach(std::initializer_list<RibbonFamily> families, int index)
{
    for (const RibbonFamily family : families) {
        hide(family, index);
    }
}

void RibbonScene::bringEachToFront(std::initializer_list<RibbonFamily> families, int index)
{
    for (const RibbonFamily family : families) {
        bringToFront(family, index);
    }
}

void RibbonScene::setPicture(RibbonFamily family, int index, const QPixmap &picture)
{
    RibbonElement *element = find(family, index);
    if (!element) {
        return;
    }
    if (element->visible) {
        damage(*element);
    }
    putPicture(*element, family, picture);
    if (element->visible) {
        damage(*element);
    }
}

void RibbonScene::setColor(RibbonFamily family, int index, const QColor &color)
{
    RibbonElement *element = find(family, index);
    if (element && element->color != color) {
        element->color = color;
        if (element->visible) {
            damage(*element);
        }
    }
}

const QVector<ElementRef> &RibbonScene::paintOrder() const
{
    if (!m_paintOrderValid) {
        struct Entry
        {
            quint64 z;
            ElementRef ref;
        };
        QVector<Entry> entries;
        for (int f = 0; f < RibbonFamilyCount; ++f) {
            const QVector<RibbonElement> &elements = m_families[size_t(f)];
            for (int i = 0; i < elements.size(); ++i) {
                if (elements[i].visible) {
                    entries.append({elements[i].z, {RibbonFamily(f), i}});
                }
            }
        }
        std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.z < b.z; });
        m_paintOrder.clear();
        m_paintOrder.reserve(entries.size());
        for (const Entry &entry : entries) {
            m_paintOrder.append(entry.ref);
        }
        m_paintOrderValid = true;
    }
    return m_paintOrder;
}

std::optional<ElementRef> RibbonScene::elementAt(const QPoint &pixel) const
{
    const QVector<ElementRef> &order = paintOrder();
    for (auto it = order.crbegin(); it != order.crend(); ++it) {
        if (pixelRect(at(it->family, it->index)).contains(pixel)) {
            return *it;
        }
    }
    return std::nullopt;
}

void RibbonScene::invalidateAll()
{
    m_damageAll = true;
    m_damage.clear();
}

QVector<QRect> RibbonScene::takeDamage(bool *everything)
{
    *everything = m_damageAll;
    m_damageAll = false;
    return std::exchange(m_damage, {});
}

void RibbonScene::damage(const RibbonElement &element)
{
    if (m_damageAll) {
        return;
    }
    const QRect rect = pixelRect(element);
    if (rect.isValid() && !m_damage.contains(rect)) {
        m_damage.append(rect);
    }
}

} // namespace Ribbon
