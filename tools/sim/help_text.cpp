#include "help_text.h"

namespace sim {

const char* const usage_text = R"(usage: lumivane-sim [options]

Plays the inverter on a pseudo-terminal linked as DIR/comN, where the panel
looks for its ports. The line is 9600 baud, 8N1. Stops on q, Ctrl-C, SIGTERM
or SIGHUP and removes the link.

options:
  --dir DIR     directory for the link (default: the panel's settings folder,
                the directory of this program in a one-folder install, or
                ~/.local/share/lumivane in a system install)
  --port N      port number 1..15; the link is named comN (default 1)
  --log FILE    also append the log to FILE
  --split       send replies in chunks of 1..3 bytes, one write per chunk
  --merge       hold a reply and send it together with the next one
                (or after 50 ms)
  --delay MS    delay each reply by MS milliseconds (default 0)
  --seed N      seed for the chunk sizes of --split
  --help        show this text

)";

const char* const commands_text = R"(commands, one a line:
  u, up      turn the front-panel knob up (only while the front panel has control)
  d, down    turn the knob down
  m          switch the adjustment mode (0 duty, 1 frequency)
  b          send the beep frame
  s          show the inverter's state
  q          quit
  h          this help
)";

} // namespace sim
