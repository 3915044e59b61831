// The page's words in the reader's language: English as written in the page and its scripts,
// Russian from the catalogue generated at build time (drk-catalogue.js, from
// resources/po/ru.po). The language comes from the choice remembered in this browser, else
// from the browser's languages; the display's own lines are never translated.
'use strict';

window.DrkI18n = (function () {
  const catalogue = window.DrkCatalogue || { ru: {}, glossEn: [] };
  const listeners = [];
  const StoreKey = 'drk-lang';

  function remembered() {
    try {
      return window.localStorage.getItem(StoreKey);
    } catch (error) {
      return null;
    }
  }

  function fromBrowser() {
    const wanted = new URLSearchParams(window.location.search).get('lang');
    if (wanted === 'ru' || wanted === 'en') return wanted;
    const stored = remembered();
    if (stored === 'ru' || stored === 'en') return stored;
    for (const tag of navigator.languages || [navigator.language || 'en']) {
      const base = String(tag).toLowerCase().split('-')[0];
      if (base === 'ru' || base === 'en') return base;
    }
    return 'en';
  }

  let language = fromBrowser();

  function t(english) {
    return language === 'ru' ? catalogue.ru[english] || english : english;
  }

  // The English gloss of speech message n, none in Russian (the words are Russian already).
  function gloss(n) {
    return language === 'en' ? catalogue.glossEn[n] || '' : '';
  }

  function apply() {
    document.documentElement.lang = language;
    for (const element of document.querySelectorAll('[data-i18n]')) {
      const text = t(element.getAttribute('data-i18n'));
      if (element.hasAttribute('data-i18n-html')) element.innerHTML = text;
      else element.textContent = text;
    }
    for (const element of document.querySelectorAll('[data-i18n-label]')) {
      element.setAttribute('aria-label', t(element.getAttribute('data-i18n-label')));
    }
    const other = document.getElementById('lang-button');
    if (other) {
      // The other language, named in itself.
      other.textContent = language === 'ru' ? 'English' : 'Русский';
      other.lang = language === 'ru' ? 'en' : 'ru';
    }
    for (const listener of listeners) listener(language);
  }

  function choose(next) {
    language = next === 'ru' ? 'ru' : 'en';
    try {
      window.localStorage.setItem(StoreKey, language);
    } catch (error) {
      // A browser that keeps nothing: the choice lasts for this visit.
    }
    apply();
  }

  const button = document.getElementById('lang-button');
  if (button) button.addEventListener('click', () => choose(language === 'ru' ? 'en' : 'ru'));
  apply();

  return {
    t,
    gloss,
    choose,
    language: () => language,
    onChange: (listener) => listeners.push(listener),
  };
}());
