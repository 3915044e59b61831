// The page's calm voice for a screen reader: one live region that says at once what a person
// acts on or must know (power on and off, a new screen: mode, menu item, editor; an alarm's
// start and end; a spoken caption), and the changing reading at most once every 10 s of
// instrument time. The pulse star is never a change. R, or the button "Read the display",
// reads it all on demand. Also the sound's controls: mute and volume, remembered.
'use strict';

window.DrkA11y = (function () {
  const { t } = window.DrkI18n;
  const ReadingTicks = 100;   // the reading is said at most once every 10 s
  const AlarmThreshold = 1;   // the simulator's alarm bits
  const AlarmOverRange = 2;
  const AlarmDose = 4;

  const region = document.getElementById('announce');
  const last = { on: null, alarms: 0, screen: '', reading: '', said: -Infinity };
  let pending = [];  // a caption heard in this tick, said with the tick's other news
  let current = { lines: ['', ''], on: false, alarms: 0 };

  // What a screen is, apart from its numbers and the pulse star.
  function screenOf(lines, cursor) {
    return lines.map((line) => line.replace(/[0-9*±%.,+\-\s]/g, '')).join('|') +
           (cursor >= 0 ? '|editor' : '');
  }

  function readingOf(lines) {
    return lines.map((line) => line.replace(/\*/g, ' ').replace(/\s+/g, ' ').trim());
  }

  function say(parts, tick) {
    region.replaceChildren(...parts.map((part) => {
      const span = document.createElement('span');
      span.textContent = `${part.text} `;
      if (part.lang) span.lang = part.lang;
      return span;
    }));
    if (tick !== undefined) last.said = tick;
  }

  function displayParts(lines) {
    return [{ text: t('Display:') }, { text: readingOf(lines).join(', '), lang: 'ru' }];
  }

  function alarmWords(bits) {
    const words = [];
    if (bits & AlarmThreshold) words.push(t('Alarm: the reading is at or above its threshold.'));
    if (bits & AlarmOverRange) words.push(t('Alarm: the reading is over the range.'));
    if (bits & AlarmDose) words.push(t('Alarm: the dose is at or above its threshold.'));
    return words;
  }

  // The instrument after tick `tick`: lines as the page shows them, on, alarms, cursor.
  function update(tick, state) {
    current = state;
    const parts = pending;
    pending = [];
    if (state.on !== last.on) {
      if (last.on !== null || state.on) {
        parts.push({ text: state.on ? t('The instrument is on.') : t('The instrument is off.') });
      }
      last.on = state.on;
    }
    const raised = state.alarms & ~last.alarms;
    if (raised) for (const text of alarmWords(raised)) parts.push({ text });
    if (last.alarms && !state.alarms && state.on) parts.push({ text: t('The alarm is over.') });
    last.alarms = state.alarms;
    const screen = screenOf(state.lines, state.cursor);
    const reading = readingOf(state.lines).join('|');
    const newScreen = screen !== last.screen;
    const changed = reading !== last.reading;
    const editing = state.cursor >= 0;
    if (state.on && changed && (newScreen || editing || tick - last.said >= ReadingTicks)) {
      parts.push(...displayParts(state.lines));
      last.reading = reading;
    }
    last.screen = screen;
    if (parts.length > 0) say(parts, tick);
  }

  function spoken(words) {
    pending = [{ text: t('Said:') }, { text: words, lang: 'ru' }];
  }

  function readAll() {
    const parts = displayParts(current.lines);
    if (!current.on) parts.unshift({ text: t('The instrument is off.') });
    for (const text of alarmWords(current.alarms)) parts.push({ text });
    say(parts);
  }

  document.getElementById('read-button').addEventListener('click', readAll);

  // --- Mute and volume ------------------------------------------------------------------------

  const muteButton = document.getElementById('mute-button');
  const volume = document.getElementById('volume');
  const sound = { muted: false, volume: 80, listener: () => {} };
  try {
    sound.muted = window.localStorage.getItem('drk-muted') === '1';
    const stored = window.localStorage.getItem('drk-volume');
    if (stored !== null && /^\d+$/.test(stored)) sound.volume = Math.min(100, Number(stored));
  } catch (error) {
    // nothing remembered
  }

  function showSound() {
    muteButton.setAttribute('aria-pressed', sound.muted ? 'true' : 'false');
    volume.value = String(sound.volume);
    volume.setAttribute('aria-valuetext', `${sound.volume} %`);
    try {
      window.localStorage.setItem('drk-muted', sound.muted ? '1' : '0');
      window.localStorage.setItem('drk-volume', String(sound.volume));
    } catch (error) {
      // kept for this visit only
    }
    sound.listener(sound.muted ? 0 : sound.volume / 100);
  }

  muteButton.addEventListener('click', () => {
    sound.muted = !sound.muted;
    showSound();
  });
  volume.addEventListener('input', () => {
    sound.volume = Number(volume.value);
    showSound();
  });

  return {
    update,
    spoken,
    readAll,
    // Who sets the gain on the way to the speakers: called with 0 (muted) to 1.
    onGain(listener) {
      sound.listener = listener;
      showSound();
    },
    gain: () => (sound.muted ? 0 : sound.volume / 100),
  };
}());
