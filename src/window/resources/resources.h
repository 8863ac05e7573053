// The window's pictures live in a static library, whose resources the linker would drop unless
// the program asks for them once.
#pragma once

// Call once, after the application object exists and before loading ":/porteval/...".
void initPortevalResources();
