#pragma once

#include <QDialog>

#include "settingsui/optionbindings.h"

class QAbstractButton;
class QCheckBox;
class QDialogButtonBox;
class QFormLayout;
class QLineEdit;
class QSpinBox;
class QTabWidget;
class ClickableLabel;
class Settings;

// The tabbed general settings: every bound widget is loaded when the dialog opens; Save writes
// them all to the database in one go (or, when that fails, none and says why), Discard writes
// nothing; both report settings_updated() and close.
class GeneralSettingsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GeneralSettingsDialog)

public:
    explicit GeneralSettingsDialog(Settings &settings, QWidget *parent = nullptr);
    ~GeneralSettingsDialog() override;

    const OptionBindings &bindings() const { return m_bindings; }

    QTabWidget *tabs() const { return m_tabs; }

    QDialogButtonBox *buttonBox() const { return m_buttons; }

signals:
    void settings_updated();

public slots:
    void on_buttonBox_clicked(QAbstractButton *button);
    void on_checkbox_enable_recentcallswindow_stateChanged(int state);
    void on_checkbox_footerdisplay_checkStateChanged(const Qt::CheckState &state);
    void on_field_databaselocation_clicked();
    void on_selectuserdirectoryButton_clicked();

private:
    QWidget *addTab(const QString &title, QFormLayout *&form);
    QCheckBox *check(QFormLayout *form, const char *name, const QString &label, const Setting &option);
    QLineEdit *line(QFormLayout *form, const char *name, const QString &label, const Setting &option);
    void buildCloudTab();
    void buildDirectoryTab();
    void buildCallTab();
    void buildStatusTab();
    void buildMenusTab();
    void buildMiscTab();
    bool save();

    Settings &m_settings;
    OptionBindings m_bindings;
    QTabWidget *m_tabs = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    QLineEdit *m_userDir = nullptr;
    QSpinBox *m_recentLimit = nullptr;
    QCheckBox *m_recentWindow = nullptr;
    QCheckBox *m_footer = nullptr;
    QCheckBox *m_footerCompany = nullptr;
    QCheckBox *m_footerUser = nullptr;
    ClickableLabel *m_databaseLocation = nullptr;
};
