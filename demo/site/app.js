// The stand-in web application: sections, the Inbox, and the page's side of the
// bridge to the desktop application.
"use strict";

const titles = {
  "/": "Входящие", "/now": "Сегодня", "/inbox": "Входящие", "/next": "Действия", "/projects": "Проекты",
  "/waiting": "Жду", "/someday": "Когда-нибудь", "/calendar": "Календарь", "/review": "Обзор недели",
  "/settings": "Настройки",
};

let state = { inbox: [], reminders: [] };
let sentReminders = null;
let shownState = null;

function post(message) {
  const channel = window.webkit?.messageHandlers?.orvela;
  if (channel) channel.postMessage(message);
}

// Tells the site what the application asked of the page, for the tests to read.
function trace(call, value) {
  fetch("/api/trace", {
    method: "POST", headers: { "Content-Type": "application/json" }, body: JSON.stringify({ call, value }),
    keepalive: true,
  }).catch(() => {});
}

// The count goes with every refresh, changed or not, as the web application's
// own page sends it; the application must not pass the repeats on.
function report() {
  post({ type: "inbox", count: state.inbox.length });
  const reminders = JSON.stringify(state.reminders);
  if (reminders !== sentReminders || state.resendReminders) {
    sentReminders = reminders;
    post({ type: "reminders", list: state.reminders });
  }
}

async function refresh() {
  const response = await fetch("/api/state", { cache: "no-store" });
  const text = await response.text();
  state = JSON.parse(text);
  if (text !== shownState || state.redrawUnchanged !== false) render();
  shownState = text;
  report();
}

function showPanel(text) {
  const panel = document.getElementById("panel");
  panel.textContent = text;
  panel.hidden = false;
}

function render() {
  const path = location.pathname;
  const item = path.startsWith("/item/") ? decodeURIComponent(path.slice(6)) : null;
  document.getElementById("title").textContent = item ? "Запись" : (titles[path] || "Orvela");
  document.title = "Orvela — " + document.getElementById("title").textContent;
  for (const link of document.querySelectorAll("nav a")) {
    link.classList.toggle("current", link.dataset.path === path || (path === "/" && link.dataset.path === "/inbox"));
  }
  document.getElementById("inbox-count").textContent = state.inbox.length || "";
  const list = document.getElementById("items");
  list.replaceChildren();
  const showInbox = item !== null || path === "/" || path === "/inbox";
  for (const entry of showInbox ? state.inbox : []) {
    const row = document.createElement("li");
    row.textContent = entry.text;
    row.dataset.id = entry.id;
    if (entry.id === item) row.classList.add("current");
    list.appendChild(row);
  }
}

async function capture(text) {
  trace("capture", text);
  try {
    if (state.captureDelay) await new Promise((resolve) => setTimeout(resolve, state.captureDelay));
    const response = await fetch("/api/inbox", {
      method: "POST", headers: { "Content-Type": "application/json" }, body: JSON.stringify({ text }),
    });
    if (!response.ok) return false;
    await refresh();
    return true;
  } catch (error) {
    return false;
  }
}

function go(path) {
  history.pushState({}, "", path);
  render();
}

window.orvelaNative = {
  navigate(path) {
    trace("navigate", path);
    // "/delete" asks before deleting, as the real application does, and tells the answer.
    if (path === "/delete") return setTimeout(() => trace("confirm", confirm("Удалить запись?")), 0);
    go(path);
  },
  openItem(id) { trace("openItem", id); go("/item/" + encodeURIComponent(id)); },
  capture,
  openQuickAdd() {
    trace("command", "openQuickAdd");
    document.getElementById("quick-add-text").focus();
    showPanel("Новая запись");
  },
  openDiktor() { trace("command", "openDiktor"); showPanel("Диктор слушает…"); },
  openSearch() { trace("command", "openSearch"); showPanel("Поиск"); },
};

document.addEventListener("click", (event) => {
  const link = event.target.closest("nav a");
  if (!link) return;
  event.preventDefault();
  go(link.dataset.path);
});
document.getElementById("quick-add").addEventListener("submit", async (event) => {
  event.preventDefault();
  const field = document.getElementById("quick-add-text");
  if (field.value.trim() && (await capture(field.value))) field.value = "";
});
window.addEventListener("popstate", render);
// The page zoom shows in the width of the viewport in CSS pixels.
window.addEventListener("resize", () => trace("width", window.innerWidth));
trace("loaded", { path: location.pathname, width: window.innerWidth });

refresh().then(() => {
  post({ type: "ready" });
  trace("ready", location.pathname);
}, () => {});
// Every two seconds, or as often as the site asks (a busy page for the benchmarks).
function refreshLater() {
  setTimeout(() => refresh().catch(() => {}).finally(refreshLater), state.pollMs || 2000);
}
refreshLater();
