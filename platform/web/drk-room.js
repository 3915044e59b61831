// The room around the instrument on the page: a plan of the simulator's room to scale (its
// walls, the sources that are not hidden, the instrument as a marker), shown beside the
// display with a toggle, off until the person opens it or a scenario places a source. The
// person carries the instrument by dragging the marker (mouse or touch; a press anywhere on
// the plan takes it there) or with the arrow keys on the focused plan, 0.1 m a press, 0.01 m
// with Shift. A scenario comes from the address (index.html?scenario=FILE, relative to the
// page) or from a file opened or dropped on the page, and plays in real time from the next
// tick, as the desktop's --script does.
//
// drk-page.js calls window.drkRoom.start(sim) once the module runs, beforeTick() before
// each tick (the script's steps and the hand's last move go in then, so a move counts from
// the tick after it, as on the desktop) and afterTick() after it. The session, the script's
// steps and the hand's moves at their ticks, is kept as a script (recording()).
'use strict';

(function () {
  const { t } = window.DrkI18n;
  // `text` with its {name} placeholders filled from `values`.
  const fill = (text, values) =>
    text.replace(/\{(\w+)\}/g, (all, key) => (key in values ? String(values[key]) : all));
  // The words the room shows, in one place, in the reader's language.
  const Words = {
    heading: () => t('Room'),
    show: () => t('Show the room'),
    hide: () => t('Hide the room'),
    open: () => t('Open a scenario…'),
    drop: () => t('or drop a scenario file on the page.'),
    plan: () => t('Plan of the room; the instrument is the ring. Drag it, or use the arrow keys (Shift: 1 cm).'),
    where: (x, y) => fill(t('The instrument is at {x} m, {y} m'), { x, y }),
    size: (w, h) => fill(t('Room {w} m × {h} m, grid 1 m.'), { w, h }),
    kinds: () => t('Sources: red gamma, blue beta, green alpha.'),
    hidden: () => t('Some sources are hidden.'),
    loading: (name) => fill(t('Loading the scenario {name}…'), { name }),
    playing: (name) => fill(t('Playing the scenario {name}.'), { name }),
    done: (name) => fill(t('The scenario {name} has ended; the instrument is yours.'), { name }),
    failed: (message) => fill(t('The scenario stopped: {message}'), { message }),
    unreadable: (name) => fill(t('The scenario {name} could not be read.'), { name }),
  };
  const KindColours = ['#c82828', '#285ad2', '#1e963c'];
  const ArrowStep = 100;      // mm a press
  const FineArrowStep = 10;   // mm with Shift
  const ActionTick = 0;       // WebScenarioAction's values
  const ActionFailed = 3;

  let sim = null;
  let room = null;            // the last WebRoom, parsed
  let changes = -1;
  let shown = false;
  let opened = false;         // opened once, by the person or a script's first source
  let wanted = null;          // the hand's position [x, y] mm, given at the next tick
  let dragging = false;
  let scenario = { name: '', state: 'none', message: '' };
  let pending = null;         // a scenario text that came before the module
  const log = [];             // the session as script lines
  let ticksPending = 0;

  const section = document.createElement('section');
  section.id = 'room';
  section.setAttribute('aria-labelledby', 'room-title');
  section.innerHTML =
    `<h2 id="room-title"></h2>
     <button id="room-toggle" type="button" aria-expanded="false" aria-controls="room-view"></button>
     <div id="room-view" hidden>
       <canvas id="room-plan" width="300" height="300" tabindex="0" role="img"></canvas>
       <p id="room-where" aria-live="polite"></p>
       <p id="room-legend"></p>
     </div>
     <p><label><span id="room-open-label"></span>
       <input id="room-file" type="file" accept=".scn,text/plain"></label>
       <span id="room-drop"></span></p>
     <p id="room-scenario" aria-live="polite"></p>`;
  const place = document.getElementById('room-place');
  (place || document.body).appendChild(section);
  const toggle = section.querySelector('#room-toggle');
  const view = section.querySelector('#room-view');
  const plan = section.querySelector('#room-plan');
  const where = section.querySelector('#room-where');
  const legend = section.querySelector('#room-legend');
  const scenarioLine = section.querySelector('#room-scenario');
  const context = plan.getContext('2d');
  // The room's fixed words; the plan's and the scenario's lines are written when they change.
  function label() {
    section.querySelector('#room-title').textContent = Words.heading();
    section.querySelector('#room-open-label').textContent = Words.open() + ' ';
    section.querySelector('#room-drop').textContent = Words.drop();
    plan.setAttribute('aria-label', Words.plan());
    toggle.textContent = shown ? Words.hide() : Words.show();
  }
  label();

  function setShown(value) {
    shown = value;
    view.hidden = !value;
    toggle.setAttribute('aria-expanded', String(value));
    label();
    draw();
  }
  toggle.addEventListener('click', () => {
    opened = true;
    setShown(!shown);
  });

  // Metres with at most two decimals, written with a comma in Russian.
  function metres(mm) {
    const text = (mm / 1000).toFixed(2).replace(/\.?0+$/, '');
    return window.DrkI18n.language() === 'ru' ? text.replace('.', ',') : text;
  }

  // --- The session as a script ----------------------------------------------------------------

  function record(lines) {
    for (const line of lines) {
      if (!line) continue;
      if (ticksPending > 0) log.push(`tick ${ticksPending}`);
      ticksPending = 0;
      log.push(line);
    }
  }

  // --- The plan -------------------------------------------------------------------------------

  function readRoom() {
    const now = sim._WebRoomChanges();
    if (now === changes) return false;
    changes = now;
    room = JSON.parse(sim.UTF8ToString(sim._WebRoom()));
    return true;
  }

  // Canvas pixels a metre and the plan's corner, for the canvas as it is.
  function geometry() {
    const margin = 8;
    const [w, h] = room.size;
    const per = Math.min((plan.width - 2 * margin) / (w / 1000), (plan.height - 2 * margin) / (h / 1000));
    return { per, left: (plan.width - per * w / 1000) / 2, top: (plan.height - per * h / 1000) / 2 };
  }

  function draw() {
    if (!room || !shown) return;
    const g = geometry();
    const X = (mm) => g.left + (mm / 1000) * g.per;
    const Y = (mm) => g.top + (mm / 1000) * g.per;
    const [w, h] = room.size;
    context.fillStyle = '#ecebe2';
    context.fillRect(0, 0, plan.width, plan.height);
    context.fillStyle = '#fffffa';
    context.fillRect(X(0), Y(0), X(w) - X(0), Y(h) - Y(0));
    context.strokeStyle = '#dedeD6';
    context.lineWidth = 1;
    context.beginPath();
    for (let m = 1000; m < w; m += 1000) { context.moveTo(X(m), Y(0)); context.lineTo(X(m), Y(h)); }
    for (let m = 1000; m < h; m += 1000) { context.moveTo(X(0), Y(m)); context.lineTo(X(w), Y(m)); }
    context.stroke();
    context.strokeStyle = '#3c3c3c';
    context.strokeRect(X(0), Y(0), X(w) - X(0), Y(h) - Y(0));
    for (const [x1, y1, x2, y2, t] of room.walls) {
      const shade = Math.round((150 * t) / 1000);
      context.strokeStyle = `rgb(${shade},${shade},${shade + 20})`;
      context.lineWidth = 4;
      context.beginPath();
      context.moveTo(X(x1), Y(y1));
      context.lineTo(X(x2), Y(y2));
      context.stroke();
    }
    let hidden = false;
    context.font = '11px system-ui, sans-serif';
    for (const s of room.sources) {
      if (s.hidden) { hidden = true; continue; }
      context.fillStyle = KindColours[s.kind % 3];
      context.fillRect(X(s.at[0]) - 4, Y(s.at[1]) - 4, 9, 9);
      context.fillText(s.name, X(s.at[0]) + 7, Y(s.at[1]) + 4);
    }
    const at = wanted || room.detector;
    context.strokeStyle = '#141414';
    context.lineWidth = 2;
    context.beginPath();
    context.arc(X(at[0]), Y(at[1]), 6, 0, 2 * Math.PI);
    context.moveTo(X(at[0]) - 10, Y(at[1]));
    context.lineTo(X(at[0]) + 10, Y(at[1]));
    context.moveTo(X(at[0]), Y(at[1]) - 10);
    context.lineTo(X(at[0]), Y(at[1]) + 10);
    context.stroke();
    where.textContent = Words.where(metres(at[0]), metres(at[1]));
    legend.textContent = `${Words.size(metres(w), metres(h))} ${Words.kinds()}` +
      (hidden ? ` ${Words.hidden()}` : '');
  }

  function clamp(p) {
    return [Math.min(Math.max(p[0], 0), room.size[0]), Math.min(Math.max(p[1], 0), room.size[1])];
  }

  function want(p) {
    wanted = clamp(p.map(Math.round));
    draw();
  }

  function pointAt(clientX, clientY) {
    const box = plan.getBoundingClientRect();
    const g = geometry();
    const cx = ((clientX - box.left) * plan.width) / box.width;
    const cy = ((clientY - box.top) * plan.height) / box.height;
    return [((cx - g.left) / g.per) * 1000, ((cy - g.top) / g.per) * 1000];
  }

  plan.addEventListener('pointerdown', (event) => {
    if (!room || event.button !== 0) return;
    event.preventDefault();
    plan.focus();
    plan.setPointerCapture(event.pointerId);
    dragging = true;
    want(pointAt(event.clientX, event.clientY));
  });
  plan.addEventListener('pointermove', (event) => {
    if (dragging) want(pointAt(event.clientX, event.clientY));
  });
  const stop = () => { dragging = false; };
  plan.addEventListener('pointerup', stop);
  plan.addEventListener('pointercancel', stop);
  plan.style.touchAction = 'none';
  plan.addEventListener('keydown', (event) => {
    const d = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] }[event.key];
    if (!d || !room) return;
    event.preventDefault();
    event.stopPropagation();
    const step = event.shiftKey ? FineArrowStep : ArrowStep;
    const from = wanted || room.detector;
    want([from[0] + d[0] * step, from[1] + d[1] * step]);
  });

  // --- Scenarios ------------------------------------------------------------------------------

  function showScenario() {
    const s = scenario;
    scenarioLine.textContent =
      s.state === 'loading' ? Words.loading(s.name)
        : s.state === 'playing' ? Words.playing(s.name)
          : s.state === 'done' ? Words.done(s.name)
            : s.state === 'failed' ? (s.unreadable ? Words.unreadable(s.name) : Words.failed(s.message))
              : '';
  }

  // A copy of `text` in the module's memory as UTF-8 with its terminating zero (_free it).
  function cString(text) {
    const bytes = new TextEncoder().encode(text);
    const at = sim._malloc(bytes.length + 1);
    sim.HEAPU8.set(bytes, at);
    sim.HEAPU8[at + bytes.length] = 0;
    return at;
  }

  function load(name, text) {
    if (!sim) {
      pending = { name, text };
      return;
    }
    const n = cString(name);
    const t = cString(text);
    const ok = sim._WebScenarioLoad(n, t) !== 0;
    sim._free(n);
    sim._free(t);
    scenario = ok ? { name, state: 'playing', message: '' }
      : { name, state: 'failed', message: sim.UTF8ToString(sim._WebScenarioText()) };
    showScenario();
  }

  function fetchScenario(name) {
    scenario = { name, state: 'loading', message: '' };
    showScenario();
    fetch(new URL(name, window.location.href))
      .then((response) => {
        if (!response.ok) throw new Error(String(response.status));
        return response.text();
      })
      .then((text) => load(name, text))
      .catch(() => {
        scenario = { name, state: 'failed', message: Words.unreadable(name), unreadable: true };
        showScenario();
      });
  }

  function readFile(file) {
    file.text().then((text) => load(file.name, text));
  }
  section.querySelector('#room-file').addEventListener('change', (event) => {
    if (event.target.files.length > 0) readFile(event.target.files[0]);
  });
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    if (event.dataTransfer && event.dataTransfer.files.length > 0) readFile(event.dataTransfer.files[0]);
  });

  // Another language: the room's words again in it.
  window.DrkI18n.onChange(() => {
    label();
    draw();
    showScenario();
  });

  const fromAddress = new URLSearchParams(window.location.search).get('scenario');
  if (fromAddress) fetchScenario(fromAddress);

  // --- The page's hooks -----------------------------------------------------------------------

  window.drkRoom = {
    start(module) {
      sim = module;
      readRoom();
      if (pending) load(pending.name, pending.text);
      pending = null;
    },
    // Before a tick: the hand's last move, then the script up to its tick.
    beforeTick() {
      if (!sim) return;
      if (wanted) {
        const [x, y] = wanted;
        wanted = null;
        if (x !== room.detector[0] || y !== room.detector[1]) {
          if (sim._WebMoveDetector(x, y) !== 0) record([sim.UTF8ToString(sim._WebScenarioText())]);
        }
      }
      if (scenario.state === 'playing') {
        sim._WebScenarioStep();
        const action = sim._WebScenarioAction();
        const text = sim.UTF8ToString(sim._WebScenarioText());
        if (action === ActionFailed) {
          scenario.state = 'failed';
          scenario.message = text;
        } else {
          record(text.split('\n'));
          if (action !== ActionTick) scenario.state = 'done';
        }
        if (scenario.state !== 'playing') showScenario();
      }
    },
    afterTick() {
      if (!sim) return;
      ticksPending += 1;
      if (readRoom()) {
        if (!opened && room.sources.length > 0) {
          opened = true;
          setShown(true);
        }
        draw();
      }
    },
    // For tests and for saving a session.
    state() {
      if (sim) readRoom();
      return { shown, room, wanted, scenario: { ...scenario } };
    },
    recording() {
      return log.concat(ticksPending > 0 ? [`tick ${ticksPending}`] : []).join('\n') + '\n';
    },
    // Where a point of the room (mm) is on the screen, in CSS pixels (for tests).
    screenPoint(x, y) {
      const box = plan.getBoundingClientRect();
      const g = geometry();
      return [box.left + ((g.left + (x / 1000) * g.per) * box.width) / plan.width,
              box.top + ((g.top + (y / 1000) * g.per) * box.height) / plan.height];
    },
  };
}());
