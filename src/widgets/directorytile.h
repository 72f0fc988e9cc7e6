#pragma once

#include <QString>

#include "widgets/clickablelabel.h"

class QLabel;

// The face of a company-directory tile: a framed, clickable label that draws its own two texts,
// the name (and extension) on top and the presence text below, with the phone-number line between
// them, where the phone label sits when the tile has one.
//
// The texts are painted rather than held by labels of their own: under the application's style
// sheet every widget keeps style caches of several kilobytes, and a rich-text label a text
// document, which a directory of a thousand tiles pays for a thousand times.
class DirectoryTile final : public ClickableLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DirectoryTile)

public:
    explicit DirectoryTile(QWidget *parent = nullptr);
    ~DirectoryTile() override;

    // Plain text, lines separated by "\n". False when the text was already shown.
    bool setName(const QString &text);
    bool setStatus(const QString &text);

    const QString &name() const { return m_name; }

    const QString &status() const { return m_status; }

    // Places `phone`, a child of the tile, on the phone-number line.
    void setPhoneLabel(QLabel *phone);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The three lines' boxes, stacked from the top-left corner as a vertical layout with margins
    // 5, 5, 0, 0 and spacing 2 would place labels of these texts.
    QRect nameBox() const;
    QRect phoneBox() const;
    QRect statusBox() const;
    int textHeight(const QString &text) const;
    void placePhoneLabel();

    QString m_name;
    QString m_status;
    QLabel *m_phone = nullptr;
};
