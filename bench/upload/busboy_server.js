// The Node side of the end-to-end upload benchmark: an http server that streams each multipart
// POST through busboy into files of a folder and answers "OK" once every file is written; with
// "flush", once every file is also flushed to the disk, as mirelda-host does before it answers.
//   node busboy_server.js PORT FOLDER [flush]
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const busboy = require(path.join(__dirname, 'node_modules', 'busboy'));

const [portText, folder, mode] = process.argv.slice(2);
// Opens the written file again and flushes it: fsync flushes the file, whichever handle asks.
const flush = (file, done) =>
  fs.open(file, 'r+', (error, fd) => (error ? done() : fs.fsync(fd, () => fs.close(fd, done))));
http.createServer((req, res) => {
  const bb = busboy({ headers: req.headers, limits: { fileSize: Infinity } });
  const writes = [];
  bb.on('file', (name, stream, info) => {
    const file = path.join(folder, path.basename(info.filename));
    const out = fs.createWriteStream(file);
    writes.push(new Promise((resolve) =>
      out.on('close', () => (mode === 'flush' ? flush(file, resolve) : resolve()))));
    stream.pipe(out);
  });
  bb.on('close', () => Promise.all(writes).then(() => res.end('OK')));
  req.pipe(bb);
}).listen(Number(portText), '127.0.0.1', () => process.stdout.write('listening\n'));
