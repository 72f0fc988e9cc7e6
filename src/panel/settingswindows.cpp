#include "panel/settingswindows.h"

SettingsWindows::SettingsWindows(QObject *parent)
    : QObject(parent)
{ }

SettingsWindows::~SettingsWindows() = default;
