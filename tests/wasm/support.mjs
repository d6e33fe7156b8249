// What the node tests of the WebAssembly module share: the module and the Linux build they hold it
// to, a reproducible random source, and the check that counts and reports mismatches.
//
// Environment (set by ctest): FRAMECALC_WASM_MODULE (framecalc.wasm, with framecalc.mjs beside
// it) and FRAMECALC_HOST_BUILD_DIR (the default build: framecalc, batch/framecalc-batch,
// tools/numconv-probe).
import { spawnSync } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

export function requiredPath(variable) {
  const value = process.env[variable];
  if (!value || !existsSync(value)) {
    console.error(`${variable} must name an existing path (found ${JSON.stringify(value)})`);
    process.exit(2);
  }
  return value;
}

export async function loadFramecalc() {
  const modulePath = requiredPath('FRAMECALC_WASM_MODULE');
  const { instantiateFramecalc } =
      await import(pathToFileURL(join(dirname(modulePath), 'framecalc.mjs')).href);
  return instantiateFramecalc(readFileSync(modulePath));
}

// A program of the Linux build; the suite needs that build first (cmake --build --preset default).
export function hostProgram(relativePath) {
  const path = resolve(requiredPath('FRAMECALC_HOST_BUILD_DIR'), relativePath);
  if (!existsSync(path)) {
    console.error(`${path} is missing: build the default preset first`);
    process.exit(2);
  }
  return path;
}

// Runs a program to its end: { out, err } as Buffers, and its exit status.
export function run(program, args, input, options = {}) {
  const result = spawnSync(program, args, { input, maxBuffer: 1 << 30, timeout: 120000, ...options });
  if (result.error) throw result.error;
  return { out: result.stdout, err: result.stderr, status: result.status };
}

// xorshift128+ with a fixed seed: every run generates the same cases.
export function randomSource(seed) {
  let s0 = BigInt(seed) * 0x9e3779b97f4a7c15n & 0xffffffffffffffffn | 1n;
  let s1 = 0x243f6a8885a308d3n ^ BigInt(seed);
  const next64 = () => {
    let x = s0;
    const y = s1;
    s0 = y;
    x ^= (x << 23n) & 0xffffffffffffffffn;
    s1 = x ^ y ^ (x >> 17n) ^ (y >> 26n);
    return (s1 + y) & 0xffffffffffffffffn;
  };
  const random = {
    next64,
    below(n) { return Number(next64() % BigInt(n)); },
    pick(list) { return list[random.below(list.length)]; },
    digits(n) {
      let text = '';
      for (let i = 0; i < n; ++i) text += String.fromCharCode(48 + random.below(10));
      return text;
    },
  };
  return random;
}

// Counts the cases and their mismatches; shows the first few; ends the process with 1 on any.
export class Checker {
  constructor(name) {
    this.name = name;
    this.cases = 0;
    this.mismatches = 0;
  }
  same(what, actual, expected) {
    ++this.cases;
    const equal = Buffer.isBuffer(expected) || expected instanceof Uint8Array
        ? Buffer.compare(Buffer.from(actual), Buffer.from(expected)) === 0
        : JSON.stringify(actual) === JSON.stringify(expected);
    if (equal) return true;
    if (++this.mismatches <= 8) {
      const show = (value) => value instanceof Uint8Array
          ? JSON.stringify(Buffer.from(value).toString('latin1')).slice(0, 2000)
          : JSON.stringify(value);
      console.error(`MISMATCH ${what}\n  wasm:   ${show(actual)}\n  native: ${show(expected)}`);
    }
    return false;
  }
  expect(what, condition) {
    ++this.cases;
    if (condition) return;
    ++this.mismatches;
    console.error(`FAILED ${what}`);
  }
  finish() {
    console.log(`${this.name}: ${this.cases} cases, ${this.mismatches} mismatches`);
    if (this.cases === 0) {
      console.error('no case was checked');
      process.exit(1);
    }
    process.exit(this.mismatches === 0 ? 0 : 1);
  }
}
