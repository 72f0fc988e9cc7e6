#pragma once

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>

// Every modal question of the application goes through this interface, so that a test (or an
// unattended run) can answer it instead of a person. The application installs a message-box
// implementation; until then, questions are logged and answered with their default button.
class Prompt
{
public:
    enum class Icon
    {
        Information,
        Warning,
        Critical,
        Question
    };

    enum Button
    {
        NoButton = 0x0,
        Ok = 0x1,
        Cancel = 0x2,
        Yes = 0x4,
        No = 0x8,
        // Buttons with texts of the question's own (Question::choices, in order).
        Choice1 = 0x10,
        Choice2 = 0x20,
        Choice3 = 0x40
    };

    struct Question
    {
        Icon icon = Icon::Information;
        QString title;
        QString text;
        int buttons = Ok;
        Button defaultButton = Ok;
        // The texts of Choice1, Choice2 and Choice3 when `buttons` holds them; they come before the
        // standard buttons (Cancel is the usual way out of such a question).
        QStringList choices = {};
    };

    virtual ~Prompt();
    virtual Button ask(const Question &question) = 0;

    static Prompt &current();
    // Installs a prompt (not owned); nullptr restores the default.
    static void install(Prompt *prompt);

    static void critical(const QString &title, const QString &text);
    static void warning(const QString &title, const QString &text);
    static void information(const QString &title, const QString &text);
    // Yes/No question, default No; true on Yes.
    static bool confirm(const QString &title, const QString &text);
};

// Answers every question with a fixed answer (or its default) and remembers what was asked.
class ScriptedPrompt : public Prompt
{
public:
    explicit ScriptedPrompt(std::function<Button(const Question &)> answer = {});
    Button ask(const Question &question) override;

    const QList<Question> &asked() const { return m_asked; }

private:
    std::function<Button(const Question &)> m_answer;
    QList<Question> m_asked;
};
