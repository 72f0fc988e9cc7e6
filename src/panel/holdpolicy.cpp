#include "panel/holdpolicy.h"

QList<HoldPolicyStep> holdPolicy(int selectedCallId, const QList<HoldPolicyAccount> &accounts)
{
    QList<HoldPolicyStep> steps;
    for (const HoldPolicyAccount &account : accounts) {
        if (account.externalCallId != -1 && account.externalCallId == selectedCallId)
            continue;
        for (const HoldPolicyCall &call : account.calls) {
            if (call.callId == -1 || call.callId == account.externalCallId)
                continue;
            const bool selected = call.callId == selectedCallId;
            HoldPolicyStep step;
            step.pjId = account.pjId;
            step.callId = call.callId;
            QString outcome;
            if (selected && !call.localHold) {
                outcome = QStringLiteral(" Already unmuted");
            } else if (!selected && call.localHold) {
                outcome = QStringLiteral(" Already muted");
            } else {
                outcome = selected ? QStringLiteral(" unmute") : QStringLiteral(" mute");
                step.toggle = call.answered;
            }
            step.log = QStringLiteral("acc ") + QString::number(account.pjId) + QStringLiteral(" call ")
                + QString::number(call.callId) + outcome;
            steps.append(step);
        }
    }
    return steps;
}
