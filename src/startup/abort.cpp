#include "startup/abort.h"

#include <windows.h>

#include "startup/exit_code.h"

AbortPoint *AbortContext;
int AbortCode;

void AbortRun(int code)
{
    AbortCode = code;
    if (!AbortContext)
        ExitProcess(ProcessExitCode(0));
    __builtin_longjmp(AbortContext->jump, 1);
}
