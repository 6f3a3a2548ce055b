// Restart: the show command the program starts with and the set-up call
// made to fail, as the bar's form chooses them. They are the page's
// address (?show=maximized, ?fail=CreateSurface), so the form reloads the
// page with them; unknown values in an address typed by hand are the
// program's to refuse, in the status line. The choices are the program's
// own (it hands them over as it opens); until then the form offers what the
// address holds.
export function restartForm(form, desk) {
  const query = new URLSearchParams(location.search);
  const selects = {show: form.elements.show, fail: form.elements.fail};
  const offer = (select, names) => {
    const now = query.get(select.name) || "";
    for (const name of names.includes(now) || !now ? names : [...names, now]) {
      const option = document.createElement("option");
      option.value = option.textContent = name;
      select.append(option);
    }
    select.value = now;
  };
  desk.offered = (shows, calls) => {
    for (const s of Object.values(selects)) s.replaceChildren(s.options[0]);
    offer(selects.show, shows);
    offer(selects.fail, calls);
  };
  // Before the program is there: the address's own values.
  for (const s of Object.values(selects)) offer(s, []);

  form.addEventListener("submit", (e) => {
    e.preventDefault();
    const next = new URLSearchParams();
    for (const [name, select] of Object.entries(selects)) if (select.value) next.set(name, select.value);
    const search = next.toString();
    location.assign(location.pathname + (search ? "?" + search : ""));
  });
}
