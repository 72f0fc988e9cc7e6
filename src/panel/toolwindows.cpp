#include "panel/toolwindows.h"

ToolWindows::~ToolWindows() = default;
