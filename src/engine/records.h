#pragma once

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>

// Event records (engine -> panel) and request records (panel -> engine). Ids are the engine's
// int ids: -1 means none.

// The invite session states of orvalo_call_info::state.
namespace CallState {
enum : int
{
    Null = 0,
    Calling = 1,
    Incoming = 2,
    Early = 3,
    Connecting = 4,
    Confirmed = 5,
    Disconnected = 6
};
}

// The media states of orvalo_call_info::media_status.
namespace MediaStatus {
enum : int
{
    None = 0,
    Active = 1,
    LocalHold = 2,
    RemoteHold = 3,
    Error = 4
};
}

// One call as seen by an event.
struct orvalo_call_info
{
    int acc_id = 0;
    int call_id = 0;
    int media_status = MediaStatus::None;
    int media_dir = 0;
    QString state_text;
    QString remote_info;
    QString local_info;
    QString remote_host;
    int last_status = 0;
    int state = CallState::Null;
    QString called_party_id;
    QString asserted_identity;
};

// One account as seen by an event.
struct orvalo_acc_msg
{
    int acc_id = -1;
    bool is_default = false;
    bool has_registration = false;
    int status = 0;
    bool online_status = false;
    int expires = 0;
    QString acc_uri;
    QString status_text;
    QString online_status_text;
    QString registrar_address;
};

struct orvalo_error_info
{
    QString message;
};

// Registration request.
struct sip_acc_msg
{
    QString domain;
    QString username;
    QString password;
    QString id_uri; // "<sip:" + user + "@" + domain + ">"
    QString reg_uri; // "sip:" + domain
    bool use_ipv6 = false;
};

// Call request.
struct sip_call_msg
{
    int acc_id = -1;
    int call_id = -1;
    QString number;
    QString domain;
    QMap<QString, QString> options; // only "code" is read (status code of a rejection)
};

enum DTMFType
{
    DTMF_INBAND = 0,
    DTMF_RFC2833 = 1,
    DTMF_SIPINFO = 2
};

Q_DECLARE_METATYPE(orvalo_call_info)
Q_DECLARE_METATYPE(orvalo_acc_msg)
Q_DECLARE_METATYPE(orvalo_error_info)
Q_DECLARE_METATYPE(sip_acc_msg)
Q_DECLARE_METATYPE(sip_call_msg)
