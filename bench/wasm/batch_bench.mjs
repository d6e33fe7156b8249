// framecalc-batch's processing in the WebAssembly module, in node, against the Linux program on
// the same file: rounds that run one and then the other, records per second of each.
//
//   node bench/wasm/batch_bench.mjs MODULE FRAMECALC_BATCH FILE [rounds]
//
// The module's run: the file (already read into memory) fed in pieces of the input block's size,
// the results and messages taken by a sink that counts their bytes, as a page that keeps them
// would; the module is compiled and instantiated once, before the first round. The program's
// run: framecalc-batch FILE with both outputs to /dev/null, timed from its start to its end.
// The first round checks that both gave the same results and messages.
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { openSync, readFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [modulePath, program, file, roundsText] = process.argv.slice(2);
const rounds = Number(roundsText ?? 7);
const { instantiateFramecalc } =
    await import(pathToFileURL(join(dirname(resolve(modulePath)), 'framecalc.mjs')).href);
const calc = await instantiateFramecalc(readFileSync(modulePath));
const bytes = readFileSync(file);
const records = bytes.reduce((n, byte) => n + (byte === 10), 0) - 1;  // the header is no record

function runModule(keep) {
  const hashes = [createHash('sha256'), createHash('sha256')];
  let size = 0;
  const started = process.hrtime.bigint();
  const { status } = calc.batch([{ name: file, bytes }], {}, (stream, data) => {
    size += data.length;
    if (keep) hashes[stream - 1].update(data);
  });
  const seconds = Number(process.hrtime.bigint() - started) / 1e9;
  return { seconds, status, size, digests: hashes.map((hash) => hash.digest('hex')) };
}

function runProgram(keep) {
  const nul = openSync('/dev/null', 'w');
  const started = process.hrtime.bigint();
  const result = spawnSync(program, [file], keep ? { maxBuffer: 1 << 30 } : { stdio: ['ignore', nul, nul] });
  const seconds = Number(process.hrtime.bigint() - started) / 1e9;
  const digests = keep ? [result.stdout, result.stderr].map((data) =>
    createHash('sha256').update(data).digest('hex')) : null;
  return { seconds, status: result.status, digests };
}

const first = runModule(true);
const reference = runProgram(true);
if (JSON.stringify(first.digests) !== JSON.stringify(reference.digests) ||
    first.status !== reference.status) {
  console.error('the module and the program gave different outputs');
  process.exit(1);
}
const wasm = [];
const native = [];
for (let round = 0; round < rounds; ++round) {
  // Interleaved, in an order that alternates, so that both see the same load.
  const order = round % 2 === 0 ? ['wasm', 'native'] : ['native', 'wasm'];
  for (const which of order) {
    if (which === 'wasm') wasm.push(runModule(false).seconds);
    else native.push(runProgram(false).seconds);
  }
}
const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];
const fastest = (list) => Math.min(...list);
const perSecond = (seconds) => Math.round(records / seconds).toLocaleString('en-US');
console.log(`records: ${records.toLocaleString('en-US')} (${bytes.length.toLocaleString('en-US')} bytes), ` +
            `output ${first.size.toLocaleString('en-US')} bytes, the same as the program's`);
console.log(`rounds: ${rounds}`);
console.log('| run | median | records/s (median) | fastest | records/s (fastest) |');
console.log('|---|---|---|---|---|');
for (const [name, list] of [['wasm in node ' + process.version, wasm], ['native framecalc-batch', native]]) {
  console.log(`| ${name} | ${median(list).toFixed(3)} s | ${perSecond(median(list))} | ` +
              `${fastest(list).toFixed(3)} s | ${perSecond(fastest(list))} |`);
}
console.log(`wasm / native (medians): ${(median(wasm) / median(native)).toFixed(2)}×`);
