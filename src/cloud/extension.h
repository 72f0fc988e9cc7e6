#pragma once

#include <QString>

// One SIP account as the cloud service delivers it: a device of the login reply or an entry of the
// company directory, in the columns of an accounts row. Every field is text except departmentid.
struct Extension
{
    QString accountname;
    QString status;
    QString domain;
    QString proxyserveraddress;
    QString stunserveraddress;
    QString extension;
    QString sipserveraddress;
    QString siptransport;
    QString rtptransport;
    QString user;
    QString password;
    QString sipport;
    QString audiocodecs;
    QString callerid;
    QString registrationtime;
    int departmentid = -1;
    QString fullname;
    QString phonenumber;
    QString accessid;
    QString accesspin;
    QString voicemail;

    bool operator==(const Extension &) const = default;
};
