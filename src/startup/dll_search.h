// Installers are run from download folders, where anyone may have left a DLL
// named like a system one.
#pragma once

// Limits the DLL search of this process to the system folder where the
// system offers that (SetDefaultDllDirectories, looked up at run time; older
// systems go on as before). Must run before anything can load a DLL.
void LimitDllSearchToSystemFolder();
