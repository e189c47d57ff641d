#pragma once

#include <QImage>
#include <QString>
#include <QVector>

// The main window's ribbon button pictures, 32 by 32 with an alpha channel.
struct RibbonIcon
{
    QString fileName;
    QImage image;
};

// In image-list order: drugs, ingredients, dosage form, route, patents, about, exit,
// exclusivity, listed protection, update data, changes.
QVector<RibbonIcon> paintRibbonIcons();
