// The page as an installable offline app: its service worker (drk-sw.js) keeps the page's
// files. A page opened from a file (no service worker there) or in a browser without them
// runs as before.
'use strict';

if ('serviceWorker' in navigator && window.location.protocol !== 'file:') {
  window.drkOffline = navigator.serviceWorker.register('drk-sw.js').catch((error) => {
    console.warn(`the page will not open offline: ${error.message}`);
  });
}
