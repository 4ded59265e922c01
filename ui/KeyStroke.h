#pragma once
// Return and Enter belong to the window in which they went down. X repeats a
// held key as a release and a fresh press of the same time, which Qt does not
// always mark as a repeat, so a Return that pressed OK and hid its dialog went
// on arriving wherever the focus went next: a limit dialog opened meanwhile
// took the first repeat as its OK and closed as it appeared. The guard lets a
// stroke's repeats through only in the window where the key went down.
void InstallKeyStrokeGuard();
