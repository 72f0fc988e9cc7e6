#include "core/prompt.h"

#include <QList>

#include "core/log.h"

namespace {
Prompt *installed = nullptr;

QString describe(const Prompt::Question &question)
{
    // One log line per question: a text of several lines is logged with its breaks written as \n.
    QString text = question.text;
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QStringLiteral("Question \"") + question.title + QStringLiteral("\": ") + text;
}
} // namespace

Prompt::~Prompt() = default;

Prompt &Prompt::current()
{
    static ScriptedPrompt fallback;
    return installed ? *installed : fallback;
}

void Prompt::install(Prompt *prompt)
{
    installed = prompt;
}

void Prompt::critical(const QString &title, const QString &text)
{
    current().ask({Icon::Critical, title, text, Ok, Ok});
}

void Prompt::warning(const QString &title, const QString &text)
{
    current().ask({Icon::Warning, title, text, Ok, Ok});
}

void Prompt::information(const QString &title, const QString &text)
{
    current().ask({Icon::Information, title, text, Ok, Ok});
}

bool Prompt::confirm(const QString &title, const QString &text)
{
    return current().ask({Icon::Warning, title, text, Yes | No, No}) == Yes;
}

ScriptedPrompt::ScriptedPrompt(std::function<Button(const Question &)> answer)
    : m_answer(std::move(answer))
{ }

Prompt::Button ScriptedPrompt::ask(const Question &question)
{
    m_asked.append(question);
    const Button answer = m_answer ? m_answer(question) : question.defaultButton;
    LOG(describe(question) + QStringLiteral(" answered ") + QString::number(int(answer)));
    return answer;
}
