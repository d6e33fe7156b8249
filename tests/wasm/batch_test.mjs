// The module's batch processing against the Linux framecalc-batch: the files that spreadsheets
// and other programs wrote (tests/batch_program/files) and generated files go to
// build/default/batch/framecalc-batch and to the module with the same options; the results
// (standard output), the messages (standard error) and the exit status must be the same bytes.
import { readdirSync, readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { Checker, hostProgram, loadFramecalc, randomSource, run } from './support.mjs';

const calc = await loadFramecalc();
const program = hostProgram('batch/framecalc-batch');
const filesFolder = join(dirname(fileURLToPath(import.meta.url)), '..', 'batch_program', 'files');
const random = randomSource(2024);
const check = new Checker('batch runs');

// framecalc-batch's command-line options of a run of the module.
function argumentsOf(options) {
  const args = [];
  for (const name of ['crlf', 'echo', 'table']) if (options[name]) args.push('--' + name);
  if (options.decimalComma) args.push('--decimal-comma');
  if (options.decimals !== undefined) args.push('--decimals', String(options.decimals));
  if (options.delimiter !== undefined) args.push('--delimiter', options.delimiter);
  if (options.columns !== undefined) args.push('--columns', options.columns);
  return args;
}

// One run of both: inputs [{ name, bytes }] in the files folder (a name "-" is standard input).
function compare(what, inputs, options = {}) {
  const names = inputs.map((input) => input.name);
  const stdin = inputs.find((input) => input.name === '-')?.bytes ?? Buffer.alloc(0);
  const native = run(program, [...argumentsOf(options), ...(names[0] === '-' ? [] : names)], stdin,
                     { cwd: options.folder ?? filesFolder });
  const tested = calc.batch(inputs, options);
  check.same(`${what}: results`, tested.results, native.out);
  check.same(`${what}: messages`, tested.messages, native.err);
  check.same(`${what}: exit status`, tested.status, native.status);
  return native;
}

// The files as programs wrote them, each in every way it is read.
const fileOptions = [{}, { table: true }, { echo: true }, { crlf: true, decimals: 4 },
                     { decimalComma: true }, { decimalComma: true, table: true },
                     { decimals: 0, table: true, pieceSize: 7 }];
const files = readdirSync(filesFolder).filter((name) => name !== 'README.md' && !name.startsWith('.')).sort();
for (const name of files) {
  const bytes = readFileSync(join(filesFolder, name));
  for (const options of fileOptions) {
    compare(`${name} ${JSON.stringify(options)}`, [{ name, bytes }], options);
  }
  compare(`${name} on standard input`, [{ name: '-', bytes }], {});
}
compare('two files in one run', [{ name: files[0], bytes: readFileSync(join(filesFolder, files[0])) },
                                 { name: files[1], bytes: readFileSync(join(filesFolder, files[1])) }],
        { table: true });

// Generated files: records of every kind of number (the differential test's), lines on which
// A and B lie on one axis or coincide, mistyped fields and axes, missing and extra fields,
// comments, blank lines, quotes, a header now and then, a byte-order mark, four delimiters, LF or
// CR LF line ends, fed to the module in pieces of any size.
function numberField() {
  const sign = random.below(4) === 0 ? '-' : (random.below(10) === 0 ? '+' : '');
  switch (random.below(14)) {
    case 0: case 1: case 2: return sign + random.below(100000);
    case 3: case 4: case 5: return sign + random.digits(1 + random.below(7)) + '.' + random.digits(random.below(9));
    case 6: return sign + random.digits(1 + random.below(3)) + 'e' + random.pick(['', '-']) + random.below(40);
    case 7: return sign + '1e' + (300 + random.below(20));
    case 8: return sign + random.digits(1) + 'e' + (4920 + random.below(200));
    case 9: return random.digits(20 + random.below(40));
    case 10: return random.pick(['12a', 'abc', '--1', '1e', '.', '1.2.3', 'e5', '0x10', '+', '-', '']);
    case 11: return sign + '0';
    default: return sign + random.below(10000) + '.' + random.digits(2);
  }
}

function generatedFile(delimiter, decimalComma) {
  const separator = { ',': ',', ';': ';', 'tab': '\t', 'blank': ' ' }[delimiter];
  const end = random.below(3) === 0 ? '\r\n' : '\n';
  const lines = [];
  if (random.below(3) === 0) lines.push(['AX', 'AY', 'BX', 'BY', 'AXIS', 'K'].join(separator));
  const count = 20 + random.below(400);
  for (let i = 0; i < count; ++i) {
    const kind = random.below(40);
    if (kind === 0) { lines.push('# a comment'); continue; }
    if (kind === 1) { lines.push(''); continue; }
    const fields = [numberField(), numberField(), numberField(), numberField(),
                    random.pick(['X', 'Y', 'x', 'y', 'X', 'Y', 'R', '']), numberField()];
    switch (random.below(6)) {
      case 0: fields[2] = fields[0]; break;
      case 1: fields[3] = fields[1]; break;
      case 2: fields[2] = fields[0]; fields[3] = fields[1]; break;
      default: break;
    }
    for (let f = 0; f < 6; ++f) {
      if (decimalComma) fields[f] = fields[f].replace('.', ',');
      // A blank-delimited field is one token: an empty one becomes a plain number.
      if (separator === ' ' && fields[f] === '') fields[f] = String(random.below(1000));
      if (separator !== ' ' && random.below(20) === 0) fields[f] = '"' + fields[f] + '"';
    }
    if (kind === 2) fields.pop();                       // a field missing
    if (kind === 3) fields.push(String(random.below(9)));  // one too many
    if (kind === 4 && separator !== ' ') fields[0] = '"' + fields[0];  // a quote not closed
    lines.push(fields.join(separator));
  }
  let text = lines.join(end) + (random.below(5) === 0 ? '' : end);
  if (random.below(8) === 0) text = '\ufeff' + text;
  return Buffer.from(text, 'utf8');
}

const generated = Number(process.env.FRAMECALC_WASM_BATCH_FILES || 120);
const outcomes = new Set();
for (let i = 0; i < generated; ++i) {
  const delimiter = random.pick([',', ';', 'tab', 'blank']);
  const decimalComma = delimiter !== ',' && random.below(4) === 0;
  const bytes = generatedFile(delimiter, decimalComma);
  const options = { decimalComma, pieceSize: 1 + random.below(random.pick([16, 300, 70000])) };
  switch (random.below(6)) {
    case 0: options.table = true; break;
    case 1: options.echo = true; break;
    case 2: options.delimiter = delimiter; break;
    case 3: options.decimals = random.pick([0, 1, 3, 9, 17, 40]); options.crlf = true; break;
    default: break;
  }
  const native = compare(`generated file ${i} ${JSON.stringify(options)}`, [{ name: '-', bytes }],
                         options);
  for (const line of native.err.toString('latin1').split('\n')) {
    const message = /^-:\d+: (?:[A-Za-z]+(?: "[^"]*")?: )?([^(":]*)/.exec(line);
    if (message) outcomes.add(message[1].trim());
  }
}
// The generated records fail in every way a record can.
check.expect(`the generated files' records fail in many ways (${[...outcomes].join('; ')})`,
             outcomes.size >= 8);

