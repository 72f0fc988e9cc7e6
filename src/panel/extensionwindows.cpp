#include "panel/extensionwindows.h"

ExtensionWindows::ExtensionWindows(QObject *parent)
    : QObject(parent)
{ }

ExtensionWindows::~ExtensionWindows() = default;
