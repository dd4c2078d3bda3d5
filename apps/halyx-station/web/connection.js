// The seat's stream and its actions. The whole state comes on every connect, then numbered
// updates; one that does not follow the last we have makes us connect again for the whole
// state. Actions carry an id made here, kept until the seat answered, and sent again after a
// reconnect: the seat answers a known id without acting twice.
const params = new URLSearchParams(location.search);
const key = params.get("key") || "";
const seat = location.pathname.split("/")[2] || "";
const browserKey = "halyx-browser";
// randomUUID needs a secure context; a lab address is plain http.
function randomId() {
  return Array.from(crypto.getRandomValues(new Uint8Array(16)),
    (b) => b.toString(16).padStart(2, "0")).join("");
}
let browser = localStorage.getItem(browserKey);
if (!browser) {
  browser = randomId();
  localStorage.setItem(browserKey, browser);
}
const pendingKey = `halyx-pending-${seat}`;
const base = `/seat/${encodeURIComponent(seat)}`;
const query = `key=${encodeURIComponent(key)}&b=${encodeURIComponent(browser)}`;
// The seat's map picture; its version in the address, so that the browser keeps it until it changes.
export const mapPicture = (version) =>
  `${base}/map.png?key=${encodeURIComponent(key)}&v=${encodeURIComponent(version)}`;

export function connect({ onState, onStatus, onRefused }) {
  let source = null;
  let rev = -1;
  let retry = null;
  const open = () => {
    source = new EventSource(`${base}/events?${query}`);
    source.addEventListener("state", (e) => {
      const state = JSON.parse(e.data);
      rev = state.rev;
      onStatus(true);
      onState(state);
      resend();
    });
    source.addEventListener("update", (e) => {
      const state = JSON.parse(e.data);
      if (state.prev !== rev) {
        reopen();
        return;
      }
      rev = state.rev;
      onState(state);
    });
    source.addEventListener("refused", (e) => {
      source.close();
      onRefused(JSON.parse(e.data).text);
      retry = setTimeout(open, 3000);
    });
    source.onerror = () => onStatus(false);
  };
  const reopen = () => {
    source.close();
    open();
  };
  open();
  return { close: () => { clearTimeout(retry); source.close(); } };
}

function pending() {
  try { return JSON.parse(sessionStorage.getItem(pendingKey)) || []; } catch { return []; }
}
function keep(list) { sessionStorage.setItem(pendingKey, JSON.stringify(list)); }

const answerSinks = [];
export function onAnswer(sink) { answerSinks.push(sink); }

async function post(action) {
  try {
    const reply = await fetch(`${base}/act?${query}`, {
      method: "POST", headers: { "Content-Type": "application/json" }, body: JSON.stringify(action),
    });
    if (reply.status !== 200) return;
    const answer = await reply.json();
    keep(pending().filter((a) => a.id !== action.id));
    for (const sink of answerSinks) sink(answer, action);
  } catch {
    // The connection is down: the action stays pending and goes again on reconnect.
  }
}

export function act(action) {
  const withId = { ...action, id: randomId() };
  keep([...pending(), withId]);
  post(withId);
}

function resend() { for (const action of pending()) post(action); }
