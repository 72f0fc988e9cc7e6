#include "panel/call.h"

#include "core/log.h"
#include "panel/callinfosource.h"
#include "panel/calllook.h"
#include "panel/callrecord.h"
#include "panel/duration.h"
#include "widgets/clickablelabel.h"

namespace {
constexpr int MediaLocalHold = 2;
}

Call::Call(dbmgr &db, int accountId, int callId, const QString &to, CallDirection direction)
    : m_callId(callId)
    , m_record(std::make_unique<Callrecord>(db, accountId, to, direction))
    , m_label(new ClickableLabel)
    , m_direction(direction)
{
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_label->setIndent(0);
    m_label->setMaximumHeight(0);
}

Call::~Call()
{
    // Partners must not keep a pointer to a call that is gone.
    for (Call *partner : std::as_const(m_connectedCalls))
        partner->m_connectedCalls.remove(m_callId);
    ClickableLabel::Delete(m_label.data());
    // The record writes its final row last.
    m_record.reset();
}

ClickableLabel *Call::getLabel() const
{
    return m_label.data();
}

void Call::answerCall()
{
    m_answered = true;
    m_record->answered();
}

void Call::addConnectedCall(Call &other, bool both)
{
    if (m_connectedCalls.contains(other.m_callId)) {
        LOG(QStringLiteral("Attempted to readd call ") + QString::number(other.m_callId)
            + QStringLiteral(" to ") + QString::number(m_callId));
        return;
    }
    m_connectedCalls.insert(other.m_callId, &other);
    if (both)
        other.addConnectedCall(*this, false);
}

void Call::removeConnectedCall(Call &other)
{
    m_connectedCalls.remove(other.m_callId);
}

void Call::updateLabel(const CallInfoSource *engine, const QDateTime &nowUtc)
{
    QString duration = QStringLiteral("--:--:--");
    m_onHold = false;
    if (m_callId >= 0) {
        duration = formatDuration(m_record->getStartTime().secsTo(nowUtc));
        if (engine && m_answered) {
            const std::optional<orvalo_call_info> info = engine->callInfo(m_callId);
            m_onHold = info && info->media_status == MediaLocalHold;
        }
    }
    const CallLook look = CallLook::of(m_callId, m_answered, m_onHold, m_direction);
    if (!m_label)
        return;
    m_label->setText(
        callLabelHtml(m_direction, m_topHeader, duration, m_record->getRemoteDisplayName(), look.stateText));
    m_label->setStyleSheetIfChanged(callLabelStyleSheet(look.colour));
    m_label->setMaximumHeight(m_label->sizeHint().height());
    m_label->setMinimumWidth(340);
}
