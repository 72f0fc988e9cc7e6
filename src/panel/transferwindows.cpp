#include "panel/transferwindows.h"

TransferWindows::~TransferWindows() = default;
