// Turns the desktop's translation files (Qt .ts) into the page's table, so
// that a text is translated once for both:
//   node tools/ts-to-json.cjs OUT.json kelvane_en.ts kelvane_ja.ts ...
// The table is {"en": {context: {source: translation}}, "ja": {...}}, the
// language taken from the file name's last "_xx". Unfinished and vanished
// messages are left out, so the page shows their source.
'use strict';
const fs = require('fs');
const path = require('path');

function unescapeXml(s) {
  return s.replace(/&(lt|gt|amp|quot|apos|#(\d+)|#x([0-9a-fA-F]+));/g, (all, name, dec, hex) => {
    if (dec) return String.fromCodePoint(Number(dec));
    if (hex) return String.fromCodePoint(parseInt(hex, 16));
    return { lt: '<', gt: '>', amp: '&', quot: '"', apos: "'" }[name];
  });
}

function readTs(text, file) {
  const table = {};
  const contexts = text.match(/<context>[\s\S]*?<\/context>/g) || [];
  for (const context of contexts) {
    const name = /<name>([\s\S]*?)<\/name>/.exec(context);
    if (!name) throw new Error(`${file}: a context without a name`);
    const entries = table[unescapeXml(name[1])] = {};
    for (const message of context.match(/<message[\s>][\s\S]*?<\/message>/g) || []) {
      const source = /<source>([\s\S]*?)<\/source>/.exec(message);
      const translation = /<translation(\s[^>]*)?>([\s\S]*?)<\/translation>/.exec(message);
      if (!source) throw new Error(`${file}: a message without a source`);
      if (!translation || /type="(unfinished|vanished|obsolete)"/.test(translation[1] || '')) continue;
      if (translation[2] !== '') entries[unescapeXml(source[1])] = unescapeXml(translation[2]);
    }
  }
  return table;
}

function main(argv) {
  const [out, ...inputs] = argv;
  if (!out || inputs.length === 0) {
    process.stderr.write('usage: node ts-to-json.cjs OUT.json FILE_xx.ts...\n');
    return 2;
  }
  const all = {};
  for (const file of inputs) {
    const lang = /_([a-z]{2})(_[A-Z]{2})?\.ts$/.exec(path.basename(file));
    if (!lang) throw new Error(`${file}: no language in the file name`);
    all[lang[1]] = readTs(fs.readFileSync(file, 'utf8'), file);
  }
  fs.writeFileSync(out + '.new', JSON.stringify(all));
  fs.renameSync(out + '.new', out);
  return 0;
}

if (require.main === module) process.exitCode = main(process.argv.slice(2));
module.exports = { readTs };
