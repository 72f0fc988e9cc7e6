#include "settingsui/optionbindings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include "core/settings.h"

void OptionBindings::bind(const Setting &option, QLineEdit *edit)
{
    m_bindings.push_back({&option, edit, {}});
}

void OptionBindings::bind(const Setting &option, QComboBox *box)
{
    m_bindings.push_back({&option, box, {}});
}

void OptionBindings::bind(const Setting &option, QCheckBox *box)
{
    m_bindings.push_back({&option, box, {}});
}

void OptionBindings::bind(const Setting &option, QSpinBox *box)
{
    m_bindings.push_back({&option, box, {}});
}

void OptionBindings::bind(const Setting &option, const RadioList &radios)
{
    m_bindings.push_back({&option, radios.isEmpty() ? nullptr : radios.first().second, radios});
}

void OptionBindings::load_setting(const Settings &settings, const Setting &option, QLineEdit *edit)
{
    edit->setText(settings.getSetting(option.getName()));
}

void OptionBindings::load_setting(const Settings &settings, const Setting &option, QComboBox *box)
{
    const int index
        = box->findText(settings.getSetting(option.getName()), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        box->setCurrentIndex(index);
}

void OptionBindings::load_setting(const Settings &settings, const Setting &option, QCheckBox *box)
{
    if (settings.checkSetting(option, Setting::Yes))
        box->setChecked(true);
}

void OptionBindings::load_setting(const Settings &settings, const Setting &option, QSpinBox *box)
{
    bool ok = false;
    const int stored = settings.getSetting(option.getName()).trimmed().toInt(&ok, 10);
    const bool inRange = ok && stored >= box->minimum() && stored <= box->maximum();
    box->setValue(inRange ? stored : option.getIntDefaultValue());
}

void OptionBindings::load_setting(const Settings &settings, const Setting &option, const RadioList &radios)
{
    const QString stored = settings.getSetting(option.getName());
    for (const auto &[text, button] : radios) {
        if (text == stored) {
            button->setChecked(true);
            return;
        }
    }
}

bool OptionBindings::save_setting(const Binding &binding, QString &text)
{
    if (!binding.radios.isEmpty()) {
        for (const auto &[value, button] : binding.radios) {
            if (button->isChecked()) {
                text = value;
                return true;
            }
        }
        return false;
    }
    if (auto *edit = qobject_cast<QLineEdit *>(binding.widget))
        text = edit->text();
    else if (auto *combo = qobject_cast<QComboBox *>(binding.widget))
        text = combo->currentText();
    else if (auto *check = qobject_cast<QCheckBox *>(binding.widget))
        text = binding.option->valueToStr(check->isChecked() ? Setting::Yes : Setting::No);
    else if (auto *spin = qobject_cast<QSpinBox *>(binding.widget))
        text = QString::number(spin->value());
    else
        return false;
    return true;
}

void OptionBindings::load(const Settings &settings) const
{
    for (const Binding &binding : m_bindings) {
        if (!binding.radios.isEmpty())
            load_setting(settings, *binding.option, binding.radios);
        else if (auto *edit = qobject_cast<QLineEdit *>(binding.widget))
            load_setting(settings, *binding.option, edit);
        else if (auto *combo = qobject_cast<QComboBox *>(binding.widget))
            load_setting(settings, *binding.option, combo);
        else if (auto *check = qobject_cast<QCheckBox *>(binding.widget))
            load_setting(settings, *binding.option, check);
        else if (auto *spin = qobject_cast<QSpinBox *>(binding.widget))
            load_setting(settings, *binding.option, spin);
    }
}

QList<std::pair<QString, QString>> OptionBindings::values() const
{
    QList<std::pair<QString, QString>> out;
    for (const Binding &binding : m_bindings) {
        QString text;
        if (save_setting(binding, text))
            out.append({binding.option->getName(), text});
    }
    return out;
}
