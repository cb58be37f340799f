# Compile and link options of the browser build (emscripten). Included by the top-level
# CMakeLists.txt when EMSCRIPTEN is set.
# Exceptions are caught, as on the desktop: refused memory (std::bad_alloc) is a memory stop of
# the search, not the end of the program. emscripten's default only throws; Debian ships its
# libraries with JavaScript-based catching, not with WebAssembly's own exceptions.
add_compile_options(-pthread -sDISABLE_EXCEPTION_CATCHING=0)
add_link_options(-sDISABLE_EXCEPTION_CATCHING=0)
# Growing a shared memory costs the JavaScript side a check on each access; the work here is in
# the wasm, so the warning about it is left out.
add_link_options(-pthread -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=4GB -Wno-pthreads-mem-growth)

# The programs and tests that run under node (kvarlo-cli, the test suites): main() on a thread of
# its own, so that the browser's main thread stays free to start the workers that std::thread
# needs; the host's file system as it is; exit() ends node with the program's status.
set(KVARLO_WEB_NODE_LINK_OPTIONS -sPROXY_TO_PTHREAD=1 -sEXIT_RUNTIME=1 -sNODERAWFS=1)

# Marks an executable as one that runs under node rather than in the page. THREAD_POOL n: n
# workers started before main(), as the page starts its own, so that a thread the program makes
# waits for no worker to load its script and instantiate the module (the search's clock would
# count it); the test suites start few threads and go without.
function(kvarlo_web_node_program target)
  cmake_parse_arguments(ARG "" "THREAD_POOL" "" ${ARGN})
  target_link_options(${target} PRIVATE ${KVARLO_WEB_NODE_LINK_OPTIONS})
  if(ARG_THREAD_POOL)
    target_link_options(${target} PRIVATE -sPTHREAD_POOL_SIZE=${ARG_THREAD_POOL})
  endif()
endfunction()

# The Russian texts as Windows-1251 bytes, as gcc's -fexec-charset makes them.
include(KvarloCp1251)
