#include "widgets/messageboxprompt.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

Prompt::Button MessageBoxPrompt::ask(const Question &question)
{
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (question.icon) {
    case Icon::Information:
        icon = QMessageBox::Information;
        break;
    case Icon::Warning:
        icon = QMessageBox::Warning;
        break;
    case Icon::Critical:
        icon = QMessageBox::Critical;
        break;
    case Icon::Question:
        icon = QMessageBox::Question;
        break;
    }
    QMessageBox::StandardButtons buttons;
    if (question.buttons & Ok)
        buttons |= QMessageBox::Ok;
    if (question.buttons & Cancel)
        buttons |= QMessageBox::Cancel;
    if (question.buttons & Yes)
        buttons |= QMessageBox::Yes;
    if (question.buttons & No)
        buttons |= QMessageBox::No;
    const auto toStandard = [](Button b) {
        switch (b) {
        case Ok:
            return QMessageBox::Ok;
        case Cancel:
            return QMessageBox::Cancel;
        case Yes:
            return QMessageBox::Yes;
        case No:
            return QMessageBox::No;
        default:
            return QMessageBox::NoButton;
        }
    };
    QMessageBox box(icon, question.title, question.text, buttons);
    // Buttons of the question's own texts, first to last.
    QList<std::pair<QAbstractButton *, Button>> own;
    const Button choiceButtons[] = {Choice1, Choice2, Choice3};
    for (int i = 0; i < 3 && i < question.choices.size(); ++i) {
        if (question.buttons & choiceButtons[i])
            own.append({box.addButton(question.choices.at(i), QMessageBox::AcceptRole), choiceButtons[i]});
    }
    for (const auto &[button, answer] : own) {
        if (answer == question.defaultButton)
            box.setDefaultButton(qobject_cast<QPushButton *>(button));
    }
    if (toStandard(question.defaultButton) != QMessageBox::NoButton)
        box.setDefaultButton(toStandard(question.defaultButton));
    const int result = box.exec();
    for (const auto &[button, answer] : own) {
        if (box.clickedButton() == button)
            return answer;
    }
    switch (result) {
    case QMessageBox::Ok:
        return Ok;
    case QMessageBox::Cancel:
        return Cancel;
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    default:
        // Closing the box counts as the escape answer: No or Cancel when offered.
        return (question.buttons & No) ? No : (question.buttons & Cancel) ? Cancel : Ok;
    }
}
