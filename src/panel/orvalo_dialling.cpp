// Main window: dialling (number field, dial pad, speed dials, voicemail) and the call buttons' keys.
#include <QAbstractButton>
#include <QKeyEvent>
#include <QLayout>
#include <QShortcut>
#include <QSqlQuery>
#include <QSqlQueryModel>

#include "core/dbmgr.h"
#include "core/log.h"
#include "core/settings.h"
#include "engine/sipdialer.h"
#include "panel/account.h"
#include "panel/call.h"
#include "panel/callrecord.h"
#include "panel/externaldevice.h"
#include "panel/orvalo.h"
#include "ui_orvalo.h"
#include "widgets/clickablelabel.h"
#include "widgets/dialpaddialog.h"

// ---- Dialling ---------------------------------------------------------------------------------

void Orvalo::makeCall(const QString &number, const QString &fromextension)
{
    Account *account = getCurrentAccount();
    QString identity = fromextension;
    if (!identity.isEmpty() && account) {
        identity += QStringLiteral("<sip:") + account->getUsername() + QLatin1Char('@') + account->getDomain()
            + QLatin1Char('>');
    }
    if (account && ExternalDevice(m_settings).placesOn(ExternalDevice::Trigger::Ring)) {
        const int id = makeCall(number, true, identity);
        if (id == -1)
            return;
        account->setActiveCall(id);
        muteUnselectedCalls(id);
        if (!linkToExternalDevice(*account, *account->getCall(id))) {
            // Without the device nobody would hear the far end: the dialled call ends too.
            account->endCall(id);
            hangupCall(account->getPjId(), id);
            refresh_call_control();
            return;
        }
    } else {
        makeCall(number, true, identity);
    }
    pj_log(QStringLiteral("Dialing: ") + number, account ? account->getPjId() : -1);
    refresh_call_control();
}

int Orvalo::makeCall(const QString &number, bool show, const QString &fromextension)
{
    if (m_redialTimer.isActive() && number == m_lastDialled)
        return -1;
    m_redialTimer.start();
    m_lastDialled = number;

    Account *account = getCurrentAccount();
    if (!account)
        return -1;
    const int id = makeNewCall(number, fromextension);
    Call &call = account->newCall(id, number, CallDirection::Outgoing);
    LOG(QStringLiteral("New call ") + QString::number(id) + QStringLiteral(" to ") + number);
    if (id == -1) {
        account->endCall(-1);
        return -1;
    }
    call.getCallRecord().setLocal(account->getAccountname());
    call.getCallRecord().setRemote(number);
    if (show)
        showCallLabel(call);
    return id;
}

int Orvalo::makeNewCall(const QString &number, const QString &fromextension)
{
    Account *account = getCurrentAccount();
    if (!account || !account->isRegistered())
        return -1;
    sip_call_msg msg;
    msg.acc_id = account->getPjId();
    msg.number = number;
    msg.domain = account->getDomain();
    return m_dialer->makeCall(msg, account->getCodecs(), fromextension);
}

void Orvalo::showCallLabel(Call &call)
{
    ClickableLabel *label = call.getLabel();
    if (!label)
        return;
    callArea()->layout()->addWidget(label);
    label->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(label, &ClickableLabel::clicked, this, &Orvalo::callSelected, Qt::UniqueConnection);
    connect(label, &QWidget::customContextMenuRequested, this, &Orvalo::showCallContextMenu,
        Qt::UniqueConnection);
    // A call dropped onto a dialled call is joined with it; onto an offered call, transferred.
    if (call.getCallDirection() == CallDirection::Outgoing)
        connect(label, &ClickableLabel::onDrop, this, &Orvalo::onActiveCallDragDrop, Qt::UniqueConnection);
    else
        connect(label, &ClickableLabel::onDrop, this, &Orvalo::onCallDragDrop, Qt::UniqueConnection);
    label->show();
}

