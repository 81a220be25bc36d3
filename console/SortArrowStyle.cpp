#include "SortArrowStyle.h"

#include <QHeaderView>
#include <QStyleOptionHeader>

SortArrowStyle::SortArrowStyle(QStyle* base)
    : QProxyStyle(base)
{
}

void SortArrowStyle::apply(QHeaderView& header)
{
    auto* style = new SortArrowStyle;
    style->setParent(&header);
    header.setStyle(style);
}

void SortArrowStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const
{
    const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
    if (element != PE_IndicatorHeaderArrow || header == nullptr ||
        header->sortIndicator == QStyleOptionHeader::None)
        return QProxyStyle::drawPrimitive(element, option, painter, widget);
    QStyleOptionHeader turned(*header);
    turned.sortIndicator = header->sortIndicator == QStyleOptionHeader::SortUp
                               ? QStyleOptionHeader::SortDown
                               : QStyleOptionHeader::SortUp;
    QProxyStyle::drawPrimitive(element, &turned, painter, widget);
}
