#pragma once

#include <QString>

#include "widgets/clickablelabel.h"

class QTextDocument;

// The face of a company-directory tile: a framed, clickable label that draws its three lines
// itself, the name (and extension) on top, the phone-number line (a telephone glyph and the
// number as a link) and the presence text below.
//
// The lines are painted rather than held by labels of their own: under the application's style
// sheet every widget keeps style caches of several kilobytes, and a rich-text label a text
// document and text control, which a directory of a thousand tiles pays for a thousand times.
//
// The tile is a box with a border of one pixel in the text colour, filled with the palette's
// window colour (auto-fill). It does not go through the style at all, so that the application's
// style sheet keeps no rules cache for it (about 8 KB a tile): it is not polished, and it draws
// its box itself rather than as a frame of the style's.
//
// The phone-number line acts as a control of its own: a click on it emits phoneClicked() (not
// clicked()), the pointer turns into a pointing hand over it, and isOnPhoneLine() tells a context
// menu or a drop whether it was meant for the number or for the tile.
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
    // The number on the phone-number line; empty leaves the line blank. False when already shown.
    bool setPhoneNumber(const QString &number);

    const QString &name() const { return m_name; }

    const QString &status() const { return m_status; }

    const QString &phoneNumber() const { return m_phoneNumber; }

    // The phone-number line's box, in the tile's coordinates.
    QRect phoneLine() const { return phoneBox(); }

    // True when `point` (the tile's coordinates) is on the line of a number the tile shows.
    bool isOnPhoneLine(const QPoint &point) const;

signals:
    // A click (left or middle button, no drag) that began on the phone number.
    void phoneClicked();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void click() override;

private:
    // The three lines' boxes, stacked from the inside's top-left corner as a vertical layout with margins
    // 5, 5, 0, 0 and spacing 2 would place labels of these texts.
    QRect inside() const; // within the box
    QRect nameBox() const;
    QRect phoneBox() const;
    QRect statusBox() const;
    int textHeight(const QString &text) const;
    // The phone-number line laid out as a label of this markup lays it out, `width` wide.
    void layOutPhoneLine(QTextDocument &document, int width) const;
    void measurePhoneLine();
    void updateDescription();

    QString m_name;
    QString m_status;
    QString m_phoneNumber;
    int m_phoneLineHeight = 0; // of a shown number
    bool m_pressedOnPhone = false;
};
