#pragma once

#include <QProxyStyle>

// Draws a group box's check indicator as an arrow: right when checked, down when unchecked.
class DropdownGroupboxStyle final : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
        const QWidget *widget = nullptr) const override;
};
