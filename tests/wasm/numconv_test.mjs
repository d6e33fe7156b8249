// The module's number conversions against the Linux build's, through the probe's commands
// (tools/numconv_probe.cpp): the same generated commands go to the native numconv-probe in one run
// and to the module's framecalc_parse, framecalc_store and framecalc_format, and every answer must
// be the same line.
import { Checker, hostProgram, loadFramecalc, randomSource, run } from './support.mjs';

const calc = await loadFramecalc();
const random = randomSource(4711);
const hex = (value, digits) => value.toString(16).toUpperCase().padStart(digits, '0');

// A decimal text of every kind the conversions meet.
function numberText() {
  const sign = random.pick(['', '', '', '-', '+']);
  switch (random.below(14)) {
    case 0: return sign + random.digits(1 + random.below(8)) + '.' + random.digits(random.below(9));
    case 1: return sign + random.digits(1 + random.below(19));
    case 2: return sign + random.digits(1 + random.below(3)) + random.pick(['e', 'E']) +
                   random.pick(['', '-', '+']) + random.below(400);
    case 3: return sign + random.digits(1) + 'e' + (4900 + random.below(60));   // the extended's end
    case 4: return sign + random.digits(1) + 'e-' + (4900 + random.below(60));  // below its smallest
    case 5: return sign + random.digits(20 + random.below(300));                // long digit strings
    case 6: return sign + '0.' + '0'.repeat(random.below(30)) + random.digits(1 + random.below(25));
    case 7: return sign + random.pick(['1e4932', '1.18973149535723176502e4932', '1e-4950',
                                       '4.9e-324', '-0', '0', '1.7976931348623157e308',
                                       '1.7976931348623159e308', '2.2250738585072014e-308',
                                       '3.6451995318824746025e-4951', '1e-4951', '1e308', '1e309']);
    case 8: return random.pick(['12a', '1,5', 'abc', '--1', '1e', '.', '1.2.3', 'e5', '0x10', '$1F',
                                '1e+', '+', '-', ' 1', '1 ', '', '.5', '5.', '1e-', 'inf', 'nan']);
    case 9: return sign + random.digits(1 + random.below(6)) + '.' + random.digits(1 + random.below(6)) +
                   'e' + random.pick(['', '-']) + random.below(5000);
    case 10: {
      // Any printable bytes.
      let text = '';
      for (let n = random.below(12); n > 0; --n) text += String.fromCharCode(33 + random.below(94));
      return text;
    }
    case 11: return sign + random.digits(8) + '.' + random.digits(8);  // the usual coordinate
    case 12: return sign + random.digits(1 + random.below(40)) + 'e' + random.pick(['', '-']) +
                    random.below(5100);
    default: return sign + random.below(100000) + '.' + random.digits(random.below(4));
  }
}

// 80-bit patterns: random bits, and values near the edges of the double's range.
function extendedBits() {
  const significand = random.next64();
  switch (random.below(6)) {
    case 0: return [random.below(0x10000), significand];
    case 1: return [random.pick([0, 0x8000]) + 0x3bff + random.below(0x801), significand];  // doubles
    case 2: return [random.pick([0, 0x8000]) + 0x43fe + random.below(3), significand];      // overflow
    case 3: return [random.pick([0, 0x8000]) + 0x3bcb + random.below(0x36), significand];   // denormals
    case 4: return [random.pick([0x7fff, 0xffff, 0, 0x8000]), significand];  // NaN, infinity, zero
    default: return [random.pick([0, 0x8000]) + 0x3fff + random.below(200) - 100,
                     significand | 0x8000000000000000n];
  }
}

const commands = [];
for (let i = 0; i < 30000; ++i) commands.push('parse ' + numberText());
for (let i = 0; i < 15000; ++i) {
  const [exponent, significand] = extendedBits();
  commands.push(`store ${hex(exponent, 4)}${hex(significand, 16)}`);
}
for (let i = 0; i < 15000; ++i) {
  const [exponent, significand] = extendedBits();
  const width = random.pick([0, 5, 10, 25, 255, random.below(300) - 20]);
  const decimals = random.pick([2, 0, -1, 8, 18, 30, 216, random.below(260) - 10]);
  commands.push(`format ${hex(exponent, 4)}${hex(significand, 16)} ${width} ${decimals}`);
}

// The module's answer to one command, in the probe's words.
function answer(command) {
  const space = command.indexOf(' ');
  const word = command.slice(0, space);
  if (word === 'parse') {
    const result = calc.parse(command.slice(space + 1));
    if (result.fault) return result.fault;
    return hex(result.value.signExponent, 4) + hex(result.value.significand, 16) + ' ' +
           result.errorPosition;
  }
  const fields = command.slice(space + 1).split(' ');
  const bits = { signExponent: parseInt(fields[0].slice(0, 4), 16),
                 significand: BigInt('0x' + fields[0].slice(4)) };
  if (word === 'store') {
    const result = calc.store(bits);
    if (result.fault) return result.fault;
    const view = new DataView(new ArrayBuffer(8));
    view.setFloat64(0, result.value);
    return hex(view.getBigUint64(0), 16);
  }
  const result = calc.format(bits, Number(fields[1]), Number(fields[2]));
  if (result.fault) return result.fault;
  return '[' + result.text + ']';
}

const native = run(hostProgram('tools/numconv-probe'), [], commands.join('\n') + '\n');
const expected = native.out.toString('latin1').split('\n');
const check = new Checker('number conversions');
check.same('the probe answered every command', expected.length, commands.length + 1);
const kinds = new Set();
for (let i = 0; i < commands.length; ++i) {
  const got = answer(commands[i]);
  check.same(commands[i], got, expected[i]);
  kinds.add(commands[i].split(' ')[0] + ':' + (/^[a-z]+$/.test(expected[i]) ? expected[i] : 'value'));
}
// The commands reach the faults as well as the values.
for (const kind of ['parse:value', 'parse:overflow', 'store:value', 'store:overflow', 'store:invalid',
                    'format:value']) {
  check.expect(`some command answered ${kind} (${[...kinds].join(' ')})`, kinds.has(kind));
}
check.finish();
