#pragma once

#include <QByteArray>
#include <QString>

// One machine-readable output line: "EVENT <kind> key=value key=value ...". A value is written
// bare unless it is empty or holds a blank, a double quote, a backslash or a control character;
// then it is written in double quotes with C escapes (\" \\ \r \n \t \xNN).
class EventLine final
{
public:
    explicit EventLine(const char *kind);

    EventLine &add(const char *key, const QString &value);
    EventLine &add(const char *key, const char *value);
    EventLine &add(const char *key, qint64 value);

    QByteArray text() const { return m_text; }

    // Writes the line to the event stream and flushes it.
    void emitLine() const;

    // The stream events go to (the process's original stdout; see main.cpp).
    static void setStream(FILE *stream);
    static QByteArray quote(const QByteArray &value);

private:
    QByteArray m_text;
};
