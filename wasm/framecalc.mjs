// framecalc's WebAssembly module for JavaScript (a page, node): instantiates framecalc.wasm with
// the functions it imports and wraps its exports (wasm/framecalc_api.cpp) in plain functions.
// Standard JavaScript only: a page passes the module's bytes (fetched, or kept in the page), node
// the bytes read from the file.
//
//   const calc = await instantiateFramecalc(bytes);
//   calc.dialogue(["100", "200", "300", "400", "X", "150"])
//     -> { ok: true, lines: ["X= 150.00m", "Y= 250.00m"] }
//     or { ok: false, className: "EZeroDivide", message: "Floating point division by zero" }
//   calc.readAnswer("1.5e3") -> { ok: true, value: 1500 } or { ok: false, className, message }
//   calc.formatDouble(1500, 5, 2) -> "1500.00"
//   calc.batch(bytes, { table: true }) -> { results: Uint8Array, messages: Uint8Array, status }
//   calc.parse(text), calc.store(bits), calc.format(bits, width, decimals): the conversions
//   themselves on the x87's bits ({ signExponent, significand: BigInt }).

// A floating-point fault of the module's software arithmetic, on its way to the guard.
class FloatingPointFault extends Error {
  constructor(status) {
    super(`floating-point fault 0x${status.toString(16)}`);
    this.status = status;
  }
}

const FaultNames = new Map([
  [0xc000008e, 'zerodivide'],
  [0xc0000090, 'invalid'],
  [0xc0000091, 'overflow'],
]);

// The name of a fault's status: "overflow", "invalid", "zerodivide", else "fault".
export function faultName(status) {
  return FaultNames.get(status >>> 0) ?? 'fault';
}

const BatchFlags = { crlf: 1, echo: 2, table: 4, decimalComma: 8 };
const Delimiters = new Map([[',', 0], [';', 1], ['tab', 2], ['\t', 2], ['blank', 3]]);

