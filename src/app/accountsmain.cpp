// orvalo-accounts: the extension list and the account editor on their own, for development.
//
//   orvalo-accounts [directory] [--new | --edit ROW] [--tab INDEX] [--save]
//
// The directory holds the settings file and the database as it does for the panel (default: the
// directory of the executable). --new opens the editor on a new row, --edit on an existing one,
// --tab selects the editor's tab (0 Basic, 1 Transport, 2 Codecs), --save presses Save at once
// (to see how refused fields look).
#include <QApplication>
#include <QCommandLineParser>
#include <QTabWidget>

#include "core/dbmgr.h"
#include "core/log.h"
#include "core/prompt.h"
#include "core/settings.h"
#include "settingsui/orvaloacc.h"
#include "settingsui/orvaloaccdialog.h"
#include "widgets/messageboxprompt.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Extension list and account editor"));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("directory"), QStringLiteral("Where settings and database live."));
    const QCommandLineOption newOption(QStringLiteral("new"), QStringLiteral("Edit a new account."));
    const QCommandLineOption editOption(
        QStringLiteral("edit"), QStringLiteral("Edit the account in ROW."), QStringLiteral("ROW"));
    const QCommandLineOption tabOption(
        QStringLiteral("tab"), QStringLiteral("Show the editor's tab INDEX."), QStringLiteral("INDEX"));
    const QCommandLineOption saveOption(QStringLiteral("save"), QStringLiteral("Press Save once shown."));
    parser.addOptions({newOption, editOption, tabOption, saveOption});
    parser.process(app);

    MessageBoxPrompt prompt;
    Prompt::install(&prompt);
    const QString dir = parser.positionalArguments().value(0, QApplication::applicationDirPath());
    Settings settings(dir);
    dbmgr db(settings);
    if (!db.open()) {
        LOG(QStringLiteral("Database not opened in ") + dir);
        return 1;
    }

    Orvaloaccdialog editor(db);
    Orvaloacc list(db, editor);
    list.open();
    if (parser.isSet(newOption))
        editor.newaccount();
    else if (parser.isSet(editOption))
        editor.openSlot(parser.value(editOption).toInt());
    if (parser.isSet(tabOption)) {
        if (auto *tabs = editor.findChild<QTabWidget *>())
            tabs->setCurrentIndex(parser.value(tabOption).toInt());
    }
    if (editor.isVisible())
        editor.move(list.frameGeometry().right() + 8, 0);
    if (parser.isSet(saveOption) && editor.isVisible())
        editor.accept();

    const int status = QApplication::exec();
    Prompt::install(nullptr);
    return status;
}