// The columns named by --columns, by name and by number.
const header = Buffer.from('id;Ostwert_A;Nordwert_A;Ostwert_B;Nordwert_B;Achse;Rahmen\n' +
                           '1;100;200;300;400;X;150\n2;1;2;1;7;X;5\n3;abc;2;3;4;Y;1\n');
compare('--columns by name', [{ name: '-', bytes: header }],
        { columns: 'Ostwert_A,Nordwert_A,Ostwert_B,Nordwert_B,Achse,Rahmen', table: true });
compare('--columns by number', [{ name: '-', bytes: header }], { columns: '2,3,4,5,6,7' });
compare('--columns naming a column that is missing', [{ name: '-', bytes: header }],
        { columns: 'Ostwert_A,Nordwert_A,Ostwert_B,Nordwert_B,Achse,Rand' });
// Options that framecalc-batch refuses: the module refuses them too, and a run it refused
// processes nothing.
for (const options of [{ table: true, echo: true }, { decimalComma: true, delimiter: ',' },
                       { decimals: 217 }, { columns: 'AX,AY' }]) {
  const refused = calc.batch([{ name: '-', bytes: header }], options);
  const native = run(program, argumentsOf(options), Buffer.alloc(0));
  check.same(`${JSON.stringify(options)} refused`, [refused.status, refused.results?.length ?? 0],
             [native.status, native.out.length]);
}
check.same('a run that was not begun', calc.exports.framecalc_batch_feed(10), 2);
check.finish();
