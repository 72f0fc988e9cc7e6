#pragma once

#include <memory>
#include <vector>

#include <QDialog>
#include <QList>

#include "cloud/extension.h"

namespace Ui {
class LoginDialog;
}

class QNetworkReply;
class ExtensionWriter;
class Kesapi;
class Orvalo;
class Settings;
class dbmgr;
struct LoginReply;

// Signs the operator in to the cloud service and provisions the chosen devices as extensions.
// The form stays disabled until the service answers the hello check; OK then sends the credentials
// (the token wins over company code, user name and password). Cancel closes the window at any time;
// a reply that arrives after the window closed is dropped.
class LoginDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoginDialog)

public:
    // Written when the option is empty.
    static const QString DefaultCloudAddress;

    LoginDialog(Orvalo &window, Settings &settings, Kesapi &kesapi, dbmgr &db, QWidget *parent = nullptr);
    ~LoginDialog() override;

    // Asks the service whether it answers; the form is enabled when it does.
    void check_for_host();
    void host_set();
    // Writes the chosen devices (each with its own questions), in one transaction.
    void load_extensions(const std::vector<Extension> &devices);

    QString statusText() const;

signals:
    void load_new_extensions(QList<int> accountids);
    void reload_extension(int accountid);
    void clear_extensions();
    void load_companydevices(QString replytext);
    void successfulLogin();

public slots:
    void on_ButtonOk_clicked();
    void on_ButtonCancel_clicked();
    void handleNetworkData(QNetworkReply *reply);

public:
    void done(int result) override;

private:
    void setFormEnabled(bool enabled);
    void helloAnswered(QNetworkReply *reply);
    // The devices the operator picks and confirms; false when the login stops here ("No").
    bool chooseDevices(const LoginReply &reply, std::vector<Extension> &chosen);
    void finishLogin(const QString &replyText);
    // Calls `handler` with the reply unless this window closed (or was closed and opened again)
    // since the request was sent.
    template <typename Handler> auto whileOpen(Handler handler);

    std::unique_ptr<Ui::LoginDialog> ui;
    Settings &m_settings;
    Kesapi &m_kesapi;
    std::unique_ptr<ExtensionWriter> m_writer;
    // Counts the closings: a reply belongs to the showing in which its request was sent.
    int m_showing = 0;
};
