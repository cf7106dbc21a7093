#include "testsupport/threadhold.h"

#include <sys/ptrace.h>
#include <sys/types.h>
#include <sys/wait.h>

ThreadHold::ThreadHold(qint64 tid) : tid(tid)
{
    const auto thread = pid_t(tid);
    attached = ::ptrace(PTRACE_SEIZE, thread, nullptr, nullptr) == 0;
    if (!attached || ::ptrace(PTRACE_INTERRUPT, thread, nullptr, nullptr) != 0)
        return;
    int status = 0;
    stopped = ::waitpid(thread, &status, __WALL) == thread && WIFSTOPPED(status);
}

ThreadHold::~ThreadHold()
{
    release();
}

void ThreadHold::release()
{
    if (attached)
        ::ptrace(PTRACE_DETACH, pid_t(tid), nullptr, nullptr);
    attached = false;
    stopped = false;
}
