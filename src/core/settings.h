#pragma once

#include <map>
#include <vector>

#include <QList>
#include <QString>

#include "core/setting.h"

// Options live in two places: the "settings" file of name=value lines (which wins) and the
// orvalooptions table of the database. Every option is a static Setting member named like its key.
class Settings final
{
public:
    explicit Settings(const QString &appDir);
    Settings(const Settings &) = delete;
    Settings &operator=(const Settings &) = delete;

    // A file beside the executable when that directory is writable and not an installed one (the
    // file is created empty as a side effect), otherwise the same name under the per-user
    // application data directory.
    QString getFilePath(const QString &name) const;
    QString getpwd() const;

    const QString &settingsFilePath() const { return m_settingsPath; }

    QString getSetting(const QString &name) const;
    void setSetting(const QString &name, const QString &value, bool toFile = false);

    QString getSetting(const Setting &setting) const;
    int getIntSetting(const Setting &setting) const;
    bool checkSetting(const Setting &setting, Setting::Value value) const;
    bool checkSetting(const Setting &setting, const QString &text) const;
    void setSetting(const Setting &setting, Setting::Value value);
    void setSetting(const Setting &setting, const QString &text);
    void setSetting(const Setting &setting, int value);
    // Writes every (name, value) pair to the database in one transaction: all of them or, when
    // one fails (read-only file, a lock held by another process), none; `error` then holds the
    // driver's text.
    bool setSettings(const QList<std::pair<QString, QString>> &values, QString *error = nullptr);

    void loadDefaultSettings();

    // Keys whose values never reach the log in clear.
    static bool isSecret(const QString &name);
    static const std::vector<const Setting *> &registry();

    static const Setting ForegroundOnIncomingCall;
    static const Setting UseExternal;
    static const Setting UseExternalOn;
    static const Setting AnswerFirstIfMany;
    static const Setting HideExternalInboundCalls;
    static const Setting CorporateDirectoryInternal;
    static const Setting CorporateDirectoryExternal;
    static const Setting SeparateCorporateDirectory;
    static const Setting IncludeUserPhonesInDirectory;
    static const Setting SortCorporateDirectoryBy;
    static const Setting EnableRTCP;
    static const Setting EnableSIPLog;
    static const Setting EnableConnectionTest;
    static const Setting EnableVideo;
    static const Setting EnableChat;
    static const Setting EnableSpeedDialsTab;
    static const Setting EnableContactDetailsTab;
    static const Setting EnableCallProgressTab;
    static const Setting EnableFaxButton;
    static const Setting OperatorExtension;
    static const Setting Microphone;
    static const Setting Speaker;
    static const Setting Ringer;
    static const Setting BriskoCloudApiUrl;
    static const Setting LoginUsername;
    static const Setting LoginCompanycode;
    static const Setting UserDir;
    static const Setting ContactLookup;
    static const Setting AuthenticationToken;
    static const Setting SessionToken;
    static const Setting UnattendedTransferOnDrop;
    static const Setting AttendedTransferOnDrop;
    static const Setting OutboundDialPrefix;
    static const Setting IncomingCallDirectoryLookup;
    static const Setting LookupCallOnAnswer;
    static const Setting IssuesApiUrl;
    static const Setting IssuesApiToken;
    static const Setting MainWindowHeight;
    static const Setting MainWindowWidth;
    static const Setting AutoRegisterOnStartupOrLogin;
    static const Setting ChatSupportsExtension;
    static const Setting ChatSupportsTelephoneNumber;
    static const Setting ChatSupportsContact;
    static const Setting FooterDisplay;
    static const Setting FooterShowCompany;
    static const Setting FooterCompanyname;
    static const Setting FooterShowUser;
    static const Setting FooterUsername;
    static const Setting MaxCallCount;
    static const Setting CallLabelTopLeftText;
    static const Setting EnableRecentCallsWindow;
    static const Setting RecentCallsLimit;

private:
    void loadFile();
    void saveFile() const;
    void writeDatabase(const QString &name, const QString &value);
    bool writeRow(const QString &name, const QString &value, QString *error);

    QString m_appDir;
    bool m_installed = false;
    QString m_settingsPath;
    std::map<QString, QString> m_overrides;
};
