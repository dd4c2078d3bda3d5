// Chat with one teammate or all, in arrival order; lines not yet seen are marked unread until
// their conversation is shown.
import { el, clock } from "./dom.js";
import { act } from "./connection.js";

export function createChat(root) {
  const tabs = el("div", { class: "tabs" });
  const lines = el("div", { class: "lines", "aria-live": "polite" });
  const input = el("input", { type: "text", maxlength: "900", "aria-label": "Message", placeholder: "Message (C)" });
  const form = el("form", {}, input, el("button", { type: "submit", text: "Send" }));
  root.append(el("h2", { text: "Chat" }), tabs, lines, form);
  let state = null;
  let talkTo = "ALL";
  const seenCount = new Map(); // conversation -> lines seen

  form.addEventListener("submit", (e) => {
    e.preventDefault();
    const text = input.value.trim();
    if (!text || !state) return;
    act({ kind: "chat", to: talkTo === "ALL" ? "all" : talkTo, text });
    input.value = "";
  });

  const conversation = (line) => {
    if (line.to === "ALL" || line.to === "" || line.to === "all") return "ALL";
    return line.from === state.seat ? line.to : line.from;
  };

  function render() {
    const partners = ["ALL", ...state.team.filter((m) => m !== state.seat)];
    const byConversation = new Map(partners.map((p) => [p, []]));
    for (const line of state.chat) {
      const c = conversation(line);
      if (!byConversation.has(c)) byConversation.set(c, []);
      byConversation.get(c).push(line);
    }
    const shown = byConversation.get(talkTo) || [];
    const seenBefore = seenCount.get(talkTo) || 0;
    tabs.replaceChildren(...[...byConversation.keys()].map((p) => {
      const list = byConversation.get(p);
      const unread = p === talkTo ? 0 : list.length - (seenCount.get(p) || 0);
      const b = el("button", { text: p === "ALL" ? "All" : p, "aria-pressed": String(p === talkTo),
        onclick: () => { talkTo = p; render(); } });
      if (unread > 0) b.append(el("span", { class: "unread", text: String(unread) }));
      return b;
    }));
    lines.replaceChildren(...shown.map((line, index) => el("div",
      { class: `line${index >= seenBefore && line.from !== state.seat ? " unread" : ""}` },
      el("span", { class: "who", text: `${clock(line.minute)} ${line.from}${line.to && line.to !== "ALL" ? " → " + line.to : ""}: ` }),
      el("span", { class: "text", text: line.text }))));
    seenCount.set(talkTo, shown.length);
    lines.scrollTop = lines.scrollHeight;
  }

  return {
    focus: () => input.focus(),
    update(next) { state = next; render(); },
  };
}
