#include "TimingPriority.h"

#include <pthread.h>
#include <sched.h>

bool raiseToTimingPriority()
{
    sched_param parameter{};
    parameter.sched_priority = sched_get_priority_min(SCHED_FIFO);
    return parameter.sched_priority >= 0 &&
           pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter) == 0;
}
