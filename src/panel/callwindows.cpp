#include "panel/callwindows.h"

CallWindows::CallWindows(QObject *parent)
    : QObject(parent)
{ }

CallWindows::~CallWindows() = default;
