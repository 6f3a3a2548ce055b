// A message box: a modal dialog in the middle of the page, as Windows
// centres one on the screen. Its one button holds the focus, Enter and
// Escape are OK as on Windows, and the rest of the page is inert until it is
// dismissed; then it resolves with the button, IDOK.
const IDOK = 1;
let serial = 0;

export function showMessageBox(text, caption) {
  return new Promise((resolve) => {
    const box = document.createElement("dialog");
    const id = `box-${++serial}`;
    box.className = "box";
    box.setAttribute("role", "alertdialog");
    box.setAttribute("aria-label", caption);
    box.setAttribute("aria-describedby", id);
    const title = document.createElement("div");
    title.className = "caption";
    title.textContent = caption;
    const message = document.createElement("p");
    message.id = id;
    message.textContent = text;
    const buttons = document.createElement("div");
    buttons.className = "buttons";
    const ok = document.createElement("button");
    ok.textContent = "OK";
    buttons.append(ok);
    box.append(title, message, buttons);

    let open = true;
    const dismiss = () => {
      if (!open) return;
      open = false;
      box.close();
      box.remove();
      resolve(IDOK);
    };
    ok.addEventListener("click", dismiss);
    box.addEventListener("cancel", (e) => {
      e.preventDefault();
      dismiss();
    });
    box.addEventListener("keydown", (e) => {
      if (e.key === "Enter" || e.key === "Escape") {
        e.preventDefault();
        dismiss();
      } else if (e.key === "Tab") {
        e.preventDefault();  // nowhere else to go
        ok.focus();
      }
    });
    document.body.append(box);
    box.showModal();
    ok.focus();
  });
}
