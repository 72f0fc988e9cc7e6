#pragma once

#include <memory>

#include <QDialog>
#include <QHash>
#include <QModelIndex>

#include "panel/accountvalidator.h"

class QDataWidgetMapper;
class QSqlTableModel;
class dbmgr;

namespace Ui {
class Orvaloaccdialog;
}

// The editor of one accounts row. Every field is bound to its column; Save checks the fields
// first and writes nothing while one is invalid (the message shows on the field and the dialog
// stays open). Cancel drops what was typed, and a new row that was never saved.
class Orvaloaccdialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Orvaloaccdialog)

public:
    explicit Orvaloaccdialog(dbmgr &db, QWidget *parent = nullptr);
    ~Orvaloaccdialog() override;

    // Shows the editor on a new, empty row (SIP port 5060, registration 3600 s, codecs ",ulaw").
    void newaccount();
    // Shows the editor on an existing row of the model.
    void openSlot(const QModelIndex &index);
    void openSlot(int row);
    // Shows the editor on the row of `accountId`; false (logged) when there is none.
    bool openAccount(int accountId);
    void setrow(int row);
    // Re-reads the table.
    void updateModel();

    // Validates and stores the shown row; false while a field is invalid (nothing is written).
    // On success emits accountUpdate, and newAccount for a new row.
    bool save();

    bool isNew() const { return m_isNew; }

    // The message shown on the field of `column`; empty when the field is fine.
    QString fieldError(const QString &column) const { return m_errors.value(column); }

    // The editor widget bound to `column` (nullptr for an unknown column).
    QWidget *fieldWidget(const QString &column) const;

public slots:
    void accept() override;
    void reject() override;

signals:
    void accountUpdate(int accountid);
    void newAccount(int accountid);

private:
    void bindFields();
    void setupCodecBoxes();
    void setCodecBoxesFromList();
    void codecToggled(const QString &key, bool checked);
    void setOpusSettingsEnabled(bool enabled);
    AccountValidator::Fields currentFields() const;
    bool isDuplicate(int accountId, const QString &extension, const QString &server) const;
    void showProblems(const QList<AccountValidator::Problem> &problems);
    void clearProblems();
    int currentAccountId() const;
    void chooseRecordingFolder();

    std::unique_ptr<Ui::Orvaloaccdialog> ui;
    dbmgr &m_db;
    QSqlTableModel *m_model;
    QDataWidgetMapper *m_mapper;
    bool m_isNew = false;
    bool m_settingBoxes = false;
    QHash<QString, QString> m_errors;
};
