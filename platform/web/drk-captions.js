// Captions of what the instrument sounds: the words of each spoken message (Russian, from
// the speech memory's table) with their gloss in the page's language below, "[alarm tone]"
// while the alarm repeats and "[clicks: N a second]", renewed at most once a second. They go
// by the instrument's ticks: shown in the tick whose sound holds them, kept 3 s after it.
'use strict';

window.DrkCaptions = (function () {
  const { t, gloss } = window.DrkI18n;
  const KeepTicks = 30;       // a caption stays 3 s after its sound
  const ToneKeepTicks = 15;   // the tone bursts once a second: kept over the gaps
  const ClickWindowTicks = 10;
  const StoreKey = 'drk-captions';

  const box = document.getElementById('captions');
  const wordsElement = document.getElementById('caption-words');
  const glossElement = document.getElementById('caption-gloss');
  const soundElement = document.getElementById('caption-sound');
  const button = document.getElementById('captions-button');

  let on = false;
  try {
    on = window.localStorage.getItem(StoreKey) === '1';
  } catch (error) {
    on = false;
  }
  let voiceText = () => '';
  let onSpoken = () => {};
  const speech = { words: '', messages: [], until: -1 };
  let toneUntil = -1;
  const clicks = { counting: 0, since: -1, rate: 0, until: -1 };

  function show(tick) {
    box.hidden = !on;
    button.setAttribute('aria-pressed', on ? 'true' : 'false');
    const speaking = tick <= speech.until;
    wordsElement.textContent = speaking ? speech.words : '';
    glossElement.textContent = speaking ? speech.messages.map(gloss).filter((g) => g).join(' ') : '';
    const sounds = [];
    if (tick <= toneUntil) sounds.push(t('[alarm tone]'));
    if (tick <= clicks.until && clicks.rate > 0) {
      sounds.push(t('[clicks: N a second]').replace('N', String(clicks.rate)));
    }
    soundElement.textContent = sounds.join(' ');
  }

  let lastTick = 0;

  // The sound a tick played (its messages, clicks and tone bursts) at tick `tick`.
  function heard(tick, played) {
    lastTick = tick;
    if (played.messages.length > 0) {
      speech.messages = played.messages;
      speech.words = played.messages.map(voiceText).join(' ');
      speech.until = tick + KeepTicks;
      onSpoken(speech.words);
    }
    if (played.tones > 0) toneUntil = tick + ToneKeepTicks;
    if (played.clicks > 0 && clicks.since < 0) clicks.since = tick;
    clicks.counting += played.clicks;
    if (clicks.since >= 0 && tick - clicks.since >= ClickWindowTicks) {
      clicks.rate = Math.round((clicks.counting * ClickWindowTicks) / (tick - clicks.since));
      clicks.until = tick + ClickWindowTicks + 5;
      clicks.counting = 0;
      clicks.since = clicks.rate > 0 ? tick : -1;
    }
    show(tick);
  }

  function toggle() {
    on = !on;
    try {
      window.localStorage.setItem(StoreKey, on ? '1' : '0');
    } catch (error) {
      // kept for this visit only
    }
    show(lastTick);
  }

  button.addEventListener('click', toggle);
  window.DrkI18n.onChange(() => show(lastTick));
  show(0);

  return {
    heard,
    toggle,
    // The words of speech message n, and who hears of each spoken caption.
    connect(text, spoken) {
      voiceText = text;
      onSpoken = spoken;
    },
    shown: () => ({
      on,
      words: wordsElement.textContent,
      gloss: glossElement.textContent,
      sound: soundElement.textContent,
    }),
  };
}());
