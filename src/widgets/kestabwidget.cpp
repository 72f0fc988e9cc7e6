#include "widgets/kestabwidget.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "widgets/symbolfont.h"

namespace {
struct Corner
{
    KesTabWidget::Move move;
    const char16_t *glyph;
    const char *name; // what a screen reader says
};

const Corner Buttons[] = {
    {KesTabWidget::Move::First, u"\u2B70", "First tab"},
    {KesTabWidget::Move::QuarterBack, u"\u2B84", "A quarter of the tabs back"},
    {KesTabWidget::Move::Back, u"\u2B60", "Previous tab"},
    {KesTabWidget::Move::Forward, u"\u2B62", "Next tab"},
    {KesTabWidget::Move::QuarterForward, u"\u2B86", "A quarter of the tabs on"},
    {KesTabWidget::Move::Last, u"\u2B72", "Last tab"},
};
} // namespace

KesTabWidget::KesTabWidget(QWidget *parent)
    : QTabWidget(parent)
{
    QFont font(SymbolFont::Family);
    font.setPointSize(15);
    QWidget *corners[2] = {new QWidget(this), new QWidget(this)};
    for (QWidget *corner : corners) {
        auto *layout = new QHBoxLayout(corner);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(1);
    }
    for (int i = 0; i < 6; ++i) {
        QWidget *corner = corners[i < 3 ? 0 : 1];
        auto *button = new QPushButton(QString::fromUtf16(Buttons[i].glyph), corner);
        button->setFixedSize(20, 30);
        button->setFont(font);
        button->setAccessibleName(QString::fromLatin1(Buttons[i].name));
        button->setToolTip(button->accessibleName());
        corner->layout()->addWidget(button);
        const Move move = Buttons[i].move;
        connect(button, &QPushButton::clicked, this, [this, move] { go(move); });
        m_buttons[i] = button;
    }
    setCornerWidget(corners[0], Qt::TopLeftCorner);
    setCornerWidget(corners[1], Qt::TopRightCorner);
}

KesTabWidget::~KesTabWidget() = default;

QPushButton *KesTabWidget::button(Move move) const
{
    return m_buttons[int(move)];
}

int KesTabWidget::nearestEnabledAtOrBelow(int index) const
{
    for (int i = std::min(index, count() - 1); i >= 0; --i) {
        if (isTabEnabled(i))
            return i;
    }
    return -1;
}

int KesTabWidget::nearestEnabledAtOrAbove(int index) const
{
    for (int i = std::max(index, 0); i < count(); ++i) {
        if (isTabEnabled(i))
            return i;
    }
    return -1;
}

int KesTabWidget::target(Move move) const
{
    const int current = currentIndex();
    const int n = count();
    int to = -1;
    switch (move) {
    case Move::First:
        to = nearestEnabledAtOrAbove(0);
        break;
    case Move::QuarterBack:
        if (const int t = current - n / 4; t >= 0)
            to = nearestEnabledAtOrBelow(t);
        break;
    case Move::Back:
        if (current > 0)
            to = nearestEnabledAtOrBelow(current - 1);
        break;
    case Move::Forward:
        to = nearestEnabledAtOrAbove(current + 1);
        break;
    case Move::QuarterForward:
        if (const int t = current + n / 4; t <= n)
            to = nearestEnabledAtOrAbove(t);
        break;
    case Move::Last:
        for (int i = n - 1; i >= 1; --i) {
            if (isTabEnabled(i)) {
                to = i;
                break;
            }
        }
        break;
    }
    return to < 0 ? current : to;
}

void KesTabWidget::go(Move move)
{
    setCurrentIndex(target(move));
}
