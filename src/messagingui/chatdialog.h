#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class Account;
class ClickableLabel;
class IMHandler;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class Settings;

// The conversations of one extension: the chat targets (newest activity on top) with their
// unread marks, the selected conversation as bubbles, and a line to type into. Closing only
// hides it.
class ChatDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChatDialog)

public:
    // Conversations shown at most when one is opened (the newest ones).
    static constexpr int ShownLines = 500;

    ChatDialog(Account &account, IMHandler &im, Settings &settings, QWidget *parent = nullptr);
    ~ChatDialog() override;

    void addTarget(const QString &peer, bool select);

    // Peers in list order (top first), the selected one (empty for none), and a peer's label.
    QStringList targets() const;

    const QString &selectedPeer() const { return m_selected; }

    ClickableLabel *labelOf(const QString &peer) const;
    // The bubbles of the shown conversation, oldest first.
    QList<class IMMessage *> bubbles() const;

    Account &account() const { return m_account; }

public slots:
    void addTarget(const QString &peer);
    void targetSelected(int index);
    void message_received(const QString &from, const QString &to, const QString &body, const QString &time);
    void on_button_send_clicked();
    void on_button_new_clicked();
    void on_button_clear_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    struct Target
    {
        QString peer;
        bool unread = false;
    };

    void buildUi();
    // Recreates the rows of the target list from m_targets (labels cannot move between rows).
    void rebuildList();
    void styleLabel(ClickableLabel *label, const Target &target) const;
    int indexOf(const QString &peer) const;
    void load_log(const QString &peer);
    void addBubble(const QString &text, const QString &time, bool sent, bool live);
    void clearBubbles();
    void scrollToEnd();
    void unselect();
    QString title() const;

    Account &m_account;
    IMHandler &m_im;
    Settings &m_settings;
    QList<Target> m_targets;
    QString m_selected;

    QLabel *m_panelExtension = nullptr;
    QLabel *m_contactsTitle = nullptr;
    QListWidget *m_list = nullptr;
    QLabel *m_labelTarget = nullptr;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_log = nullptr;
    QVBoxLayout *m_logLayout = nullptr;
    QLineEdit *m_field = nullptr;
};
