#pragma once

#include <map>

#include <QString>

// One registered option: its key, the strings stored for its values, and its default.
class Setting final
{
public:
    enum Value
    {
        Unset = 0,
        No = 1,
        Yes = 2,
        Ring = 3,
        Answered = 4,
        Username = 5,
        Extension = 6,
        ShortGreeting = 7,
        ContactName = 8,
        Integer = 9,
        String = 10,
    };

    Setting(const QString &name, std::map<Value, QString> values, Value defaultValue);
    Setting(const QString &name, Value kind, int intDefault);
    Setting(const QString &name, Value kind, QString strDefault);

    const QString &getName() const { return m_name; }

    Value getDefaultValue() const { return m_defaultValue; }

    int getIntDefaultValue() const { return m_intDefault; }

    const QString &getStrDefaultValue() const { return m_strDefault; }

    const std::map<Value, QString> &values() const { return m_values; }

    // Both throw std::invalid_argument for a value or string the option does not know.
    QString valueToStr(Value value) const;
    Value strToValue(const QString &text) const;

private:
    QString m_name;
    std::map<Value, QString> m_values;
    Value m_defaultValue;
    int m_intDefault = 0;
    QString m_strDefault;
};
