#pragma once

#include <memory>

#include <QWidget>

namespace Ui {
class CorporateDirectory;
}
class FlowLayout;

// One tab of the company directory: the department's greeting above its tiles, which flow left to
// right and wrap, in a scroll area.
class CorporateDirectory final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CorporateDirectory)

public:
    CorporateDirectory(
        QString partyId, const QString &name, const QString &greeting, QWidget *parent = nullptr);
    ~CorporateDirectory() override;

    void addWidget(QWidget *tile);

    const QString &getPartyId() const { return m_partyId; }

    const QString &getName() const { return m_name; }

    const QString &getGreeting() const { return m_greeting; }

    int tileCount() const;

private:
    std::unique_ptr<Ui::CorporateDirectory> ui;
    QString m_name;
    QString m_greeting;
    FlowLayout *m_flow = nullptr;
    QString m_partyId;
};
