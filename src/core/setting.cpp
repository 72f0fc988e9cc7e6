#include "core/setting.h"

#include <stdexcept>

Setting::Setting(const QString &name, std::map<Value, QString> values, Value defaultValue)
    : m_name(name)
    , m_values(std::move(values))
    , m_defaultValue(defaultValue)
{ }

Setting::Setting(const QString &name, Value kind, int intDefault)
    : m_name(name)
    , m_values {{Unset, QString()}}
    , m_defaultValue(kind)
    , m_intDefault(intDefault)
{ }

Setting::Setting(const QString &name, Value kind, QString strDefault)
    : m_name(name)
    , m_values {{Unset, QString()}}
    , m_defaultValue(kind)
    , m_strDefault(std::move(strDefault))
{ }

QString Setting::valueToStr(Value value) const
{
    const auto it = m_values.find(value);
    if (it == m_values.end()) {
        const QString message = QStringLiteral("Invalid argument ") + QString::number(int(value))
            + QStringLiteral(" for ") + m_name;
        throw std::invalid_argument(message.toStdString());
    }
    return it->second;
}

Setting::Value Setting::strToValue(const QString &text) const
{
    // std::map iterates in ascending value order, so the first match wins.
    for (const auto &[value, stored] : m_values) {
        if (stored == text)
            return value;
    }
    const QString message = QStringLiteral("Invalid argument ") + text + QStringLiteral(" for ") + m_name;
    throw std::invalid_argument(message.toStdString());
}
