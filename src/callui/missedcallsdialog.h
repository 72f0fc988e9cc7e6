#pragma once

#include <memory>

#include <QDialog>
#include <QStringList>

namespace Ui {
class MissedCallsDialog;
}
class MissedCallItem;

// The always-on-top list of callers who gave up (or whom do-not-disturb turned away), each with a
// call-back button. Closing it clears the list; the next missed call shows it with that row only.
// A list left open on a busy line keeps the newest MaxRows callers. The rows' buttons take their
// colour from the list's style sheet: a style sheet on each row would give each its own style
// (about 20 KiB a row).
class MissedCallsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MissedCallsDialog)

public:
    static constexpr int MaxRows = 100;

    explicit MissedCallsDialog(QWidget *parent = nullptr);
    ~MissedCallsDialog() override;

    // Adds a row for the engine's remote party text of the call (dropping the oldest beyond
    // MaxRows) and shows the window in front.
    void addMissedCall(const QString &remote);

    QList<MissedCallItem *> items() const;

signals:
    void dial(const QString &number);

public slots:
    void dialNumber(const QString &number);

private:
    std::unique_ptr<Ui::MissedCallsDialog> ui;
};
