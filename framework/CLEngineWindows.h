// Connects the engine's About and Update commands to the framework's own windows. A program
// calls it once before its main window is created; the engine alone links without them.
#pragma once

void UseFrameworkWindows();
