#include "panel/chatwindows.h"

ChatWindows::ChatWindows(QObject *parent)
    : QObject(parent)
{ }

ChatWindows::~ChatWindows() = default;
