#pragma once

#include "results.h"

class Form1;

// Processor time of the panel's pause against a busy pause of the same
// length, with how long each lasted. One row and a note.
Results pause_results(Form1& form);
