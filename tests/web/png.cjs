// The pixels of the game's own PNG frames (8-bit RGB, rows unfiltered).
'use strict';
const zlib = require('zlib');

function pngPixels(buf) {
  const width = buf.readUInt32BE(16), height = buf.readUInt32BE(20);
  const idat = [];
  for (let p = 8; p < buf.length;) {
    const len = buf.readUInt32BE(p);
    if (buf.toString('latin1', p + 4, p + 8) === 'IDAT') idat.push(buf.subarray(p + 8, p + 8 + len));
    p += 12 + len;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; ++y) {
    if (raw[y * (width * 3 + 1)] !== 0) throw new Error('filtered PNG row');
    raw.copy(rgb, y * width * 3, y * (width * 3 + 1) + 1, (y + 1) * (width * 3 + 1));
  }
  return { width, height, rgb };
}

module.exports = { pngPixels };
