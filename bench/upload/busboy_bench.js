// busboy on a multipart body held whole in memory, the way the upload benchmark feeds Upload.
//   node busboy_bench.js BODY_FILE BOUNDARY RUNS
// Prints "BEST_GB_PER_S MEDIAN_GB_PER_S PEAK_RSS_MIB" over RUNS timed parses after warm-up.
'use strict';
const fs = require('fs');
const path = require('path');
const busboy = require(path.join(__dirname, 'node_modules', 'busboy'));

const [file, boundary, runsText] = process.argv.slice(2);
const body = fs.readFileSync(file);
const runs = Math.max(1, Number(runsText) || 15);

function parseOnce() {
  return new Promise((resolve, reject) => {
    const bb = busboy({
      headers: { 'content-type': `multipart/form-data; boundary=${boundary}` },
      limits: { fileSize: Infinity, files: Infinity, fields: Infinity, parts: Infinity },
    });
    let parts = 0;
    bb.on('field', () => { parts += 1; });
    bb.on('file', (name, stream) => {
      parts += 1;
      stream.on('data', () => {});
    });
    bb.on('error', reject);
    bb.on('close', () => resolve(parts));
    bb.end(body);
  });
}

(async () => {
  for (let i = 0; i < 3; i += 1) await parseOnce();
  const seconds = [];
  for (let i = 0; i < runs; i += 1) {
    const start = process.hrtime.bigint();
    await parseOnce();
    seconds.push(Number(process.hrtime.bigint() - start) / 1e9);
  }
  seconds.sort((a, b) => a - b);
  const best = body.length / seconds[0] / 1e9;
  const median = body.length / seconds[Math.floor(seconds.length / 2)] / 1e9;
  const rssMib = process.resourceUsage().maxRSS / 1024;
  process.stdout.write(`${best.toFixed(3)} ${median.toFixed(3)} ${rssMib.toFixed(0)}\n`);
})().catch((err) => {
  process.stderr.write(`${err.stack}\n`);
  process.exit(1);
});
