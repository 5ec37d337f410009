// The page's server on 127.0.0.1: the page folder's files, each sent as its
// brotli or gzip copy (made at build time) with that Content-Encoding when
// the browser takes it. Usage: node serve.cjs DIR PORT
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8', '.json': 'application/json',
  '.webmanifest': 'application/manifest+json', '.wasm': 'application/wasm',
  '.png': 'image/png', '.jpg': 'image/jpeg',
};

function serve(dir, port, host = '127.0.0.1') {
  const root = path.resolve(dir);
  const server = http.createServer((req, res) => {
    if (req.method !== 'GET' && req.method !== 'HEAD') {
      res.writeHead(405).end();
      return;
    }
    let name;
    try {
      name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    } catch (e) {
      res.writeHead(400).end();
      return;
    }
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(root, path.normalize(name));
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
      return;
    }
    const accepts = String(req.headers['accept-encoding'] || '');
    let body = file, encoding = null;
    for (const [ext, enc] of [['.br', 'br'], ['.gz', 'gzip']])
      if (new RegExp(`\\b${enc}\\b`).test(accepts) && fs.existsSync(file + ext)) {
        body = file + ext;
        encoding = enc;
        break;
      }
    const stat = fs.statSync(body);
    // The browser keeps what it got and asks whether it changed: the service
    // worker's copy of a file the page has just loaded costs no download.
    const tag = `"${stat.size.toString(36)}-${Math.floor(stat.mtimeMs).toString(36)}${encoding ? '-' + encoding : ''}"`;
    const headers = {
      'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
      'Cache-Control': 'no-cache',
      ETag: tag,
      Vary: 'Accept-Encoding',
    };
    if (req.headers['if-none-match'] === tag) {
      res.writeHead(304, headers).end();
      return;
    }
    headers['Content-Length'] = stat.size;
    if (encoding) headers['Content-Encoding'] = encoding;
    res.writeHead(200, headers);
    if (req.method === 'HEAD') res.end();
    else fs.createReadStream(body).pipe(res);
  });
  return new Promise((resolve) => server.listen(port, host, () => resolve(server)));
}

if (require.main === module) {
  const [dir, port] = process.argv.slice(2);
  serve(dir, Number(port || 8021));
} else {
  module.exports = { serve };
}
