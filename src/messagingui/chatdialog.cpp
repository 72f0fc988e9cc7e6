#include "messagingui/chatdialog.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "core/log.h"
#include "core/prompt.h"
#include "messaging/chatline.h"
#include "messaging/chatstore.h"
#include "messaging/imhandler.h"
#include "messagingui/immessage.h"
#include "messagingui/newchatdialog.h"
#include "panel/account.h"
#include "widgets/clickablelabel.h"
#include "widgets/clickablelabelwidgetitem.h"

namespace {

const QString UnreadMarker = QStringLiteral(" <span style='font-family:\"Wingdings\";'>+</span>");

bool darkColourScheme()
{
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

} // namespace

ChatDialog::ChatDialog(Account &account, IMHandler &im, Settings &settings, QWidget *parent)
    : QDialog(parent)
    , m_account(account)
    , m_im(im)
    , m_settings(settings)
{
    buildUi();
    setWindowTitle(title());
    const QString own = m_account.getExtension();
    for (const QString &file : m_im.getConversationHistory(own)) {
        QString fileOwn;
        QString peer;
        if (ChatStore::splitFileName(file, &fileOwn, &peer))
            addTarget(peer, false);
    }
    for (const QString &peer : m_im.getUnread(own)) {
        const int i = indexOf(peer);
        if (i >= 0)
            m_targets[i].unread = true;
    }
    rebuildList();
    connect(&m_im, &IMHandler::receivedMessage, this, &ChatDialog::message_received);
}

ChatDialog::~ChatDialog() = default;

void ChatDialog::buildUi()
{
    setObjectName(QStringLiteral("ChatDialog"));
    resize(720, 480);
    auto *grid = new QGridLayout(this);

    m_panelExtension = new QLabel(m_account.getAccountname(), this);
    m_panelExtension->setObjectName(QStringLiteral("label_panelextension"));
    m_panelExtension->setStyleSheet(QStringLiteral("QLabel{background-color:'lightblue'; color: 'black';}"));
    m_contactsTitle = new QLabel(QStringLiteral("Chats for ") + m_account.getAccountname(), this);
    m_contactsTitle->setObjectName(QStringLiteral("label_contactspanelextension"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("list_contacts"));
    m_list->setMaximumWidth(220);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);

    m_labelTarget = new QLabel(this);
    m_labelTarget->setObjectName(QStringLiteral("label_target"));
    m_labelTarget->setStyleSheet(QStringLiteral("QLabel{background-color:'lightgreen'; color:'black'}"));
    m_labelTarget->setTextFormat(Qt::PlainText);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrollArea"));
    m_scroll->setWidgetResizable(true);
    m_log = new QWidget;
    m_log->setObjectName(QStringLiteral("log"));
    m_logLayout = new QVBoxLayout(m_log);
    m_scroll->setWidget(m_log);

    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("field_message"));
    m_field->setAccessibleName(QStringLiteral("Message"));
    auto *send = new QPushButton(QStringLiteral("Send"), this);
    send->setObjectName(QStringLiteral("button_send"));
    send->setAutoDefault(false);
    auto *exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("button_exit"));
    exit->setAutoDefault(false);
    auto *newChat = new QPushButton(QStringLiteral("New"), this);
    newChat->setObjectName(QStringLiteral("button_new"));
    newChat->setAutoDefault(false);
    auto *clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("button_clear"));
    clear->setAutoDefault(false);

    grid->addWidget(m_panelExtension, 0, 0);
    grid->addWidget(m_labelTarget, 0, 1);
    grid->addWidget(m_contactsTitle, 1, 0);
    grid->addWidget(m_list, 2, 0);
    grid->addWidget(m_scroll, 1, 1, 2, 1);
    auto *left = new QHBoxLayout;
    left->addWidget(newChat);
    left->addWidget(clear);
    grid->addLayout(left, 3, 0);
    auto *row = new QHBoxLayout;
    row->addWidget(m_field, 1);
    row->addWidget(send);
    row->addWidget(exit);
    grid->addLayout(row, 3, 1);
    grid->setColumnStretch(1, 1);

    connect(send, &QPushButton::clicked, this, &ChatDialog::on_button_send_clicked);
    connect(m_field, &QLineEdit::returnPressed, this, &ChatDialog::on_button_send_clicked);
    connect(exit, &QPushButton::clicked, this, &QWidget::close);
    connect(newChat, &QPushButton::clicked, this, &ChatDialog::on_button_new_clicked);
    connect(clear, &QPushButton::clicked, this, &ChatDialog::on_button_clear_clicked);
}

