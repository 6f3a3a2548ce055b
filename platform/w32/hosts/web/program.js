// Starts the program on the desktop: tarvelmin.js, Emscripten's glue, and
// tarvelmin.wasm, which index.html has already fetched and compiled (or
// failed to). When either cannot be had, the status line says what happened
// and how to serve the page.

// index.html's, so that the page says it one way whoever finds out.
const cannotStart = (why) => globalThis.tarvelminCannotStart(why);

export async function start(desk) {
  let create;
  try {
    ({default: create} = await import("./tarvelmin.js"));
  } catch (e) {
    cannotStart(`its script tarvelmin.js did not load (${e.message}).`);
    return;
  }
  const program = {
    desk,
    instantiateWasm(imports, receive) {
      globalThis.tarvelminProgram
        .then((module) => WebAssembly.instantiate(module, imports).then((instance) => ({instance, module})))
        .then(({instance, module}) => receive(instance, module), (e) => cannotStart(e.message));
      return {};
    },
    // Before main(): the trace panel may listen from the program's first call.
    onRuntimeInitialized: () => desk.runtimeReady(program),
    onExit: (code) => desk.ended(code),
    onAbort: (what) => desk.say(`tarvelmin stopped: ${what}`),
    print: (text) => console.log(text),
    printErr: (text) => console.error(text),
  };
  create(program).catch(() => {});  // onAbort has said it
}