export async function instantiateFramecalc(source) {
  const module = source instanceof WebAssembly.Module ? source : await WebAssembly.compile(source);
  let exports = null;
  let sink = null;  // the batch run's output: sink(stream, bytes)
  const imports = {
    framecalc_platform: {
      raise_fault(status) {
        throw new FloatingPointFault(status >>> 0);
      },
      call_guarded(routine, context) {
        const stackPointer = exports.__stack_pointer.value;
        try {
          exports.__indirect_function_table.get(routine)(context);
          return 0;
        } catch (error) {
          if (!(error instanceof FloatingPointFault)) throw error;
          // The frames the fault left behind are gone; so is their stack.
          exports.__stack_pointer.value = stackPointer;
          return error.status;
        }
      },
    },
    framecalc: {
      write(stream, data, length) {
        sink(stream, new Uint8Array(exports.memory.buffer, data, length).slice());
      },
    },
  };
  // The C library's formatting (snprintf) shares code with its streams, whose system calls the
  // module imports but never makes: each answers ENOSYS.
  const wasi = {};
  for (const { module: from, name } of WebAssembly.Module.imports(module)) {
    if (from === 'wasi_snapshot_preview1') wasi[name] = () => 52;
  }
  imports.wasi_snapshot_preview1 = wasi;
  const instance = await WebAssembly.instantiate(module, imports);
  exports = instance.exports;
  exports._initialize();

  const encoder = new TextEncoder();
  const decoder = new TextDecoder('latin1');
  const capacity = exports.framecalc_input_capacity();
  const inputAddress = exports.framecalc_input_block();

  // Bytes (or a text, as UTF-8) into the input block; returns their length.
  function put(bytes, offset = 0) {
    if (typeof bytes === 'string') bytes = encoder.encode(bytes);
    const length = Math.min(bytes.length - offset, capacity);
    new Uint8Array(exports.memory.buffer, inputAddress, length)
        .set(bytes.subarray(offset, offset + length));
    return length;
  }
  function outputBytes() {
    return new Uint8Array(exports.memory.buffer, exports.framecalc_output(),
                          exports.framecalc_output_length()).slice();
  }
  function outputText() {
    return decoder.decode(outputBytes());
  }
  function failure() {
    const [className, message] = outputText().split('\n');
    return { ok: false, className, message };
  }
  function bits() {
    return { signExponent: exports.framecalc_value_sign_exponent(),
             significand: BigInt.asUintN(64, exports.framecalc_value_significand()) };
  }

  return {
    exports,
    // TextToReal: { value: bits, errorPosition } or { fault: name }.
    parse(text) {
      const status = exports.framecalc_parse(put(text));
      if (status !== 0) return { fault: faultName(status) };
      return { value: bits(), errorPosition: exports.framecalc_error_position() };
    },
    // StoreToDouble: { value: number } or { fault: name }.
    store({ signExponent, significand }) {
      const status = exports.framecalc_store(signExponent, BigInt.asIntN(64, significand));
      if (status !== 0) return { fault: faultName(status) };
      return { value: exports.framecalc_double() };
    },
    // RealToText: { text } or { fault: name }.
    format({ signExponent, significand }, width, decimals) {
      const status =
          exports.framecalc_format(signExponent, BigInt.asIntN(64, significand), width, decimals);
      if (status !== 0) return { fault: faultName(status) };
      return { text: outputText() };
    },
    // One coordinate answer of the dialogue, read as the calculator reads it.
    readAnswer(text) {
      if (exports.framecalc_read_answer(put(text)) !== 0) return failure();
      return { ok: true, value: exports.framecalc_double() };
    },
    // A double as the dialogue writes it (width 5, 2 decimals by default).
    formatDouble(value, width = 5, decimals = 2) {
      const status = exports.framecalc_format_double(value, width, decimals);
      if (status !== 0) return null;
      return outputText();
    },
    // The dialogue: six answers (each a line), or the whole input as one text.
    dialogue(answers) {
      const input = Array.isArray(answers) ? answers.map((line) => line + '\n').join('') : answers;
      if (exports.framecalc_dialogue(put(input)) !== 0) return failure();
      return { ok: true, lines: outputText().split('\n').slice(0, 2) };
    },
    // framecalc-batch on inputs, each { name, bytes } (or one input's bytes, named "-"), with its
    // options: { crlf, echo, table, decimalComma, decimals, delimiter, columns } and pieceSize
    // (each input is fed in pieces of at most that many bytes). Returns the results and messages
    // as the program writes them to standard output and standard error, and its exit status;
    // `onOutput(stream, bytes)` (stream 1 results, 2 messages) takes them as they come instead.
    batch(inputs, options = {}, onOutput = null) {
      if (!Array.isArray(inputs)) inputs = [{ name: '-', bytes: inputs }];
      const chunks = { 1: [], 2: [] };
      sink = onOutput ?? ((stream, bytes) => chunks[stream].push(bytes));
      let flags = 0;
      for (const [name, bit] of Object.entries(BatchFlags)) if (options[name]) flags |= bit;
      const delimiter = options.delimiter === undefined ? -1 : Delimiters.get(options.delimiter);
      if (delimiter === undefined) return { status: 2, problem: 'unknown delimiter' };
      // Each input is fed in pieces of at most this many bytes (a page may read a file so).
      const pieceSize = Math.min(options.pieceSize ?? capacity, capacity);
      const columnsLength = options.columns ? put(options.columns) : 0;
      const begun = exports.framecalc_batch_begin(flags, options.decimals ?? 2, delimiter,
                                                  columnsLength);
      if (begun !== 0) return { status: begun, problem: outputText() };
      for (const { name, bytes: given } of inputs) {
        const bytes = typeof given === 'string' ? encoder.encode(given) : given;
        exports.framecalc_batch_input(put(name));
        let state = 0;
        for (let offset = 0; offset < bytes.length && state === 0;) {
          const length = put(bytes.subarray(0, offset + pieceSize), offset);
          offset += length;
          state = exports.framecalc_batch_feed(length);
        }
        if (state === 0) state = exports.framecalc_batch_end_input();
        if (state !== 0) break;
      }
      const status = exports.framecalc_batch_finish();
      sink = null;
      const join = (list) => {
        const all = new Uint8Array(list.reduce((n, bytes) => n + bytes.length, 0));
        let at = 0;
        for (const bytes of list) { all.set(bytes, at); at += bytes.length; }
        return all;
      };
      return { status, results: join(chunks[1]), messages: join(chunks[2]) };
    },
  };
}
