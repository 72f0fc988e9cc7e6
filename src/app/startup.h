#pragma once

#include <QString>

// Registers the bundled fonts from `dir` (the resource bundle unless ORVALO_FONT_DIR names another
// folder). Only the text font is required: 0 when it registered, -1 otherwise.
int loadFonts(const QString &dir = QString());

// The application-wide style sheet.
QString applicationStyleSheet();

// SIGTERM and SIGINT end the event loop normally, so that everything is written and closed.
void installQuitOnSignals();

// Whether the panel can keep its files in `dir` (the directory of its settings file). When it cannot,
// says so (log and a critical message) with the directory's path and returns false.
bool checkDataDirectory(const QString &dir);
