#include "panel/loginwindows.h"

LoginWindows::LoginWindows(QObject *parent)
    : QObject(parent)
{ }

LoginWindows::~LoginWindows() = default;
