// The chat window and the chat history window, offscreen, fed by the message handler as the
// engine would feed it.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQueryModel>
#include <QTableView>
#include <QTest>

#include "../panel/testdatabase.h"
#include "core/log.h"
#include "core/prompt.h"
#include "engine/sipdialer.h"
#include "messaging/chatline.h"
#include "messaging/imhandler.h"
#include "messagingui/chatdialog.h"
#include "messagingui/chatlogdialog.h"
#include "messagingui/immessage.h"
#include "panel/account.h"
#include "widgets/clickablelabel.h"

class tst_ChatWindows final : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<SipDialer> m_engine;
    std::unique_ptr<IMHandler> m_im;
    std::unique_ptr<Account> m_account;

    void receive(const QString &from, const QString &to, const QString &body)
    {
        m_im->messageReceived(QStringLiteral("<sip:") + from + QStringLiteral("@h>"),
            QStringLiteral("<sip:") + to + QStringLiteral("@h>"), {}, body);
    }

private slots:

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->open());
        Log::set_output_file(m_db->dir.filePath(QStringLiteral("log")));
        m_engine = std::make_unique<SipDialer>(m_db->settings);
        m_im = std::make_unique<IMHandler>(
            *m_engine, m_db->db, m_db->dir.filePath(QStringLiteral("chatlogs")));
        const int id = m_db->addAccount(QStringLiteral("Front"), QStringLiteral("201"), QStringLiteral("h"));
        m_account = std::make_unique<Account>(m_db->db, id);
        m_im->monitorAccount({QStringLiteral("201"), QStringLiteral("201"), QStringLiteral("h")});
        m_im->monitorAccount({QStringLiteral("202"), QStringLiteral("202"), QStringLiteral("h")});
        connect(m_im.get(), &IMHandler::unreadChanged, this, [this](const QString &own, int delta) {
            if (own == m_account->getExtension())
                m_account->setIMMessageUnread(delta);
        });
    }

    void cleanup()
    {
        m_account.reset();
        m_im.reset();
        m_engine.reset();
        m_db.reset();
    }

    // Stored conversations become targets with their unread marks; a new peer comes in on top
    // with the mark; a click shows the bubbles and clears the mark and the extension's counter.
    void unreadMarksAndBubbles()
    {
        // An older log line without a time.
        QVERIFY(m_im->store().append(QStringLiteral("201"), QStringLiteral("305"), "\x0E\x1Fold line\n"));
        receive(QStringLiteral("305"), QStringLiteral("201"), QStringLiteral("one"));
        receive(QStringLiteral("305"), QStringLiteral("201"), QStringLiteral("two"));
        ChatDialog dialog(*m_account, *m_im, m_db->settings);
        QCOMPARE(dialog.targets(), QStringList {QStringLiteral("305")});
        QCOMPARE(dialog.labelOf(QStringLiteral("305"))->toolTip(), QStringLiteral("2 unread messages"));
        QVERIFY(dialog.labelOf(QStringLiteral("305"))->text().contains(QStringLiteral("Wingdings")));

        receive(QStringLiteral("../x"), QStringLiteral("201"), QStringLiteral("<b>hi</b>"));
        receive(QStringLiteral("400"), QStringLiteral("202"), QStringLiteral("not for this window"));
        QCOMPARE(dialog.targets(), (QStringList {QStringLiteral("../x"), QStringLiteral("305")}));
        QCOMPARE(dialog.labelOf(QStringLiteral("../x"))->toolTip(), QStringLiteral("1 unread message"));
        QCOMPARE(m_account->getUnreadImCount(), 3);

        dialog.targetSelected(1);
        QCOMPARE(dialog.selectedPeer(), QStringLiteral("305"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Conversation between Front and 305"));
        QVERIFY(dialog.labelOf(QStringLiteral("305"))->toolTip().isEmpty());
        QCOMPARE(m_account->getUnreadImCount(), 1);
        const QList<IMMessage *> bubbles = dialog.bubbles();
        QCOMPARE(bubbles.size(), 3);
        QCOMPARE(bubbles.at(0)->text(), QStringLiteral("old line"));
        QCOMPARE(bubbles.at(0)->time(), QStringLiteral("--/--/---- --:--:--"));
        QCOMPARE(bubbles.at(2)->text(), QStringLiteral("two"));

        // A message of the shown conversation is shown at once and read; it moves that peer up.
        receive(QStringLiteral("305"), QStringLiteral("201"), QStringLiteral("three"));
        QCOMPARE(dialog.bubbles().size(), 4);
        QCOMPARE(dialog.targets().first(), QStringLiteral("305"));
        QCOMPARE(m_account->getUnreadImCount(), 1);
        // Markup from the far end is shown as text.
        dialog.targetSelected(1);
        QCOMPARE(dialog.bubbles().first()->text(), QStringLiteral("&lt;b&gt;hi&lt;/b&gt;"));
    }

    // Clear asks first: No keeps everything, Yes removes the log and the target.
    void clearConversation()
    {
        receive(QStringLiteral("305"), QStringLiteral("201"), QStringLiteral("one"));
        ChatDialog dialog(*m_account, *m_im, m_db->settings);
        dialog.targetSelected(-1);
        QCOMPARE(dialog.selectedPeer(), QStringLiteral("305"));
        Prompt::Button answer = Prompt::No;
        ScriptedPrompt prompt([&answer](const Prompt::Question &) { return answer; });
        Prompt::install(&prompt);
        dialog.on_button_clear_clicked();
        QCOMPARE(dialog.targets(), QStringList {QStringLiteral("305")});
        QCOMPARE(m_im->store().lines(QStringLiteral("201"), QStringLiteral("305")).size(), 1);
        answer = Prompt::Yes;
        dialog.on_button_clear_clicked();
        Prompt::install(nullptr);
        QVERIFY(prompt.asked().first().text.startsWith(
            QStringLiteral("The chat history for 305 will now be cleared.")));
        QVERIFY(dialog.targets().isEmpty());
        QVERIFY(dialog.selectedPeer().isEmpty());
        QVERIFY(m_im->store().conversations(QStringLiteral("201")).isEmpty());
    }

    // The history lists every conversation by extension and peer; the start minute is exclusive,
    // lines without a time never pass, and opening twice shows the same.
    void historyWindow()
    {
        const ChatStore &store = m_im->store();
        const QDateTime now = QDateTime::currentDateTime();
        const auto at = [](const QDateTime &t) { return t.toString(QLatin1String(ChatLine::TimeFormat)); };
        store.append(QStringLiteral("201"), QStringLiteral("305"),
            ChatLine::encode(ChatLine::Direction::Received, at(now.addSecs(-60)), QStringLiteral("in")));
        store.append(QStringLiteral("201"), QStringLiteral("305"),
            ChatLine::encode(ChatLine::Direction::Sent, at(now.addSecs(-30)), QStringLiteral("out\nmore")));
        store.append(QStringLiteral("202"), QStringLiteral("a/b"), "\x0F\x1Fno time\n");
        store.append(QStringLiteral("202"), QStringLiteral("a/b"),
            ChatLine::encode(ChatLine::Direction::Received, at(now.addDays(-8)), QStringLiteral("too old")));
        for (int pass = 0; pass < 2; ++pass) {
            ChatLogDialog history(store);
            auto *filter = history.findChild<QPushButton *>(QStringLiteral("filterbutton"));
            QVERIFY(filter);
            QCOMPARE(history.view()->model()->rowCount(), 0);
            QTest::mouseClick(filter, Qt::LeftButton);
            const QAbstractItemModel *model = history.view()->model();
            QCOMPARE(model->rowCount(), 2);
            QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Panel Extension"));
            QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("201"));
            QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("305"));
            QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral("OUTBOUND"));
            QCOMPARE(model->index(0, 4).data().toString(), QStringLiteral("out\nmore"));
            QCOMPARE(model->index(1, 2).data().toString(), QStringLiteral("INBOUND"));
            auto *account = history.findChild<QComboBox *>(QStringLiteral("filter_account"));
            QCOMPARE(account->count(), 3); // All, 201, 202
        }
        QCOMPARE(store.lines(QStringLiteral("201"), QStringLiteral("305")).size(), 2);
    }
};

QTEST_MAIN(tst_ChatWindows)
#include "tst_chatwindows.moc"
