#include "widgets/messageboxprompt.h"

#include <QMessageBox>

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
    box.setDefaultButton(toStandard(question.defaultButton));
    switch (box.exec()) {
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
