#pragma once

#include <QProxyStyle>

class QHeaderView;

// Qt's own styles point a header's sort arrow down for an ascending order; the desktops the
// console runs on (and the other programs an operator knows) point it up, smallest first. This
// style draws the arrow their way and leaves everything else to the style beneath.
class SortArrowStyle : public QProxyStyle
{
public:
    explicit SortArrowStyle(QStyle* base = nullptr);

    // The header draws its arrow this way from now on; the style belongs to the header.
    static void apply(QHeaderView& header);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};
