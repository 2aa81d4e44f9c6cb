#pragma once

class QEventLoop;

// Serves events until `loop` is quit or timeout_ms pass; false on timeout.
bool run_until_quit(QEventLoop& loop, int timeout_ms);
