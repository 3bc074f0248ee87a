#pragma once
// The process-wide application object of the window library.

// Creates it on first use; the calling thread becomes the UI thread. Windows and the message
// loop call this themselves, so a program only needs it to decide the moment.
void UiEnsureApplication();

// Ends the outermost message loop (CPaintManagerUI::MessageLoop) with the given exit code.
void PostQuitMessage(int nExitCode);
