#pragma once

#include <memory>

#include <QWidget>

namespace Ui {
class MissedCallItem;
}

// One row of the missed-calls window: "name at HH:mm:ss" and a button that calls the number back.
class MissedCallItem final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MissedCallItem)

public:
    MissedCallItem(const QString &name, const QString &number, QWidget *parent = nullptr);
    ~MissedCallItem() override;

    QString text() const;

signals:
    void dial(const QString &number);

public slots:
    void on_button_call_clicked();

private:
    std::unique_ptr<Ui::MissedCallItem> ui;
    const QString m_number;
};
