// PostQuitMessage stand-in: a process-wide request that the application's
// event loop (or a batch front end) reads to end the program.
#pragma once

namespace plat {

void PostQuitMessage(int exitCode);
// True when a quit was requested; *exitCode gets its code.
bool QuitRequested(int* exitCode);
void ClearQuitRequest();

}  // namespace plat
