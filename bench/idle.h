#pragma once

#include "results.h"

// The process left idle, its event loop alone: processor time, wake-ups and
// the event loop's sleeps. One row.
Results idle_results();
