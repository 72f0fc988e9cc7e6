#pragma once

#include <memory>

#include <QDialog>

class ChatHistory;
class ChatStore;
class QComboBox;
class QDateTimeEdit;
class QSqlQueryModel;
class QTableView;

// All stored chat messages of all extensions in one table, filtered by time span, own extension
// and direction. The chat logs are read once when the window opens; the table stays empty until
// "Filter" is pressed.
class ChatLogDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChatLogDialog)

public:
    explicit ChatLogDialog(const ChatStore &store, QWidget *parent = nullptr);
    ~ChatLogDialog() override;

    QTableView *view() const { return m_view; }

public slots:
    void reload();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    std::unique_ptr<ChatHistory> m_history;
    QSqlQueryModel *m_model = nullptr;
    QDateTimeEdit *m_start = nullptr;
    QDateTimeEdit *m_end = nullptr;
    QComboBox *m_account = nullptr;
    QComboBox *m_direction = nullptr;
    QTableView *m_view = nullptr;
};
