// The page's script: loads the simulator's module, shows the panel in the canvas, drives the
// 100 ms host tick as the desktop window does, plays every sound through Web Audio, turns
// mouse, touch and keys into the two buttons and reads the display out as text.
//
// With ?test in the address the page does not tick by itself: a test drives every tick
// through window.drkTest, so a run is the same each time.
'use strict';

(function () {
  const testMode = new URLSearchParams(window.location.search).has('test');
  // ?test&gate: the test drives the ticks and sees the first visit's "Switch on".
  const gated = !testMode || new URLSearchParams(window.location.search).has('gate');
  const { t } = window.DrkI18n;
  const captions = window.DrkCaptions;
  const a11y = window.DrkA11y;

  const SampleRate = 8000;                    // the sound's samples a second
  const Power = 0;                            // the simulator's button numbers
  const Mode = 1;
  const AlarmThreshold = 1;                   // the simulator's alarm bits
  const AlarmOverRange = 2;
  const AlarmDose = 4;

  const page = document.getElementById('page');
  const side = document.getElementById('side');
  const canvas = document.getElementById('panel');
  const context = canvas.getContext('2d');
  const lineElements = [document.getElementById('line1'), document.getElementById('line2')];
  const display = document.getElementById('display');
  const stateElement = document.getElementById('state');
  const statusElement = document.getElementById('status');
  const powerButton = document.getElementById('power-button');
  const modeButton = document.getElementById('mode-button');
  const factoryButton = document.getElementById('factory-button');
  const switchOn = document.getElementById('switch-on');

  let sim = null;               // the module, once loaded
  let width = canvas.width;     // the panel's size in its own pixels
  let height = canvas.height;
  let scale = 1;                // device pixels per panel pixel
  const plain = document.createElement('canvas');  // the frame at 1x
  let plainContext = null;
  let image = null;
  let firstFrameMs = null;
  let ticks = 0;
  let delivered = 0;            // inputs handed to the simulator

  // --- Sound ----------------------------------------------------------------------------------

  // Browsers let a page sound only after a user gesture (or with an autoplay policy that
  // allows it): the context starts suspended and the first gesture resumes it. A sound that
  // comes while it is suspended is dropped, as by a muted speaker.
  // Every sound goes through one gain node, the page's mute and volume.
  const audio = { context: null, gain: null, sounds: 0, samples: 0, played: 0, dropped: 0,
                  nextStart: 0 };

  function makeAudioContext() {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (Context && !audio.context) {
      audio.context = new Context();
      audio.gain = audio.context.createGain();
      audio.gain.gain.value = a11y.gain();
      audio.gain.connect(audio.context.destination);
    }
  }

  a11y.onGain((value) => {
    if (audio.gain) audio.gain.gain.value = value;
  });

  function resumeAudio() {
    makeAudioContext();
    if (audio.context && audio.context.state === 'suspended') audio.context.resume();
  }

  function playSound(pointer, count) {
    audio.sounds += 1;
    audio.samples += count;
    const ac = audio.context;
    if (!ac || ac.state !== 'running') {
      audio.dropped += count;
      return;
    }
    const buffer = ac.createBuffer(1, count, SampleRate);
    const channel = buffer.getChannelData(0);
    const bytes = sim.HEAPU8;
    for (let i = 0; i < count; i += 1) channel[i] = (bytes[pointer + i] - 128) / 128;
    const source = ac.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.gain);
    const at = Math.max(ac.currentTime, audio.nextStart);
    source.start(at);
    audio.nextStart = at + count / SampleRate;
    audio.played += count;
  }

  // --- The panel ------------------------------------------------------------------------------

  function draw() {
    const frame = sim._WebFrame();
    image.data.set(sim.HEAPU8.subarray(frame, frame + width * height * 4));
    plainContext.putImageData(image, 0, 0);
    context.imageSmoothingEnabled = false;
    context.drawImage(plain, 0, 0, width * scale, height * scale);
    if (firstFrameMs === null) {
      firstFrameMs = performance.now();
      performance.mark('drk-first-frame');
    }
  }

  // The largest whole number of device pixels per panel pixel that fits beside (or above)
  // the text, and never less than one CSS pixel per panel pixel.
  function layout() {
    const ratio = window.devicePixelRatio || 1;
    const gap = 16;
    const sideWidth = side.getBoundingClientRect().width;
    const beside = window.innerWidth >= width + sideWidth + 3 * gap;
    page.classList.toggle('stacked', !beside);
    const roomWidth = (beside ? window.innerWidth - sideWidth - 3 * gap : window.innerWidth - 2 * gap);
    const roomHeight = window.innerHeight - 2 * gap;
    const fit = Math.floor(Math.min((roomWidth * ratio) / width, (roomHeight * ratio) / height));
    // No larger than a 4K screen (3840 x 2160, either way round) needs: a huge window or
    // zoom would otherwise ask for a canvas of hundreds of megapixels.
    const maxScale = Math.max(1, Math.floor(Math.max(Math.min(3840 / width, 2160 / height),
                                                     Math.min(2160 / width, 3840 / height))));
    scale = Math.max(Math.ceil(ratio), Math.min(fit, maxScale));
    canvas.width = width * scale;
    canvas.height = height * scale;
    canvas.style.width = `${(width * scale) / ratio}px`;
    canvas.style.height = `${(height * scale) / ratio}px`;
    if (sim) draw();
  }

  // --- The display as text --------------------------------------------------------------------

  // The display writes the Cyrillic letters that look like Latin ones with the Latin codes
  // (ГАММА is Г, A, M, M, A). For a screen reader every letter of a Russian word is written
  // in Cyrillic: a word with a Cyrillic letter, or of small letters only (the seconds "c",
  // the "c" of "см"). Words of Latin capitals alone (the model name, GF, DV) stay Latin.
  const CyrillicOf = {
    A: 'А', B: 'В', C: 'С', E: 'Е', H: 'Н', K: 'К', M: 'М', O: 'О', P: 'Р', T: 'Т', X: 'Х',
    Y: 'У', a: 'а', c: 'с', e: 'е', o: 'о', p: 'р', x: 'х', y: 'у',
  };

  function readerText(line) {
    return line.replace(/[A-Za-z\u0400-\u04FF]+/g, (word) => {
      const russian = /[\u0400-\u04FF]/.test(word) ||
                      (/^[a-z]+$/.test(word) && [...word].every((ch) => ch in CyrillicOf));
      return russian ? [...word].map((ch) => CyrillicOf[ch] || ch).join('') : word;
    });
  }

  const shown = { lines: ['', ''], state: '' };

  function stateWords(on, backlight, alarms) {
    if (!on) return t('The instrument is off.');
    const words = [t('On.'), backlight ? t('Backlight lit.') : t('Backlight dark.')];
    if (alarms === 0) words.push(t('No alarm.'));
    if (alarms & AlarmThreshold) words.push(t('Alarm: the reading is at or above its threshold.'));
    if (alarms & AlarmOverRange) words.push(t('Alarm: the reading is over the range.'));
    if (alarms & AlarmDose) words.push(t('Alarm: the dose is at or above its threshold.'));
    return words.join(' ');
  }

  function readState() {
    sim._WebReport();
    return {
      on: sim._WebOn() !== 0,
      backlight: sim._WebBacklight() !== 0,
      alarms: sim._WebAlarms(),
      cursor: sim._WebCursor(),
      modeHeld: sim._WebModeHeld() !== 0,
      lcd: [sim.UTF8ToString(sim._WebLcdLine(0)), sim.UTF8ToString(sim._WebLcdLine(1))],
      cells: Array.from({ length: 24 }, (_, cell) => sim._WebCell(cell)),
    };
  }

  // Shows the state after a tick or an input: the frame, the text, the words.
  function refresh() {
    const state = readState();
    for (let row = 0; row < 2; row += 1) {
      const text = readerText(state.lcd[row]);
      if (text !== shown.lines[row]) {
        shown.lines[row] = text;
        lineElements[row].textContent = text;
      }
    }
    display.classList.toggle('lit', state.backlight);
    const words = stateWords(state.on, state.backlight, state.alarms);
    if (words !== shown.state) {
      shown.state = words;
      stateElement.textContent = words;
    }
    modeButton.classList.toggle('held', state.modeHeld);
    a11y.update(ticks, { on: state.on, alarms: state.alarms, cursor: state.cursor,
                         lines: shown.lines.slice() });
    draw();
  }

  // What the sound just played held, for the captions (and through them the live region).
  function hearPlayed() {
    const messages = [];
    const count = sim._WebPlayedMessageCount();
    for (let i = 0; i < count; i += 1) messages.push(sim._WebPlayedMessage(i));
    captions.heard(ticks, { messages, clicks: sim._WebPlayedClicks(), tones: sim._WebPlayedTones() });
  }

  // --- The tick schedule and the input queue --------------------------------------------------

  // As on the desktop: a tick every 100 ms, absolute deadlines (NextTickDue); a sound holds
  // the next tick for its length, and input that comes meanwhile waits in order, as the
  // desktop's event queue does, until the schedule goes on.
  const queue = [];
  let due = 0;
  let holdUntil = 0;
  let timer = 0;
  let releaseAfterTick = [];  // buttons tapped by an assistive click: released after a tick

  function nowUs() {
    return performance.now() * 1000;
  }

  // One tick: returns the length of its sound in samples.
  function runTick() {
    sim._WebTick();
    ticks += 1;
    const count = sim._WebSoundCount();
    if (count > 0) playSound(sim._WebSoundSamples(), count);
    hearPlayed();
    const releases = releaseAfterTick;
    releaseAfterTick = [];
    for (const button of releases) queue.push(() => sim._WebRelease(button));
    refresh();
    return count;
  }

  function deliver() {
    if (queue.length === 0) return;
    while (queue.length > 0) {
      queue.shift()();
      delivered += 1;
    }
    refresh();
  }

  function arm(delayUs) {
    clearTimeout(timer);
    timer = setTimeout(pump, Math.max(0, Math.ceil(delayUs / 1000)));
  }

  function pump() {
    if (!sim) return;
    if (testMode) {
      deliver();
      return;
    }
    for (;;) {
      const now = nowUs();
      if (now < holdUntil) {
        arm(holdUntil - now);
        return;
      }
      if (now < due) break;
      const samples = runTick();
      holdUntil = nowUs() + (samples * 1e6) / SampleRate;
      due = sim._WebNextTickDue(due, holdUntil);
    }
    deliver();
    arm(due - nowUs());
  }

  // Until the first gesture the instrument's time stands still under "Switch on": browsers
  // let a page sound only after one, and the greeting is to be heard. That gesture switches
  // on and does nothing else.
  let running = !gated;

  function begin() {
    if (running || !sim) return;
    running = true;
    switchOn.hidden = true;
    resumeAudio();
    due = nowUs() + sim._WebTickPeriodUs();
    if (!testMode) arm(due - nowUs());
    showStatus();
  }
  switchOn.addEventListener('click', begin);

  function input(action) {
    if (!running) {
      begin();
      return;
    }
    queue.push(action);
    pump();
  }

  // --- Mouse, touch and keys ------------------------------------------------------------------

  // The panel: either mouse button down is the buttons' hit test; a button going up on the
  // panel releases MODE, wherever it is. As on the desktop the page does not capture the
  // mouse: a button released outside the panel leaves MODE held.
  function panelPoint(clientX, clientY) {
    const box = canvas.getBoundingClientRect();
    return [Math.floor(((clientX - box.left) * width) / box.width),
            Math.floor(((clientY - box.top) * height) / box.height)];
  }

  canvas.addEventListener('mousedown', (event) => {
    resumeAudio();
    if (event.button !== 0 && event.button !== 2) return;
    event.preventDefault();
    const [x, y] = panelPoint(event.clientX, event.clientY);
    input(() => sim._WebMouseDown(x, y));
  });
  canvas.addEventListener('mouseup', (event) => {
    if (event.button !== 0 && event.button !== 2) return;
    input(() => sim._WebMouseUp());
  });
  canvas.addEventListener('contextmenu', (event) => event.preventDefault());

  // A touch is the left button: down where it starts, up when it ends (or is cancelled).
  canvas.addEventListener('touchstart', (event) => {
    resumeAudio();
    event.preventDefault();
    for (const touch of event.changedTouches) {
      const [x, y] = panelPoint(touch.clientX, touch.clientY);
      input(() => sim._WebMouseDown(x, y));
    }
  }, { passive: false });
  for (const type of ['touchend', 'touchcancel']) {
    canvas.addEventListener(type, (event) => {
      // (A touch cancel may not be cancelable: preventing it would only log an error.)
      if (event.cancelable) event.preventDefault();
      for (let i = 0; i < event.changedTouches.length; i += 1) input(() => sim._WebMouseUp());
    }, { passive: false });
  }

  // The page's own buttons: held while the mouse button, the touch or the key is held; an
  // assistive technology's click (no pointer, no key seen) is a short press of one tick.
  function holdable(element, button) {
    let held = false;
    const down = () => {
      if (held) return;
      held = true;
      resumeAudio();
      input(() => sim._WebPress(button));
    };
    const up = () => {
      if (!held) return;
      held = false;
      input(() => sim._WebRelease(button));
    };
    element.addEventListener('mousedown', (event) => {
      if (event.button === 0 || event.button === 2) down();
    });
    document.addEventListener('mouseup', (event) => {
      if (event.button === 0 || event.button === 2) up();
    });
    element.addEventListener('contextmenu', (event) => event.preventDefault());
    element.addEventListener('touchstart', (event) => {
      event.preventDefault();
      element.focus();
      down();
    }, { passive: false });
    element.addEventListener('touchend', (event) => {
      event.preventDefault();
      up();
    }, { passive: false });
    element.addEventListener('touchcancel', up);
    // Enter on the focused button acts on this button; Space is MODE everywhere.
    const ownKey = (event) => event.key === 'Enter';
    element.addEventListener('keydown', (event) => {
      if (!ownKey(event)) return;
      event.preventDefault();
      event.stopPropagation();
      if (!event.repeat) down();
    });
    element.addEventListener('keyup', (event) => {
      if (!ownKey(event)) return;
      event.preventDefault();
      event.stopPropagation();
      up();
    });
    element.addEventListener('click', (event) => {
      if (event.detail !== 0 || held) return;  // a real click: already pressed and released
      resumeAudio();
      input(() => sim._WebPress(button));
      releaseAfterTick.push(button);
    });
  }
  holdable(powerButton, Power);
  holdable(modeButton, Mode);

  // Factory settings: everything back to the page's start, the instrument on again.
  function factorySettings() {
    resumeAudio();
    input(() => sim._WebFactorySettings());
  }
  factoryButton.addEventListener('click', factorySettings);

  // Keys anywhere on the page: P for POWER, M or Space for MODE, held while the key is.
  const modeKeys = new Set();
  function keyButton(event) {
    if (event.ctrlKey || event.altKey || event.metaKey) return -1;
    if (event.code === 'KeyP' || event.key === 'p' || event.key === 'P') return Power;
    if (event.code === 'KeyM' || event.key === 'm' || event.key === 'M') return Mode;
    if (event.code === 'Space' || event.key === ' ') return Mode;
    return -1;
  }
  document.addEventListener('keydown', (event) => {
    if (!event.ctrlKey && !event.altKey && !event.metaKey && !event.repeat &&
        (event.code === 'KeyF' || event.key === 'f' || event.key === 'F')) {
      event.preventDefault();
      factorySettings();
      return;
    }
    if ((event.code === 'KeyR' || event.key === 'r' || event.key === 'R') &&
        !(event.ctrlKey || event.altKey || event.metaKey)) {
      event.preventDefault();
      if (!event.repeat) a11y.readAll();
      return;
    }
    const button = keyButton(event);
    if (button < 0) return;
    event.preventDefault();
    resumeAudio();
    if (event.repeat) return;
    if (button === Power) {
      input(() => sim._WebPress(Power));
    } else {
      const first = modeKeys.size === 0;
      modeKeys.add(event.code);
      if (first) input(() => sim._WebPress(Mode));
    }
  });
  document.addEventListener('keyup', (event) => {
    const button = keyButton(event);
    if (button !== Mode) return;
    event.preventDefault();
    if (modeKeys.delete(event.code) && modeKeys.size === 0) input(() => sim._WebRelease(Mode));
  });
  // A key let go while the page had no focus never reports its release.
  window.addEventListener('blur', () => {
    if (modeKeys.size === 0) return;
    modeKeys.clear();
    input(() => sim._WebRelease(Mode));
  });

  window.addEventListener('resize', layout);
  // A change of the device pixel ratio (zoom, another screen) fires no resize everywhere.
  function watchRatio() {
    const query = window.matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`);
    query.addEventListener('change', () => {
      layout();
      watchRatio();
    }, { once: true });
  }

  // --- Start ----------------------------------------------------------------------------------

  function showStatus() {
    const sounding = audio.context && audio.context.state === 'running';
    if (testMode) {
      statusElement.textContent = t('Test mode: the test drives the ticks.');
    } else if (!running) {
      statusElement.textContent = t('Ready: "Switch on" starts the instrument with sound.');
    } else if (sounding) {
      statusElement.textContent = t('Running, with sound.');
    } else {
      statusElement.textContent = t('Running. Sound starts with your first click or key.');
    }
  }

  // The test's hook: ticks on demand and what the page shows.
  function testHook(ready) {
    return {
      ready,
      tick(count) {
        if (!running) return ticks;
        for (let i = 0; i < count; i += 1) {
          runTick();
          deliver();
        }
        return ticks;
      },
      state() {
        const state = readState();
        return {
          ticks,
          delivered,
          on: state.on,
          backlight: state.backlight,
          alarms: state.alarms,
          modeHeld: state.modeHeld,
          lcd: state.lcd,
          cells: state.cells,
          cursor: state.cursor,
          lines: lineElements.map((element) => element.textContent),
          words: stateElement.textContent,
          scale,
          firstFrameMs,
          running,
          switchOnShown: !switchOn.hidden,
          captions: captions.shown(),
          announced: document.getElementById('announce').textContent,
          audio: {
            gain: audio.gain ? audio.gain.gain.value : null,
            state: audio.context ? audio.context.state : 'none',
            sounds: audio.sounds,
            samples: audio.samples,
            played: audio.played,
            dropped: audio.dropped,
          },
        };
      },
      // A scenario script played on a fresh instrument through the page's own tick (the
      // canvas drawn, the sound played): the player's last action ('done', 'failed' or
      // 'error' for a script error) with its message, the ticks run, and the SHA-256 (hex)
      // of the session's sound as the headless runner's --wav writes it (each tick's sound,
      // then silence up to the tick's 800 samples, after a WAV header).
      async playScenario(name, text) {
        const Actions = ['tick', 'screenshot', 'done', 'failed'];
        if (sim.ccall('WebScenarioBegin', 'number', ['string', 'string'], [name, text]) !== 0) {
          return { action: 'error', message: sim.UTF8ToString(sim._WebScenarioMessage()) };
        }
        ticks = 0;
        refresh();
        const TickSamples = 800;
        const Silence = 128;
        const parts = [];
        let samples = 0;
        for (;;) {
          sim._WebScenarioNext();
          const action = Actions[sim._WebScenarioAction()];
          if (action === 'screenshot') continue;
          if (action !== 'tick') {
            const header = sim._WebWavHeader(samples);
            const wav = new Uint8Array(44 + samples);
            wav.set(sim.HEAPU8.subarray(header, header + 44), 0);
            let at = 44;
            for (const part of parts) {
              wav.set(part, at);
              at += part.length;
            }
            const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', wav));
            return {
              action,
              message: sim.UTF8ToString(sim._WebScenarioMessage()),
              ticks,
              wavSha256: Array.from(digest, (b) => b.toString(16).padStart(2, '0')).join(''),
            };
          }
          const count = runTick();
          deliver();
          const sound = count > 0 ? sim.HEAPU8.slice(sim._WebSoundSamples(),
                                                     sim._WebSoundSamples() + count) : new Uint8Array(0);
          const part = new Uint8Array(Math.max(count, TickSamples)).fill(Silence);
          part.set(sound, 0);
          parts.push(part);
          samples += part.length;
        }
      },
      // Speech message n played as the instrument plays a sound, heard as a tick's sound is.
      say(n) {
        const ok = sim._WebSay(n) !== 0;
        const count = sim._WebSoundCount();
        if (count > 0) playSound(sim._WebSoundSamples(), count);
        hearPlayed();
        return ok;
      },
      voiceText: (n) => sim.UTF8ToString(sim._WebVoiceText(n)),
      // A button's square on the panel: left, top, right, bottom (right and bottom excluded).
      buttonBox(button) {
        const box = sim._WebButtonBox(button) / 4;
        return Array.from(sim.HEAP32.subarray(box, box + 4));
      },
      // The canvas as shown, one value per panel pixel (the scale's blocks must be whole),
      // as base64 of RGBA bytes; null when a block is not one colour.
      shownFrame() {
        const pixels = context.getImageData(0, 0, canvas.width, canvas.height).data;
        const out = new Uint8Array(width * height * 4);
        for (let y = 0; y < height; y += 1) {
          for (let x = 0; x < width; x += 1) {
            const first = ((y * scale) * canvas.width + x * scale) * 4;
            for (let dy = 0; dy < scale; dy += 1) {
              for (let dx = 0; dx < scale; dx += 1) {
                const at = (((y * scale + dy) * canvas.width) + x * scale + dx) * 4;
                for (let c = 0; c < 4; c += 1) if (pixels[at + c] !== pixels[first + c]) return null;
              }
            }
            out.set(pixels.subarray(first, first + 4), (y * width + x) * 4);
          }
        }
        let text = '';
        for (let i = 0; i < out.length; i += 0x8000) {
          text += String.fromCharCode.apply(null, out.subarray(i, i + 0x8000));
        }
        return btoa(text);
      },
    };
  }

  let started = null;
  const ready = new Promise((resolve) => { started = resolve; });
  if (testMode) window.drkTest = testHook(ready);

  window.createDrkModule().then((module) => {
    sim = module;
    width = sim._WebFrameWidth();
    height = sim._WebFrameHeight();
    plain.width = width;
    plain.height = height;
    plainContext = plain.getContext('2d');
    image = plainContext.createImageData(width, height);
    makeAudioContext();
    captions.connect((n) => sim.UTF8ToString(sim._WebVoiceText(n)),
                     (words) => a11y.spoken(words));
    // The window's creation: power-on, the LCD view, the first frame, the tick schedule.
    sim._WebStart();
    layout();
    watchRatio();
    refresh();
    due = nowUs() + sim._WebTickPeriodUs();
    switchOn.hidden = running;
    showStatus();
    if (audio.context) audio.context.addEventListener('statechange', showStatus);
    window.DrkI18n.onChange(() => {
      shown.state = '';
      refresh();
      showStatus();
    });
    if (running && !testMode) arm(due - nowUs());
    started();
  }).catch((error) => {
    statusElement.textContent = `${t('The simulator could not start:')} ${error}`;
    throw error;
  });
}());
