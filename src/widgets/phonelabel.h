#pragma once

#include "widgets/clickablelabel.h"

// A telephone number shown as a link after a telephone glyph; empty when there is no number.
class PhoneLabel final : public ClickableLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PhoneLabel)

public:
    explicit PhoneLabel(QWidget *parent = nullptr);
    ~PhoneLabel() override;

    void setPhoneNumber(const QString &number);

    const QString &getPhoneNumber() const { return m_number; }

private:
    QString m_number;
};
