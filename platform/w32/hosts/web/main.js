// tarvelmin's page: the program on a desktop of the page's own, its clock
// and its trace in the learner's hands. One module per concern: the desktop
// (desktop.js), its windows' frames (frame.js) and message boxes
// (dialog.js), the program's clock and its controls (clock.js), the trace
// panel (trace.js), the restart with another show command or failing call
// (restart.js), and loading the program (program.js).
import {ProgramClock, clockControls} from "./clock.js";
import {Desktop} from "./desktop.js";
import {start} from "./program.js";
import {restartForm} from "./restart.js";
import {TracePanel} from "./trace.js";

// From a file, index.html's own script has said why nothing starts.
if (location.protocol !== "file:") {
  const clock = new ProgramClock(ProgramClock.kept());
  const desk = new Desktop(document.getElementById("desktop"), document.getElementById("status"), clock);
  const bar = document.getElementById("bar");
  clock.changed = () => desk.tell();
  clockControls(clock, bar);
  restartForm(document.getElementById("restart-form"), desk);
  new TracePanel(document.getElementById("panel"), document.getElementById("panel-toggle"), desk);
  start(desk);
}
