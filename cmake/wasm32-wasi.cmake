# Building framecalc's conversions, intersection and batch records as a WebAssembly module for
# JavaScript (a browser page, node), with Debian's clang-19 and lld-19 for wasm32-wasi, the WASI C
# library (wasi-libc) and its libc++ (libc++-19-dev-wasm32, libc++abi-19-dev-wasm32,
# libclang-rt-19-dev-wasm32). g++ has no WebAssembly target: this is the one build made with
# clang. There is no x87: the build takes the software extended arithmetic (numconv/soft), and
# the backend platform/wasm, whose faults JavaScript carries. The module is a reactor: it has no
# main, and JavaScript calls the functions it exports (wasm/).
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_VERSION 1)
set(CMAKE_SYSTEM_PROCESSOR wasm32)

set(CMAKE_C_COMPILER clang-19)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
# The compilers' own check links a program with main; the module has none.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(FRAMECALC_ARITHMETIC soft CACHE STRING "numconv/soft: WebAssembly has no x87" FORCE)
set(FRAMECALC_PLATFORM wasm)

# No exceptions: the module neither throws nor catches (a fault leaves through JavaScript).
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -msimd128 -mbulk-memory -mnontrapping-fptoint")
# A reactor module; wasm-ld drops what no export reaches. --strip-debug, not --strip-all: the
# latter drops the section that tells clang's wasm-opt run the module's features, and wasm-opt
# then refuses the exported __stack_pointer.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-mexec-model=reactor -Wl,--strip-debug")
