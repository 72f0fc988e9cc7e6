#pragma once

#include <utility>
#include <vector>

#include <QList>
#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QWidget;
class Setting;
class Settings;

// Widgets bound to options, one load/save family per widget kind:
//  - line edit: the stored text as it is; saves its text;
//  - combo box: selects the item whose text equals the stored text (else keeps its selection);
//    saves the current item's text;
//  - check box: checked when the option reads Yes (stored "1", or nothing stored and default
//    Yes), otherwise left as built; saves "1" or "0";
//  - spin box: the stored number, or the option's default when the stored text is not a number
//    or lies outside the box's range; saves the decimal text;
//  - radio list of (stored string, button): checks the first button whose string equals the
//    stored text; saves the string of the first checked button, nothing when none is checked.
class OptionBindings final
{
public:
    using RadioList = QList<std::pair<QString, QRadioButton *>>;

    struct Binding
    {
        const Setting *option = nullptr;
        QWidget *widget = nullptr; // the first button of a radio list
        RadioList radios;
    };

    void bind(const Setting &option, QLineEdit *edit);
    void bind(const Setting &option, QComboBox *box);
    void bind(const Setting &option, QCheckBox *box);
    void bind(const Setting &option, QSpinBox *box);
    void bind(const Setting &option, const RadioList &radios);

    void load(const Settings &settings) const;
    // The (key, text) pairs that Save writes, in binding order.
    QList<std::pair<QString, QString>> values() const;

    const std::vector<Binding> &bindings() const { return m_bindings; }

    // The families, one widget at a time.
    static void load_setting(const Settings &settings, const Setting &option, QLineEdit *edit);
    static void load_setting(const Settings &settings, const Setting &option, QComboBox *box);
    static void load_setting(const Settings &settings, const Setting &option, QCheckBox *box);
    static void load_setting(const Settings &settings, const Setting &option, QSpinBox *box);
    static void load_setting(const Settings &settings, const Setting &option, const RadioList &radios);
    // The text a widget stores; false when a radio list has no checked button (nothing stored).
    static bool save_setting(const Binding &binding, QString &text);

private:
    std::vector<Binding> m_bindings;
};
