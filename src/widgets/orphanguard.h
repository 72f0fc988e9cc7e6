#pragma once

class QWidget;

// A hidden, never-shown parent for labels created without one, so they never become top-level
// windows. Created on first use and destroyed at process exit.
QWidget *orphanGuard();
