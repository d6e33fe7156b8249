// The module itself: what it imports (only the JavaScript of wasm/framecalc.mjs and the C
// library's unused stream calls), what it exports (the functions a page calls), and that no code
// of binary128 arithmetic is in it: long double is IEEE binary128 on wasm32, never the x87's
// format, and the program's reals must not pass through it anywhere.
import { readFileSync } from 'node:fs';
import { Checker, requiredPath } from './support.mjs';

const bytes = readFileSync(requiredPath('FRAMECALC_WASM_MODULE'));
const module = new WebAssembly.Module(bytes);
const check = new Checker('the module');

const imports = WebAssembly.Module.imports(module).map(({ module: from, name }) => `${from}.${name}`);
const allowedImports = new Set(['framecalc.write', 'framecalc_platform.raise_fault',
                                'framecalc_platform.call_guarded', 'wasi_snapshot_preview1.fd_write',
                                'wasi_snapshot_preview1.fd_seek', 'wasi_snapshot_preview1.fd_close']);
for (const name of imports) check.expect(`the import ${name} is one of the module's own`, allowedImports.has(name));
for (const name of ['framecalc.write', 'framecalc_platform.raise_fault', 'framecalc_platform.call_guarded']) {
  check.expect(`the module imports ${name}`, imports.includes(name));
}

const exports = new Set(WebAssembly.Module.exports(module).map(({ name }) => name));
for (const name of ['memory', '__stack_pointer', '__indirect_function_table', '_initialize',
                    'framecalc_input_block', 'framecalc_input_capacity', 'framecalc_output',
                    'framecalc_output_length', 'framecalc_parse', 'framecalc_store', 'framecalc_format',
                    'framecalc_value_sign_exponent', 'framecalc_value_significand',
                    'framecalc_error_position', 'framecalc_double', 'framecalc_read_answer',
                    'framecalc_format_double', 'framecalc_dialogue', 'framecalc_batch_begin',
                    'framecalc_batch_input', 'framecalc_batch_feed', 'framecalc_batch_end_input',
                    'framecalc_batch_finish']) {
  check.expect(`the module exports ${name}`, exports.has(name));
}

// The function names of the "name" section (kept by --strip-debug).
function functionNames() {
  const sections = WebAssembly.Module.customSections(module, 'name');
  if (sections.length !== 1) return null;
  const data = new Uint8Array(sections[0]);
  let at = 0;
  const leb = () => {
    let value = 0;
    for (let shift = 0; ; shift += 7) {
      const byte = data[at++];
      value += (byte & 0x7f) * 2 ** shift;
      if ((byte & 0x80) === 0) return value;
    }
  };
  const names = [];
  while (at < data.length) {
    const id = data[at++];
    const size = leb();
    const end = at + size;
    if (id === 1) {
      for (let count = leb(); count > 0; --count) {
        leb();
        const length = leb();
        names.push(new TextDecoder().decode(data.subarray(at, at + length)));
        at += length;
      }
    }
    at = end;
  }
  return names;
}

const names = functionNames();
check.expect('the module keeps its function names', names !== null && names.length > 50);
// compiler-rt's binary128 routines (__addtf3, __multf3, __extenddftf2, __trunctfdf2, __fixtfdi,
// __eqtf2, ...) and anything of the software arithmetic's long double constructor.
const binary128 = (names ?? []).filter((name) => /tf[23]$|tf2$|^__(?:extend|trunc|fix|float).*tf/.test(name) ||
                                              /Extended.*long double|ExtendedC2Ee|ExtendedC1Ee/.test(name));
check.same('functions of binary128 arithmetic in the module', binary128, []);
check.expect(`the module is small (${bytes.length} bytes)`, bytes.length < 256 * 1024);
check.finish();
