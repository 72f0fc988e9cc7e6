#include "widgets/dropdowngroupboxstyle.h"

#include <QGroupBox>
#include <QStyleOption>

void DropdownGroupboxStyle::drawPrimitive(
    PrimitiveElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    if (element == PE_IndicatorCheckBox && qobject_cast<const QGroupBox *>(widget)) {
        const bool checked = option->state & State_On;
        QProxyStyle::drawPrimitive(
            checked ? PE_IndicatorArrowRight : PE_IndicatorArrowDown, option, painter, widget);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}
