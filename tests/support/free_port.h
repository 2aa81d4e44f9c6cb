#pragma once

#include <QtGlobal>

// A port that no socket of `type` (SOCK_STREAM, SOCK_DGRAM) holds on loopback now.
quint16 free_port(int type);
