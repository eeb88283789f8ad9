#include "startup/abort.h"

#include <windows.h>

AbortPoint *AbortContext;
int AbortCode;

void AbortRun(int code)
{
    AbortCode = code;
    if (!AbortContext)
        ExitProcess(0);
    __builtin_longjmp(AbortContext->jump, 1);
}
