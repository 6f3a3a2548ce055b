// tarvelmin's page: the program on a desktop of the page's own. One module
// per concern: the desktop (desktop.js), its windows' frames (frame.js) and
// message boxes (dialog.js), and loading the program (program.js).
import {Desktop} from "./desktop.js";
import {start} from "./program.js";

// From a file, index.html's own script has said why nothing starts.
if (location.protocol !== "file:") start(new Desktop(document.getElementById("desktop"), document.getElementById("status")));
