// Finishes the page folder after the program is linked:
//  - the data folder as one file the page streams (the startup form's
//    wallpapers first, so the form opens before the rest has arrived);
//  - the install icons from the game's logo;
//  - files.json: every file of the page with its size, and the build's hash;
//  - the service worker with that hash and list written into it;
//  - .br and .gz beside every file that shrinks, for servers that send
//    them with their Content-Encoding.
// Usage: node pack_page.cjs --page DIR --stage DIR --icons DIR --worker TEMPLATE
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

function arg(name) {
  const i = process.argv.indexOf(name);
  if (i < 0 || !process.argv[i + 1]) throw new Error(`pack_page: ${name} is missing`);
  return process.argv[i + 1];
}
const PAGE = arg('--page');
const STAGE = arg('--stage');
const ICONS = arg('--icons');
const WORKER = arg('--worker');
const DATA = 'kelvane-data.bin';

// What the startup form reads: the wallpapers it counts and previews.
const forForm = (name) => /^X_[bs]\d\d\.jpg$/i.test(name);

function writeIfChanged(file, bytes) {
  if (fs.existsSync(file) && fs.readFileSync(file).equals(Buffer.from(bytes))) return;
  fs.writeFileSync(file, bytes);
}

// The data, in the order the page writes it into its file system.
const names = fs.readdirSync(STAGE).filter((n) => fs.statSync(path.join(STAGE, n)).isFile()).sort();
const ordered = [...names.filter(forForm), ...names.filter((n) => !forForm(n))];
const parts = ordered.map((n) => fs.readFileSync(path.join(STAGE, n)));
writeIfChanged(path.join(PAGE, DATA), Buffer.concat(parts));

for (const size of [192, 512]) {
  const icon = path.join(ICONS, 'hicolor', `${size}x${size}`, 'apps', 'kelvane.png');
  writeIfChanged(path.join(PAGE, `icon-${size}.png`), fs.readFileSync(icon));
}

// Every file the page may ask for; the worker keeps them all.
const generated = new Set(['files.json', 'kelvane-sw.js']);
const files = fs.readdirSync(PAGE)
  .filter((n) => !/\.(br|gz)$/.test(n) && !generated.has(n) && fs.statSync(path.join(PAGE, n)).isFile())
  .sort();
const hash = crypto.createHash('sha256');
const sizes = {};
for (const name of files) {
  const bytes = fs.readFileSync(path.join(PAGE, name));
  sizes[name] = bytes.length;
  hash.update(name + '\0').update(bytes);
}
const version = hash.digest('hex').slice(0, 16);
const index = {
  version,
  files: sizes,
  data: { file: DATA, form: ordered.filter(forForm).length, entries: ordered.map((n, i) => [n, parts[i].length]) },
};
writeIfChanged(path.join(PAGE, 'files.json'), JSON.stringify(index));

// The worker names its store after the build, so an update is a new store
// filled whole before it replaces the old one.
const worker = fs.readFileSync(WORKER, 'utf8')
  .replace("'@VERSION@'", JSON.stringify(version))
  .replace("['@FILES@']", JSON.stringify(['./', 'files.json', ...files]));
writeIfChanged(path.join(PAGE, 'kelvane-sw.js'), worker);

// Compressed copies, made again only for a changed file. The data and the
// program shrink most; pictures and the soundfont little.
for (const name of [...files, 'files.json', 'kelvane-sw.js']) {
  const file = path.join(PAGE, name);
  const stamp = fs.statSync(file).mtimeMs;
  const fresh = (ext) => fs.existsSync(file + ext) && fs.statSync(file + ext).mtimeMs >= stamp;
  if (fresh('.br') && fresh('.gz')) continue;
  for (const ext of ['.br', '.gz']) if (fs.existsSync(file + ext)) fs.unlinkSync(file + ext);
  if (/\.(png|jpg)$/i.test(name)) continue;
  const bytes = fs.readFileSync(file);
  const gz = zlib.gzipSync(bytes, { level: 9 });
  if (gz.length > 0.9 * bytes.length) continue;
  const br = zlib.brotliCompressSync(bytes, {
    params: {
      [zlib.constants.BROTLI_PARAM_QUALITY]: bytes.length > 1 << 20 ? 9 : 11,
      [zlib.constants.BROTLI_PARAM_SIZE_HINT]: bytes.length,
    },
  });
  fs.writeFileSync(file + '.gz', gz);
  fs.writeFileSync(file + '.br', br);
}
console.log(`page ${version}: ${files.length} files, ${ordered.length} data files`);
