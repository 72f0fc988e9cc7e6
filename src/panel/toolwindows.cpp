#include "panel/toolwindows.h"

#include "panel/faxwindows.h"

ToolWindows::~ToolWindows() = default;

FaxWindows::~FaxWindows() = default;
