// The coach beside the stage: what to press now, the last judged moves and
// the result's breakdown, as the game core words them; the how-to at the
// first start; the page's language (the browser's, or the one chosen), with
// the texts converted from the desktop's translation files at build time.
'use strict';

const kelvaneCoach = (() => {
  const STORE = { lang: 'kelvane-lang', shown: 'kelvane-coach-shown', howTo: 'kelvane-howto-seen' };
  const LANGS = [['en', 'English'], ['ja', '日本語']];
  const REFRESH_MS = 150;
  const coach = { lang: 'en', texts: {}, pushed: null, last: '', timer: 0 };

  const stored = (key) => { try { return localStorage.getItem(key); } catch (e) { return null; } };
  const store = (key, value) => { try { localStorage.setItem(key, value); } catch (e) { /* private mode */ } };

  function chooseLanguage() {
    const asked = new URLSearchParams(location.search).get('lang') || stored(STORE.lang);
    if (asked === 'ja' || asked === 'en') return asked;
    const wanted = navigator.languages && navigator.languages.length ? navigator.languages : [navigator.language || 'en'];
    return wanted.some((l) => /^ja\b/i.test(l)) ? 'ja' : 'en';
  }
  coach.lang = chooseLanguage();

  coach.tr = (context, source) => {
    const table = coach.texts[coach.lang] && coach.texts[coach.lang][context];
    return (table && table[source]) || source;
  };

  const el = (tag, props = {}, children = []) => {
    const e = Object.assign(document.createElement(tag), props);
    e.append(...children);
    return e;
  };

  // ---- The panel ----------------------------------------------------------
  const prompt = el('p', { id: 'coach-prompt' });
  const moves = el('ol', { id: 'coach-moves' });
  const summary = el('ul', { id: 'coach-summary' });
  const best = el('p', { id: 'coach-best' });
  const heads = {
    title: el('h2'), now: el('h3'), moves: el('h3'), match: el('h3'),
  };
  const howToButton = el('button', { type: 'button', id: 'coach-how-to' });
  const langSelect = el('select', { id: 'coach-lang' },
    LANGS.map(([value, name]) => el('option', { value, textContent: name })));
  const hint = el('p', { className: 'hint' });
  const panel = el('aside', { id: 'coach', hidden: true }, [
    heads.title, heads.now, prompt, heads.moves, moves, heads.match, summary, best,
    el('div', { className: 'row' }, [howToButton, langSelect]), hint]);
  const toggle = el('button', { type: 'button', id: 'coach-toggle' });
  const howTo = el('div', { id: 'how-to', hidden: true });

  function call(name, ret, types = [], args = []) {
    return window.Module && Module.calledRun !== false && Module.ccall ? Module.ccall(name, ret, types, args) : null;
  }

  // The game's texts in the page's language: the table goes to the game once
  // per language (and again for a new session).
  function pushTexts() {
    const key = coach.lang + ':' + Object.keys(coach.texts).length;
    if (coach.pushed === key) return;
    const records = [];
    const table = coach.texts[coach.lang] || {};
    for (const context of ['Coach', 'HowTo'])
      for (const [source, text] of Object.entries(table[context] || {}))
        records.push(context + '\x1f' + source + '\x1f' + text);
    call('kelvane_coach_texts', null, ['string'], [records.join('\x1e')]);
    coach.pushed = key;
    coach.last = '';
  }

  function labels() {
    const t = (s) => coach.tr('Coach', s);
    heads.title.textContent = t('Coach');
    heads.now.textContent = t('Now');
    heads.moves.textContent = t('Last moves');
    heads.match.textContent = t('This match');
    howToButton.textContent = t('How to play');
    hint.textContent = t('F2 shows or hides the coach');
    toggle.textContent = t('Coach') + ' (F2)';
    langSelect.value = coach.lang;
    document.documentElement.lang = coach.lang;
  }

  function render(p) {
    prompt.textContent = p.prompt || '';
    moves.replaceChildren(...(p.moves || []).map((m) => el('li', { textContent: m })));
    if (!p.moves || p.moves.length === 0)
      moves.replaceChildren(el('li', { className: 'none', textContent: coach.tr('Coach', 'No moves yet') }));
    summary.replaceChildren(...(p.summary || []).map((m) => el('li', { textContent: m })));
    heads.match.hidden = summary.hidden = !(p.summary && p.summary.length);
    best.textContent = p.best || '';
    best.className = /^(New best!|自己ベスト更新)/.test(p.best || '') ? 'new' : '';
  }

  coach.refresh = () => {
    if (!window.kelvaneStarted || panel.hidden) return;
    pushTexts();
    const json = call('kelvane_coach', 'string');
    if (!json || json === coach.last) return;
    coach.last = json;
    const p = JSON.parse(json);
    coach.panel = p;
    render(p);
  };

  coach.show = (shown) => {
    panel.hidden = !shown;
    store(STORE.shown, shown ? '1' : '0');
    coach.last = '';
    coach.refresh();
  };

  // ---- The how-to ---------------------------------------------------------
  coach.openHowTo = () => {
    pushTexts();
    const h = JSON.parse(call('kelvane_how_to', 'string') || '{}');
    if (!h.html) return;
    const close = el('button', { type: 'button', id: 'how-to-close', textContent: h.close });
    close.onclick = () => coach.closeHowTo();
    const body = el('div');
    body.innerHTML = h.html;  // the game escapes its texts
    howTo.replaceChildren(body, close);
    howTo.hidden = false;
    store(STORE.howTo, '1');
  };
  coach.closeHowTo = () => {
    howTo.hidden = true;
    const screen = document.getElementById('screen');
    if (screen) screen.focus();
  };

  // ---- The startup form's texts -------------------------------------------
  // The form is written with the desktop dialog's source texts; each text
  // node that is one of them (in any language) shows the chosen language.
  function startupSource(text) {
    for (const lang of Object.keys(coach.texts)) {
      const table = coach.texts[lang].TSPFM || {};
      for (const [source, shown] of Object.entries(table))
        if (text === source || text === shown) return source;
    }
    return null;
  }
  coach.translateStartup = () => {
    const form = document.getElementById('startup');
    if (!form) return;
    const walker = document.createTreeWalker(form, NodeFilter.SHOW_TEXT);
    for (let n = walker.nextNode(); n; n = walker.nextNode()) {
      const source = startupSource(n.nodeValue);
      if (source) n.nodeValue = coach.tr('TSPFM', source);
    }
  };

  coach.setLanguage = (lang) => {
    coach.lang = lang === 'ja' ? 'ja' : 'en';
    store(STORE.lang, coach.lang);
    labels();
    coach.translateStartup();
    coach.last = '';
    coach.refresh();
    if (!howTo.hidden) coach.openHowTo();
  };

  // ---- Wiring -------------------------------------------------------------
  function start() {
    // Beside the play area, so that the picture fills what is left.
    document.getElementById('main').append(panel, howTo);
    document.body.append(toggle);
    labels();
    toggle.onclick = () => { coach.show(panel.hidden); coach.closeHowTo(); };
    howToButton.onclick = () => coach.openHowTo();
    langSelect.onchange = () => coach.setLanguage(langSelect.value);
    document.addEventListener('keydown', (e) => {
      // F2 still reaches the game, which lets it pass.
      if (e.key === 'F2' && !e.repeat && window.kelvaneStarted) {
        e.preventDefault();
        coach.show(panel.hidden);
      }
      if (e.key === 'Escape' && !howTo.hidden) coach.closeHowTo();
    });
    const host = document.getElementById('dialog-host');
    if (host) new MutationObserver(() => coach.translateStartup()).observe(host, { childList: true });
    fetch('kelvane-texts.json').then((r) => (r.ok ? r.json() : {})).catch(() => ({})).then((texts) => {
      coach.texts = texts || {};
      labels();
      coach.translateStartup();
    });
    // The game has started: the panel as it was last time (shown on a first
    // start), the how-to the first time. A test run drives the game itself.
    const asked = new URLSearchParams(location.search);
    const testRun = asked.has('test');
    // ?coach=off: the picture alone for this visit, the stored choice kept.
    const off = asked.get('coach') === 'off';
    const wait = setInterval(() => {
      if (!window.kelvaneStarted) return;
      clearInterval(wait);
      toggle.hidden = false;
      if (off) panel.hidden = true;
      else coach.show(stored(STORE.shown) !== '0');
      if (!testRun && !off && stored(STORE.howTo) !== '1') coach.openHowTo();
      coach.timer = setInterval(coach.refresh, REFRESH_MS);
    }, 200);
    toggle.hidden = true;
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();
  return coach;
})();
window.kelvaneCoach = kelvaneCoach;