QString ChatDialog::title() const
{
    QString text = QStringLiteral("Conversation between ") + m_account.getAccountname();
    if (!m_selected.isEmpty())
        text += QStringLiteral(" and ") + m_selected;
    return text;
}

int ChatDialog::indexOf(const QString &peer) const
{
    for (int i = 0; i < m_targets.size(); ++i) {
        if (m_targets.at(i).peer == peer)
            return i;
    }
    return -1;
}

QStringList ChatDialog::targets() const
{
    QStringList peers;
    for (const Target &t : m_targets)
        peers << t.peer;
    return peers;
}

ClickableLabel *ChatDialog::labelOf(const QString &peer) const
{
    const int i = indexOf(peer);
    return i < 0 ? nullptr : qobject_cast<ClickableLabel *>(m_list->itemWidget(m_list->item(i)));
}

QList<IMMessage *> ChatDialog::bubbles() const
{
    return m_log->findChildren<IMMessage *>(QString(), Qt::FindDirectChildrenOnly);
}

void ChatDialog::styleLabel(ClickableLabel *label, const Target &target) const
{
    QString colours;
    if (target.peer == m_selected)
        colours = QStringLiteral("background: chartreuse; color: black;");
    else if (darkColourScheme())
        colours = QStringLiteral("background: black; color: white;");
    else
        colours = QStringLiteral("background: white; color: black;");
    label->setStyleSheet(QStringLiteral("QLabel{ %1}").arg(colours));
    // The peer came from the far end: shown as text, the marker is ours.
    label->setText(target.peer.toHtmlEscaped() + (target.unread ? UnreadMarker : QString()));
    label->setAccessibleName(target.peer);
    if (target.unread) {
        const int count = m_im.getUnreadCount(m_account.getUsername(), target.peer);
        label->setToolTip(QStringLiteral("%1 unread message%2")
                              .arg(count)
                              .arg(count == 1 ? QString() : QStringLiteral("s")));
    } else {
        label->setToolTip(QString());
    }
}

void ChatDialog::rebuildList()
{
    m_list->clear();
    for (const Target &target : std::as_const(m_targets)) {
        auto *label = new ClickableLabel;
        label->setDraggable(false);
        label->setTextFormat(Qt::RichText);
        styleLabel(label, target);
        auto *item = new ClickableLabelWidgetItem(label, m_list);
        item->setSizeHint(QSize(100, 28));
        connect(item, &ClickableLabelWidgetItem::clicked, this, &ChatDialog::targetSelected);
    }
}

void ChatDialog::addTarget(const QString &peer)
{
    addTarget(peer, false);
}

void ChatDialog::addTarget(const QString &peer, bool select)
{
    if (peer.isEmpty() || indexOf(peer) >= 0)
        return;
    m_targets.prepend({peer, false});
    rebuildList();
    if (select)
        targetSelected(0);
}

void ChatDialog::targetSelected(int index)
{
    if (index == -1) {
        if (m_targets.isEmpty()) {
            unselect();
            return;
        }
        index = 0;
    }
    if (index < 0 || index >= m_targets.size())
        return;
    m_selected = m_targets.at(index).peer;
    m_targets[index].unread = false;
    setWindowTitle(title());
    m_labelTarget->setText(m_selected);
    load_log(m_selected);
    rebuildList();
}

