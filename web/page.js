// The page around the program: loads it (after making sure the page is cross-origin isolated,
// which threads need), keeps the play folder in the browser's storage, and answers the calls
// of the program's browser layer (platform/web): windows as canvases with a menu bar, modal
// boxes, file boxes, sounds, downloads and new tabs. Input goes back as window messages.
"use strict";

(() => {
// The program's script: the game, or a test suite's page naming its own (data-program).
const programScript = document.currentScript.dataset.program || "kvarlo.js";

const WM_CLOSE = 0x0010, WM_COMMAND = 0x0111, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202,
  WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_MOUSEMOVE = 0x0200;
const IDOK = 1, IDCANCEL = 2;

function showStatus(text, isError) {
  const status = document.getElementById("status");
  status.textContent = text;
  status.classList.toggle("error", !!isError);
  status.hidden = false;
}

function fail(text) {
  showStatus("Ошибка: " + text + " Перезагрузите страницу.", true);
}

// ---- Isolation: SharedArrayBuffer needs COOP and COEP; a service worker adds them where the
// server cannot. ----

async function ensureIsolated() {
  if (self.crossOriginIsolated && typeof SharedArrayBuffer === "function") return true;
  const tried = sessionStorage.getItem("kvarlo-isolation-reload") === "1";
  if (!tried && "serviceWorker" in navigator && window.isSecureContext) {
    sessionStorage.setItem("kvarlo-isolation-reload", "1");
    await navigator.serviceWorker.register("isolation.js");
    await navigator.serviceWorker.ready;
    location.reload();
    return false;
  }
  showStatus("Этот браузер не может запустить игру: ему не хватает SharedArrayBuffer " +
    "(страница не изолирована от других сайтов). Откройте её в свежем Chrome, Firefox или " +
    "Safari с сервера, который отдаёт заголовки Cross-Origin-Opener-Policy и " +
    "Cross-Origin-Embedder-Policy (scripts/serve-web).", true);
  return false;
}

// ---- The play folder ----

const storage = { busy: false, again: false, read: false };

function syncFolder(populate) {
  return new Promise((resolve, reject) =>
    FS.syncfs(populate, error => (error ? reject(error) : resolve())));
}

// Writes the folder back to IndexedDB; one write at a time, the last request wins.
async function persist() {
  if (storage.busy) {
    storage.again = true;
    return;
  }
  storage.busy = true;
  try {
    do {
      storage.again = false;
      await syncFolder(false);
    } while (storage.again);
  } catch (error) {
    fail("не удалось сохранить папку игры в хранилище браузера (" + error + ").");
  } finally {
    storage.busy = false;
  }
}

function exists(path) {
  try {
    FS.stat(path);
    return true;
  } catch (e) {
    return false;
  }
}

// Copies what the folder lacks from the program's seed, once per file: a file the player
// changed or deleted afterwards stays so (the list of seeded files is kept in the folder).
function seedPlayFolder() {
  const listPath = "/play/.kvarlo-seeded";
  const seeded = new Set(exists(listPath) ? FS.readFile(listPath, { encoding: "utf8" }).split("\n") : []);
  const walk = (from, to, relative) => {
    for (const name of FS.readdir(from)) {
      if (name === "." || name === "..") continue;
      const source = from + "/" + name, target = to + "/" + name, key = relative + name;
      if (FS.isDir(FS.stat(source).mode)) {
        if (!exists(target)) FS.mkdir(target);
        walk(source, target, key + "/");
      } else if (!seeded.has(key)) {
        if (!exists(target)) FS.writeFile(target, FS.readFile(source));
        seeded.add(key);
      }
    }
  };
  walk("/app/seed", "/play", "");
  FS.writeFile(listPath, [...seeded].filter(Boolean).join("\n"));
}

// The memory a search may take in this tab, told to the program as the limit of its control
// group (where the solver looks for a process's limits): a quarter of the device's memory as
// the browser reports it (4 GiB assumed when it does not say), at most 2 GiB of the 4 GiB that
// wasm32 can address. The solver budgets half of it and keeps the rest as its margin.
function setTabMemoryLimit() {
  const GiB = 1024 * 1024 * 1024;
  const device = (navigator.deviceMemory || 4) * GiB;
  const limit = Math.floor(Math.min(device / 4, 2 * GiB));
  FS.mkdirTree("/sys/fs/cgroup/kvarlo-tab");
  FS.writeFile("/sys/fs/cgroup/kvarlo-tab/memory.max", limit + "\n");
  FS.writeFile("/proc/self/cgroup", "0::/kvarlo-tab\n");
  page.memoryLimit = limit;
}

// The play folder is read from IndexedDB as soon as the program's script has run, while the
// wasm compiles and the workers load, rather than after them; main() waits for it.
function mountPlayFolder() {
  FS.mkdir("/play");
  FS.mount(IDBFS, {}, "/play");
  addRunDependency("kvarlo-play-folder");
  syncFolder(true)
    .then(() => (storage.read = true))
    .catch(error => fail("хранилище браузера недоступно (" + error + ")."))
    .finally(() => {
      mark("playFolder");
      removeRunDependency("kvarlo-play-folder");
    });
}

// Fills the folder from the seed once both are there (the seed comes with the program's data
// file, which may arrive after the folder was read), just before main().
function seedReadFolder() {
  if (!storage.read) return;
  try {
    seedPlayFolder();
    persist();
  } catch (error) {
    fail("не удалось подготовить папку игры (" + error + ").");
  }
}

// ---- Windows ----

const windows = new Map();  // handle -> { frame, caption, canvas, context, menus }

function post(handle, message, wParam, lParam) {
  Module._kvarlo_web_post(handle, message, wParam, lParam);
}

// "&Файл" as text with its mnemonic underlined; the mnemonic letter (lower case) or "".
function labelWithMnemonic(element, text) {
  let mnemonic = "";
  for (let i = 0; i < text.length; ++i) {
    if (text[i] === "&" && i + 1 < text.length) {
      ++i;
      if (text[i] !== "&" && !mnemonic) {
        mnemonic = text[i].toLowerCase();
        const u = document.createElement("u");
        u.textContent = text[i];
        element.append(u);
        continue;
      }
    }
    element.append(text[i]);
  }
  return mnemonic;
}

function makeCanvas(handle, width, height) {
  const canvas = document.createElement("canvas");
  canvas.width = width;
  canvas.height = height;
  canvas.tabIndex = 0;
  canvas.oncontextmenu = e => e.preventDefault();
  const button = (e, down) => {
    const rect = canvas.getBoundingClientRect();
    const x = Math.floor(e.clientX - rect.left), y = Math.floor(e.clientY - rect.top);
    const message = e.type === "mousemove" ? WM_MOUSEMOVE
      : e.button === 0 ? (down ? WM_LBUTTONDOWN : WM_LBUTTONUP)
      : e.button === 2 ? (down ? WM_RBUTTONDOWN : WM_RBUTTONUP) : 0;
    if (!message || modal.open) return;
    const keys = (e.buttons & 1 ? 1 : 0) | (e.buttons & 2 ? 2 : 0) | (e.shiftKey ? 4 : 0) |
      (e.ctrlKey ? 8 : 0);
    Module._kvarlo_web_mouse(handle, message, keys, x, y, Math.round(rect.left + scrollX),
      Math.round(rect.top + scrollY));
    canvas.focus();
  };
  canvas.addEventListener("mousedown", e => button(e, true));
  canvas.addEventListener("mouseup", e => button(e, false));
  canvas.addEventListener("mousemove", e => button(e, false));
  return canvas;
}

function createWindow(handle, title, menuJson, width, height) {
  mark("window");
  const frame = document.createElement("div");
  frame.className = "window";
  frame.hidden = true;
  const caption = document.createElement("div");
  caption.className = "caption";
  caption.textContent = title;
  const bar = document.createElement("div");
  bar.className = "menubar";
  bar.setAttribute("role", "menubar");
  frame.append(caption, bar);
  document.getElementById("desk").append(frame);
  const menus = buildMenuBar(handle, bar, JSON.parse(menuJson));
  const clientHeight = Math.max(1, height - (menus.length ? bar.offsetHeight : 0));
  if (!menus.length) bar.remove();
  const canvas = makeCanvas(handle, width, clientHeight);
  frame.append(canvas);
  windows.set(handle, { frame, caption, canvas, context: canvas.getContext("2d"), menus });
  return clientHeight;
}

function present(handle, pointer, width, height) {
  const w = windows.get(handle);
  if (!w) return;
  const bytes = new Uint8ClampedArray(HEAPU8.slice(pointer, pointer + width * height * 4).buffer);
  w.context.putImageData(new ImageData(bytes, width, height), 0, 0);
  if (!page.firstFrame) {
    page.firstFrame = performance.now();
    document.getElementById("status").hidden = true;
    (window.requestIdleCallback || setTimeout)(prepareAudio);
  }
  ++page.frames;
}

function showWindow(handle, visible) {
  const w = windows.get(handle);
  if (!w) return;
  w.frame.hidden = !visible;
  if (visible) w.canvas.focus();
}

function destroyWindow(handle) {
  const w = windows.get(handle);
  if (w) w.frame.remove();
  windows.delete(handle);
}

function setTitle(handle, title) {
  const w = windows.get(handle);
  if (!w) return;
  w.caption.textContent = title;
  document.title = title;
}

// ---- Menus: a bar of pop-ups whose items post WM_COMMAND, as the window's menu does ----

const menuState = { open: null };  // { handle, top, popup, index }

function buildMenuBar(handle, bar, items) {
  const menus = [];
  for (const entry of items) {
    const top = document.createElement("div");
    top.className = "top";
    top.setAttribute("role", "menuitem");
    const mnemonic = labelWithMnemonic(top, entry.text || "");
    const menu = { top, entry, mnemonic, handle };
    top.addEventListener("mousedown", e => {
      e.preventDefault();
      if (menuState.open && menuState.open.menu === menu) closeMenu();
      else openMenu(menu);
    });
    top.addEventListener("mouseenter", () => {
      if (menuState.open && menuState.open.menu !== menu) openMenu(menu);
    });
    bar.append(top);
    menus.push(menu);
  }
  return menus;
}

function openMenu(menu) {
  closeMenu();
  const popup = document.createElement("div");
  popup.className = "popup";
  popup.setAttribute("role", "menu");
  popup.style.left = menu.top.offsetLeft + "px";
  const rows = [];
  for (const item of menu.entry.items || []) {
    if (item.separator) {
      const line = document.createElement("div");
      line.className = "separator";
      popup.append(line);
      continue;
    }
    const row = document.createElement("div");
    row.className = "item";
    row.setAttribute("role", "menuitem");
    row.dataset.id = item.id;
    const mnemonic = labelWithMnemonic(row, item.text || "");
    row.addEventListener("mouseup", () => chooseMenuItem(menu.handle, item.id));
    row.addEventListener("mouseenter", () => highlight(rows.findIndex(r => r.row === row)));
    popup.append(row);
    rows.push({ row, id: item.id, mnemonic });
  }
  menu.top.classList.add("open");
  menu.top.parentElement.append(popup);
  menuState.open = { menu, popup, rows, index: -1 };
}

function closeMenu() {
  const open = menuState.open;
  if (!open) return;
  open.menu.top.classList.remove("open");
  open.popup.remove();
  menuState.open = null;
}

function highlight(index) {
  const open = menuState.open;
  if (!open || !open.rows.length) return;
  open.index = (index + open.rows.length) % open.rows.length;
  open.rows.forEach((r, i) => r.row.classList.toggle("active", i === open.index));
}

function chooseMenuItem(handle, id) {
  closeMenu();
  post(handle, WM_COMMAND, id & 0xffff, 0);
  const w = windows.get(handle);
  if (w) w.canvas.focus();
}

// Alt and a letter that no accelerator took (the program's DefWindowProcA asks for it).
function openMenuByMnemonic(handle, letter) {
  const w = windows.get(handle);
  const menu = w && w.menus.find(m => m.mnemonic && m.mnemonic === letter.toLowerCase());
  if (!menu) return;
  openMenu(menu);
  highlight(0);
}

// Keys while a menu is open: arrows move, Enter chooses, Esc closes, a letter picks its item.
function menuKey(e) {
  const open = menuState.open;
  const menus = windows.get(open.menu.handle).menus;
  const at = menus.indexOf(open.menu);
  if (e.key === "Escape") closeMenu();
  else if (e.key === "ArrowDown") highlight(open.index + 1);
  else if (e.key === "ArrowUp") highlight(open.index - 1);
  else if (e.key === "ArrowRight" || e.key === "ArrowLeft") {
    openMenu(menus[(at + (e.key === "ArrowRight" ? 1 : menus.length - 1)) % menus.length]);
    highlight(0);
  } else if (e.key === "Enter" && open.index >= 0) chooseMenuItem(open.menu.handle, open.rows[open.index].id);
  else {
    const row = open.rows.find(r => r.mnemonic && r.mnemonic === e.key.toLowerCase());
    if (row) chooseMenuItem(open.menu.handle, row.id);
  }
  e.preventDefault();
}

document.addEventListener("mousedown", e => {
  if (menuState.open && !e.target.closest(".popup") && !e.target.closest(".menubar")) closeMenu();
});

// ---- Keys: the virtual keys of the physical keys, as the other layers name them ----

const namedKeys = {
  Backspace: 0x08, Tab: 0x09, Enter: 0x0d, NumpadEnter: 0x0d, ShiftLeft: 0x10, ShiftRight: 0x10,
  ControlLeft: 0x11, ControlRight: 0x11, AltLeft: 0x12, AltRight: 0x12, Pause: 0x13,
  CapsLock: 0x14, Escape: 0x1b, Space: 0x20, PageUp: 0x21, PageDown: 0x22, End: 0x23, Home: 0x24,
  ArrowLeft: 0x25, ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28, Insert: 0x2d, Delete: 0x2e,
  NumpadMultiply: 0x6a, NumpadAdd: 0x6b, NumpadSubtract: 0x6d, NumpadDecimal: 0x6e,
  NumpadDivide: 0x6f, NumLock: 0x90, Semicolon: 0xba, Equal: 0xbb, Comma: 0xbc, Minus: 0xbd,
  Period: 0xbe, Slash: 0xbf, Backquote: 0xc0, BracketLeft: 0xdb, Backslash: 0xdc,
  BracketRight: 0xdd, Quote: 0xde,
};
const extendedKeys = new Set(["Insert", "Delete", "Home", "End", "PageUp", "PageDown", "ArrowLeft",
  "ArrowUp", "ArrowRight", "ArrowDown", "NumpadEnter", "NumpadDivide", "ControlRight", "AltRight"]);

function virtualKey(code) {
  let m;
  if ((m = /^Key([A-Z])$/.exec(code))) return m[1].charCodeAt(0);
  if ((m = /^Digit([0-9])$/.exec(code))) return m[1].charCodeAt(0);
  if ((m = /^Numpad([0-9])$/.exec(code))) return 0x60 + Number(m[1]);
  if ((m = /^F([0-9]+)$/.exec(code)) && Number(m[1]) >= 1 && Number(m[1]) <= 12) return 0x6f + Number(m[1]);
  return namedKeys[code] || 0;
}

const keysDown = new Set();

// Repeat count, extended bit, Alt (context code), previous state and transition, as Windows.
function keyParam(e, down, wasDown) {
  let param = 1;
  if (extendedKeys.has(e.code)) param |= 1 << 24;
  if (e.altKey) param |= 1 << 29;
  if (!down || wasDown) param |= 1 << 30;
  if (!down) param |= 1 << 31;
  return param | 0;
}

// The keys the browser keeps for itself: reload, full screen, developer tools.
function browserKeeps(e) {
  return ["F5", "F11", "F12"].includes(e.code) || (e.ctrlKey && ["KeyR", "KeyW", "KeyT"].includes(e.code));
}

function typedCharacter(e) {
  if (e.key.length === 1 && !e.ctrlKey) return e.key;
  return { Enter: "\r", Backspace: "\b", Tab: "\t", Escape: "\x1b" }[e.key] || "";
}

function onKey(e, down) {
  if (!page.running || browserKeeps(e)) return;
  if (modal.open) return modalKey(e, down);
  if (menuState.open) return down ? menuKey(e) : e.preventDefault();
  const handle = [...windows.keys()].pop();
  if (!handle) return;
  const vk = virtualKey(e.code);
  const wasDown = keysDown.has(e.code);
  if (down) keysDown.add(e.code);
  else keysDown.delete(e.code);
  Module._kvarlo_web_modifiers(e.shiftKey ? 1 : 0, e.ctrlKey ? 1 : 0, e.altKey ? 1 : 0);
  const isModifier = vk === 0x10 || vk === 0x11 || vk === 0x12;
  if (!isModifier) {  // a modifier alone sends no message, as in the Qt layer
    const text = down ? typedCharacter(e) : "";
    const bytes = lengthBytesUTF8(text) + 1;
    const pointer = Module._malloc(bytes);
    stringToUTF8(text, pointer, bytes);
    Module._kvarlo_web_key(handle, vk, down ? 1 : 0, e.altKey ? 1 : 0,
      keyParam(e, down, wasDown), pointer);
    Module._free(pointer);
  }
  e.preventDefault();
}

document.addEventListener("keydown", e => onKey(e, true));
document.addEventListener("keyup", e => onKey(e, false));
window.addEventListener("blur", () => {
  keysDown.clear();
  if (page.running) Module._kvarlo_web_modifiers(0, 0, 0);
});

// ---- Modal boxes: one at a time over the page; the program waits for the answer ----

const modal = { open: null };  // { box, onKey(e) }

function openModal(box, onKey) {
  closeMenu();
  const layer = document.getElementById("modal-layer");
  layer.replaceChildren(box);
  layer.hidden = false;
  modal.open = { box, onKey };
  const focus = box.querySelector("[data-default]") || box.querySelector("button, input, li");
  if (focus) focus.focus();
}

function closeModal(box) {
  if (!modal.open || (box && modal.open.box !== box)) return;
  const layer = document.getElementById("modal-layer");
  layer.replaceChildren();
  layer.hidden = true;
  modal.open = null;
  const last = [...windows.values()].pop();
  if (last) last.canvas.focus();
}

function modalKey(e, down) {
  if (down && modal.open.onKey) modal.open.onKey(e);
}

function makeBox(caption, onClose) {
  const box = document.createElement("div");
  box.className = "box";
  box.setAttribute("role", "dialog");
  box.setAttribute("aria-modal", "true");
  const title = document.createElement("div");
  title.className = "caption";
  title.textContent = caption;
  const close = document.createElement("button");
  close.className = "close";
  close.textContent = "✕";
  close.title = "Закрыть";
  close.onclick = onClose;
  title.prepend(close);
  const body = document.createElement("div");
  body.className = "body";
  box.append(title, body);
  return { box, body };
}

function answer(number, value, text) {
  const bytes = lengthBytesUTF8(text || "") + 1;
  const pointer = Module._malloc(bytes);
  stringToUTF8(text || "", pointer, bytes);
  Module._kvarlo_web_answer(number, value, pointer);
  Module._free(pointer);
}

// The standard icons of a message box, by its icon bits (MB_ICONHAND, MB_ICONQUESTION,
// MB_ICONEXCLAMATION, MB_ICONASTERISK): 32 pixels with a drop shadow, as the desktop draws them,
// made here so that the page fetches nothing. Their names are for screen readers only: the
// box's text stays the program's text alone.
const boxIcons = {
  0x10: { name: "error", label: "Ошибка", outline: '<circle cx="15" cy="15" r="14"',
    fill: "#e0281e", edge: "#7a0e08",
    sign: '<path d="M10 10l10 10m0-10l-10 10" stroke="#fff" stroke-width="3.5" stroke-linecap="round"/>' },
  0x20: { name: "question", label: "Вопрос", outline: '<circle cx="15" cy="15" r="14"',
    fill: "#2c68d8", edge: "#0f2f78",
    sign: '<path d="M10.5 11.5a4.5 4.5 0 1 1 6.4 4.1c-1.3.6-1.9 1.4-1.9 2.9v.7" fill="none"' +
      ' stroke="#fff" stroke-width="3.2" stroke-linecap="round"/><circle cx="15" cy="23.6" r="2" fill="#fff"/>' },
  0x30: { name: "warning", label: "Предупреждение", outline: '<path d="M15 1.5l13.6 27H1.4z" stroke-width="2"',
    fill: "#ffff00", edge: "#000",
    sign: '<path d="M12.9 9.5h4.2l-1.1 10.5h-2z" stroke="#000" stroke-width="1.4" stroke-linejoin="round"/>' +
      '<circle cx="15" cy="24" r="2"/>' },
  0x40: { name: "information", label: "Сведения", outline: '<circle cx="15" cy="15" r="14"',
    fill: "#2c68d8", edge: "#0f2f78",
    sign: '<circle cx="15" cy="8" r="2.2" fill="#fff"/>' +
      '<path d="M15 13v10" stroke="#fff" stroke-width="3.6" stroke-linecap="round"/>' },
};

// The icon of a box's kind, or null for a box without one (or with bits no box draws).
function boxIcon(kind) {
  const icon = boxIcons[kind];
  if (!icon) return null;
  const svg = document.createElementNS("http://www.w3.org/2000/svg", "svg");
  svg.setAttribute("viewBox", "0 0 32 32");
  svg.setAttribute("class", "icon " + icon.name);
  svg.setAttribute("role", "img");
  svg.setAttribute("aria-label", icon.label);
  svg.innerHTML = `<g transform="translate(2 2)" opacity="0.35">${icon.outline} fill="#000"/></g>` +
    `${icon.outline} fill="${icon.fill}" stroke="${icon.edge}" stroke-linejoin="round"/>${icon.sign}`;
  return svg;
}

// MessageBoxA: the text, the buttons [[label, id], ...], the first is the default; closing
// answers with the last. The icon (the kind's bits of uType) stands left of the text, as the
// desktop shows it.
function messageBox(number, caption, text, buttons, iconKind) {
  const done = id => {
    closeModal(parts.box);
    answer(number, id, "");
  };
  const parts = makeBox(caption, () => done(buttons[buttons.length - 1][1]));
  const p = document.createElement("p");
  p.style.whiteSpace = "pre-wrap";
  p.textContent = text;
  const icon = boxIcon(iconKind);
  if (icon) {
    parts.body.classList.add("with-icon");
    parts.body.append(icon);
  }
  const row = document.createElement("div");
  row.className = "buttons";
  buttons.forEach(([label, id], i) => {
    const b = document.createElement("button");
    b.textContent = label;
    b.onclick = () => done(id);
    if (i === 0) b.dataset.default = "";
    row.append(b);
  });
  parts.body.append(p);
  parts.box.append(row);
  parts.box.dataset.answer = number;
  openModal(parts.box, e => {
    if (e.key === "Escape") done(buttons[buttons.length - 1][1]);
    else if (e.key === "Enter") (document.activeElement.closest(".box") ? document.activeElement : row.firstChild).click();
    else return;
    e.preventDefault();
  });
}

function dialogControl(handle, control, pictureUrl) {
  let element;
  if (control.kind === "button") {
    element = document.createElement("button");
    labelWithMnemonic(element, control.text);
    element.onclick = () => post(handle, WM_COMMAND, control.id & 0xffff, 0);
    if (control.isDefault) element.dataset.default = "";
  } else if (control.kind === "picture") {
    element = document.createElement("img");
    element.src = pictureUrl;
    element.alt = "";
  } else {
    element = document.createElement("div");
    element.textContent = control.text;
    element.style.textAlign = ["left", "center", "right"][control.align] || "left";
    element.style.width = control.w + "px";
  }
  element.classList.add("control");
  element.style.left = control.x + "px";
  element.style.top = control.y + "px";
  if (control.kind === "button") {
    element.style.width = control.w + "px";
    element.style.height = control.h + "px";
  }
  return element;
}

// A dialog from a resource template; its buttons post WM_COMMAND to the dialog's procedure.
function showDialog(handle, template, picture, pictureSize) {
  const parts = makeBox(template.caption, () => post(handle, WM_CLOSE, 0, 0));
  parts.box.dataset.dialog = handle;
  parts.body.style.width = template.width + "px";
  parts.body.style.height = template.height + "px";
  parts.body.style.padding = "0";
  const url = pictureSize ? URL.createObjectURL(new Blob([HEAPU8.slice(picture, picture + pictureSize)], { type: "image/bmp" })) : "";
  for (const control of template.controls) parts.body.append(dialogControl(handle, control, url));
  openModal(parts.box, e => {
    if (e.key === "Escape") post(handle, WM_COMMAND, IDCANCEL, 0);
    else if (e.key === "Enter") {
      const target = document.activeElement.tagName === "BUTTON" ? document.activeElement : parts.box.querySelector("[data-default]");
      if (target) target.click();
    } else return;
    e.preventDefault();
  });
}

function closeDialog(handle) {
  if (modal.open && modal.open.box.dataset.dialog === String(handle)) closeModal();
}

// A message box or file box the program answered itself (its owner pressed a button).
function closeBox(number) {
  if (modal.open && modal.open.box.dataset.answer === String(number)) closeModal();
}

// ---- File boxes: Open lists the play folder and takes a file from the computer; Save names a
// file of the play folder, which the page downloads once the program has written it ----

function patternMatcher(patterns) {
  const expressions = patterns.split(";").map(p => p.trim()).filter(Boolean).map(p =>
    new RegExp("^" + p.replace(/[.+^${}()|[\]\\]/g, "\\$&").replace(/\*/g, ".*").replace(/\?/g, ".") + "$", "i"));
  return name => expressions.some(x => x.test(name));
}

// Files of the folder and of its folders one level down that match, as relative paths.
function listFiles(folder, matches) {
  const found = [];
  const walk = (path, prefix, depth) => {
    for (const name of FS.readdir(path).sort()) {
      if (name.startsWith(".")) continue;
      const full = path + "/" + name;
      if (FS.isDir(FS.stat(full).mode)) {
        if (depth === 0) walk(full, prefix + name + "/", 1);
      } else if (matches(name)) {
        found.push(prefix + name);
      }
    }
  };
  walk(folder, "", 0);
  return found;
}

function fileList(names, choose) {
  const list = document.createElement("ul");
  list.className = "files";
  list.setAttribute("role", "listbox");
  for (const name of names) {
    const item = document.createElement("li");
    item.tabIndex = 0;
    item.textContent = name;
    item.setAttribute("role", "option");
    item.ondblclick = () => choose(name);
    item.onkeydown = e => {
      if (e.key === "Enter") choose(name);
    };
    item.onclick = () => choose(name);
    list.append(item);
  }
  return list;
}

function uploadButton(number, done) {
  const input = document.createElement("input");
  input.type = "file";
  input.hidden = true;
  input.onchange = async () => {
    const file = input.files[0];
    if (!file) return;
    const bytes = new Uint8Array(await file.arrayBuffer());
    if (!exists("/upload")) FS.mkdir("/upload");
    const name = file.name.replace(/[\/\\]/g, "_");
    FS.writeFile("/upload/" + name, bytes);
    done(1, "/upload/" + name);
  };
  const button = document.createElement("button");
  button.textContent = "С компьютера…";
  button.onclick = () => input.click();
  return [input, button];
}

function saveNameField(proposed, done, folder) {
  const field = document.createElement("input");
  field.type = "text";
  field.value = proposed.replace(/^.*[\/\\]/, "");
  field.size = 40;
  field.setAttribute("aria-label", "Имя файла");
  const ok = document.createElement("button");
  ok.textContent = "Сохранить";
  ok.dataset.default = "";
  ok.onclick = () => {
    const name = field.value.trim().replace(/[\/\\]/g, "_");
    if (name) done(1, folder + "/" + name);
  };
  field.onkeydown = e => {
    if (e.key === "Enter") ok.click();
  };
  return [field, ok];
}

function fileBox(number, save, title, proposed, patterns, folder) {
  let answered = false;
  const done = (value, path) => {
    if (answered) return;
    answered = true;
    closeModal(parts.box);
    answer(number, value, path);
  };
  const parts = makeBox(title || (save ? "Сохранить как" : "Открыть"), () => done(0, ""));
  const names = listFiles(folder, patternMatcher(patterns));
  const note = document.createElement("p");
  note.textContent = save ? "Файл сохранится в папке игры в браузере и будет скачан." : names.length ? "Папка игры в браузере:" : "В папке игры нет подходящих файлов.";
  parts.body.append(note, fileList(names, name => (save ? (field.value = name) : done(1, folder + "/" + name))));
  const row = document.createElement("div");
  row.className = "buttons";
  let field = null;
  if (save) {
    const [input, ok] = saveNameField(proposed, done, folder);
    field = input;
    parts.body.append(input);
    row.append(ok);
  } else {
    row.append(...uploadButton(number, done));
  }
  const cancel = document.createElement("button");
  cancel.textContent = "Отмена";
  cancel.onclick = () => done(0, "");
  row.append(cancel);
  parts.box.append(row);
  parts.box.dataset.answer = number;
  openModal(parts.box, e => {
    if (e.key === "Escape") {
      done(0, "");
      e.preventDefault();
    }
  });
  if (field) field.focus();
}

// ---- Sounds: WebAudio, which the browser lets run after the player's first click or key ----

const audio = { context: null, sources: [] };

// Opening the audio output holds the page's thread up (0.9 s in headless Chromium on a loaded
// machine), so the context is made when the page is idle after the first frame, not in the
// handler of the player's first key or click, which it held up as long; that key or click then
// only resumes it, as the browser asks.
function prepareAudio() {
  if (!audio.context) audio.context = new AudioContext();
}

function unlockAudio() {
  prepareAudio();
  if (audio.context.state === "suspended") audio.context.resume();
}
document.addEventListener("pointerdown", unlockAudio, true);
document.addEventListener("keydown", unlockAudio, true);

function playSound(bytes, loop) {
  if (!audio.context || audio.context.state !== "running") return;
  audio.context.decodeAudioData(bytes.buffer).then(buffer => {
    if (loop) stopSound();  // a looping sound replaces what plays, as on Windows
    const source = audio.context.createBufferSource();
    source.buffer = buffer;
    source.loop = loop;
    source.connect(audio.context.destination);
    source.onended = () => (audio.sources = audio.sources.filter(s => s !== source));
    audio.sources.push(source);
    source.start();
  }, () => {});
}

function stopSound() {
  for (const source of audio.sources) source.stop();
  audio.sources = [];
}

function beep() {
  ++page.beeps;
  if (!audio.context || audio.context.state !== "running") return;
  const tone = audio.context.createOscillator();
  const gain = audio.context.createGain();
  gain.gain.value = 0.1;
  tone.frequency.value = 880;
  tone.connect(gain).connect(audio.context.destination);
  tone.start();
  tone.stop(audio.context.currentTime + 0.08);
}

// ---- Tabs and downloads ----

// An address as it is; a file of the program's folder (/app) as the site's copy; any other file
// from its bytes.
function openTab(target) {
  let url = target;
  if (!/^[a-z][a-z0-9+.-]+:\/\//i.test(target)) {
    if (target.startsWith("/app/")) {
      url = new URL(target.slice(5), location.href).href;
    } else {
      const type = /\.(txt|md)$/i.test(target) ? "text/plain;charset=utf-8" : "application/octet-stream";
      url = URL.createObjectURL(new Blob([FS.readFile(target)], { type }));
    }
  }
  window.open(url, "_blank", "noopener");  // with noopener the browser tells nothing back
  page.tabs.push(url);
  return 1;
}

function download(path) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([FS.readFile(path)], { type: "application/octet-stream" }));
  link.download = path.replace(/^.*\//, "");
  document.body.append(link);
  link.click();
  link.remove();
  page.downloads.push(link.download);
}

// ---- Start ----

// What the tests and the measurements read: the first frame's time, frames, downloads, tabs.
const page = { output: [], memoryLimit: 0, running: false, firstFrame: 0, frames: 0, beeps: 0, downloads: [], tabs: [], status: null, startup: {} };

// When each step of the start was reached (ms after navigation), for the measurements: what the
// first frame waits for.
function mark(step) {
  if (!(step in page.startup)) page.startup[step] = Math.round(performance.now());
}

// The command line: a file of the play folder named in the address (?open=figures/fan.t1a).
function commandLine() {
  const name = new URLSearchParams(location.search).get("open");
  return name && !name.includes("..") ? "/play/" + name.replace(/^\/+/, "") : "";
}

function ended(status) {
  page.running = false;
  page.status = status;
  for (const w of windows.values()) w.frame.remove();
  windows.clear();
  showStatus("Игра закрыта. Чтобы начать снова, перезагрузите страницу.");
}

// The calls of the program's browser layer.
const kvarloPage = {
  createWindow, present, showWindow, destroyWindow, setTitle, openMenuByMnemonic, messageBox,
  showDialog, closeDialog, closeBox, fileBox, playSound, stopSound, beep, openTab, download, persist,
  commandLine, ended, page,
};
window.kvarloPage = kvarloPage;

window.Module = {
  preInit: [mountPlayFolder],
  preRun: [() => mark("preRun"), setTabMemoryLimit],
  onRuntimeInitialized() {
    mark("runtime");
    seedReadFolder();
    page.running = true;
  },
  onAbort(what) {
    page.running = false;
    fail("программа остановилась (" + what + ").");
  },
  setStatus(text) {
    // "Downloading data... (done/total)" while the program's files arrive; nothing else is shown.
    const progress = /^Downloading data\.\.\. \((\d+)\/(\d+)\)/.exec(text || "");
    if (progress && !page.firstFrame)
      showStatus("Загрузка игры… " + Math.round((100 * progress[1]) / progress[2]) + " %");
  },
  print(text) {
    page.output.push(text);
    console.log(text);
  },
  printErr(text) {
    page.output.push(text);
    console.warn(text);
  },
  onExit(status) {
    page.running = false;
    page.status = status;
  },
};

window.addEventListener("error", e => fail(String(e.message || e)));

(async () => {
  if (!(await ensureIsolated())) return;
  if (typeof WebAssembly !== "object") {
    showStatus("Этот браузер не может запустить игру: ему не хватает WebAssembly.", true);
    return;
  }
  mark("isolated");
  const script = document.createElement("script");
  script.src = programScript;
  script.onload = () => mark("script");
  script.onerror = () => fail("не удалось загрузить " + programScript + ".");
  document.body.append(script);
})();
})();