void Orvalo::load_speeddials()
{
    if (!m_speeddials)
        m_speeddials = new QSqlQueryModel(this);
    m_speeddials->setQuery(QStringLiteral("SELECT label, number FROM speeddials"), m_db.database());
    m_speeddials->setHeaderData(0, Qt::Horizontal, QString());
    m_speeddials->setHeaderData(1, Qt::Horizontal, QString());
    ui->speeddials->setModel(m_speeddials);
    ui->speeddials->setColumnWidth(0, 150);
    ui->speeddials->setColumnWidth(1, 150);
}

void Orvalo::on_speeddials_doubleClicked(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    ui->PhoneNumber->setText(index.sibling(index.row(), 1).data().toString());
    on_DialButton_clicked();
}

// Operators keep their hands on the keyboard: the call buttons have keys, named in their tool tips.
void Orvalo::setupShortcuts()
{
    const struct
    {
        QAbstractButton *button;
        QKeySequence key;
    } keys[] = {
        {ui->AnswerButton, QKeySequence(Qt::Key_F5)},
        {ui->HangupButton, QKeySequence(Qt::Key_F8)},
        {ui->RejectButton, QKeySequence(Qt::Key_F9)},
        {ui->HoldToggleButton, QKeySequence(Qt::Key_F6)},
        {ui->MuteToggleButton, QKeySequence(Qt::Key_F7)},
        {ui->DialButton, QKeySequence(Qt::CTRL | Qt::Key_D)},
    };

    for (const auto &entry : keys) {
        auto *shortcut = new QShortcut(entry.key, this);
        QAbstractButton *button = entry.button;
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled() && button->isVisible())
                button->click();
        });
        button->setToolTip(button->toolTip() + QStringLiteral(" (")
            + entry.key.toString(QKeySequence::NativeText) + QLatin1Char(')'));
    }
}

void Orvalo::on_DialButton_clicked()
{
    // The engine judges the number: an empty one is refused with "No Phone number", one that
    // makes no valid address with "Invalid URI"; both leave a "No Answer" row.
    makeCall(ui->PhoneNumber->text());
}

void Orvalo::on_PhoneNumber_returnPressed()
{
    if (ui->PhoneNumber->text().trimmed().isEmpty())
        return;
    on_DialButton_clicked();
    setFocus();
}

void Orvalo::on_VoicemailButton_clicked()
{
    Account *account = getCurrentAccount();
    if (!account)
        return;
    QSqlQuery query = m_db.account_query();
    query.prepare(QStringLiteral("SELECT voicemail from accounts where accountid = :acc_id"));
    query.bindValue(QStringLiteral(":acc_id"), account->getKesId());
    if (!query.exec() || !query.next())
        return;
    const QString number = query.value(0).toString();
    if (number.isEmpty())
        return;
    ui->PhoneNumber->setText(number);
    makeCall(number);
}

void Orvalo::on_DialpadButton_clicked()
{
    m_dialpad->show();
    m_dialpad->raise();
}

void Orvalo::on_DialpadButton2_clicked()
{
    on_DialpadButton_clicked();
}

void Orvalo::add_to_dialstring(const QString &digit)
{
    Account *account = getCurrentAccount();
    if (account && account->getActiveCall()) {
        m_dialer->play_dtmf_tone(account->getDTMFType(), account->getActiveCallId(), digit);
        return;
    }
    ui->PhoneNumber->setText(ui->PhoneNumber->text() + digit);
}

void Orvalo::clear_phonenumber()
{
    ui->PhoneNumber->clear();
}

void Orvalo::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    if (text.size() == 1 && QStringLiteral("0123456789*#").contains(text)) {
        Account *account = getCurrentAccount();
        if (account && account->getActiveCall())
            m_dialer->play_dtmf_tone(account->getDTMFType(), account->getActiveCallId(), text);
        return;
    }
    QMainWindow::keyPressEvent(event);
}
