// The Node side of the end-to-end upload benchmark: an http server that streams each multipart
// POST through busboy into files of a folder and answers "OK" once every file is on disk.
//   node busboy_server.js PORT FOLDER
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const busboy = require(path.join(__dirname, 'node_modules', 'busboy'));

const [portText, folder] = process.argv.slice(2);
http.createServer((req, res) => {
  const bb = busboy({ headers: req.headers, limits: { fileSize: Infinity } });
  const writes = [];
  bb.on('file', (name, stream, info) => {
    const out = fs.createWriteStream(path.join(folder, path.basename(info.filename)));
    writes.push(new Promise((resolve) => out.on('close', resolve)));
    stream.pipe(out);
  });
  bb.on('close', () => Promise.all(writes).then(() => res.end('OK')));
  req.pipe(bb);
}).listen(Number(portText), '127.0.0.1', () => process.stdout.write('listening\n'));