void ChatDialog::unselect()
{
    m_selected.clear();
    setWindowTitle(title());
    m_labelTarget->clear();
    clearBubbles();
    rebuildList();
}

void ChatDialog::clearBubbles()
{
    // Each bubble sits in a row layout of its own beside a spacer.
    while (QLayoutItem *item = m_logLayout->takeAt(0)) {
        if (QLayout *row = item->layout()) {
            while (QLayoutItem *inner = row->takeAt(0)) {
                delete inner->widget();
                delete inner;
            }
        }
        delete item->widget();
        delete item;
    }
}

void ChatDialog::load_log(const QString &peer)
{
    clearBubbles();
    const QList<QByteArray> lines = m_im.getRecentHistory(m_account.getExtension(), peer, ShownLines);
    for (const QByteArray &line : lines) {
        const std::optional<ChatLine::Entry> entry = ChatLine::decode(line);
        if (entry)
            addBubble(entry->body, entry->time, entry->direction == ChatLine::Direction::Sent, false);
    }
    m_logLayout->addStretch();
    QTimer::singleShot(0, this, &ChatDialog::scrollToEnd);
}

void ChatDialog::addBubble(const QString &text, const QString &time, bool sent, bool live)
{
    auto *row = new QHBoxLayout;
    auto *bubble = new IMMessage(text, time, m_log);
    if (sent) {
        row->addSpacerItem(new QSpacerItem(30, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
        row->addWidget(bubble);
    } else {
        row->addWidget(bubble);
        row->addSpacerItem(new QSpacerItem(30, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    }
    // A live bubble goes above the stretch that keeps the conversation at the top.
    const int at = live && m_logLayout->count() > 0 ? m_logLayout->count() - 1 : m_logLayout->count();
    m_logLayout->insertLayout(at, row);
    if (live)
        QTimer::singleShot(0, this, &ChatDialog::scrollToEnd);
}

void ChatDialog::scrollToEnd()
{
    m_scroll->verticalScrollBar()->setValue(m_scroll->verticalScrollBar()->maximum());
}

void ChatDialog::on_button_send_clicked()
{
    const QString text = m_field->text();
    if (text.isEmpty() || m_selected.isEmpty())
        return;
    m_field->clear();
    m_im.sendMessage(m_account.getExtension(), m_selected, text);
    addBubble(text, QDateTime::currentDateTime().toString(QLatin1String(ChatLine::TimeFormat)), true, true);
}

void ChatDialog::message_received(
    const QString &from, const QString &to, const QString &body, const QString &time)
{
    if (to != m_account.getUsername())
        return;
    const int i = indexOf(from);
    if (i < 0) {
        m_targets.prepend({from, true});
        rebuildList();
        return;
    }
    m_targets.move(i, 0);
    if (from == m_selected) {
        addBubble(body, time, false, true);
        m_im.messageRead(m_account.getExtension(), from);
    } else {
        m_targets[0].unread = true;
    }
    rebuildList();
}

void ChatDialog::on_button_new_clicked()
{
    auto *dialog
        = new NewChatDialog(m_account.getAccountname(), m_im.getAvailableExtensions(), m_settings, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &NewChatDialog::create, this, qOverload<const QString &>(&ChatDialog::addTarget));
    dialog->show();
}

void ChatDialog::on_button_clear_clicked()
{
    if (m_selected.isEmpty())
        return;
    const QString peer = m_selected;
    const Prompt::Button answer = Prompt::current().ask({Prompt::Icon::Question, QStringLiteral("Clear"),
        QStringLiteral(
            "The chat history for %1 will now be cleared.\nClick Yes to proceed to clear this chat "
            "history or No to cancel")
            .arg(peer),
        Prompt::Yes | Prompt::No, Prompt::No});
    if (answer != Prompt::Yes)
        return;
    m_im.deleteConversation(m_account.getExtension(), peer);
    m_targets.removeAt(indexOf(peer));
    m_selected.clear();
    targetSelected(-1);
}

void ChatDialog::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
    unselect();
}
