// The module's dialogue against the Linux calculator's: generated dialogues (the answers of every
// kind the calculator meets, line ends LF or CR LF, inputs that end early or hold a Ctrl+Z) and a
// few named ones go to build/default/framecalc and to framecalc_dialogue. The crossing's two lines
// must be the same bytes, and a failure must be the exception class and message of the
// calculator's report.
import { Checker, hostProgram, loadFramecalc, randomSource, run } from './support.mjs';

const calc = await loadFramecalc();
const framecalc = hostProgram('framecalc');
const random = randomSource(1789);

// One answer line of a number (as tests/differential generates them).
function numberLine() {
  const sign = random.below(4) === 0 ? '-' : (random.below(10) === 0 ? '+' : '');
  switch (random.below(16)) {
    case 0: case 1: case 2: return sign + random.below(100000);
    case 3: case 4: return sign + random.digits(1 + random.below(6)) + '.' + random.digits(random.below(8));
    case 5: return sign + random.digits(1 + random.below(3)) + random.pick(['e', 'E']) +
                   random.pick(['', '-']) + random.below(40);
    case 6: return sign + '1e' + (300 + random.below(20));
    case 7: return sign + random.digits(1) + 'e' + (4920 + random.below(200));
    case 8: return sign + '1e-' + (4920 + random.below(40));
    case 9: return random.digits(20 + random.below(60));
    case 10: return random.pick(['12a', '1,5', 'abc', '--1', '1e', '.', '1.2.3', 'e5', '0x10', '$1F',
                                 '1e+', '+', '-', '1 2']);
    case 11: return '';
    case 12: return ' '.repeat(random.below(3)) + random.below(1000) + ' '.repeat(random.below(3));
    case 13: return '\t' + random.below(1000);
    case 14: return sign + '0';
    default: return sign + random.below(10) + '.' + random.digits(random.below(3));
  }
}

function answerLine() {
  return random.pick(['X', 'X', 'X', 'Y', 'Y', 'x', '', 'X ', 'XY', ' X']);
}

// A line through A and B that is now and then vertical, horizontal or a point, so that the
// divisions fail as often as the numbers do.
function dialogue() {
  const end = random.below(4) === 0 ? '\r\n' : '\n';
  const numbers = [numberLine(), numberLine(), numberLine(), numberLine()];
  switch (random.below(6)) {
    case 0: numbers[2] = numbers[0]; break;
    case 1: numbers[3] = numbers[1]; break;
    case 2: numbers[2] = numbers[0]; numbers[3] = numbers[1]; break;
    default: break;
  }
  let input = numbers.map((line) => line + end).join('') + answerLine() + end + numberLine() + end + end;
  switch (random.below(10)) {
    case 0: input = input.slice(0, random.below(input.length)); break;
    case 1: input = input.slice(0, -1); break;
    case 2: {
      const at = random.below(input.length);
      input = input.slice(0, at) + '\x1a' + input.slice(at);
      break;
    }
    default: break;
  }
  return input;
}

// What the calculator's run says: the crossing's lines, or the report's class and message.
function nativeOutcome(input) {
  const { out, err, status } = run(framecalc, [], Buffer.from(input, 'latin1'));
  if (status === 0) {
    const lines = out.toString('latin1').split('\r\n');
    const at = lines.indexOf('The coordinate: ');
    return { ok: true, lines: lines.slice(at + 1, at + 3) };
  }
  const report = /^Exception (\S+) in module \S+ at [0-9A-F]{8}\.\r\n(.*?)\.?\r\n\r\n$/s
      .exec(err.toString('latin1'));
  if (report) return { ok: false, className: report[1], message: report[2] };
  return { ok: false, other: err.toString('latin1'), status };
}

const named = [
  ['the example session', '100\n200\n300\n400\nX\n150\n\n'],
  ['the Y branch', '100\n200\n300\n400\nY\n250\n'],
  ['a lower-case x takes the Y branch', '100\n200\n300\n400\nx\n250\n'],
  ['CR LF line ends', '100\r\n200\r\n300\r\n400\r\nX\r\n150\r\n\r\n'],
  ['a mistyped number', '12a\n'],
  ['a division by zero', '1\n2\n1\n7\nX\n5\n'],
  ['an invalid operation (0/0)', '1\n2\n1\n2\nX\n5\n'],
  ['an overflow of the stored answer', '1e400\n'],
  ['an overflow of the conversion', '1e5000\n'],
  ['an overflow of the crossing', '0\n0\n1e-300\n1e300\nX\n1e300\n'],
  ['the input ends before the axis', '1\n2\n3\n4\n'],
  ['the input ends before the known coordinate', '1\n2\n3\n4\nX\n'],
  ['a Ctrl+Z ends the input', '1\n2\n\x1a3\n4\nX\n5\n'],
  ['an empty answer reads the next line', '\n1\n2\n3\n4\nX\n5\n'],
  ['a number answer with text after it', '1 a\n2\n3\n4\nX\n5\n'],
  ['a token of more than 64 characters', '1'.repeat(70) + '\n2\n3\n4\nX\n5\n'],
  ['the axis answer with a CR alone', '1\n2\n3\n4\nX\r\n5\n'],
  ['nothing at all', ''],
];

const check = new Checker('dialogues');
const outcomes = new Set();
for (const [name, input] of named) {
  check.same(name, calc.dialogue(input), nativeOutcome(input));
}
const generated = Number(process.env.FRAMECALC_WASM_DIALOGUES || 1500);
for (let i = 0; i < generated; ++i) {
  const input = dialogue();
  const expected = nativeOutcome(input);
  outcomes.add(expected.ok ? 'result' : expected.className + ': ' + expected.message);
  check.same(JSON.stringify(input), calc.dialogue(input), expected);
}
// The generated dialogues end in results and in every kind of report.
check.expect(`at least six kinds of outcome (${[...outcomes].join('; ')})`, outcomes.size >= 6);

// One answer, as a page reads it field by field, and the coordinate written back: the known
// coordinate of the X branch, which the calculator writes as it read it ("X= ...m").
for (const text of ['150', ' 1.5e3 ', '-0', '12a', '1e400', '', '99999999999.999', '1e-320', '7 x']) {
  const answer = calc.readAnswer(text);
  const expected = nativeOutcome(`0\n0\n1\n1\nX\n${text}\n`);
  if (answer.ok) {
    check.same(`answer ${JSON.stringify(text)} written back`,
               'X= ' + calc.formatDouble(answer.value) + 'm', expected.lines?.[0]);
  } else {
    check.same(`answer ${JSON.stringify(text)}`, answer, expected);
  }
}
check.finish();
