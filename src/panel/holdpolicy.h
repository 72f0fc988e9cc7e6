#pragma once

#include <QList>
#include <QString>

// Keeps only the selected call (and the external sound device calls) carrying audio: every other
// answered call is held, the selected one released. Unanswered calls are never touched.
struct HoldPolicyCall
{
    int callId = -1;
    bool answered = false;
    bool localHold = false; // media status as the engine reports it
};

struct HoldPolicyAccount
{
    int pjId = -1;
    int externalCallId = -1; // the external sound device call, -1 when none
    QList<HoldPolicyCall> calls;
};

struct HoldPolicyStep
{
    int pjId = -1;
    int callId = -1;
    bool toggle = false; // ask the engine to toggle hold on this call
    QString log;
};

QList<HoldPolicyStep> holdPolicy(int selectedCallId, const QList<HoldPolicyAccount> &accounts);
